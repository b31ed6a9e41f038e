// The view's state that shapes formatted record lines. Toggles are written by commands on
// the UI thread and read by the print thread, hence atomic.
#pragma once

#include <atomic>

#include "pipeline/capture_route.h"

namespace nimbrel {

struct FormatterToggles {
    // The capture route last started. Every line's route tag reads it; only the capture
    // state (CaptureState) writes it during a capture.
    std::atomic<CaptureRoute> m_threadId{CaptureRoute::None};
    std::atomic<bool> m_bAutoParseLog{false};
    std::atomic<bool> m_bEmberType{false};
    std::atomic<bool> m_bFlintType{false};
    std::atomic<bool> m_bAutoFixTimeStamp{true};
    std::atomic<bool> m_bPaused{false};
};

}  // namespace nimbrel

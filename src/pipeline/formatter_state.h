// The view's state that shapes formatted record lines. Toggles are written by commands on
// the UI thread and read by the print thread, hence atomic.
#pragma once

#include <atomic>

namespace nimbrel {

// Capture routes, as kept in m_threadId.
inline constexpr int COM_THREAD_ID = 1;
inline constexpr int FILTER_THREAD_ID = 4;
inline constexpr int UART_THREAD_ID = 5;
inline constexpr int NO_THREAD_ID = -1;

struct FormatterToggles {
    std::atomic<int> m_threadId{NO_THREAD_ID};  // the capture route last started
    std::atomic<bool> m_bAutoParseLog{false};
    std::atomic<bool> m_bEmberType{false};
    std::atomic<bool> m_bFlintType{false};
    std::atomic<bool> m_bAutoFixTimeStamp{true};
    std::atomic<bool> m_bPaused{false};
};

}  // namespace nimbrel

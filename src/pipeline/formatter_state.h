// The view's state that shapes formatted record lines. Toggles are written by commands on
// the UI thread and read by the print thread, hence atomic. Readers on the print thread's
// path pass std::memory_order_relaxed: a toggle orders nothing else.
#pragma once

#include <atomic>

#include "pipeline/capture_route.h"

namespace nimbrel {

class FormatterToggles {
public:
    using Order = std::memory_order;
    static constexpr Order kSeqCst = std::memory_order_seq_cst;

    // The capture route last started. Every line's route tag reads it; only the capture
    // state (CaptureState) writes it during a capture.
    CaptureRoute threadId(Order order = kSeqCst) const { return m_threadId.load(order); }
    void setThreadId(CaptureRoute route) { m_threadId.store(route); }

    bool autoParseLog(Order order = kSeqCst) const { return m_bAutoParseLog.load(order); }
    void setAutoParseLog(bool on) { m_bAutoParseLog.store(on); }
    bool emberType(Order order = kSeqCst) const { return m_bEmberType.load(order); }
    void setEmberType(bool on) { m_bEmberType.store(on); }
    bool flintType(Order order = kSeqCst) const { return m_bFlintType.load(order); }
    void setFlintType(bool on) { m_bFlintType.store(on); }
    bool autoFixTimeStamp(Order order = kSeqCst) const { return m_bAutoFixTimeStamp.load(order); }
    void setAutoFixTimeStamp(bool on) { m_bAutoFixTimeStamp.store(on); }
    bool paused(Order order = kSeqCst) const { return m_bPaused.load(order); }
    void setPaused(bool on) { m_bPaused.store(on); }

private:
    std::atomic<CaptureRoute> m_threadId{CaptureRoute::None};
    std::atomic<bool> m_bAutoParseLog{false};
    std::atomic<bool> m_bEmberType{false};
    std::atomic<bool> m_bFlintType{false};
    std::atomic<bool> m_bAutoFixTimeStamp{true};
    std::atomic<bool> m_bPaused{false};
};

}  // namespace nimbrel

// The non-GUI state and logic of the log view, grouped by concern: what the console and
// the formatter need, the capture hub, and the capture routes' shared state. The GUI's
// view owns one; the command line and the tests use it directly.
#pragma once

#include <atomic>
#include <string>

#include "pipeline/capture_hub.h"
#include "pipeline/formatter_state.h"
#include "pipeline/log_console.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/record_emitter.h"
#include "pipeline/record_formatter.h"
#include "platform/worker_thread.h"

namespace nimbrel {

class LogView;

// The process-wide list of strings whose lines are not shown.
StringFilter& stringFilter();

// State shared by the capture routes and their shutdown.
struct CaptureState {
    // A capture route is active: Debug commands, replays and text-log opens are refused.
    std::atomic<bool> m_viewInUse{false};
    // A radio arrival restarted a driver capture (it keeps the raw data file name).
    std::atomic<bool> m_deviceOn{false};
    // The running capture thread.
    WorkerThread m_captureThread;
};

class ViewCore {
public:
    ViewCore(LogView& view, std::string programFolder);
    ViewCore(const ViewCore&) = delete;
    ViewCore& operator=(const ViewCore&) = delete;
    ~ViewCore();

    LogView& view;
    LogConsole console;
    MessageDefinitionTable definitions;
    FormatterToggles toggles;
    RecordFormatter formatter;
    CaptureHub hub;
    RecordEmitter emitter;
    CaptureState capture;
    const std::string programFolder;
};

// The message every refused command shows while a capture route is active.
inline constexpr std::u16string_view kViewInUseMessage = u"Error!The view is being used.";

}  // namespace nimbrel

// The non-GUI state and logic of the log view, grouped by concern: what the console and
// the formatter need, the capture hub, and the capture routes' shared state. The GUI's
// view owns one; the command line and the tests use it directly.
#pragma once

#include <chrono>
#include <string>

#include "capture/capture_state.h"
#include "pipeline/capture_hub.h"
#include "pipeline/formatter_state.h"
#include "pipeline/log_console.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/record_emitter.h"
#include "pipeline/record_formatter.h"

namespace nimbrel {

class LineOutput;
class LogView;

// The process-wide list of strings whose lines are not shown.
StringFilter& stringFilter();

class ViewCore {
public:
    ViewCore(LogView& view, std::string programFolder);
    ViewCore(const ViewCore&) = delete;
    ViewCore& operator=(const ViewCore&) = delete;
    // WaitForAllThreadExit(closeWait); a thread that outlives the wait is joined before
    // anything it uses is destroyed.
    ~ViewCore();

    // Loads the definition file into the table. Refused (false, nothing loaded) while a
    // capture or print thread runs: they read the table. Otherwise the loader's result.
    bool reloadDefinitions(const std::string& path);
    // Where delivered record lines go besides the view (nullptr: the view only). Refused
    // (false) while a capture or print thread runs.
    bool setLineOutput(LineOutput* output);
    // Where framed records also go during a live capture (nullptr: nowhere else). Refused
    // (false) while a capture or print thread runs.
    bool setRecordTap(RecordSink* tap);

    LogView& view;
    LogConsole console;
    MessageDefinitionTable definitions;  // loaded only through reloadDefinitions
    FormatterToggles toggles;
    RecordFormatter formatter;
    CaptureHub hub;
    RecordEmitter emitter;
    // Declared last: destroyed first, joining the threads that use everything above.
    CaptureState capture;
    const std::string programFolder;
    // How long the destruction waits for the threads before it joins them.
    std::chrono::milliseconds closeWait{5000};
};

// The message every refused command shows while a capture route is active.
inline constexpr std::u16string_view kViewInUseMessage = u"Error!The view is being used.";

}  // namespace nimbrel

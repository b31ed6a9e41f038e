// One capture session: everything a capture, a replay and the console share, grouped by
// concern (what the console and the formatter need, the capture hub, the capture routes'
// shared state). The window's view holds one, the command line holds one, and each passes
// it to what needs it; nothing of it is process-wide.
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

class CaptureSession {
public:
    CaptureSession(LogView& view, std::string programFolder);
    CaptureSession(const CaptureSession&) = delete;
    CaptureSession& operator=(const CaptureSession&) = delete;
    // WaitForAllThreadExit(closeWait); a thread that outlives the wait is joined before
    // anything it uses is destroyed.
    ~CaptureSession();

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

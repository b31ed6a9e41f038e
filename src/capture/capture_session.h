// One capture session: everything a capture, a replay and the console share, grouped by
// concern (what the console and the formatter need, the capture hub, the capture routes'
// shared state). The window's view holds one, the command line holds one, and each passes
// it to what needs it. Only what the machine has once stays process-wide: the driver
// devices and the radio watcher.
#pragma once

#include <atomic>
#include <chrono>
#include <string>

#include "capture/capture_state.h"
#include "capture/radio_handle.h"
#include "pipeline/capture_hub.h"
#include "pipeline/definition_file_choice.h"
#include "pipeline/formatter_state.h"
#include "pipeline/log_console.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/record_emitter.h"
#include "pipeline/record_formatter.h"
#include "pipeline/string_filter.h"

namespace nimbrel {

class LineOutput;
class LogView;

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

    // File > Open was used: set before its dialog shows, whether or not a file is then
    // opened, and never cleared. The lines of an opened file each become one line of the
    // view, whatever their line end, and later console messages keep their own line breaks.
    void markTextLogOpened() { textLogOpened_.store(true); }
    bool textLogOpened() const { return textLogOpened_.load(); }

    LogView& view;
    // The strings whose lines are not shown; starts empty, only the filter dialog's OK
    // changes it.
    StringFilter stringFilter;
    LogConsole console;
    // The definition file in use, read at each capture start and replay.
    DefinitionFilePath definitionFile;
    MessageDefinitionTable definitions;  // loaded only through reloadDefinitions
    FormatterToggles toggles;
    RecordFormatter formatter;
    CaptureHub hub;
    RecordEmitter emitter;
    // The filter-driver route's hold on the radio.
    RadioHandle radio;
    // Declared last: destroyed first, joining the threads that use everything above.
    CaptureState capture;
    const std::string programFolder;
    // How long the destruction waits for the threads before it joins them.
    std::chrono::milliseconds closeWait{5000};

private:
    std::atomic<bool> textLogOpened_{false};
};

// The message every refused command shows while a capture route is active.
inline constexpr std::u16string_view kViewInUseMessage = u"Error!The view is being used.";

}  // namespace nimbrel

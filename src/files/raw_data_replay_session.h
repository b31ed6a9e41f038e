// File > Open Raw Data without its dialogs: the whole replay of one raw data file, from
// the guard against a running capture to the range display of the text file. The caller
// (GUI or test) supplies the file, the method and the range choice, and runs it off the
// GUI thread; `stop` cancels it.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "files/raw_data_replay.h"

namespace nimbrel {

class CaptureSession;

struct ReplayRangeChoice {
    int startPercent = 0;
    int endPercent = 100;
    bool colour = false;
};

enum class ReplayMethod {
    ToView,      // every line appended to the view as it is formatted
    ToTextFile,  // lines written to the replay's text file, then a chosen range shown
};

enum class ReplayOutcome {
    ViewInUse,      // a capture or another replay runs: "Error!The view is being used."
    NoDefinitions,  // no definition file was ever loaded (the loader reported why)
    Missing,        // "[R] File "..." doesn't exist."
    Unreadable,     // the file exists but cannot be read (reported in red)
    Cancelled,      // stopped during the scan: no range display
    NoRecords,      // the scan ended without finding a record (an empty file, or none of
                    // a raw data file); shown as Done shows it
    Done,
};

struct ReplaySessionOptions {
    // Loaded first; empty when the caller has just loaded the table (the loader's failure
    // line is then not printed twice).
    std::string definitionFile;
    std::string rawFile;
    ReplayMethod method = ReplayMethod::ToTextFile;
    // When given, asked for the method once the file has been read, `started` has been
    // called and the view emptied (the GUI's "Use new method to parse raw data?").
    std::function<ReplayMethod()> chooseMethod;
    // Called after a complete scan with the text file's path; Cancel returns the defaults.
    std::function<ReplayRangeChoice(const std::string& textFile)> chooseRange;
    // Called when the file has been read and the replay starts (the GUI puts the path in
    // its caption and remembers it as RawDataPath).
    std::function<void(const std::string& rawFile)> started;
    // The caller has already claimed the view for this replay (it is given back at the end
    // all the same); otherwise the replay claims it and answers ViewInUse when it cannot.
    bool viewClaimed = false;
    // Called with each new whole percentage of the scan (both methods), for a progress bar.
    std::function<void(int percent)> progress;
    // Called once the scan has ended, cancelled or not, with what it found.
    std::function<void(const ReplayScanResult& scan, ReplayMethod method)> scanned;
};

ReplayOutcome runRawDataReplay(CaptureSession& core, const ReplaySessionOptions& options,
                               std::atomic<bool>& stop);

}  // namespace nimbrel

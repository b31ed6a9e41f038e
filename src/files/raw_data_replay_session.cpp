#include "files/raw_data_replay_session.h"

#include <sys/stat.h>

#include "capture/capture_session.h"
#include "files/raw_data_replay.h"
#include "files/text_line_writer.h"
#include "platform/text.h"

namespace nimbrel {
namespace {

constexpr std::u16string_view kProgress = u"[R]Analyze raw file to %d %%, please wait...";

// Holds the view for the replay: captures, other replays and text-log opens are refused
// meanwhile. Lines go back to the view at the end on every way out.
class ViewClaim {
public:
    ViewClaim(CaptureSession& core, bool alreadyClaimed)
        : core_(core), claimed_(alreadyClaimed || core.capture.claimReplay()) {}
    ~ViewClaim() {
        if (!claimed_) return;
        core_.setLineOutput(nullptr);
        core_.capture.endReplay();
    }
    bool claimed() const { return claimed_; }

private:
    CaptureSession& core_;
    bool claimed_ = false;
};

}  // namespace

ReplayOutcome runRawDataReplay(CaptureSession& core, const ReplaySessionOptions& options,
                               std::atomic<bool>& stop) {
    ViewClaim claim(core, options.viewClaimed);
    if (!claim.claimed()) return ReplayOutcome::ViewInUse;
    LogConsole& console = core.console;

    if (!options.definitionFile.empty()) core.reloadDefinitions(options.definitionFile);
    if (!core.definitions.loaded()) return ReplayOutcome::NoDefinitions;

    const std::u16string shownPath = utf8ToUtf16(options.rawFile);
    struct stat st {};
    if (::stat(options.rawFile.c_str(), &st) != 0) {
        console.print(u"[R] File \"%s\" doesn't exist.", {shownPath});
        return ReplayOutcome::Missing;
    }
    RawDataInput raw;
    if (const int err = raw.open(options.rawFile); err != 0) {
        reportRawDataOpenFailure(console, shownPath, err);
        return ReplayOutcome::Unreadable;
    }
    if (options.started) options.started(options.rawFile);

    core.formatter.resetLastStamp();
    core.view.clear();

    const ReplayMethod method = options.chooseMethod ? options.chooseMethod() : options.method;
    const bool toFile = method == ReplayMethod::ToTextFile;
    const std::string textPath = replayTextFilePath();
    TextLineWriter writer;
    if (toFile) {
        if (const int err = writer.open(textPath); err != 0) {
            console.print(u"[R] Fail to create \"%s\", error:0x%x", {utf8ToUtf16(textPath), err});
            return ReplayOutcome::Unreadable;
        }
        core.setLineOutput(&writer);
    }

    console.print(kProgress, {0});
    const ReplayScanResult scan =
        scanRawDataFile(raw, core.formatter, console, stop, [&](int percent) {
            if (toFile) console.printReplacingAll(kProgress, {percent});
            if (options.progress) options.progress(percent);
        });
    raw.close();
    if (options.scanned) options.scanned(scan, method);
    // A file that shrank or could not be read to its end: the lines formatted so far are
    // kept and shown; the red line comes last, so that the range display does not hide it.
    auto reportShortRead = [&] {
        if (scan.readError != 0) {
            console.print(u"[R] Fail to read raw data file \"%s\", error:0x%x",
                          {shownPath, scan.readError});
        } else if (scan.fileChanged) {
            console.print(kRawDataChangedMessage, {shownPath});
        }
    };
    core.setLineOutput(nullptr);
    const int writeError = writer.close();
    if (scan.cancelled) return ReplayOutcome::Cancelled;
    const ReplayOutcome done = scan.records == 0 ? ReplayOutcome::NoRecords : ReplayOutcome::Done;
    if (!toFile) {
        reportShortRead();
        return done;
    }
    if (writeError != 0) {
        console.print(u"[R] Fail to write \"%s\", error:0x%x", {utf8ToUtf16(textPath), writeError});
        return ReplayOutcome::Unreadable;
    }

    console.printReplacingAll(kProgress, {100});
    console.print(u"[G]File path: %s", {utf8ToUtf16(textPath)});
    const ReplayRangeChoice choice =
        options.chooseRange ? options.chooseRange(textPath) : ReplayRangeChoice{};
    const ReplayRange range = cutReplayText(textPath, choice.startPercent, choice.endPercent);
    if (!showReplayRange(textPath, range, choice.colour, console, stop)) {
        console.print(u"[R] Fail to read \"%s\"", {utf8ToUtf16(textPath)});
        return ReplayOutcome::Unreadable;
    }
    reportShortRead();
    return done;
}

}  // namespace nimbrel

// nimbrel-cli replay: decodes a raw data file offline. stdout holds what the replay's text
// file would hold; console lines go to stderr.
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/arg_parser.h"
#include "cli/colour_depth.h"
#include "cli/commands.h"
#include "cli/default_definitions.h"
#include "cli/failure_report.h"
#include "cli/progress_line.h"
#include "cli/replay_inputs.h"
#include "cli/stop_signal.h"
#include "cli/terminal_view.h"
#include "files/raw_data_replay.h"
#include "files/text_line_writer.h"
#include "pipeline/log_console.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/record_formatter.h"
#include "platform/file_handle.h"
#include "platform/text.h"

namespace nimbrel::cli {
namespace {

constexpr const char* kHelp =
    "Usage: nimbrel-cli replay [OPTIONS] RAWFILE\n"
    "\n"
    "Decodes a raw data file offline: one line per record on stdout (or in FILE),\n"
    "status messages and a closing summary on stderr.\n"
    "\n"
    "Options:\n"
    "  --defs FILE           message definition file (default: the stored Log1Path\n"
    "                        when that file exists, else LOG1.h in the program folder)\n"
    "  --parse               decode HCI commands, HCI events and LMP PDUs below their lines\n"
    "  --no-fix-timestamp    show stored time stamps as they are (no repair)\n"
    "  --ember-flint         HCI records carry one leading word to skip\n"
    "  --filter TEXT         hide lines containing TEXT (case-sensitive; repeatable)\n"
    "  --color WHEN          auto, always or never (default auto; 24-bit colour when\n"
    "                        COLORTERM is truecolor, else 256 or 16 colours after TERM)\n"
    "  -o, --output FILE     write the lines to FILE instead of stdout; FILE is replaced\n"
    "                        only when the replay ends well (it cannot be RAWFILE or\n"
    "                        the definition file)\n"
    "  -h, --help            show this help\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 usage error.\n";

struct Options {
    DecodeOptions decode;
    bool fixTimestamp = true;
    bool emberFlint = false;
    std::vector<std::u16string> filters;
    std::string output;
    std::string rawFile;
};

int parse(int argc, char** argv, Options& o) {
    Args args(argc, argv);
    std::vector<std::string> positional;
    while (!args.done()) {
        if (args.isHelp()) {
            std::fputs(kHelp, stdout);
            return -1;
        }
        const Taken common = takeDecodeOption(args, "replay", o.decode);
        if (common == Taken::UsageError) return kExitUsage;
        if (common == Taken::Yes) continue;
        std::string value;
        bool missing = false;
        if (args.flag("--no-fix-timestamp")) {
            o.fixTimestamp = false;
        } else if (args.flag("--ember-flint")) {
            o.emberFlint = true;
        } else if (args.option("--filter", value, missing)) {
            if (missing || value.empty())
                return usageError("replay", "--filter needs a non-empty text");
            o.filters.push_back(utf8ToUtf16(value));
        } else if (args.option("--output", value, missing) || args.option("-o", value, missing)) {
            if (missing) return usageError("replay", "--output needs a file");
            o.output = value;
        } else if (args.peek().size() > 1 && args.peek()[0] == '-') {
            return usageError("replay", "unknown option '" + std::string(args.peek()) + "'");
        } else {
            positional.emplace_back(args.take());
        }
    }
    if (positional.size() != 1) return usageError("replay", "expected exactly one RAWFILE");
    o.rawFile = positional[0];
    return 0;
}

// The output would overwrite one of the inputs (the same file, through a link or not)
// while it is being read: the usage error naming both, or "" when -o names another file.
std::string outputClash(const std::string& output, const std::string& rawFile,
                        const std::string& definitions) {
    struct Input {
        const std::string& path;
        const char* what;
    };
    for (const Input& input :
         {Input{rawFile, "the raw data file"}, Input{definitions, "the definition file"}}) {
        if (sameFile(output, input.path)) {
            return "-o " + output + " is " + input.what + " " + input.path +
                   ", which the replay reads: choose another output file";
        }
    }
    return "";
}

void printSummary(const ReplayScanResult& scan, const FormatCounts& counts) {
    auto n = [](std::uint64_t v) { return static_cast<unsigned long long>(v); };
    std::fprintf(stderr,
                 "Replay: records formatted %llu, bytes skipped as noise %llu, undefined message "
                 "indices %llu, "
                 "parameter errors %llu, unknown layouts %llu.\n",
                 n(scan.records), n(scan.noiseBytes), n(counts.undefinedIndices),
                 n(counts.parameterErrors), n(scan.defaultCases));
}

}  // namespace

int runReplay(int argc, char** argv) {
    Options o;
    if (const int rc = parse(argc, argv, o); rc != 0) return rc < 0 ? kExitOk : rc;

    TerminalView view(stderr, useColour(o.decode.colour, stderr));
    StringFilter filter;
    filter.replaceAll(o.filters);
    LogConsole console(view, filter);

    const std::string defs = o.decode.defs.empty() ? defaultDefinitionFile() : o.decode.defs;
    if (!o.output.empty()) {
        if (const std::string clash = outputClash(o.output, o.rawFile, defs); !clash.empty())
            return usageError("replay", clash);
    }
    MessageDefinitionTable definitions;
    if (!loadDefinitionsFor(defs, console, definitions)) return kExitFailure;
    RawDataInput raw;
    if (!openRawDataInput(o.rawFile, console, raw, "replay")) return kExitFailure;

    // Ctrl-C or SIGTERM ends the scan, so that an output file is left as it was rather
    // than replaced by a part; from here on, so that the new file beside it is not left
    // behind either.
    installStopSignals();
    TextLineWriter writer;
    if (o.output.empty()) {
        writer.attachStandardOutput();
        writer.setColour(useColour(o.decode.colour, stdout), terminalColourDepth());
    } else {
        if (const int err = writer.openReplacing(o.output); err != 0) {
            console.print(u"[R] Fail to create \"%s\", error:0x%x", {utf8ToUtf16(o.output), err});
            reportFailure("cannot create " + o.output, err);
            return kExitFailure;
        }
        writer.setColour(o.decode.colour == ColourMode::Always, terminalColourDepth());
    }

    FormatterToggles toggles;
    toggles.setAutoParseLog(o.decode.parse);
    toggles.setAutoFixTimeStamp(o.fixTimestamp);
    toggles.setEmberType(o.emberFlint);
    toggles.setFlintType(o.emberFlint);
    RecordFormatter formatter(definitions, console, toggles);
    formatter.setLineOutput(&writer);
    formatter.resetLastStamp();

    ProgressLine progress(stderr);
    const ReplayScanResult scan = scanRawDataFile(
        raw, formatter, console, stopFlag(), [&](int percent) { progress.update(percent); },
        defaultCaseLine(progress, console));
    progress.finish();
    const std::string unchanged = o.output.empty() ? "" : o.output + " is left as it was";
    if (scan.cancelled) {
        // On stdout the lines formatted so far stay; an output file stays as it was.
        if (o.output.empty()) {
            writer.close();
        } else {
            writer.abandon();
        }
        reportFailure("replay interrupted", 0, unchanged);
        return kExitFailure;
    }
    const bool failed = reportScanFailure(scan, o.rawFile, console);

    // A replay that could not read its whole file does not replace an output file either.
    if (failed && !o.output.empty()) {
        writer.abandon();
        reportFailure("no output written", 0, unchanged);
        return kExitFailure;
    }
    if (const int err = writer.close(); err != 0) {
        console.print(u"[R] Fail to write the decoded lines, error:0x%x", {err});
        reportFailure("cannot write the decoded lines" +
                          (o.output.empty() ? std::string() : " to " + o.output),
                      err, unchanged);
        return kExitFailure;
    }
    printSummary(scan, formatter.counts());
    if (scan.records == 0) {
        std::fprintf(stderr, "nimbrel-cli: no records found%s\n",
                     raw.size() == 0 ? ": the file is empty" : ": is this a raw data file?");
    }
    return failed ? kExitFailure : kExitOk;
}

}  // namespace nimbrel::cli

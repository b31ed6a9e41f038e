// nimbrel-cli export: the HCI commands and events of a raw data file as a btsnoop file
// for btmon and Wireshark, with a summary on stderr.
#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/arg_parser.h"
#include "cli/commands.h"
#include "cli/failure_report.h"
#include "cli/progress_line.h"
#include "cli/replay_inputs.h"
#include "cli/terminal_view.h"
#include "files/hci_export.h"
#include "pipeline/log_console.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/string_filter.h"

namespace nimbrel::cli {
namespace {

constexpr const char* kHelp =
    "Usage: nimbrel-cli export --btsnoop OUT [OPTIONS] RAWFILE\n"
    "\n"
    "Writes the HCI commands and events logged in a raw data file to OUT as a btsnoop\n"
    "file (HCI UART, H4), which 'btmon -r OUT' and Wireshark open. A record is exported\n"
    "exactly when 'replay --parse' with the same options decodes it; its time stamp is\n"
    "the replay's, converted from local time to UTC. OUT appears only when complete.\n"
    "A summary goes to stderr.\n"
    "\n"
    "Options:\n"
    "  --btsnoop OUT         the btsnoop file to write (replaced if it exists)\n"
    "  --defs FILE           message definition file (default: the stored Log1Path\n"
    "                        when that file exists, else LOG1.h in the program folder)\n"
    "  --ember-flint         HCI records carry one leading word to skip\n"
    "  -h, --help            show this help\n"
    "\n"
    "Exit status: 0 success (also when the file holds no HCI records), 1 failure,\n"
    "2 usage error.\n";

struct Options {
    std::string defs;
    std::string output;
    bool emberFlint = false;
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
        std::string value;
        bool missing = false;
        if (args.option("--btsnoop", value, missing)) {
            if (missing || value.empty()) return usageError("export", "--btsnoop needs a file");
            o.output = value;
        } else if (args.option("--defs", value, missing)) {
            if (missing) return usageError("export", "--defs needs a file");
            o.defs = value;
        } else if (args.flag("--ember-flint")) {
            o.emberFlint = true;
        } else if (args.peek().size() > 1 && args.peek()[0] == '-') {
            return usageError("export", "unknown option '" + std::string(args.peek()) + "'");
        } else {
            positional.emplace_back(args.take());
        }
    }
    if (o.output.empty()) return usageError("export", "--btsnoop OUT is required");
    if (positional.size() != 1) return usageError("export", "expected exactly one RAWFILE");
    o.rawFile = positional[0];
    return 0;
}

}  // namespace

int runExport(int argc, char** argv) {
    Options o;
    if (const int rc = parse(argc, argv, o); rc != 0) return rc < 0 ? kExitOk : rc;

    TerminalView view(stderr, useColour(ColourMode::Auto, stderr));
    StringFilter filter;
    LogConsole console(view, filter);
    MessageDefinitionTable definitions;
    if (!loadDefinitionsFor(o.defs, console, definitions)) return kExitFailure;
    RawDataInput raw;
    if (!openRawDataInput(o.rawFile, console, raw, "export")) return kExitFailure;

    ProgressLine progress(stderr);
    std::atomic<bool> stop{false};
    const HciExportResult r = exportHciPackets(
        raw, o.rawFile, definitions, o.emberFlint, o.output, console, stop,
        [&](int percent) { progress.update(percent); }, defaultCaseLine(progress, console));
    progress.finish();
    if (reportScanFailure(r.scan, o.rawFile, console)) {
        std::fprintf(stderr, "nimbrel-cli: %s was not written.\n", o.output.c_str());
        return kExitFailure;
    }
    if (r.outputIsInput) {
        reportFailure(o.output + " is the raw data file itself", 0,
                      "give the btsnoop file another name");
        return kExitFailure;
    }
    if (r.writeError != 0) {
        reportFailure("cannot write " + o.output, r.writeError);
        return kExitFailure;
    }
    printHciExportSummary(r, o.output, console);
    return kExitOk;
}

}  // namespace nimbrel::cli

#include "cli/replay_inputs.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "cli/default_definitions.h"
#include "cli/failure_report.h"
#include "cli/progress_line.h"
#include "pipeline/log_console.h"
#include "pipeline/message_definition_table.h"
#include "platform/file_handle.h"
#include "platform/text.h"

namespace nimbrel::cli {
namespace {

// Why the definition loader could not read `path`, in words ("" when the loader's own
// lines say it all).
std::string definitionReadProblem(const std::string& path) {
    const FileStatus st = fileStatus(path);
    if (st.kind == FileKind::Missing) return std::strerror(st.error);
    if (st.kind == FileKind::Folder) return std::strerror(EISDIR);
    if (st.kind == FileKind::Fifo) return "it is a FIFO that nothing writes to";
    const int error = checkReadable(path);
    return error == 0 ? "" : std::strerror(error);
}

}  // namespace

bool loadDefinitionsFor(const std::string& given, LogConsole& console,
                        MessageDefinitionTable& definitions) {
    const std::string defs = given.empty() ? defaultDefinitionFile() : given;
    if (definitions.load(defs, console)) return true;
    const std::string problem = definitionReadProblem(defs);
    reportFailure(
        "cannot read the definition file " + defs + (problem.empty() ? "" : ": ") + problem, 0,
        "give one with --defs FILE, or put LOG1.h in the program folder");
    return false;
}

bool openRawDataInput(const std::string& path, LogConsole& console, RawDataInput& raw,
                      const char* command) {
    const FileStatus st = fileStatus(path);
    if (st.kind == FileKind::Missing) {
        console.print(u"[R] File \"%s\" doesn't exist.", {utf8ToUtf16(path)});
        reportFailure("cannot open " + path, st.error);
        return false;
    }
    const int openError = st.kind == FileKind::Folder ? EISDIR : raw.open(path);
    if (openError == 0) return true;
    reportRawDataOpenFailure(console, utf8ToUtf16(path), openError);
    reportFailure("cannot read " + path + ": " + fileErrorText(openError), 0,
                  openError == EISDIR || openError == kNotARegularFile
                      ? std::string(command) + " takes one raw data file, such as RawData_*.log"
                      : "");
    return false;
}

DefaultCaseReport defaultCaseLine(ProgressLine& progress, LogConsole& console) {
    return [&progress, &console](std::uint64_t offset) {
        progress.finish();
        char at[32];
        std::snprintf(at, sizeof at, "0x%" PRIx64, offset);
        console.print(u"++++++default case, error++++++ (file offset %s)", {utf8ToUtf16(at)});
    };
}

bool reportScanFailure(const ReplayScanResult& scan, const std::string& path, LogConsole& console) {
    if (scan.readError != 0) {
        console.print(u"[R] Fail to read raw data file \"%s\", error:0x%x",
                      {utf8ToUtf16(path), scan.readError});
        reportFailure("cannot read " + path, scan.readError);
        return true;
    }
    if (scan.fileChanged) {
        console.print(kRawDataChangedMessage, {utf8ToUtf16(path)});
        return true;
    }
    return false;
}

}  // namespace nimbrel::cli

#include "cli/replay_inputs.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>

#include "cli/default_definitions.h"
#include "cli/failure_report.h"
#include "cli/progress_line.h"
#include "pipeline/log_console.h"
#include "pipeline/message_definition_table.h"
#include "platform/file_handle.h"
#include "platform/text.h"

namespace nimbrel::cli {
namespace {

// The errno value of reading `path`, for a file the definition loader could not read.
int readError(const std::string& path) {
    const FileStatus st = fileStatus(path);
    if (st.kind == FileKind::Missing) return st.error;
    if (st.kind == FileKind::Folder) return EISDIR;
    return checkReadable(path);
}

}  // namespace

bool loadDefinitionsFor(const std::string& given, LogConsole& console,
                        MessageDefinitionTable& definitions) {
    const std::string defs = given.empty() ? defaultDefinitionFile() : given;
    if (definitions.load(defs, console)) return true;
    reportFailure("cannot read the definition file " + defs, readError(defs),
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
    console.print(u"[R] Fail to read raw data file \"%s\", error:0x%x",
                  {utf8ToUtf16(path), openError});
    reportFailure("cannot read " + path, openError,
                  openError == EISDIR
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

#include "cli/failure_report.h"

#include <cstdio>
#include <cstring>

#include "capture/failure_words.h"

namespace nimbrel::cli {

void reportFailure(const std::string& what, int error, const std::string& hint) {
    std::string line = "nimbrel-cli: " + what;
    if (error != 0) line += std::string(": ") + std::strerror(error);
    if (!hint.empty()) line += " (" + hint + ")";
    std::fprintf(stderr, "%s\n", line.c_str());
}

std::string serialPortHint(int error, const char* command, const std::string& devicePath) {
    const std::string help = std::string("see 'nimbrel-cli ") + command + " --help'";
    const std::string hint = nimbrel::serialPortHint(error, devicePath);
    if (hint.empty()) return help;
    return hint + (hint.back() == '?' ? " " : "; ") + help;
}

}  // namespace nimbrel::cli

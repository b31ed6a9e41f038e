#include "cli/failure_report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace nimbrel::cli {

void reportFailure(const std::string& what, int error, const std::string& hint) {
    std::string line = "nimbrel-cli: " + what;
    if (error != 0) line += std::string(": ") + std::strerror(error);
    if (!hint.empty()) line += " (" + hint + ")";
    std::fprintf(stderr, "%s\n", line.c_str());
}

std::string serialPortHint(int error, const char* command) {
    const std::string help = std::string("see 'nimbrel-cli ") + command + " --help'";
    switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO: return "is the adapter plugged in? " + help;
    case EACCES:
    case EPERM: return "is your user in the group that owns the device, commonly dialout? " + help;
    case EBUSY: return "is another program using the port? " + help;
    case ENOTTY:
    case EINVAL: return "is it a serial port? " + help;
    default: return help;
    }
}

}  // namespace nimbrel::cli

// On Windows the simulator writes raw data files only: its serial side needs a
// pseudo-terminal and its driver side the device bridge, both of which are Linux's.
#include <cstdio>

#include "cli/commands.h"
#include "cli/simulate_live.h"

namespace nimbrel::cli {
namespace {

int linuxOnly(const char* what) {
    std::fprintf(stderr,
                 "nimbrel-cli simulate: %s runs on Linux only; on Windows use --raw-file OUT\n",
                 what);
    return kExitFailure;
}

}  // namespace

int runSerialPort(const SimulateOptions&) { return linuxOnly("--serial"); }
int runPseudoTerminal(const SimulateOptions&) { return linuxOnly("--serial"); }
int runDriver(const SimulateOptions&) { return linuxOnly("--driver"); }

}  // namespace nimbrel::cli

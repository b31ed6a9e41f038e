// The live sides of nimbrel-cli simulate: streaming to a serial port or a new
// pseudo-terminal, and serving a driver device of the device bridge. They run on Linux; on
// Windows they say so and fail.
#pragma once

#include <cstdint>
#include <string>

#include "platform/serial_port.h"  // kDefaultBaudRate

namespace nimbrel::cli {

// What nimbrel-cli simulate was asked to do.
struct SimulateOptions {
    std::string rawFile;
    bool serial = false;
    std::string port;  // empty: a new pseudo-terminal
    bool haveRecords = false;
    std::uint64_t records = 0;
    std::uint64_t seed = 1;
    double rate = 100;
    bool haveRate = false;
    std::uint64_t baud = kDefaultBaudRate;
    bool haveBaud = false;
    bool help = false;
    std::string driver;  // "filter" or "uart"
    bool randomReplies = false;
    std::string requestLog;
    std::string radioDir;
    double radioOffAfter = -1;
    double radioOnAfter = -1;
};

// Each returns the command's exit code.
int runSerialPort(const SimulateOptions& o);
int runPseudoTerminal(const SimulateOptions& o);
int runDriver(const SimulateOptions& o);

}  // namespace nimbrel::cli

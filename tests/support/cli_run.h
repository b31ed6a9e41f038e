// Runs nimbrel-cli as a separate process and collects what it printed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace nimbrel::test {

struct CliResult {
    int code = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// `env` entries ("NAME=value") are added to (or replace) the test's own environment.
CliResult runCli(const std::vector<std::string>& args, const std::vector<std::string>& env = {});

// As runCli, sending `signal` to the program once `ready` (asked every millisecond while
// it runs) says true.
CliResult runCliAndSignal(const std::vector<std::string>& args, const std::function<bool()>& ready,
                          int signal, const std::vector<std::string>& env = {});

// As runCli, under a file-size limit (as "ulimit -f" sets it, in bytes) and with SIGXFSZ at
// its default action, which kills a program that does not ignore it (code -1 then). The
// output is collected through pipes, to which the limit does not apply.
CliResult runCliWithFileSizeLimit(const std::vector<std::string>& args, std::uint64_t limitBytes,
                                  const std::vector<std::string>& env = {});

}  // namespace nimbrel::test

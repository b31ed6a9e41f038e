// Runs nimbrel-cli as a separate process and collects what it printed.
#pragma once

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

}  // namespace nimbrel::test

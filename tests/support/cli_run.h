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
// Another program, looked up in PATH when its name has no '/'. A program that cannot be
// started gives code -1.
CliResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env = {});

// The test's environment with `env` entries ("NAME=value") added or replacing.
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& env);

}  // namespace nimbrel::test

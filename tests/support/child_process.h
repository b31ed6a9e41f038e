// A program (nimbrel-cli unless told otherwise) running beside the test: the test reads its
// stdout line by line, signals it and waits for it; its stderr is kept for messages.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "support/cli_run.h"
#include "support/temp_dir.h"

namespace nimbrel::test {

class ChildProcess {
public:
    // `args` follow the program, which is looked up in PATH when its name has no '/';
    // `env` entries ("NAME=value") add to or replace the test's environment.
    explicit ChildProcess(std::vector<std::string> args, const std::vector<std::string>& env = {},
                          std::string program = NIMBREL_CLI_PATH);
    // Kills the process if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return pid_ > 0; }
    // One line of stdout, waiting up to timeoutMs; what arrived so far when it runs out.
    std::string readLine(int timeoutMs);
    // All of stdout until the process closes it, waiting up to timeoutMs.
    std::string readAll(int timeoutMs);
    void signal(int sig);
    // Exit code, or -1 when the process did not end within timeoutMs or died of a signal.
    int wait(int timeoutMs);
    // What it wrote to stderr so far.
    std::string errText() const;

private:
    TempDir dir_;
    pid_t pid_ = -1;
    int out_ = -1;
};

// Runs another program to its end (killed after timeoutMs): code -1 when it could not be
// started or did not end.
CliResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env = {}, int timeoutMs = 120000);

}  // namespace nimbrel::test

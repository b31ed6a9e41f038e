// A program (nimbrel-cli unless told otherwise) running beside the test: the test reads its
// stdout line by line, signals it and waits for it; its stderr is kept for messages.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

#include "support/temp_dir.h"

namespace nimbrel::test {

class CliProcess {
public:
    // `args` follow the program; `env` entries ("NAME=value") add to or replace the test's
    // environment.
    explicit CliProcess(std::vector<std::string> args, const std::vector<std::string>& env = {},
                        std::string program = NIMBREL_CLI_PATH);
    // Kills the process if it still runs.
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    bool started() const { return pid_ > 0; }
    // One line of stdout, waiting up to timeoutMs; what arrived so far when it runs out.
    std::string readLine(int timeoutMs);
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

}  // namespace nimbrel::test

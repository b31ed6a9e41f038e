// Runs nimbrel-cli as a separate process and collects what it printed.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <sys/types.h>
#include <vector>

#include "support/temp_dir.h"

namespace nimbrel::test {

struct CliResult {
    int code = -1;  // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// `env` entries ("NAME=value") are added to (or replace) the test's own environment.
CliResult runCli(const std::vector<std::string>& args, const std::vector<std::string>& env = {});

// nimbrel-cli running in the background, for tests that stop it with a signal.
class CliProcess {
public:
    CliProcess(const std::vector<std::string>& args, const std::vector<std::string>& env = {});
    // Kills a process that is still running.
    ~CliProcess();
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    void signal(int sig);
    // Waits up to `limit` for the exit (then kills the process); what it printed.
    // `whileRunning` is called about every millisecond until then.
    CliResult wait(std::chrono::milliseconds limit = std::chrono::seconds(30),
                   const std::function<void()>& whileRunning = {});
    // What it has written to stderr so far.
    std::string errSoFar() const;

private:
    TempDir dir_;
    pid_t pid_ = -1;
};

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

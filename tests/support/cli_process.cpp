#include "support/cli_process.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/cli_run.h"

namespace nimbrel::test {
namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

CliProcess::CliProcess(std::vector<std::string> args, const std::vector<std::string>& env,
                       std::string program) {
    args.insert(args.begin(), std::move(program));
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText = mergedEnvironment(env);
    std::vector<char*> envp;
    for (std::string& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return;
    const std::string errPath = dir_.file("stderr");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // posix_spawnp: a program without a '/' is looked up in PATH (tshark).
    if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    out_ = fds[0];
}

CliProcess::~CliProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
}

std::string CliProcess::readLine(int timeoutMs) {
    std::string line;
    const auto start = Clock::now();
    while (msSince(start) < timeoutMs) {
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        char c;
        if (::read(out_, &c, 1) != 1) break;
        if (c == '\n') return line;
        line += c;
    }
    return line;
}

void CliProcess::signal(int sig) {
    if (pid_ > 0) ::kill(pid_, sig);
}

int CliProcess::wait(int timeoutMs) {
    const auto start = Clock::now();
    while (pid_ > 0 && msSince(start) < timeoutMs) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        ::poll(nullptr, 0, 10);
    }
    return -1;
}

std::string CliProcess::errText() const {
    std::ifstream in(dir_.file("stderr"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace nimbrel::test

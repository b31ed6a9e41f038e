#include "support/child_process.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace nimbrel::test {
namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

}  // namespace

ChildProcess::ChildProcess(std::vector<std::string> args, const std::vector<std::string>& env,
                         std::string program) {
    args.insert(args.begin(), std::move(program));
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText;
    auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        bool replaced = false;
        for (const std::string& mine : env) replaced = replaced || nameOf(mine) == nameOf(entry);
        if (!replaced) envText.push_back(entry);
    }
    envText.insert(envText.end(), env.begin(), env.end());
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

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
}

std::string ChildProcess::readLine(int timeoutMs) {
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

void ChildProcess::signal(int sig) {
    if (pid_ > 0) ::kill(pid_, sig);
}

int ChildProcess::wait(int timeoutMs) {
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

std::string ChildProcess::readAll(int timeoutMs) {
    std::string text;
    const auto start = Clock::now();
    while (msSince(start) < timeoutMs) {
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        char buf[4096];
        const ssize_t n = ::read(out_, buf, sizeof buf);
        if (n <= 0) break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    return text;
}

std::string ChildProcess::errText() const {
    std::ifstream in(dir_.file("stderr"), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

CliResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::vector<std::string>& env, int timeoutMs) {
    ChildProcess child(args, env, program);
    CliResult result;
    if (!child.started()) return result;
    const auto start = Clock::now();
    result.out = child.readAll(timeoutMs);
    result.code = child.wait(std::max<int>(0, timeoutMs - static_cast<int>(msSince(start))));
    result.err = child.errText();
    return result;
}

}  // namespace nimbrel::test

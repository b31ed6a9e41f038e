#include "support/cli_run.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace nimbrel::test {
namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The program's arguments and environment, as execve takes them.
struct Invocation {
    std::vector<std::string> argvText;
    std::vector<std::string> envText;
    std::vector<char*> argv;
    std::vector<char*> envp;
};

void describe(Invocation& call, const std::vector<std::string>& args,
              const std::vector<std::string>& env) {
    call.argvText.push_back(NIMBREL_CLI_PATH);
    call.argvText.insert(call.argvText.end(), args.begin(), args.end());
    for (std::string& a : call.argvText) call.argv.push_back(a.data());
    call.argv.push_back(nullptr);

    std::vector<std::string>& envText = call.envText;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& mine : env)
            replaced = replaced || mine.substr(0, mine.find('=')) == name;
        if (!replaced) envText.push_back(entry);
    }
    envText.insert(envText.end(), env.begin(), env.end());
    for (std::string& e : envText) call.envp.push_back(e.data());
    call.envp.push_back(nullptr);
}

// Starts nimbrel-cli with stdout and stderr in the given files; its pid, or -1.
pid_t spawnCli(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const std::string& outPath, const std::string& errPath) {
    Invocation call;
    describe(call, args, env);
    std::vector<char*>& argv = call.argv;
    std::vector<char*>& envp = call.envp;

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

}  // namespace

CliResult runCli(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    CliProcess process(args, env);
    return process.wait(std::chrono::hours(1));
}

CliProcess::CliProcess(const std::vector<std::string>& args, const std::vector<std::string>& env)
    : pid_(spawnCli(args, env, dir_.file("out"), dir_.file("err"))) {}

CliProcess::~CliProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
    }
}

void CliProcess::signal(int sig) {
    if (pid_ > 0) ::kill(pid_, sig);
}

CliResult CliProcess::wait(std::chrono::milliseconds limit,
                           const std::function<void()>& whileRunning) {
    CliResult result;
    if (pid_ <= 0) return result;
    const auto end = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) break;
        if (done < 0 && errno != EINTR) break;
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid_, SIGKILL);
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
            status = -1;
            break;
        }
        if (whileRunning) whileRunning();
        std::this_thread::sleep_for(std::chrono::milliseconds(whileRunning ? 1 : 2));
    }
    pid_ = -1;
    if (status != -1 && WIFEXITED(status)) result.code = WEXITSTATUS(status);
    result.out = slurp(dir_.file("out"));
    result.err = slurp(dir_.file("err"));
    return result;
}

std::string CliProcess::errSoFar() const { return slurp(dir_.file("err")); }

CliResult runCliAndSignal(const std::vector<std::string>& args, const std::function<bool()>& ready,
                          int signal, const std::vector<std::string>& env) {
    CliProcess process(args, env);
    bool sent = false;
    return process.wait(std::chrono::hours(1), [&] {
        if (!sent && ready()) {
            process.signal(signal);
            sent = true;
        }
    });
}

CliResult runCliWithFileSizeLimit(const std::vector<std::string>& args, std::uint64_t limitBytes,
                                  const std::vector<std::string>& env) {
    Invocation call;
    describe(call, args, env);
    int out[2], err[2];
    CliResult result;
    if (::pipe2(out, O_CLOEXEC) != 0) return result;
    if (::pipe2(err, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return result;
    }
    const rlimit limit{static_cast<rlim_t>(limitBytes), static_cast<rlim_t>(limitBytes)};
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        const int in = ::open("/dev/null", O_RDONLY);
        ::dup2(in, STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(err[1], STDERR_FILENO);
        ::signal(SIGXFSZ, SIG_DFL);
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::execve(call.argv[0], call.argv.data(), call.envp.data());
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    if (pid < 0) {
        ::close(out[0]);
        ::close(err[0]);
        return result;
    }
    pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* texts[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    if (WIFEXITED(status)) result.code = WEXITSTATUS(status);
    return result;
}

}  // namespace nimbrel::test

#include "support/cli_run.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <spawn.h>
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

// Starts nimbrel-cli with stdout and stderr in the given files; its pid, or -1.
pid_t spawnCli(const std::vector<std::string>& args, const std::vector<std::string>& env,
               const std::string& outPath, const std::string& errPath) {
    std::vector<std::string> argvText{NIMBREL_CLI_PATH};
    argvText.insert(argvText.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : argvText) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> envText;
    for (char** e = environ; *e; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('='));
        bool replaced = false;
        for (const std::string& mine : env)
            replaced = replaced || mine.substr(0, mine.find('=')) == name;
        if (!replaced) envText.push_back(entry);
    }
    envText.insert(envText.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (std::string& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);

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

CliResult CliProcess::wait(std::chrono::milliseconds limit) {
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
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    pid_ = -1;
    if (status != -1 && WIFEXITED(status)) result.code = WEXITSTATUS(status);
    result.out = slurp(dir_.file("out"));
    result.err = slurp(dir_.file("err"));
    return result;
}

std::string CliProcess::errSoFar() const { return slurp(dir_.file("err")); }

}  // namespace nimbrel::test

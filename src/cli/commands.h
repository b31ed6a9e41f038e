// Subcommands of nimbrel-cli. Each returns the process exit code: 0 success, 1 runtime
// failure (message on stderr), 2 usage error.
#pragma once

namespace nimbrel::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// argv[0] is the subcommand's name.
using CommandMain = int (*)(int argc, char** argv);

struct Command {
    const char* name;
    const char* summary;
    CommandMain run;
};

}  // namespace nimbrel::cli

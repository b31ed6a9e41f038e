// A small parser for "--name VALUE", "--name=VALUE", flags and positional arguments.
#pragma once

#include <string>
#include <string_view>

#include "cli/terminal_view.h"

namespace nimbrel::cli {

class Args {
public:
    Args(int argc, char** argv) : argc_(argc), argv_(argv) {}

    bool done() const { return index_ >= argc_; }
    std::string_view peek() const { return argv_[index_]; }
    std::string_view take() { return argv_[index_++]; }
    // True (and consumed) when the current argument is this flag.
    bool flag(std::string_view name);
    // True when the current argument is this option; its value goes to `value`. A missing
    // value sets `missing`.
    bool option(std::string_view name, std::string& value, bool& missing);
    bool isHelp() const { return !done() && (peek() == "--help" || peek() == "-h"); }

private:
    int argc_;
    char** argv_;
    int index_ = 1;  // argv[0] is the command's name
};

// Options shared by the commands that decode records (replay, capture).
struct DecodeOptions {
    std::string defs;  // empty: the file the GUI would choose
    bool parse = false;
    ColourMode colour = ColourMode::Auto;
};

enum class Taken { No, Yes, UsageError };
// Takes --defs, --parse or --color when it is the current argument (a usage error has been
// printed when it returns UsageError).
Taken takeDecodeOption(Args& args, const char* command, DecodeOptions& options);

// Prints "nimbrel-cli COMMAND: MESSAGE" and a hint to --help on stderr; returns 2.
int usageError(const char* command, const std::string& message);
// Parses a whole decimal number within [min, max].
bool parseNumber(std::string_view text, long long min, long long max, long long& out);

}  // namespace nimbrel::cli

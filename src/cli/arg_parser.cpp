#include "cli/arg_parser.h"

#include <charconv>
#include <cstdio>

#include "cli/commands.h"

namespace nimbrel::cli {

bool Args::flag(std::string_view name) {
    if (done() || peek() != name) return false;
    ++index_;
    return true;
}

bool Args::option(std::string_view name, std::string& value, bool& missing) {
    if (done()) return false;
    const std::string_view arg = peek();
    if (arg == name) {
        ++index_;
        if (done()) {
            missing = true;
            return true;
        }
        value = take();
        return true;
    }
    if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
        value = arg.substr(name.size() + 1);
        ++index_;
        return true;
    }
    return false;
}

Taken takeDecodeOption(Args& args, const char* command, DecodeOptions& options) {
    std::string value;
    bool missing = false;
    if (args.flag("--parse")) {
        options.parse = true;
        return Taken::Yes;
    }
    if (args.option("--defs", value, missing)) {
        if (missing) return usageError(command, "--defs needs a file"), Taken::UsageError;
        options.defs = value;
        return Taken::Yes;
    }
    if (args.option("--color", value, missing)) {
        if (missing || !parseColourMode(value.c_str(), options.colour)) {
            return usageError(command, "--color takes auto, always or never"), Taken::UsageError;
        }
        return Taken::Yes;
    }
    return Taken::No;
}

int usageError(const char* command, const std::string& message) {
    std::fprintf(stderr, "nimbrel-cli %s: %s\nRun 'nimbrel-cli %s --help' for usage.\n", command,
                 message.c_str(), command);
    return kExitUsage;
}

bool parseNumber(std::string_view text, long long min, long long max, long long& out) {
    long long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size() || v < min || v > max) return false;
    out = v;
    return true;
}

}  // namespace nimbrel::cli

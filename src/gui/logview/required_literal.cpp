// The literal that every match of a regular expression holds: the prefilter's text.
#include <cctype>
#include <cstring>

#include "gui/logview/line_matcher.h"

namespace nimbrel::gui {

namespace {

// Index past the group or class that starts at `i`; npos when it does not end.
std::size_t skipClass(std::string_view p, std::size_t i) {
    ++i;  // '['
    if (i < p.size() && p[i] == '^') ++i;
    if (i < p.size() && p[i] == ']') ++i;
    while (i < p.size() && p[i] != ']') {
        if (p[i] == '\\') ++i;
        else if (p[i] == '[' && i + 1 < p.size() && p[i + 1] == ':') {
            const std::size_t end = p.find(":]", i + 2);
            if (end == std::string_view::npos) return end;
            i = end + 1;
        }
        ++i;
    }
    return i < p.size() ? i + 1 : std::string_view::npos;
}

std::size_t skipGroup(std::string_view p, std::size_t i) {
    int depth = 0;
    while (i < p.size()) {
        const char c = p[i];
        if (c == '\\') {
            i += 2;
            continue;
        }
        if (c == '[') {
            i = skipClass(p, i);
            if (i == std::string_view::npos) return i;
            continue;
        }
        if (c == '(') ++depth;
        if (c == ')' && --depth == 0) return i + 1;
        ++i;
    }
    return std::string_view::npos;
}

// A counted repetition "{n}", "{n,}" or "{n,m}" at `i`: its length and minimum, or 0.
std::size_t countedRepeat(std::string_view p, std::size_t i, int& minimum) {
    std::size_t k = i + 1;
    const std::size_t digits = k;
    minimum = 0;
    while (k < p.size() && std::isdigit(static_cast<unsigned char>(p[k]))) {
        minimum = std::min(minimum * 10 + (p[k] - '0'), 1000);
        ++k;
    }
    if (k == digits) return 0;
    if (k < p.size() && p[k] == ',') {
        ++k;
        while (k < p.size() && std::isdigit(static_cast<unsigned char>(p[k]))) ++k;
    }
    return k < p.size() && p[k] == '}' ? k + 1 - i : 0;
}

}  // namespace

std::string requiredLiteral(std::string_view p) {
    std::string best, run;
    std::size_t atomStart = std::string::npos;  // where the run's last character starts
    auto endRun = [&] {
        if (run.size() > best.size()) best = run;
        run.clear();
        atomStart = std::string::npos;
    };
    std::size_t i = 0;
    while (i < p.size()) {
        const char c = p[i];
        // A repetition applies to the atom before it.
        if (c == '*' || c == '?' || c == '+' || c == '{') {
            int minimum = c == '+' ? 1 : 0;
            std::size_t len = 1;
            if (c == '{') {
                len = countedRepeat(p, i, minimum);
                if (len == 0) {  // a plain '{'
                    atomStart = run.size();
                    run.push_back(c);
                    ++i;
                    continue;
                }
            }
            if (minimum == 0 && atomStart != std::string::npos) run.resize(atomStart);
            endRun();
            i += len;
            if (i < p.size() && (p[i] == '?' || p[i] == '+')) ++i;  // lazy, possessive
            continue;
        }
        switch (c) {
        case '|': return {};
        case '(':
            if (i + 2 < p.size() && p[i + 1] == '?' && !std::strchr(":=!<>", p[i + 2]))
                return {};  // inline options change how the rest matches
            endRun();
            i = skipGroup(p, i);
            if (i == std::string_view::npos) return {};
            continue;
        case '[':
            endRun();
            i = skipClass(p, i);
            if (i == std::string_view::npos) return {};
            continue;
        case '.':
        case '^':
        case '$':
        case ')':
            endRun();
            ++i;
            continue;
        case '\\': {
            if (i + 1 >= p.size()) return {};
            const unsigned char e = static_cast<unsigned char>(p[i + 1]);
            if (std::isalnum(e)) {
                // Escapes with arguments would leave their argument looking like text.
                if (std::isdigit(e) || std::strchr("xupPQEcNkgo", e)) return {};
                endRun();
            } else {
                atomStart = run.size();
                run.push_back(static_cast<char>(e));
            }
            i += 2;
            continue;
        }
        default: {
            // A character beyond ASCII is one atom of several bytes.
            std::size_t n = 1;
            const auto u = static_cast<unsigned char>(c);
            if (u >= 0xF0) n = 4;
            else if (u >= 0xE0) n = 3;
            else if (u >= 0xC0) n = 2;
            atomStart = run.size();
            run.append(p.substr(i, n));
            i += n;
        }
        }
    }
    endRun();
    return best;
}

}  // namespace nimbrel::gui

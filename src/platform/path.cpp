#include "platform/path.h"

namespace nimbrel {
namespace {

std::size_t lastSeparator(std::string_view path) {
    for (std::size_t i = path.size(); i > 0; --i) {
        if (isPathSeparator(path[i - 1])) return i - 1;
    }
    return std::string_view::npos;
}

}  // namespace

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (!out.empty() && !isPathSeparator(out.back())) out.push_back(kPathSeparator);
    out.append(name);
    return out;
}

std::string_view pathFileName(std::string_view path) {
    const std::size_t at = lastSeparator(path);
    return at == std::string_view::npos ? path : path.substr(at + 1);
}

std::string_view pathFolder(std::string_view path) {
    const std::size_t at = lastSeparator(path);
    return at == std::string_view::npos ? std::string_view() : path.substr(0, at);
}

}  // namespace nimbrel

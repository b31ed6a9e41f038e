// A temporary folder removed with its contents at the end of a test.
#pragma once

#include <filesystem>
#include <string>

#include "platform/path.h"

namespace nimbrel::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return joinPath(path_, name); }

private:
    std::string path_;
};

}  // namespace nimbrel::test

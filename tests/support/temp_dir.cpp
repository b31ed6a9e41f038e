#include "support/temp_dir.h"

#include <cstdlib>
#include <system_error>

namespace nimbrel::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "nimbrel-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

}  // namespace nimbrel::test

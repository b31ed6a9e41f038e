#include "settings_test_env.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "pipeline/settings_store.h"

namespace nimbrel::test {
namespace {

namespace fs = std::filesystem;

// Created during static initialisation, before any test or QSettings use.
struct World {
    fs::path root;
    World() {
        char pattern[] = "/tmp/nimbrel-settings-test-XXXXXX";
        if (const char* made = ::mkdtemp(pattern)) {
            root = made;
            fs::create_directories(root / "config");
            fs::create_directories(root / "home");
            fs::create_directories(root / "scratch");
            ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        }
    }
    ~World() {
        std::error_code ignored;
        if (!root.empty()) fs::remove_all(root, ignored);
    }
};
const World g_world;

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

std::string configHome() { return env("XDG_CONFIG_HOME"); }
std::string programHome() { return (g_world.root / "home").string(); }
std::string scratchFolder() { return (g_world.root / "scratch").string(); }

void resetSettingsWorld() {
    std::error_code ignored;
    const fs::path config = configHome();
    if (!config.empty()) {
        fs::remove_all(config / "Corvane", ignored);
        fs::remove_all(config / "autostart", ignored);
    }
    const fs::path home = programHome();
    if (!g_world.root.empty()) {
        for (const auto& entry : fs::directory_iterator(home, ignored))
            fs::remove_all(entry.path(), ignored);
    }
    // One read after the removal lets QSettings notice at once that the file is gone, so
    // that a file written by hand next is read afresh whatever its size and time.
    SettingsStore().GetComPort();
}

void SettingsWorldTest::SetUp() {
    if (const char* home = std::getenv("NIMBREL_HOME")) savedHome_ = home;
    ::setenv("NIMBREL_HOME", programHome().c_str(), 1);
    resetSettingsWorld();
}

void SettingsWorldTest::TearDown() {
    if (savedHome_) {
        ::setenv("NIMBREL_HOME", savedHome_->c_str(), 1);
    } else {
        ::unsetenv("NIMBREL_HOME");
    }
}

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return static_cast<bool>(out.flush());
}

bool readFile(const std::string& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool fileExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

}  // namespace nimbrel::test

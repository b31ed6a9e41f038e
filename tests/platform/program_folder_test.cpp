#include "platform/program_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "support/temp_dir.h"

namespace nimbrel {
namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// An installed layout: <prefix>/bin and <prefix>/share/nimbrel with two definition files.
struct Prefix {
    test::TempDir root;
    std::string bin = root.file("bin");
    std::string share = root.file("share/nimbrel");
    Prefix() {
        std::filesystem::create_directories(bin);
        std::filesystem::create_directories(share + "/sub");
        std::ofstream(share + "/LOG1.h") << "#define A 1 //\"installed\"\n";
        std::ofstream(share + "/log_amber.h") << "#define B 2 //\"amber\"\n";
    }
};

TEST(ProgramFolder, AnInstalledProgramUsesTheSeededUserDataFolder) {
    Prefix prefix;
    test::TempDir data;
    ScopedEnv xdg("XDG_DATA_HOME", data.path());
    EXPECT_EQ(installedDataFolder(prefix.bin), prefix.share);

    const std::string folder = programFolderOf(prefix.bin);
    EXPECT_EQ(folder, data.path() + "/nimbrel");
    EXPECT_EQ(readText(folder + "/LOG1.h"), "#define A 1 //\"installed\"\n");
    EXPECT_EQ(readText(folder + "/log_amber.h"), "#define B 2 //\"amber\"\n");
    EXPECT_FALSE(std::filesystem::exists(folder + "/sub")) << "only files are seeded";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 2)
        << "no temporary files remain";
}

TEST(ProgramFolder, SeedingFillsOnlyWhatIsMissingAndKeepsTheUsersFiles) {
    Prefix prefix;
    test::TempDir data;
    const std::string to = data.file("deep/nimbrel");
    std::filesystem::create_directories(to);
    std::ofstream(to + "/LOG1.h") << "edited by the user\n";
    EXPECT_EQ(seedFolder(prefix.share, to), 1);
    EXPECT_EQ(readText(to + "/LOG1.h"), "edited by the user\n");
    EXPECT_EQ(readText(to + "/log_amber.h"), "#define B 2 //\"amber\"\n");
    EXPECT_EQ(seedFolder(prefix.share, to), 0);

    // A folder that cannot be made.
    std::ofstream(data.file("plain")) << "x";
    EXPECT_EQ(seedFolder(prefix.share, data.file("plain/nimbrel")), -1);
}

TEST(ProgramFolder, ABuildTreeKeepsTheExecutablesFolderAndNimbrelHomeOverrides) {
    test::TempDir tree;
    std::filesystem::create_directories(tree.file("bin"));
    std::filesystem::create_directories(tree.file("tools/share/nimbrel"));
    EXPECT_EQ(programFolderOf(tree.file("bin")), tree.file("bin"));
    // Only an executable in a folder named bin counts as installed.
    EXPECT_EQ(installedDataFolder(tree.file("tools/x")), "");
    EXPECT_EQ(programFolderOf(tree.file("tools/x")), tree.file("tools/x"));

    ScopedEnv home("NIMBREL_HOME", tree.path() + "/mine//");
    EXPECT_EQ(programFolder(), tree.path() + "/mine");
}

}  // namespace
}  // namespace nimbrel

#include "platform/serial_port_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace nimbrel {
namespace {

namespace fs = std::filesystem;

// A stand-in for /sys/class/tty: each entry a folder, with an optional "device" link and
// an optional "type" file.
class FakeTtyClass : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("nimbrel-tty-" + std::to_string(::getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_ / "devices");
    }
    void TearDown() override { fs::remove_all(root_); }

    void entry(const std::string& name, bool device, const char* type = nullptr) {
        const fs::path dir = root_ / "class" / name;
        fs::create_directories(dir);
        if (device) fs::create_directory_symlink(root_ / "devices", dir / "device");
        if (type) std::ofstream(dir / "type") << type << "\n";
    }
    std::string classDir() const { return (root_ / "class").string(); }

    fs::path root_;
};

TEST_F(FakeTtyClass, ListsRealDevicesInNaturalOrderThenTypedNames) {
    entry("tty0", false);
    entry("console", false);
    entry("ptmx", false);
    entry("ttyS0", true, "4");
    entry("ttyS1", true, "0");  // UART slot without a chip
    entry("ttyS10", true, "4");
    entry("ttyS2", true, "4");
    entry("ttyUSB0", true);
    entry("ttyACM0", true);

    const std::vector<std::string> ports =
        listSerialPorts({"/dev/pts/3", "ttyUSB0", "", "ttyUSB9"}, classDir());
    const std::vector<std::string> expected = {"ttyACM0", "ttyS0",      "ttyS2",  "ttyS10",
                                               "ttyUSB0", "/dev/pts/3", "ttyUSB9"};
    EXPECT_EQ(ports, expected);
}

TEST_F(FakeTtyClass, MissingClassFolderGivesTypedNamesOnly) {
    const std::vector<std::string> ports =
        listSerialPorts({"ttyUSB0"}, (root_ / "nothing").string());
    EXPECT_EQ(ports, std::vector<std::string>{"ttyUSB0"});
}

}  // namespace
}  // namespace nimbrel

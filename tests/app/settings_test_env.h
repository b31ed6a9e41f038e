// A private world for the tests that touch the stores. XDG_CONFIG_HOME points into a
// temporary folder from before main() runs (QSettings fixes its folders at first use), so
// no test of this executable touches the user's real settings. Tests derived from
// SettingsWorldTest also get NIMBREL_HOME pointed at an empty program folder of their own
// (restored afterwards), and start with no settings file and no autostart entry.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace nimbrel::test {

// The folders in use.
std::string configHome();
std::string programHome();
// A folder for the tests' own files, left alone by resetSettingsWorld.
std::string scratchFolder();

// Removes everything the tests may have left: the settings file, the autostart entry, and
// the files of the program folder.
void resetSettingsWorld();

class SettingsWorldTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    std::optional<std::string> savedHome_;
};

// Writes a file (creating nothing else); true on success.
bool writeFile(const std::string& path, const std::string& bytes);
// The whole file, or false when it cannot be read.
bool readFile(const std::string& path, std::string& bytes);
bool fileExists(const std::string& path);

}  // namespace nimbrel::test

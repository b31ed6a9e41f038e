// nimbrel-cli settings, run as its own process with the test's XDG_CONFIG_HOME and
// NIMBREL_HOME.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "pipeline/settings_store.h"
#include "settings_test_env.h"
#include "support/cli_run.h"

namespace nimbrel {
namespace {

using test::configHome;
using test::fileExists;
using test::programHome;
using test::readFile;
using test::writeFile;

using test::runCli;

class SettingsCommandTest : public test::SettingsWorldTest {
protected:
    static std::string settingsFile() { return configHome() + "/Corvane/Bluetooth/Nimbrel.conf"; }

    SettingsStore store;
};

TEST_F(SettingsCommandTest, SetWritesWhatTheProgramThenReads) {
    test::CliResult run = runCli({"settings", "set", "BaudRate", "9600"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(store.GetBaudRate(), 9600u);
    EXPECT_EQ(runCli({"settings", "get", "baudrate"}).out, "9600\n");

    EXPECT_EQ(runCli({"settings", "set", "Com", ""}).code, 0);
    EXPECT_EQ(store.GetComPort(), u"");
    EXPECT_EQ(runCli({"settings", "get", "Com"}).out, "\n");

    EXPECT_EQ(runCli({"settings", "set", "Log1Path", "/opt/my defs/LOG1.h"}).code, 0);
    EXPECT_EQ(store.GetLog1Path(), u"/opt/my defs/LOG1.h");

    EXPECT_EQ(runCli({"settings", "set", "ApplicationLook", "215"}).code, 0);
    EXPECT_EQ(store.GetApplicationLook(), 215);
    EXPECT_EQ(runCli({"settings", "set", "AutoGetLogForUart", "0xFFFFFFFF"}).code, 0);
    EXPECT_EQ(store.GetAutoGetLogForUart(), 0xFFFFFFFFu);
}

TEST_F(SettingsCommandTest, GetGivesTheDefaultsAndFailsForValuesThatAreNeverRead) {
    EXPECT_EQ(runCli({"settings", "get", "Com"}).out, "ttyUSB0\n");
    EXPECT_EQ(runCli({"settings", "get", "Workspace/ApplicationLook"}).out, "214\n");
    EXPECT_EQ(runCli({"settings", "get", "Log1Path"}).out, "\n");

    const test::CliResult absent = runCli({"settings", "get", "AutoGetLog"});
    EXPECT_EQ(absent.code, 1);
    EXPECT_NE(absent.err.find("AutoGetLog is not stored"), std::string::npos) << absent.err;
    EXPECT_FALSE(fileExists(settingsFile())) << "reading created the settings file";
    store.SetAutoGetLog(1);
    EXPECT_EQ(runCli({"settings", "get", "AutoGetLog"}).out, "1\n");

    ASSERT_TRUE(writeFile(programHome() + "/fwconfig.ini", "[setting]\nAutoGetLog=2\n"));
    EXPECT_EQ(runCli({"settings", "get", "fwconfig:AutoGetLog"}).out, "2\n");
}

TEST_F(SettingsCommandTest, BadValuesAndNamesAreUsageErrorsThatChangeNothing) {
    const test::CliResult word = runCli({"settings", "set", "BaudRate", "fast"});
    EXPECT_EQ(word.code, 2);
    EXPECT_NE(word.err.find("BaudRate takes a number"), std::string::npos) << word.err;
    EXPECT_EQ(runCli({"settings", "set", "PrintRawData", "4294967296"}).code, 2);
    // The numbers are 0 to 4294967295: no negative number is stored as its bit pattern.
    for (const char* negative : {"-1", " -5", "-0x10"}) {
        const test::CliResult run = runCli({"settings", "set", "BaudRate", negative});
        EXPECT_EQ(run.code, 2) << negative;
        EXPECT_NE(run.err.find("BaudRate takes a number (0 to 4294967295, 0x hexadecimal), not '" +
                               std::string(negative) + "'"),
                  std::string::npos)
            << run.err;
    }
    EXPECT_EQ(runCli({"settings", "set", "ApplicationLook", "300"}).code, 2);
    EXPECT_EQ(runCli({"settings", "set", "NoSuchThing", "1"}).code, 2);
    EXPECT_FALSE(fileExists(settingsFile()));

    const test::CliResult readOnly = runCli({"settings", "set", "fwconfig:AutoGetLog", "1"});
    EXPECT_EQ(readOnly.code, 2);
    EXPECT_NE(readOnly.err.find("read-only"), std::string::npos) << readOnly.err;
    EXPECT_FALSE(fileExists(programHome() + "/fwconfig.ini"));

    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"settings"},
                                               {"settings", "frob"},
                                               {"settings", "--bogus"},
                                               {"settings", "list", "extra"},
                                               {"settings", "get"},
                                               {"settings", "get", "Nope"},
                                               {"settings", "set", "Log1Path"},
                                               {"settings", "set", "Com", "a", "b"},
                                               {"settings", "set", "--force", "Com", "a"}}) {
        // One line saying what is wrong, one pointing to the help: not the whole help.
        const test::CliResult run = runCli(args);
        EXPECT_EQ(run.code, 2) << args.back();
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2)
            << args.back() << ": " << run.err;
        EXPECT_EQ(run.err.rfind("nimbrel-cli settings: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("\nRun 'nimbrel-cli settings"), std::string::npos)
            << args.back() << ": " << run.err;
    }
}

// A settings file that is not in the settings format: reading says so once and gives the
// defaults; setting a value keeps the file beside itself as .bad, starts from the
// defaults, stores the value and says it did.
TEST_F(SettingsCommandTest, AnUnreadableSettingsFileIsReportedOnceAndKeptAside) {
    const std::string garbage = "\x01\xfe[garbage\nCom=ttyS9\nnot a setting at all\n";
    store.SetBaudRate(9600);  // creates the folders
    ASSERT_TRUE(writeFile(settingsFile(), garbage));
    const std::string said = "nimbrel-cli settings: the settings file " + settingsFile() +
                             " cannot be read (it is not in the settings format); the defaults "
                             "apply. Setting a value keeps it as " +
                             settingsFile() + ".bad and starts again from the defaults.\n";
    const test::CliResult get = runCli({"settings", "get", "Com"});
    EXPECT_EQ(get.code, 0);
    EXPECT_EQ(get.out, "ttyUSB0\n");
    EXPECT_EQ(get.err, said);
    const test::CliResult list = runCli({"settings", "list"});
    EXPECT_EQ(list.err, said);

    const test::CliResult set = runCli({"settings", "set", "Com", "ttyS3"});
    EXPECT_EQ(set.code, 0) << set.err;
    EXPECT_EQ(set.err, "nimbrel-cli settings: the settings file " + settingsFile() +
                           " could not be read (it is not in the settings format); it is kept "
                           "as " +
                           settingsFile() +
                           ".bad and the other settings are back at their "
                           "defaults.\n");
    std::string kept, now;
    ASSERT_TRUE(readFile(settingsFile() + ".bad", kept));
    EXPECT_EQ(kept, garbage);
    ASSERT_TRUE(readFile(settingsFile(), now));
    EXPECT_EQ(now, "[General]\nCom=ttyS3\n");
    const test::CliResult after = runCli({"settings", "get", "Com"});
    EXPECT_EQ(after.out, "ttyS3\n");
    EXPECT_EQ(after.err, "");
}

TEST_F(SettingsCommandTest, HelpEverywhere) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"settings", "--help"},
                                               {"settings", "list", "--help"},
                                               {"settings", "get", "--help"},
                                               {"settings", "set", "-h"}}) {
        const test::CliResult run = runCli(args);
        EXPECT_EQ(run.code, 0) << args.back();
        EXPECT_EQ(run.out.rfind("Usage: nimbrel-cli settings", 0), 0u) << run.out;
    }
    const test::CliResult top = runCli({"--help"});
    EXPECT_NE(top.out.find("settings"), std::string::npos) << top.out;
}

TEST_F(SettingsCommandTest, ListShowsEveryValueAndWhereItLives) {
    test::CliResult empty = runCli({"settings", "list"});
    EXPECT_EQ(empty.code, 0) << empty.err;
    EXPECT_FALSE(fileExists(settingsFile())) << "listing created the settings file";
    EXPECT_NE(empty.out.find("Settings file: " + settingsFile() + "  (not created yet)\n"),
              std::string::npos)
        << empty.out;

    store.SetLog1Path(u"/opt/defs/LOG1.h");
    store.SetAutoGetLog(0);
    ASSERT_TRUE(writeFile(settingsFile(),
                          "[General]\nLog1Path=/opt/defs/LOG1.h\nAutoGetLog=0\nBaudRate=fast\n"));
    ASSERT_TRUE(
        writeFile(programHome() + "/fwconfig.ini", "[setting]\nAutoGetLog=2\nAutoSaveRawData=1\n"));
    const test::CliResult run = runCli({"settings", "list"});
    EXPECT_EQ(run.code, 0) << run.err;
    // Values in one column, notes in the next (the longest value here is the path).
    for (
        const std::string& expected : {
            "Settings file: " + settingsFile() + "\n",
            std::string("  Log1Path                   /opt/defs/LOG1.h\n"),
            std::string(
                "  RawDataPath                (empty)           (default; read by the GUI only)\n"),
            std::string("  Com                        ttyUSB0           (default)\n"),
            std::string(
                "  BaudRate                   115200            (stored \"fast\" is not usable)\n"),
            std::string("  AutoGetLog                 0                 (never read)\n"),
            std::string("  AutoSaveRawData            (not set)         (never read)\n"),
            std::string(
                "  Workspace/ApplicationLook  214               (default; read by the GUI only)\n"),
            "Program settings, read-only: " + programHome() + "/fwconfig.ini\n",
            std::string("  fwconfig:AutoGetLog        2  (off; read by the GUI only)\n"),
            std::string("  fwconfig:AutoSaveRawData   1  (on; read by the GUI only)\n"),
            "Autostart entry: " + configHome() + "/autostart/nimbrel.desktop  (absent)\n",
        }) {
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\nin:\n" << run.out;
    }
}

}  // namespace
}  // namespace nimbrel

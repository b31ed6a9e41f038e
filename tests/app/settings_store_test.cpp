#include "pipeline/settings_store.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "platform/text.h"
#include "settings_test_env.h"

namespace nimbrel {
namespace {

using test::configHome;
using test::fileExists;
using test::programHome;
using test::readFile;
using test::writeFile;

class SettingsStoreTest : public test::SettingsWorldTest {
protected:
    static std::string settingsFile() { return configHome() + "/Corvane/Bluetooth/Nimbrel.conf"; }
    static std::string fwconfig() { return programHome() + "/fwconfig.ini"; }

    SettingsStore store;
};

TEST_F(SettingsStoreTest, NoSettingsGiveTheDefaultsAndReadingCreatesNothing) {
    EXPECT_EQ(store.GetLog1Path(), u"");
    EXPECT_EQ(store.GetRawDataPath(), u"");
    EXPECT_EQ(store.GetLogFilePath(), u"");
    EXPECT_EQ(store.GetComPort(), u"ttyUSB0");
    EXPECT_EQ(store.GetBaudRate(), 115200u);
    EXPECT_EQ(store.GetPrintRawData(), 0u);
    EXPECT_EQ(store.GetAutoGetLogForUart(), 0u);
    EXPECT_EQ(store.GetApplicationLook(), 214);
    EXPECT_FALSE(store.IniAutoGetLog());
    EXPECT_FALSE(store.IniAutoSaveRawData());
    EXPECT_FALSE(store.storedValue(u"AutoGetLog"));
    EXPECT_FALSE(store.storedValue(u"AutoSaveRawData"));
    EXPECT_EQ(storedDefinitionFile(), utf8ToUtf16(programHome() + "/LOG1.h"));

    EXPECT_TRUE(std::filesystem::is_empty(configHome())) << "a reader created something";
    EXPECT_FALSE(fileExists(fwconfig()));
}

TEST_F(SettingsStoreTest, WritersCreateTheFileAndEveryValueReadsBack) {
    EXPECT_EQ(store.location(), utf8ToUtf16(settingsFile()));
    EXPECT_FALSE(store.locationExists());
    EXPECT_TRUE(store.SetLog1Path(u"/opt/defs/LOG1.h"));
    EXPECT_TRUE(store.SetRawDataPath(u"/data/2024-01-02 10-11-12.bin"));
    EXPECT_TRUE(store.SetLogFilePath(u"/data/log, with comma.txt"));
    EXPECT_TRUE(store.SetComPort(u"/dev/ttyACM1"));
    EXPECT_TRUE(store.SetBaudRate(921600));
    EXPECT_TRUE(store.SetAutoGetLogForUart(1));
    EXPECT_TRUE(store.SetAutoGetLog(1));
    EXPECT_TRUE(store.SetAutoSaveRawData(0));
    EXPECT_TRUE(store.SetApplicationLook(216));
    ASSERT_TRUE(fileExists(settingsFile()));

    EXPECT_EQ(store.GetLog1Path(), u"/opt/defs/LOG1.h");
    EXPECT_EQ(store.GetRawDataPath(), u"/data/2024-01-02 10-11-12.bin");
    EXPECT_EQ(store.GetLogFilePath(), u"/data/log, with comma.txt");
    EXPECT_EQ(store.GetComPort(), u"/dev/ttyACM1");
    EXPECT_EQ(store.GetBaudRate(), 921600u);
    EXPECT_EQ(store.GetAutoGetLogForUart(), 1u);
    EXPECT_EQ(store.GetApplicationLook(), 216);
    EXPECT_EQ(store.storedValue(u"AutoGetLog"), u"1");
    EXPECT_EQ(store.storedValue(u"AutoSaveRawData"), u"0");

    // The value names as they stand, the look in its own group; fwconfig.ini is never
    // written.
    std::string text;
    ASSERT_TRUE(readFile(settingsFile(), text));
    for (const char* line :
         {"Log1Path=/opt/defs/LOG1.h", "BaudRate=921600", "AutoGetLogForUart=1", "AutoGetLog=1",
          "AutoSaveRawData=0", "[Workspace]\nApplicationLook=216"}) {
        EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
    }
    EXPECT_FALSE(fileExists(fwconfig()));
}

TEST_F(SettingsStoreTest, AnEmptyStoredComReadsAsEmpty) {
    ASSERT_TRUE(store.SetComPort(u""));
    EXPECT_EQ(store.GetComPort(), u"");

    ASSERT_TRUE(writeFile(settingsFile(), "[General]\nCom=\n"));
    EXPECT_EQ(store.GetComPort(), u"");
}

TEST_F(SettingsStoreTest, ValuesEditedByHandAreReadAtTheNextCall) {
    store.SetBaudRate(9600);  // creates the folders
    ASSERT_TRUE(writeFile(settingsFile(),
                          "[General]\n"
                          "Com=ttyS3\n"
                          "BaudRate=fast\n"
                          "PrintRawData=1\n"
                          "AutoGetLogForUart=-1\n"
                          "Log1Path=a, b\n"
                          "[Workspace]\n"
                          "ApplicationLook=300\n"));
    EXPECT_EQ(store.GetComPort(), u"ttyS3");
    EXPECT_EQ(store.GetBaudRate(), 115200u) << "not a number: the default";
    EXPECT_EQ(store.GetPrintRawData(), 1u);
    EXPECT_EQ(store.GetAutoGetLogForUart(), 0xFFFFFFFFu);
    EXPECT_EQ(store.GetLog1Path(), u"")
        << "an unquoted comma makes a list, which the system never writes";
    EXPECT_EQ(store.GetApplicationLook(), 300)
        << "as stored: the frame maps looks it does not know";

    ASSERT_TRUE(writeFile(
        settingsFile(),
        "[General]\nBaudRate=0x2580\nPrintRawData=0\n[Workspace]\nApplicationLook=210\n"));
    EXPECT_EQ(store.GetBaudRate(), 9600u);
    EXPECT_EQ(store.GetPrintRawData(), 0u);
    EXPECT_EQ(store.GetApplicationLook(), 210);
}

// The window's writes to a settings file that is not in the settings format succeed
// without a word: the file is kept beside itself as .bad and the store starts from the
// defaults, instead of rewriting the unreadable text as keys and failing.
TEST_F(SettingsStoreTest, AnUnreadableFileIsKeptAsideAndTheStoreStartsFromTheDefaults) {
    // Not the size of the file written just before: Qt would take a file of the same size
    // and time stamp (which the file system keeps to a few milliseconds) for the one it
    // has parsed already.
    const std::string garbage = "[broken\nCom=ttyS9\n\x89PNG\r\n\x1a\n";
    store.SetBaudRate(9600);  // creates the folders
    ASSERT_TRUE(writeFile(settingsFile(), garbage));
    EXPECT_TRUE(store.locationUnreadable());
    EXPECT_EQ(store.GetComPort(), u"ttyUSB0");
    EXPECT_EQ(store.GetBaudRate(), 115200u);

    EXPECT_TRUE(store.SetLog1Path(u"/opt/defs/LOG1.h"));
    EXPECT_FALSE(store.locationUnreadable());
    EXPECT_EQ(store.GetLog1Path(), u"/opt/defs/LOG1.h");
    EXPECT_EQ(store.GetComPort(), u"ttyUSB0");
    std::string kept, now;
    ASSERT_TRUE(readFile(settingsFile() + ".bad", kept));
    EXPECT_EQ(kept, garbage);
    ASSERT_TRUE(readFile(settingsFile(), now));
    EXPECT_EQ(now, "[General]\nLog1Path=/opt/defs/LOG1.h\n");
}

TEST_F(SettingsStoreTest, ReadsOnAnotherThreadWhileTheGuiThreadWrites) {
    std::atomic<bool> done{false};
    std::atomic<int> bad{0};
    std::thread reader([&] {
        const SettingsStore own;
        while (!done.load()) {
            const std::uint32_t v = own.GetPrintRawData();
            if (v != 0 && v != 1) ++bad;
            if (own.GetComPort().empty()) ++bad;
        }
    });
    for (std::uint32_t i = 0; i < 100; ++i) {
        store.storeNumber(u"PrintRawData", i % 2);
        store.SetComPort(i % 2 ? u"ttyUSB1" : u"ttyUSB0");
    }
    done = true;
    reader.join();
    EXPECT_EQ(bad.load(), 0);
    EXPECT_EQ(store.GetPrintRawData(), 1u);
}

struct IniCase {
    const char* name;
    std::string content;
    bool autoGetLog;
    bool autoSaveRawData;
};

class FwconfigTest : public SettingsStoreTest, public ::testing::WithParamInterface<IniCase> {};

TEST_P(FwconfigTest, OnlyExactlyOneCountsAsOn) {
    const IniCase& c = GetParam();
    ASSERT_TRUE(writeFile(fwconfig(), c.content));
    EXPECT_EQ(store.IniAutoGetLog(), c.autoGetLog);
    EXPECT_EQ(store.IniAutoSaveRawData(), c.autoSaveRawData);
    std::string after;
    ASSERT_TRUE(readFile(fwconfig(), after));
    EXPECT_EQ(after, c.content) << "fwconfig.ini is read-only";
}

std::string utf16le(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Values, FwconfigTest,
    ::testing::Values(
        IniCase{"BothOne", "[setting]\nAutoGetLog=1\nAutoSaveRawData=1\n", true, true},
        IniCase{"Two", "[setting]\nAutoGetLog=2\nAutoSaveRawData=1\n", false, true},
        IniCase{"MinusOne", "[setting]\nAutoGetLog=-1\n", false, false},
        IniCase{"Text", "[setting]\nAutoGetLog=on\nAutoSaveRawData=yes\n", false, false},
        IniCase{"Empty", "[setting]\nAutoGetLog=\n", false, false},
        IniCase{"KeyMissing", "[setting]\nSomethingElse=1\n", false, false},
        IniCase{"OtherSection", "[settings]\nAutoGetLog=1\n[other]\nAutoSaveRawData=1\n", false,
                false},
        IniCase{"WindowsStyle",
                "; shipped\r\n[Setting]\r\n autogetlog = 1 \r\nAUTOSAVERAWDATA=0\r\n", true, false},
        IniCase{"LeadingNumberAndQuotes",
                "[setting]\nAutoGetLog=1 ; on at log-on\nAutoSaveRawData=\"1\"\n", true, true},
        IniCase{"FirstOccurrenceWins", "[setting]\nAutoGetLog=1\nAutoGetLog=0\n", true, false},
        IniCase{"Utf8Bom", "\xEF\xBB\xBF[setting]\nAutoGetLog=1\n", true, false},
        IniCase{"Utf16", utf16le(u"[setting]\r\nAutoSaveRawData=1\r\n"), false, true}),
    [](const ::testing::TestParamInfo<IniCase>& c) { return std::string(c.param.name); });

TEST_F(SettingsStoreTest, AMissingFwconfigCountsAsOff) {
    ASSERT_FALSE(fileExists(fwconfig()));
    EXPECT_FALSE(store.IniAutoGetLog());
    EXPECT_FALSE(store.IniAutoSaveRawData());
    EXPECT_EQ(store.fwconfigInteger(u"AutoGetLog"), 0);
    EXPECT_FALSE(fileExists(fwconfig()));
}

TEST(SettingNumber, AcceptsThirtyTwoBitNumbersOnly) {
    EXPECT_EQ(parseSettingNumber(u"0"), 0u);
    EXPECT_EQ(parseSettingNumber(u" 115200 "), 115200u);
    EXPECT_EQ(parseSettingNumber(u"0x1C200"), 115200u);
    EXPECT_EQ(parseSettingNumber(u"4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(parseSettingNumber(u"-1"), 0xFFFFFFFFu);
    EXPECT_EQ(parseSettingNumber(u"-2147483648"), 0x80000000u);
    for (std::u16string_view bad :
         {u"", u" ", u"4294967296", u"-2147483649", u"0x", u"0x1G", u"12a", u"1.5", u"+5", u"-0x1",
          u"fast", u"99999999999999999999999"}) {
        EXPECT_FALSE(parseSettingNumber(bad)) << utf16ToUtf8(bad);
    }
}

}  // namespace
}  // namespace nimbrel

#include "app/auto_start.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>
#include <optional>

#include "pipeline/settings_store.h"
#include "platform/text.h"
#include "platform/trace.h"
#include "settings_test_env.h"

namespace nimbrel {
namespace {

using test::configHome;
using test::fileExists;
using test::programHome;
using test::readFile;
using test::writeFile;

constexpr char16_t kProgram[] = u"/opt/nimbrel/bin/nimbrel";

class AutoStartTest : public test::SettingsWorldTest {
protected:
    static std::string entry() { return configHome() + "/autostart/nimbrel.desktop"; }
    static std::string entryText() {
        std::string text;
        return readFile(entry(), text) ? text : std::string("(no entry)");
    }
    std::optional<std::u16string> stored(std::u16string_view name) const {
        return store.storedValue(name);
    }

    SettingsStore store;
};

TEST_F(AutoStartTest, UsbSwitchedOnWritesTheEntryAndRecordsTheUsbRoute) {
    EXPECT_EQ(autostartEntryPath(), utf8ToUtf16(entry()));
    AutoStartToggles toggles;
    toggleAutoCatchLogUsb(toggles, kProgram);
    EXPECT_TRUE(toggles.m_bAutoGetLog);
    EXPECT_FALSE(toggles.m_bAutoGetLogForUart);
    EXPECT_NE(entryText().find("\nExec=\"/opt/nimbrel/bin/nimbrel\"\n"), std::string::npos)
        << entryText();
    EXPECT_EQ(stored(u"AutoGetLog"), u"1");
    EXPECT_EQ(stored(u"AutoGetLogForUart"), u"0");
    EXPECT_FALSE(store.IniAutoGetLog()) << "the USB capture at start-up stays with fwconfig.ini";
}

TEST_F(AutoStartTest, UsbSwitchedOffRemovesTheEntryAndLeavesTheUartRouteAlone) {
    // fwconfig.ini and the stored UART flag can both be on at launch.
    ASSERT_TRUE(writeFile(programHome() + "/fwconfig.ini", "[setting]\nAutoGetLog=1\n"));
    store.SetAutoGetLogForUart(7);
    std::filesystem::create_directories(configHome() + "/autostart");
    ASSERT_TRUE(writeFile(entry(), "[Desktop Entry]\nExec=old\n"));

    AutoStartToggles toggles = initialAutoStartToggles(store);
    ASSERT_TRUE(toggles.m_bAutoGetLog);
    ASSERT_TRUE(toggles.m_bAutoGetLogForUart);

    toggleAutoCatchLogUsb(toggles, kProgram);
    EXPECT_FALSE(toggles.m_bAutoGetLog);
    EXPECT_TRUE(toggles.m_bAutoGetLogForUart);
    EXPECT_FALSE(fileExists(entry()));
    EXPECT_EQ(stored(u"AutoGetLog"), u"0");
    EXPECT_EQ(store.GetAutoGetLogForUart(), 7u);
}

TEST_F(AutoStartTest, UartSwitchedOnSwitchesUsbOffAndRewritesTheEntry) {
    AutoStartToggles toggles;
    toggleAutoCatchLogUsb(toggles, u"/old/place/nimbrel");
    ASSERT_TRUE(toggles.m_bAutoGetLog);

    toggleAutoCatchLogUart(toggles, kProgram);
    EXPECT_FALSE(toggles.m_bAutoGetLog);
    EXPECT_TRUE(toggles.m_bAutoGetLogForUart);
    EXPECT_EQ(entryText(), utf16ToUtf8(autostartEntryText(kProgram)));
    EXPECT_EQ(stored(u"AutoGetLog"), u"0");
    EXPECT_EQ(store.GetAutoGetLogForUart(), 1u);
}

TEST_F(AutoStartTest, UartSwitchedOffRemovesTheEntryAndLeavesTheUsbValueAlone) {
    AutoStartToggles toggles;
    toggleAutoCatchLogUart(toggles, kProgram);
    ASSERT_TRUE(fileExists(entry()));
    store.SetAutoGetLog(1);  // as an older run may have left it

    toggleAutoCatchLogUart(toggles, kProgram);
    EXPECT_FALSE(toggles.m_bAutoGetLog);
    EXPECT_FALSE(toggles.m_bAutoGetLogForUart);
    EXPECT_FALSE(fileExists(entry()));
    EXPECT_EQ(store.GetAutoGetLogForUart(), 0u);
    EXPECT_EQ(stored(u"AutoGetLog"), u"1");

    // Switching off with no entry there is fine.
    EXPECT_TRUE(SetAutoStart(false, true, kProgram));
}

TEST_F(AutoStartTest, AnExecutablePathWithSpacesIsQuotedInTheEntry) {
    ASSERT_TRUE(SetAutoStart(true, false, u"/home/ann/My Tools/Nimbrel 2/nimbrel"));
    EXPECT_NE(entryText().find("\nExec=\"/home/ann/My Tools/Nimbrel 2/nimbrel\"\n"),
              std::string::npos)
        << entryText();
    EXPECT_EQ(entryText().rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(entryText().find("\nType=Application\n"), std::string::npos);
}

TEST_F(AutoStartTest, AnEntryThatCannotBeWrittenStillRecordsTheRoute) {
    ASSERT_TRUE(writeFile(configHome() + "/autostart", "a file where the folder should be"));
    std::mutex mutex;
    std::string traced;
    setTraceSink([&](std::string_view text) {
        std::lock_guard lock(mutex);
        traced += text;
    });
    EXPECT_FALSE(SetAutoStart(true, true, kProgram));
    setTraceSink(nullptr);
    EXPECT_NE(traced.find("_tfopen " + entry() + ", GetLastError=0x"), std::string::npos) << traced;
    EXPECT_EQ(store.GetAutoGetLogForUart(), 1u);
    EXPECT_EQ(stored(u"AutoGetLog"), u"0");
    std::filesystem::remove(configHome() + "/autostart");
}

TEST_F(AutoStartTest, InitialTogglesComeFromFwconfigAndTheStoredUartFlag) {
    AutoStartToggles none = initialAutoStartToggles(store);
    EXPECT_FALSE(none.m_bAutoGetLog);
    EXPECT_FALSE(none.m_bAutoGetLogForUart);

    ASSERT_TRUE(writeFile(programHome() + "/fwconfig.ini", "[setting]\nAutoGetLog=2\n"));
    store.SetAutoGetLog(1);  // written by the toggle, never read
    EXPECT_FALSE(initialAutoStartToggles(store).m_bAutoGetLog);
}

TEST(AutoStartExec, QuotesAndEscapesAsTheDesktopEntryRulesRequire) {
    EXPECT_EQ(desktopExecValue(u"/usr/bin/nimbrel"), u"\"/usr/bin/nimbrel\"");
    EXPECT_EQ(desktopExecValue(u"/a b/nimbrel"), u"\"/a b/nimbrel\"");
    EXPECT_EQ(desktopExecValue(u"/a$b"), u"\"/a\\\\$b\"");      // "\\$" in the file
    EXPECT_EQ(desktopExecValue(u"/a\\b"), u"\"/a\\\\\\\\b\"");  // four backslashes
    EXPECT_EQ(desktopExecValue(u"/a\"b"), u"\"/a\\\\\"b\"");
    EXPECT_EQ(desktopExecValue(u"/a`b"), u"\"/a\\\\`b\"");
    EXPECT_EQ(desktopExecValue(u"/100%/nimbrel"), u"\"/100%%/nimbrel\"");
    EXPECT_EQ(desktopExecValue(u"/new\nline"), u"\"/new\\nline\"");
}

// Reads an Exec value back the way a session's autostart does: the string escapes
// first, then the quoting, then the field codes.
std::optional<std::u16string> execProgram(std::u16string_view value) {
    std::u16string unescaped;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\') {
            unescaped.push_back(value[i]);
            continue;
        }
        if (++i == value.size()) return std::nullopt;
        switch (value[i]) {
        case u's': unescaped.push_back(u' '); break;
        case u'n': unescaped.push_back(u'\n'); break;
        case u't': unescaped.push_back(u'\t'); break;
        case u'r': unescaped.push_back(u'\r'); break;
        case u'\\': unescaped.push_back(u'\\'); break;
        default: return std::nullopt;
        }
    }
    if (unescaped.size() < 2 || unescaped.front() != u'"' || unescaped.back() != u'"')
        return std::nullopt;
    std::u16string argument;
    for (std::size_t i = 1; i + 1 < unescaped.size(); ++i) {
        char16_t c = unescaped[i];
        if (c == u'"' || c == u'`' || c == u'$') return std::nullopt;  // must have been escaped
        if (c == u'\\') {
            c = unescaped[++i];
            if (i + 1 >= unescaped.size() || (c != u'"' && c != u'`' && c != u'$' && c != u'\\'))
                return std::nullopt;
        } else if (c == u'%') {
            if (unescaped[++i] != u'%') return std::nullopt;
        }
        argument.push_back(c);
    }
    return argument;
}

TEST(AutoStartExec, EveryPathReadsBackAsItself) {
    for (std::u16string_view path :
         {u"/usr/bin/nimbrel", u"/home/ann/My Tools/nimbrel", u"/x/$HOME/`id`/a\"b\\c",
          u"/x/100% sure/%f/nimbrel", u"/x/tab\there/new\nline/cr\r", u"/x/~;|&<>*?#()'/n",
          u"/x/\\\\server\\share/nimbrel", u"/x/\u5b8b\u4f53/nimbrel"}) {
        EXPECT_EQ(execProgram(desktopExecValue(path)), std::u16string(path)) << utf16ToUtf8(path);
    }
}

TEST(AutoStartExec, TheRunningProgramIsFound) {
    const std::u16string self = currentExecutablePath();
    ASSERT_FALSE(self.empty());
    EXPECT_EQ(self.front(), u'/');
    EXPECT_TRUE(fileExists(utf16ToUtf8(self)));
}

}  // namespace
}  // namespace nimbrel

#include "pipeline/definition_file_choice.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "app/ic_type_choice.h"
#include "pipeline/color_tag.h"
#include "pipeline/log_console.h"
#include "pipeline/memory_log_view.h"
#include "pipeline/settings_store.h"
#include "platform/text.h"
#include "settings_test_env.h"

namespace nimbrel {
namespace {

using test::configHome;
using test::programHome;

class DefinitionFileChoiceTest : public test::SettingsWorldTest {
protected:
    static std::u16string inHome(const char* name) {
        return utf8ToUtf16(programHome() + "/" + name);
    }
    static std::u16string makeFile(const std::string& path) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        EXPECT_TRUE(test::writeFile(path, "#define X 0x0001 \"x\"\n"));
        return utf8ToUtf16(path);
    }
    std::vector<std::u16string> lines() const {
        std::vector<std::u16string> out;
        for (const auto& line : view.lines()) out.push_back(line.text);
        return out;
    }
    static std::u16string setLine(std::u16string_view path) {
        return u"[G] set log1.h = \"" + std::u16string(path) + u"\"";
    }
    static constexpr char16_t kCheckLine[] = u"[Y] !!!Important, please check log1.h!!!";
    static std::u16string missingLine(std::u16string_view path) {
        return u"[R] File \"" + std::u16string(path) + u"\" doesn't exist.";
    }

    SettingsStore store;
    DefinitionFilePath inUse;
    MemoryLogView view;
    StringFilter filter;
    LogConsole console{view, filter};
};

TEST_F(DefinitionFileChoiceTest, FirstLaunchFallsBackToLog1InTheProgramFolderAndStoresIt) {
    const std::u16string log1 = inHome("LOG1.h");  // not there: not checked at start-up
    chooseStartupDefinitionFile(inUse, store, console);
    EXPECT_EQ(inUse.get(), log1);
    EXPECT_EQ(store.GetLog1Path(), log1);
    EXPECT_EQ(lines(), (std::vector<std::u16string>{setLine(log1), kCheckLine}));
    const auto runs = view.lines();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].colour, kGreen);
    EXPECT_EQ(runs[1].colour, kYellow);
}

TEST_F(DefinitionFileChoiceTest, StartUpKeepsAStoredFileThatExists) {
    const std::u16string mine = makeFile(programHome() + "/my defs/chip v2.h");
    store.SetLog1Path(mine);
    chooseStartupDefinitionFile(inUse, store, console);
    EXPECT_EQ(inUse.get(), mine);
    EXPECT_EQ(store.GetLog1Path(), mine);
    EXPECT_EQ(lines(), (std::vector<std::u16string>{setLine(mine), kCheckLine}));
    EXPECT_EQ(storedDefinitionFile(), mine);
}

TEST_F(DefinitionFileChoiceTest, StartUpFallsBackWhenTheStoredFileIsGoneOrAFolder) {
    const std::u16string log1 = inHome("LOG1.h");
    for (const std::u16string& stored : {inHome("deleted.h"), utf8ToUtf16(programHome())}) {
        store.SetLog1Path(stored);
        EXPECT_EQ(storedDefinitionFile(), log1);
        EXPECT_EQ(store.GetLog1Path(), stored) << "asking what the GUI would choose stores nothing";

        chooseStartupDefinitionFile(inUse, store, console);
        EXPECT_EQ(inUse.get(), log1);
        EXPECT_EQ(store.GetLog1Path(), log1) << "the stale path is overwritten";
    }
}

TEST_F(DefinitionFileChoiceTest, IcTypeAdoptsAMissingChipFileAfterSayingSo) {
    const std::u16string basalt = inHome("log_basalt.h");
    EXPECT_EQ(chooseIcTypeDefinitionFile(inUse, MenuCommand::IcTypeBasalt, store, console), 1);
    EXPECT_EQ(inUse.get(), basalt);
    EXPECT_EQ(store.GetLog1Path(), basalt);
    EXPECT_EQ(lines(),
              (std::vector<std::u16string>{missingLine(basalt), setLine(basalt), kCheckLine}));
    EXPECT_EQ(view.lines()[0].colour, kRed);
}

TEST_F(DefinitionFileChoiceTest, IcTypeWithAnExistingFileAndUnknownCommands) {
    const std::u16string dolomite = makeFile(programHome() + "/log_dolomite.h");
    EXPECT_EQ(chooseIcTypeDefinitionFile(inUse, MenuCommand::IcTypeDolomite, store, console), 3);
    EXPECT_EQ(inUse.get(), dolomite);
    EXPECT_EQ(store.GetLog1Path(), dolomite);
    EXPECT_EQ(lines(), (std::vector<std::u16string>{setLine(dolomite), kCheckLine}));

    view.clear();
    EXPECT_EQ(chooseIcTypeDefinitionFile(inUse, static_cast<MenuCommand>(1015), store, console),
              -1);
    EXPECT_EQ(chooseIcTypeDefinitionFile(inUse, MenuCommand::IcTypeEmber, store, console), -1);
    EXPECT_EQ(inUse.get(), dolomite);
    EXPECT_TRUE(lines().empty());

    EXPECT_EQ(chooseIcTypeDefinitionFile(inUse, MenuCommand::IcTypeAmber, store, console), 0);
    EXPECT_EQ(inUse.get(), inHome("log_amber.h"));
    EXPECT_EQ(chooseIcTypeDefinitionFile(inUse, MenuCommand::IcTypeCobalt, store, console), 2);
    EXPECT_EQ(inUse.get(), inHome("log_cobalt.h"));
}

TEST_F(DefinitionFileChoiceTest, Log1PathDialogStartsInTheFolderOfTheStoredFile) {
    inUse.set(u"/in/use/LOG1.h");
    store.SetLog1Path(u"/opt/nimbrel defs/LOG1.h");
    const Log1PathDialogStart start = beginLog1PathChoice(inUse, store, console);
    EXPECT_EQ(start.folder, u"/opt/nimbrel defs");
    EXPECT_EQ(start.fileName, u"LOG1.h");
    // Only the file in use: the reminder to check it follows a choice, not the dialog.
    EXPECT_EQ(lines(), (std::vector<std::u16string>{setLine(u"/in/use/LOG1.h")}));

    store.SetLog1Path(u"");
    EXPECT_EQ(beginLog1PathChoice(inUse, store, console).folder, u"");
    store.SetLog1Path(u"/LOG1.h");
    EXPECT_EQ(beginLog1PathChoice(inUse, store, console).folder, u"/");
}

TEST_F(DefinitionFileChoiceTest, Log1PathRefusesAMissingFileAndAdoptsAnExistingOne) {
    inUse.set(u"/in/use/LOG1.h");
    store.SetLog1Path(u"/in/use/LOG1.h");
    const std::u16string gone = inHome("gone.h");
    EXPECT_FALSE(adoptChosenDefinitionFile(inUse, gone, store, console));
    EXPECT_EQ(inUse.get(), u"/in/use/LOG1.h");
    EXPECT_EQ(store.GetLog1Path(), u"/in/use/LOG1.h");
    EXPECT_EQ(lines(), (std::vector<std::u16string>{missingLine(gone)}));

    view.clear();
    // Characters that mean something to printf are shown as they stand.
    const std::u16string odd = makeFile(programHome() + "/100%s %d %n/defs.h");
    EXPECT_TRUE(adoptChosenDefinitionFile(inUse, odd, store, console));
    EXPECT_EQ(inUse.get(), odd);
    EXPECT_EQ(store.GetLog1Path(), odd);
    EXPECT_EQ(lines(), (std::vector<std::u16string>{setLine(odd), kCheckLine}));
}

TEST_F(DefinitionFileChoiceTest, TheDefaultFileNeedsNoSettings) {
    EXPECT_EQ(preferredDefinitionFile(u""), inHome("LOG1.h"));
    EXPECT_EQ(storedDefinitionFile(), inHome("LOG1.h"));
    EXPECT_TRUE(std::filesystem::is_empty(configHome())) << "reading created something";
}

TEST(DefinitionFilePathTest, IsReadWholeWhileAnotherThreadChangesIt) {
    const std::u16string a(300, u'a');
    const std::u16string b = u"/short/b.h";
    DefinitionFilePath inUse;
    inUse.set(a);
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done.load()) {
            const std::u16string seen = inUse.get();
            if (seen != a && seen != b) ++torn;
        }
    });
    for (int i = 0; i < 20000; ++i) inUse.set(i % 2 ? a : b);
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
}

}  // namespace
}  // namespace nimbrel

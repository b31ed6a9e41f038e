// The view's start-up sequence and the choice of the message definition file.
#include <gtest/gtest.h>

#include <QTest>
#include <cstdlib>

#include "gui/window/command_table.h"
#include "gui/window/main_frame.h"
#include "gui/window/message_box.h"
#include "gui/window/nimbrel_view.h"
#include "pipeline/definition_file_choice.h"
#include "pipeline/settings_store.h"
#include "support/lonely_fifo.h"
#include "window_test_support.h"

namespace nimbrel::test {
namespace {

using namespace nimbrel::gui;

const QColor kGreen(0, 255, 0), kYellow(255, 255, 0), kRed(255, 0, 0);

class StartupTest : public WindowTest {
protected:
    QString program(const char* name) const {
        return QString::fromStdString(programHome()) + u'/' + name;
    }
    QColor colourOf(qint64 line) const {
        const auto runs = view().lineRuns(line);
        return runs.isEmpty() ? QColor() : runs.first().colour;
    }
    qint64 findLine(const QString& text) const {
        for (qint64 i = 0; i < view().lineCount(); ++i) {
            if (view().lineText(i) == text) return i;
        }
        return -1;
    }
};

TEST_F(StartupTest, FirstLaunchAdoptsLog1hAndStoresItWithoutCapturing) {
    startApp();
    const QString log1 = program("LOG1.h");
    EXPECT_EQ(QString::fromStdU16String(SettingsStore().GetLog1Path()), log1);
    EXPECT_EQ(QString::fromStdU16String(view().core().definitionFile.get()), log1);
    ASSERT_TRUE(waitFor([&] { return view().lineCount() >= 2; }));
    const qint64 g = findLine(QStringLiteral("[G] set log1.h = \"%1\"").arg(log1));
    const qint64 y = findLine(QStringLiteral("[Y] !!!Important, please check log1.h!!!"));
    ASSERT_GE(g, 0) << viewLines().join(u'\n').toStdString();
    EXPECT_EQ(y, g + 1);
    EXPECT_EQ(colourOf(g), kGreen);
    EXPECT_EQ(colourOf(y), kYellow);
    // No capture, no question, no red line.
    EXPECT_EQ(view().core().capture.m_threadId(), CaptureRoute::None);
    EXPECT_FALSE(view().core().capture.viewInUse());
    EXPECT_TRUE(boxes->boxes().empty());
    EXPECT_EQ(frame().windowTitle(), "Untitled - Nimbrel");
}

TEST_F(StartupTest, AStoredPathToADeletedFileFallsBackAndIsOverwritten) {
    SettingsStore().SetLog1Path(u"/nonexistent/nimbrel/deleted.h");
    startApp();
    EXPECT_EQ(QString::fromStdU16String(SettingsStore().GetLog1Path()), program("LOG1.h"));
}

TEST_F(StartupTest, AStoredPathToAnExistingFileIsKept) {
    const std::string mine = scratchFolder() + "/mine.h";
    ASSERT_TRUE(writeFile(mine, "#define A 1 //\"a\"\n"));
    SettingsStore().SetLog1Path(QString::fromStdString(mine).toStdU16String());
    startApp();
    EXPECT_EQ(QString::fromStdU16String(view().core().definitionFile.get()),
              QString::fromStdString(mine));
}

TEST_F(StartupTest, IcTypeWithAMissingFileIsReportedAndAdoptedAllTheSame) {
    startApp();
    run(MenuCommand::IcTypeBasalt);
    const QString basalt = program("log_basalt.h");
    ASSERT_TRUE(waitFor([&] {
        return findLine(QStringLiteral("[R] File \"%1\" doesn't exist.").arg(basalt)) >= 0;
    }));
    EXPECT_EQ(colourOf(findLine(QStringLiteral("[R] File \"%1\" doesn't exist.").arg(basalt))),
              kRed);
    EXPECT_EQ(QString::fromStdU16String(SettingsStore().GetLog1Path()), basalt);
    EXPECT_EQ(view().m_nIcType, 1);
}

TEST_F(StartupTest, EmberAndFlintAreBothNeededForTheParameterShift) {
    startApp();
    const FormatterToggles& t = view().core().toggles;
    run(MenuCommand::IcTypeEmber);
    EXPECT_TRUE(t.emberType() && !t.flintType());
    run(MenuCommand::IcTypeFlint);
    EXPECT_TRUE(t.emberType() && t.flintType());
    run(MenuCommand::IcTypeEmber);  // never cleared
    EXPECT_TRUE(t.emberType() && t.flintType());
}

TEST_F(StartupTest, Log1PathAdoptsAnExistingFileAndRefusesAMissingOne) {
    startApp();
    const std::string mine = scratchFolder() + "/chosen.h";
    ASSERT_TRUE(writeFile(mine, "#define A 1 //\"a\"\n"));
    OpenFileRequest seen;
    QString lastLineAtDialog;
    QString answer = QString::fromStdString(scratchFolder() + "/missing.h");
    setOpenFileHook([&](const OpenFileRequest& r) {
        seen = r;
        lastLineAtDialog = viewLines().back();
        return answer;
    });
    run(MenuCommand::Log1Path);
    // Before the dialog only the file in use is named, without the reminder to check it.
    EXPECT_EQ(lastLineAtDialog, "[G] set log1.h = \"" + program("LOG1.h") + "\"");
    EXPECT_EQ(seen.fileName, "LOG1.h");
    EXPECT_EQ(seen.folder, QString::fromStdString(programHome()));
    ASSERT_TRUE(waitFor([&] {
        return findLine(QStringLiteral("[R] File \"%1\" doesn't exist.").arg(answer)) >= 0;
    }));
    EXPECT_EQ(QString::fromStdU16String(SettingsStore().GetLog1Path()), program("LOG1.h"));

    answer = QString::fromStdString(mine);
    run(MenuCommand::Log1Path);
    EXPECT_EQ(QString::fromStdU16String(SettingsStore().GetLog1Path()), answer);
    EXPECT_EQ(QString::fromStdU16String(view().core().definitionFile.get()), answer);
    setOpenFileHook(nullptr);
}

TEST_F(StartupTest, AutoGenerateRawDataWithoutCaptureOnlyStoresTheSetting) {
    startApp();
    const qint64 before = view().lineCount();
    run(MenuCommand::AutoGenerateRawData);
    EXPECT_TRUE(view().core().hub.autoSaveRawData());
    EXPECT_EQ(SettingsStore().storedValue(u"AutoSaveRawData"), std::u16string(u"1"));
    QTest::qWait(50);
    EXPECT_EQ(view().lineCount(), before);
}

TEST_F(StartupTest, AutoGetLogStartsTheFilterRouteAndBothSettingsGiveTheViewInUseMessage) {
    // No driver is listening: the route starts, cannot enable logging and stays armed.
    ::setenv("NIMBREL_DEVICE_DIR", (scratchFolder() + "/no-devices").c_str(), 1);
    ASSERT_TRUE(writeFile(programHome() + "/fwconfig.ini", "[setting]\nAutoGetLog=1\n"));
    SettingsStore().SetAutoGetLogForUart(1);
    startApp();
    ASSERT_TRUE(
        waitFor([&] { return findLine(QStringLiteral("[R] Enable Filter Log fail")) >= 0; }));
    EXPECT_EQ(view().core().capture.m_threadId(), CaptureRoute::Filter);
    EXPECT_TRUE(view().core().capture.viewInUse());
    EXPECT_EQ(frame().windowTitle(), QStringLiteral("DebugViaFilterDriver"));
    ASSERT_EQ(boxes->boxes().size(), 1u);
    EXPECT_EQ(boxes->boxes()[0].text, "Error!The view is being used.");
    EXPECT_LT(findLine(QStringLiteral("[R] Enable Uart Log fail")), 0);
}

// A stored Log1Path that names a FIFO nothing writes to does not hang the start-up's
// capture in open(): the loader refuses it in red and the window comes up.
TEST_F(StartupTest, AStoredLog1PathThatIsAFifoWithoutAWriterIsRefusedInRed) {
    ::setenv("NIMBREL_DEVICE_DIR", (scratchFolder() + "/no-devices").c_str(), 1);
    LonelyFifo fifo(scratchFolder() + "/fifo.h");
    const QString path = QString::fromStdString(fifo.path());
    SettingsStore().SetLog1Path(path.toStdU16String());
    SettingsStore().SetAutoGetLogForUart(1);
    startApp();
    const QString refused = QStringLiteral("[R] \"%1\" is a FIFO without a writer.").arg(path);
    ASSERT_TRUE(waitFor([&] { return findLine(refused) >= 0; }))
        << viewLines().join(u'\n').toStdString();
    EXPECT_EQ(findLine(QStringLiteral("[R] Open message definition file \"%1\" failed!").arg(path)),
              findLine(refused) - 1);
    EXPECT_EQ(colourOf(findLine(refused)), kRed);
    EXPECT_FALSE(fifo.releasedAReader()) << "the start-up waited for a writer";
    ASSERT_TRUE(frame().grab().save(screenshotPath("nimbrel-fifo-log1path.png")));
}

}  // namespace
}  // namespace nimbrel::test

// The main window around the view: Application Look across restarts, the close
// question's three answers, the log-off path, and a picture of the window after a short
// capture.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QStatusBar>
#include <QStyle>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include "gui/window/application_look.h"
#include "gui/window/command_table.h"
#include "gui/window/file_dialogs.h"
#include "gui/window/keyboard_indicators.h"
#include "gui/window/main_frame.h"
#include "gui/window/nimbrel_app.h"
#include "gui/window/nimbrel_doc.h"
#include "gui/window/nimbrel_view.h"
#include "gui/window/toolbar_customize_button.h"
#include "gui/window/toolbar_customize_dlg.h"
#include "pipeline/settings_store.h"
#include "window_test_support.h"

namespace nimbrel::test {
namespace {

using namespace nimbrel::gui;

class FrameTest : public WindowTest {};

TEST_F(FrameTest, ApplicationLookSurvivesARestart) {
    startApp();
    EXPECT_EQ(frame().currentLook(), 214);
    run(MenuCommand::LookWindowsXp);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor("#ece9d8"));
    stopApp();
    startApp();
    EXPECT_EQ(frame().currentLook(), 212);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor("#ece9d8"));
    run(MenuCommand::LookWindows2000);
    EXPECT_EQ(QApplication::style()->name().toLower(), "windows");
    run(MenuCommand::LookBlack);
    EXPECT_EQ(QApplication::style()->name().toLower(), "fusion");
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor("#535353"));
}

TEST_F(FrameTest, AStoredLookOutsideTheRangeGivesThe2007LookAndKeepsTheScheme) {
    SettingsStore().SetApplicationLook(300);
    startApp();
    EXPECT_EQ(frame().currentLook(), 300);
    EXPECT_TRUE(frame().currentLookChoice().is2007);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), QColor("#bfdbff"));  // blue
    run(MenuCommand::LookAqua);
    frame().OnApplicationLook(300);
    EXPECT_TRUE(frame().currentLookChoice().is2007);
    EXPECT_EQ(frame().currentLookChoice().scheme, Scheme2007::Aqua);
    // No look shows the radio mark.
    frame().refreshCommandStates();
    for (int id = commandNumber(MenuCommand::LookWindows2000);
         id <= commandNumber(MenuCommand::LookAqua); ++id) {
        EXPECT_FALSE(frame().findChild<QAction*>(QStringLiteral("command%1").arg(id))->isChecked())
            << id;
    }
}

// Each answer to the close question, and what the Save As after Yes does to the close.
TEST_F(FrameTest, CloseQuestionClosesOnlyWhenNoOrASaveAsThatSaved) {
    const QString saved = QString::fromStdString(scratchFolder()) + "/closing.log";
    const QString unwritable = QString::fromStdString(scratchFolder()) + "/no/such/closing.log";
    QString saveAnswer;
    setSaveFileHook([&](const SaveFileRequest&) { return saveAnswer; });
    struct Case {
        const char* name;
        QMessageBox::StandardButton answer;
        QString saveAs;  // what the Save As dialog answers; empty: cancelled
        bool closes;
    };
    const Case cases[] = {
        {"Cancel", QMessageBox::Cancel, saved, false},
        {"Yes, Save As cancelled", QMessageBox::Yes, QString(), false},
        {"Yes, Save As failed", QMessageBox::Yes, unwritable, false},
        {"No", QMessageBox::No, saved, true},
        {"Yes, saved", QMessageBox::Yes, saved, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(saved);
        startApp();
        view().core().console.print(u"[G] captured before the close");
        saveAnswer = c.saveAs;
        boxes->setAnswer(c.answer);
        const std::size_t before = boxes->boxes().size();
        run(MenuCommand::AppExit);
        ASSERT_GT(boxes->boxes().size(), before);
        const RecordedBox& question = boxes->boxes()[before];
        EXPECT_EQ(question.text, "Save this document and Quit?");
        EXPECT_EQ(question.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        EXPECT_EQ(question.icon, QMessageBox::Question);
        EXPECT_EQ(frame().isVisible(), !c.closes);
        EXPECT_EQ(QFile::exists(saved), c.closes && c.answer == QMessageBox::Yes);
        if (!c.closes) {
            EXPECT_TRUE(viewLines().contains("[G] captured before the close"));
        }
        stopApp();
    }
    setSaveFileHook(nullptr);
}

// The view has the keyboard at start and again after every dialog, so that Page Up,
// Ctrl+End and Ctrl+F act on the log without a click into it first.
TEST_F(FrameTest, TheViewHasTheKeyboardAtStartAndAfterEveryDialog) {
    startApp();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame()));
    for (int i = 0; i < 200; ++i) view().core().console.print(u"[G] a line to scroll past");
    ASSERT_TRUE(waitFor([&] { return view().lineCount() >= 200; }));
    const auto keysReachTheView = [&] {
        EXPECT_EQ(QApplication::focusWidget(), &view());
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &frame();
        QTest::keyClick(target, Qt::Key_Home, Qt::ControlModifier);
        QTest::keyClick(target, Qt::Key_End, Qt::ControlModifier);
        EXPECT_EQ(view().caret().line, view().store().lineCount() - 1);
        QTest::keyClick(target, Qt::Key_Home, Qt::ControlModifier);
        EXPECT_EQ(view().caret().line, 0);
    };
    keysReachTheView();
    for (const MenuCommand id : {MenuCommand::ComSetting, MenuCommand::AddStringFilter,
                                 MenuCommand::AppAbout, MenuCommand::ToolbarCustomize}) {
        SCOPED_TRACE(id);
        whenModalShown([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
        run(id);
        QTest::qWait(50);
        keysReachTheView();
    }
}

TEST_F(FrameTest, LogOffClosesWithoutAQuestion) {
    startApp();
    app->document()->setModifiedFlag(true);
    frame().OnQueryEndSession();
    EXPECT_FALSE(frame().isVisible());
    EXPECT_TRUE(boxes->boxes().empty());
    EXPECT_FALSE(app->document()->isModified());
}

TEST_F(FrameTest, StatusBarAndToolbar) {
    startApp();
    EXPECT_EQ(frame().messagePane()->text(), "Ready");
    QStringList panes;
    for (auto* label : frame().statusBar()->findChildren<QLabel*>()) {
        if (label->objectName().startsWith("indicator")) panes << label->text();
    }
    EXPECT_EQ(panes, (QStringList{"CAP", "NUM", "SCRL"}));
    QStringList tools;
    for (QAction* a : frame().toolBar()->actions())
        tools << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(tools, (QStringList{"&New", "&Open...", "&Save", "-", "Cu&t", "&Copy", "&Paste", "-",
                                  "&Print...", "&About Nimbrel...", "-", "&Stop Capture",
                                  "Customize..."}));
    EXPECT_EQ(frame().toolBar()->windowTitle(), "Standard");
    EXPECT_EQ(frame().toolBar()->allowedAreas(), Qt::AllToolBarAreas);
    for (QAction* a : toolbarCommands(frame().toolBar())) {
        if (!a->isSeparator()) {
            EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
        }
    }
    // The customise button at the toolbar's end opens the customisation.
    auto* customize = frame().toolBar()->findChild<QToolButton*>("customizeButton");
    ASSERT_NE(customize, nullptr);
    EXPECT_TRUE(customize->isVisible());
    EXPECT_EQ(customize->toolTip(), "Customize...");
    bool opened = false;
    whenModalShown([&](QWidget* w) {
        opened = qobject_cast<CToolbarCustomizeDlg*>(w) != nullptr;
        qobject_cast<QDialog*>(w)->accept();
    });
    QTest::mouseClick(customize, Qt::LeftButton);
    EXPECT_TRUE(opened);
    // A menu hint replaces the message pane while it shows.
    frame().statusBar()->showMessage("Create a new document");
    EXPECT_EQ(frame().statusBar()->currentMessage(), "Create a new document");
}

TEST_F(FrameTest, LockKeyPanesFollowTheKeyboardLeds) {
    const std::string leds = scratchFolder() + "/leds";
    QDir().mkpath(QString::fromStdString(leds + "/input3::capslock"));
    QDir().mkpath(QString::fromStdString(leds + "/input3::numlock"));
    ASSERT_TRUE(writeFile(leds + "/input3::capslock/brightness", "1\n"));
    ASSERT_TRUE(writeFile(leds + "/input3::numlock/brightness", "0\n"));
    const LockKeyStates s = readLockKeyStates(QString::fromStdString(leds));
    EXPECT_EQ(s.capsLock, true);
    EXPECT_EQ(s.numLock, false);
    EXPECT_EQ(s.scrollLock, std::nullopt);  // the system does not tell: greyed
    EXPECT_EQ(readLockKeyStates("/nonexistent").capsLock, std::nullopt);
}

TEST_F(FrameTest, CustomizedToolbarsAndUserToolbarsSurviveARestart) {
    startApp();
    whenModalShown([](QWidget* w) {
        auto* dlg = qobject_cast<CToolbarCustomizeDlg*>(w);
        ASSERT_NE(dlg, nullptr);
        // The standard toolbar loses New.
        dlg->toolbarCombo()->setCurrentIndex(dlg->toolbarCombo()->findText("Standard"));
        dlg->buttonList()->setCurrentRow(0);
        dlg->OnRemove();
        EXPECT_EQ(dlg->buttonList()->item(0)->text(), "Open...");
        // A toolbar of the user's own with With Com, a separator and About.
        dlg->OnNewToolbar();
        EXPECT_EQ(dlg->toolbarCombo()->currentText(), "Toolbar1");
        for (const char* command : {"With Com", "About Nimbrel..."}) {
            dlg->commandList()->setCurrentItem(
                dlg->commandList()->findItems(command, Qt::MatchExactly).value(0));
            dlg->OnAddCommand();
            if (QString(command) == "With Com") dlg->OnAddSeparator();
        }
        EXPECT_EQ(dlg->buttonList()->count(), 3);
        dlg->accept();
    });
    run(MenuCommand::ToolbarCustomize);
    stopApp();

    startApp();
    auto* user = frame().findChild<QToolBar*>("userToolbar1");
    ASSERT_NE(user, nullptr);
    QStringList tools;
    for (QAction* a : user->actions())
        tools << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(tools, (QStringList{"With Com", "-", "&About Nimbrel...", "Customize..."}));
    EXPECT_EQ(frame().toolBar()->actions().first()->text(), "&Open...");
    // The bars' right-click menu lists the toolbars and offers Customize...
    std::unique_ptr<QMenu> popup(frame().createPopupMenu());
    QStringList entries;
    for (QAction* a : popup->actions()) entries << a->text();
    EXPECT_TRUE(entries.contains("Standard"));
    EXPECT_TRUE(entries.contains("Toolbar1"));
    EXPECT_EQ(entries.last(), "Customize...");
}

// Grabs the window after a short demo capture into the test's output folder; the picture
// shows the black view with coloured lines.
TEST_F(FrameTest, ScreenshotAfterAShortCapture) {
    std::string log1;
    ASSERT_TRUE(readFile(std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h", log1));
    ASSERT_TRUE(writeFile(programHome() + "/LOG1.h", log1));
    startApp(true);
    frame().resize(1100, 620);
    ASSERT_TRUE(waitFor([&] { return viewLines().filter("[COM]").size() >= 60; }));
    QTest::qWait(200);
    const QImage shot = frame().grab().toImage();
    const QString out = screenshotPath("nimbrel-window.png");
    ASSERT_TRUE(shot.save(out)) << out.toStdString();

    const QImage viewShot = view().viewport()->grab().toImage();
    int black = 0, grey = 0, coloured = 0;
    for (int y = 0; y < viewShot.height(); y += 2) {
        for (int x = 0; x < viewShot.width(); x += 2) {
            const QColor c = viewShot.pixelColor(x, y);
            if (c == Qt::black) {
                ++black;
            } else if (c.saturation() > 100) {
                ++coloured;
            } else {
                ++grey;
            }
        }
    }
    EXPECT_GT(black, (viewShot.width() * viewShot.height() / 4) / 2) << "mostly black background";
    EXPECT_GT(coloured, 200) << "coloured text";
}

}  // namespace
}  // namespace nimbrel::test

// The command table walked through the real menus: every item with its text, keys,
// enabled state and mark, in the states that change them.
#include "gui/window/command_table.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include "gui/window/command_actions.h"
#include "gui/window/main_frame.h"
#include "gui/window/nimbrel_app.h"
#include "gui/window/nimbrel_doc.h"
#include "gui/window/nimbrel_view.h"
#include "window_test_support.h"

namespace nimbrel::test {
namespace {

using namespace nimbrel::gui;

class CommandTableTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        startApp();
    }
    QAction* action(int id) const {
        return frame().findChild<QAction*>(QStringLiteral("command%1").arg(id));
    }
    bool enabled(int id) const {
        frame().refreshCommandStates();
        return action(id)->isEnabled();
    }
    bool checked(int id) const {
        frame().refreshCommandStates();
        return action(id)->isChecked();
    }
};

QString plainPath(const char* menu, const char* text) {
    QString path = QString::fromUtf8(menu) + u'/' + menuLabel(text);
    return path.remove(u'&');
}

TEST_F(CommandTableTest, EveryMenuItemSitsAtItsPathWithItsTextAndKeys) {
    QStringList topLevel;
    for (QAction* a : frame().menuBar()->actions()) topLevel << a->text();
    EXPECT_EQ(topLevel,
              (QStringList{"&File", "&Edit", "&View", "Debug", "Setting", "Control", "&Help"}));

    for (const CommandSpec& cmdRow : commandTable()) {
        QAction* a = action(cmdRow.id);
        ASSERT_NE(a, nullptr) << cmdRow.id;
        EXPECT_EQ(a->text(), menuLabel(cmdRow.text)) << cmdRow.id;
        if (*cmdRow.menu) {
            EXPECT_EQ(menuAction(plainPath(cmdRow.menu, cmdRow.text)), a) << cmdRow.id;
        }
        // The shortcut the menu text shows is the first key of the action.
        const QString full = QString::fromUtf8(cmdRow.text);
        if (const qsizetype tab = full.indexOf(u'\t'); tab >= 0) {
            ASSERT_FALSE(a->shortcuts().isEmpty()) << cmdRow.id;
            EXPECT_EQ(a->shortcuts().first(), QKeySequence(full.mid(tab + 1))) << cmdRow.id;
        }
    }
    // The second keys of the accelerator table, and the key-only commands.
    const std::pair<int, QKeySequence> extra[] = {
        {cmd::EditUndo, QKeySequence(Qt::ALT | Qt::Key_Backspace)},
        {cmd::EditCut, QKeySequence(Qt::SHIFT | Qt::Key_Delete)},
        {cmd::EditCopy, QKeySequence(Qt::CTRL | Qt::Key_Insert)},
        {cmd::EditPaste, QKeySequence(Qt::SHIFT | Qt::Key_Insert)},
        {cmd::NextPane, QKeySequence(Qt::Key_F6)},
        {cmd::PrevPane, QKeySequence(Qt::SHIFT | Qt::Key_F6)},
        {cmd::Escape, QKeySequence(Qt::Key_Escape)},
    };
    for (const auto& [id, key] : extra) EXPECT_TRUE(action(id)->shortcuts().contains(key)) << id;
    // None of the system's own commands has a key.
    for (const int id :
         {cmd::DebugWithCom, cmd::ComSetting, cmd::AutoParseLog, cmd::UartInBox, cmd::Pause}) {
        EXPECT_TRUE(action(id)->shortcuts().isEmpty()) << id;
    }
}

TEST_F(CommandTableTest, StatesOfAnEmptyViewWithNoCapture) {
    QApplication::clipboard()->clear();
    run(cmd::EditClear);  // the start-up lines
    ASSERT_TRUE(waitFor([&] { return !view().hasText(); }));
    for (const int id :
         {cmd::EditUndo, cmd::EditCut, cmd::EditCopy, cmd::EditPaste, cmd::EditClear}) {
        EXPECT_FALSE(enabled(id)) << id;
    }
    // Embedded objects are not available; "Amber" is always greyed.
    for (const int id : {cmd::EditPasteSpecial, cmd::InsertObject, cmd::EditLinks,
                         cmd::ObjectProperties, cmd::ObjectVerbs, cmd::IcAmber}) {
        EXPECT_FALSE(enabled(id)) << id;
    }
    for (const int id :
         {cmd::FileNew, cmd::AppExit, cmd::DebugWithCom, cmd::DebugWithFilterDriver,
          cmd::DebugWithUartDriver, cmd::ComSetting, cmd::Log1Path, cmd::AddStringFilter,
          cmd::IcBasalt, cmd::IcEmber, cmd::UartInBox, cmd::AppAbout, cmd::Pause}) {
        EXPECT_TRUE(enabled(id)) << id;
    }
    EXPECT_TRUE(checked(cmd::AutoFixTimeStamp));
    EXPECT_FALSE(checked(cmd::AutoParseLog));
    EXPECT_FALSE(checked(cmd::AutoGenerateRawData));
    for (const int id : {cmd::IcAmber, cmd::IcBasalt, cmd::IcCobalt, cmd::IcDolomite})
        EXPECT_FALSE(checked(id));
    EXPECT_TRUE(checked(cmd::LookVs2005));
    EXPECT_FALSE(checked(cmd::LookBlue));
    EXPECT_TRUE(checked(cmd::ViewStatusBar));
    EXPECT_EQ(action(cmd::Pause)->text(), "Pause");
}

TEST_F(CommandTableTest, MarksFollowTheToggles) {
    run(cmd::AutoParseLog);
    EXPECT_TRUE(checked(cmd::AutoParseLog));
    run(cmd::AutoFixTimeStamp);
    EXPECT_FALSE(checked(cmd::AutoFixTimeStamp));
    run(cmd::IcCobalt);
    EXPECT_TRUE(checked(cmd::IcCobalt));
    run(cmd::IcDolomite);
    EXPECT_FALSE(checked(cmd::IcCobalt));
    EXPECT_TRUE(checked(cmd::IcDolomite));
    // Ember and Flint show no mark.
    run(cmd::IcEmber);
    EXPECT_FALSE(action(cmd::IcEmber)->isCheckable());
    run(cmd::LookSilver);
    EXPECT_TRUE(checked(cmd::LookSilver));
    EXPECT_FALSE(checked(cmd::LookVs2005));
    run(cmd::ViewStatusBar);
    EXPECT_FALSE(checked(cmd::ViewStatusBar));
    // The two auto-start toggles exclude each other when one is switched on.
    run(cmd::AutoCatchLogUsb);
    EXPECT_TRUE(checked(cmd::AutoCatchLogUsb));
    run(cmd::AutoCatchLogUart);
    EXPECT_TRUE(checked(cmd::AutoCatchLogUart));
    EXPECT_FALSE(checked(cmd::AutoCatchLogUsb));
    EXPECT_TRUE(fileExists(configHome() + "/autostart/nimbrel.desktop"));
    run(cmd::AutoCatchLogUart);
    EXPECT_FALSE(checked(cmd::AutoCatchLogUart));
    EXPECT_FALSE(fileExists(configHome() + "/autostart/nimbrel.desktop"));
    run(cmd::Pause);
    frame().refreshCommandStates();
    EXPECT_EQ(action(cmd::Pause)->text(), "Continue");
    run(cmd::Pause);
    frame().refreshCommandStates();
    EXPECT_EQ(action(cmd::Pause)->text(), "Pause");
}

TEST_F(CommandTableTest, TextInTheViewEnablesClearAndSelectAllAndTheClipboardEnablesPaste) {
    ASSERT_TRUE(view().hasText());  // the start-up lines
    EXPECT_TRUE(enabled(cmd::EditClear));
    EXPECT_TRUE(enabled(cmd::EditSelectAll));
    run(cmd::EditClear);
    ASSERT_TRUE(waitFor([&] { return !view().hasText(); }));
    EXPECT_FALSE(enabled(cmd::EditClear));
    EXPECT_FALSE(enabled(cmd::EditSelectAll));
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    EXPECT_TRUE(enabled(cmd::EditPaste));
    QApplication::clipboard()->clear();
    EXPECT_FALSE(enabled(cmd::EditPaste));
}

TEST_F(CommandTableTest, RightClickShowsTheEditMenuAndPauseReadsContinueAfterward) {
    const QPoint inside = view().viewport()->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, inside,
                            view().viewport()->mapToGlobal(inside));
    QApplication::sendEvent(view().viewport(), &event);
    QMenu* menu = nullptr;
    ASSERT_TRUE(waitFor([&] {
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu != nullptr;
    }));
    QStringList items;
    for (QAction* a : menu->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items,
              (QStringList{"Cu&t", "&Copy", "&Paste", "Select A&ll", "-", "Clear", "Pause"}));
    QAction* pause = menu->actions().last();
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(pause).center());
    ASSERT_TRUE(waitFor([&] { return !menu->isVisible(); }));
    EXPECT_TRUE(view().core().formatter.paused());
    menu->popup(QPoint(10, 10));  // the next time the menu opens
    EXPECT_EQ(pause->text(), "Continue");
    menu->close();
}

TEST_F(CommandTableTest, CtrlNAsksToSaveAModifiedDocumentAndEscDoesNothing) {
    frame().activateWindow();
    view().setFocus();
    QTest::keyClick(&frame(), Qt::Key_Escape);
    EXPECT_TRUE(frame().isVisible());
    EXPECT_TRUE(boxes->boxes().empty());

    app->document()->setModifiedFlag(true);
    boxes->setAnswer(QMessageBox::Cancel);
    QTest::keyClick(&frame(), Qt::Key_N, Qt::ControlModifier);
    ASSERT_EQ(boxes->boxes().size(), 1u);
    EXPECT_EQ(boxes->boxes()[0].text, "Save changes to Untitled?");
    EXPECT_EQ(boxes->boxes()[0].icon, QMessageBox::Question);
    EXPECT_TRUE(app->document()->isModified());  // Cancel: nothing happened

    boxes->setAnswer(QMessageBox::No);
    QTest::keyClick(&frame(), Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(boxes->boxes().size(), 2u);
    EXPECT_FALSE(app->document()->isModified());
}

}  // namespace
}  // namespace nimbrel::test

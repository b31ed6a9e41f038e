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
    QAction* action(MenuCommand id) const {
        return frame().findChild<QAction*>(QStringLiteral("command%1").arg(commandNumber(id)));
    }
    bool enabled(MenuCommand id) const {
        frame().refreshCommandStates();
        return action(id)->isEnabled();
    }
    bool checked(MenuCommand id) const {
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
    const std::pair<MenuCommand, QKeySequence> extra[] = {
        {MenuCommand::EditUndo, QKeySequence(Qt::ALT | Qt::Key_Backspace)},
        {MenuCommand::EditCut, QKeySequence(Qt::SHIFT | Qt::Key_Delete)},
        {MenuCommand::EditCopy, QKeySequence(Qt::CTRL | Qt::Key_Insert)},
        {MenuCommand::EditPaste, QKeySequence(Qt::SHIFT | Qt::Key_Insert)},
        {MenuCommand::NextPane, QKeySequence(Qt::Key_F6)},
        {MenuCommand::PrevPane, QKeySequence(Qt::SHIFT | Qt::Key_F6)},
        {MenuCommand::Escape, QKeySequence(Qt::Key_Escape)},
    };
    for (const auto& [id, key] : extra) EXPECT_TRUE(action(id)->shortcuts().contains(key)) << id;
    // None of the system's own commands has a key.
    for (const MenuCommand id :
         {MenuCommand::DebugWithCom, MenuCommand::ComSetting, MenuCommand::AutoParseLog,
          MenuCommand::UartInBox, MenuCommand::Pause}) {
        EXPECT_TRUE(action(id)->shortcuts().isEmpty()) << id;
    }
}

TEST_F(CommandTableTest, StatesOfAnEmptyViewWithNoCapture) {
    QApplication::clipboard()->clear();
    run(MenuCommand::EditClear);  // the start-up lines
    ASSERT_TRUE(waitFor([&] { return !view().hasText(); }));
    for (const MenuCommand id : {MenuCommand::EditUndo, MenuCommand::EditCut, MenuCommand::EditCopy,
                                 MenuCommand::EditPaste, MenuCommand::EditClear}) {
        EXPECT_FALSE(enabled(id)) << id;
    }
    // Embedded objects are not available; "Amber" is always greyed.
    for (const MenuCommand id :
         {MenuCommand::EditPasteSpecial, MenuCommand::InsertNewObject, MenuCommand::EditLinks,
          MenuCommand::ObjectProperties, MenuCommand::ObjectVerbFirst, MenuCommand::IcTypeAmber}) {
        EXPECT_FALSE(enabled(id)) << id;
    }
    for (const MenuCommand id :
         {MenuCommand::FileNew, MenuCommand::AppExit, MenuCommand::DebugWithCom,
          MenuCommand::DebugWithFilterDriver, MenuCommand::DebugWithUartDriver,
          MenuCommand::ComSetting, MenuCommand::Log1Path, MenuCommand::AddStringFilter,
          MenuCommand::IcTypeBasalt, MenuCommand::IcTypeEmber, MenuCommand::UartInBox,
          MenuCommand::AppAbout, MenuCommand::Pause}) {
        EXPECT_TRUE(enabled(id)) << id;
    }
    EXPECT_TRUE(checked(MenuCommand::AutoFixTimeStamp));
    EXPECT_FALSE(checked(MenuCommand::AutoParseLog));
    EXPECT_FALSE(checked(MenuCommand::AutoGenerateRawData));
    for (const MenuCommand id : {MenuCommand::IcTypeAmber, MenuCommand::IcTypeBasalt,
                                 MenuCommand::IcTypeCobalt, MenuCommand::IcTypeDolomite})
        EXPECT_FALSE(checked(id));
    EXPECT_TRUE(checked(MenuCommand::LookVs2005));
    EXPECT_FALSE(checked(MenuCommand::LookBlue));
    EXPECT_TRUE(checked(MenuCommand::ViewStatusBar));
    EXPECT_EQ(action(MenuCommand::Pause)->text(), "Pause");
}

TEST_F(CommandTableTest, MarksFollowTheToggles) {
    run(MenuCommand::AutoParseLog);
    EXPECT_TRUE(checked(MenuCommand::AutoParseLog));
    run(MenuCommand::AutoFixTimeStamp);
    EXPECT_FALSE(checked(MenuCommand::AutoFixTimeStamp));
    run(MenuCommand::IcTypeCobalt);
    EXPECT_TRUE(checked(MenuCommand::IcTypeCobalt));
    run(MenuCommand::IcTypeDolomite);
    EXPECT_FALSE(checked(MenuCommand::IcTypeCobalt));
    EXPECT_TRUE(checked(MenuCommand::IcTypeDolomite));
    // Ember and Flint show no mark.
    run(MenuCommand::IcTypeEmber);
    EXPECT_FALSE(action(MenuCommand::IcTypeEmber)->isCheckable());
    run(MenuCommand::LookSilver);
    EXPECT_TRUE(checked(MenuCommand::LookSilver));
    EXPECT_FALSE(checked(MenuCommand::LookVs2005));
    run(MenuCommand::ViewStatusBar);
    EXPECT_FALSE(checked(MenuCommand::ViewStatusBar));
    // The two auto-start toggles exclude each other when one is switched on.
    run(MenuCommand::AutoCatchLogUsb);
    EXPECT_TRUE(checked(MenuCommand::AutoCatchLogUsb));
    run(MenuCommand::AutoCatchLogUart);
    EXPECT_TRUE(checked(MenuCommand::AutoCatchLogUart));
    EXPECT_FALSE(checked(MenuCommand::AutoCatchLogUsb));
    EXPECT_TRUE(fileExists(configHome() + "/autostart/nimbrel.desktop"));
    run(MenuCommand::AutoCatchLogUart);
    EXPECT_FALSE(checked(MenuCommand::AutoCatchLogUart));
    EXPECT_FALSE(fileExists(configHome() + "/autostart/nimbrel.desktop"));
    run(MenuCommand::Pause);
    frame().refreshCommandStates();
    EXPECT_EQ(action(MenuCommand::Pause)->text(), "Continue");
    run(MenuCommand::Pause);
    frame().refreshCommandStates();
    EXPECT_EQ(action(MenuCommand::Pause)->text(), "Pause");
}

TEST_F(CommandTableTest, TextInTheViewEnablesClearAndSelectAllAndTheClipboardEnablesPaste) {
    ASSERT_TRUE(view().hasText());  // the start-up lines
    EXPECT_TRUE(enabled(MenuCommand::EditClear));
    EXPECT_TRUE(enabled(MenuCommand::EditSelectAll));
    run(MenuCommand::EditClear);
    ASSERT_TRUE(waitFor([&] { return !view().hasText(); }));
    EXPECT_FALSE(enabled(MenuCommand::EditClear));
    EXPECT_FALSE(enabled(MenuCommand::EditSelectAll));
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    EXPECT_TRUE(enabled(MenuCommand::EditPaste));
    QApplication::clipboard()->clear();
    EXPECT_FALSE(enabled(MenuCommand::EditPaste));
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

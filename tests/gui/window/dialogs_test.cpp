// The dialogs driven through their widgets: the string filter's rules, the COM dialog's
// validation and storage, and the in-box sender's bytes arriving on the far side of a
// pseudo-terminal during a capture.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "capture/capture_session.h"
#include "gui/window/about_dlg.h"
#include "gui/window/com_dlg.h"
#include "gui/window/command_table.h"
#include "gui/window/nimbrel_view.h"
#include "gui/window/str_filter_dlg.h"
#include "gui/window/uart_in_box_dlg.h"
#include "pipeline/settings_store.h"
#include "pipeline/string_filter.h"
#include "platform/pseudo_terminal.h"
#include "window_test_support.h"

namespace nimbrel::test {
namespace {

using namespace nimbrel::gui;

QStringList items(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

void add(CStrFilterDlg& dlg, const QString& text) {
    dlg.edit()->clear();
    QTest::keyClicks(dlg.edit(), text);
    QTest::mouseClick(dlg.addButton(), Qt::LeftButton);
}

class DialogsTest : public WindowTest {};

TEST_F(DialogsTest, StringFilterAddDeleteOkAndCancel) {
    guiApp();
    StringFilter filter;
    filter.replaceAll({u"HCI"});
    {
        CStrFilterDlg dlg(filter);
        EXPECT_EQ(dlg.windowTitle(), "Dialog");
        EXPECT_EQ(items(dlg.list()), QStringList{"HCI"});
        add(dlg, QString());  // empty: ignored
        add(dlg, "abc");
        add(dlg, "ABC");  // differs in case: kept
        add(dlg, "abc");  // exact duplicate: ignored
        add(dlg, "LMP");
        EXPECT_EQ(dlg.edit()->text(), "LMP");  // the edit keeps its text
        EXPECT_EQ(items(dlg.list()), (QStringList{"HCI", "abc", "ABC", "LMP"}));
        dlg.list()->item(0)->setSelected(true);
        dlg.list()->item(2)->setSelected(true);
        QTest::mouseClick(dlg.deleteButton(), Qt::LeftButton);
        EXPECT_EQ(items(dlg.list()), (QStringList{"abc", "LMP"}));
        dlg.reject();
    }
    EXPECT_EQ(*filter.strings(), StringFilter::List{u"HCI"});  // Cancel changed nothing

    CStrFilterDlg dlg(filter);
    add(dlg, "abc");
    add(dlg, "ABC");
    dlg.accept();
    EXPECT_EQ(*filter.strings(), (StringFilter::List{u"HCI", u"abc", u"ABC"}));
    EXPECT_TRUE(filter.matches(u"x ABC y"));
    EXPECT_FALSE(filter.matches(u"hci"));
}

TEST_F(DialogsTest, StringFilterFromTheMenuReplacesTheViewsFilter) {
    startApp();
    whenModalShown([](QWidget* w) {
        auto* dlg = qobject_cast<CStrFilterDlg*>(w);
        ASSERT_NE(dlg, nullptr);
        add(*dlg, "look1");
        dlg->accept();
    });
    run(MenuCommand::AddStringFilter);
    EXPECT_EQ(*view().core().stringFilter.strings(), StringFilter::List{u"look1"});
    // A filtered status message is not shown.
    const qint64 before = view().lineCount();
    view().core().console.print(u"[G] set look1 here");
    QTest::qWait(50);
    EXPECT_EQ(view().lineCount(), before);
}

TEST_F(DialogsTest, BaudRateMustBeAPositiveInteger) {
    const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
        {"115200", 115200u},         {" 9600 ", 9600u},
        {"4294967295", 4294967295u}, {"0", std::nullopt},
        {"", std::nullopt},          {"-1", std::nullopt},
        {"12ab", std::nullopt},      {"4294967296", std::nullopt},
        {"+5", std::nullopt},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(parseBaudRate(QString::fromLatin1(text)), expected) << text;
}

TEST_F(DialogsTest, ComSettingRefusesABadRateAndStoresOnOkOnly) {
    startApp();
    SettingsStore store;
    // Cancel stores nothing.
    whenModalShown([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    run(MenuCommand::ComSetting);
    EXPECT_FALSE(store.storedValue(u"Com").has_value());

    whenModalShown([this](QWidget* w) {
        auto* dlg = qobject_cast<CComDlg*>(w);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->windowTitle(), "COM Debug");
        EXPECT_EQ(dlg->baudEdit()->text(), "115200");
        // The stored name is listed (after the system's own ports) and can be typed over.
        EXPECT_GE(
            dlg->portCombo()->findText(QString::fromStdU16String(std::u16string(kDefaultComPort))),
            0);
        dlg->portCombo()->setEditText(QString());
        QTest::keyClicks(dlg->portCombo(), "ttyACM3");
        dlg->baudEdit()->clear();
        QTest::keyClicks(dlg->baudEdit(), "fast");
        QTest::keyClick(dlg, Qt::Key_Return);
        EXPECT_TRUE(dlg->isVisible());  // refused, still open
        ASSERT_EQ(boxes->boxes().size(), 1u);
        EXPECT_EQ(boxes->boxes()[0].text, "Enter a positive integer.");
        EXPECT_EQ(boxes->boxes()[0].icon, QMessageBox::Warning);
        dlg->baudEdit()->clear();
        QTest::keyClicks(dlg->baudEdit(), "921600");
        QTest::keyClick(dlg, Qt::Key_Return);
    });
    run(MenuCommand::ComSetting);
    EXPECT_EQ(store.GetComPort(), u"ttyACM3");
    EXPECT_EQ(store.GetBaudRate(), 921600u);
}

// The dialog shows the stored port, so that OK after changing only the baud rate keeps
// it; a name the list does not hold goes into the edit field.
TEST_F(DialogsTest, ComSettingShowsTheStoredPortSoThatOkKeepsIt) {
    startApp();
    SettingsStore store;
    for (const char16_t* stored : {u"ttyACM3", u"/dev/pts/77"}) {
        const QString name = QString::fromStdU16String(stored);
        SCOPED_TRACE(name.toStdString());
        store.SetComPort(stored);
        QString shown;
        whenModalShown([&](QWidget* w) {
            auto* dlg = qobject_cast<CComDlg*>(w);
            ASSERT_NE(dlg, nullptr);
            shown = dlg->portCombo()->currentText();
            dlg->baudEdit()->clear();
            QTest::keyClicks(dlg->baudEdit(), "9600");
            QTest::keyClick(dlg, Qt::Key_Return);
        });
        run(MenuCommand::ComSetting);
        EXPECT_EQ(shown, name);
        EXPECT_EQ(store.GetComPort(), stored);
        EXPECT_EQ(store.GetBaudRate(), 9600u);
    }
    CComDlg unlisted(QStringList{"ttyS0", "ttyS1"}, "ttyUSB7", 115200);
    EXPECT_EQ(unlisted.portCombo()->currentText(), "ttyUSB7");
    EXPECT_EQ(unlisted.portCombo()->count(), 2);
}

TEST_F(DialogsTest, AboutShowsTheVersion) {
    startApp();
    QString text;
    whenModalShown([&](QWidget* w) {
        text = w->findChild<QLabel*>("versionText")->text();
        qobject_cast<QDialog*>(w)->accept();
    });
    run(MenuCommand::AppAbout);
    EXPECT_EQ(text, "Nimbrel, Version 1.1.17.0");
}

TEST_F(DialogsTest, UartInBoxWithoutTheComRouteSaysSoAndOpensNothing) {
    startApp();
    run(MenuCommand::UartInBox);
    ASSERT_TRUE(waitFor([&] { return viewLines().contains("[R] Com port doesn't open "); }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// Reads what arrived on the master side until `count` bytes came or a second passed.
QByteArray readMaster(int fd, int count) {
    QByteArray out;
    for (int waited = 0; out.size() < count && waited < 100; ++waited) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10) > 0) {
            char buffer[64];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) out.append(buffer, n);
        }
    }
    return out;
}

TEST_F(DialogsTest, UartInBoxSendsEightBytesOnTheCapturesPortEachTimeExecuteIsPressed) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.open(), 0);
    SettingsStore().SetComPort(QString::fromStdString(pty.slavePath()).toStdU16String());
    startApp();
    run(MenuCommand::DebugWithCom);
    ASSERT_TRUE(waitFor([&] { return view().core().capture.viewInUse(); }));
    EXPECT_EQ(frame().windowTitle(),
              QStringLiteral("DebugVia") + QString::fromStdString(pty.slavePath()));

    whenModalShown([](QWidget* w) {
        auto* dlg = qobject_cast<CDialogUartInBox*>(w);
        ASSERT_NE(dlg, nullptr);
        const char* texts[] = {"0x1F", "a5", "  7", "-1", "100", "zz", "", "FF"};
        for (int k = 0; k < 8; ++k) QTest::keyClicks(dlg->byteEdit(k), texts[k]);
        QTest::mouseClick(dlg->executeButton(), Qt::LeftButton);
        QTest::mouseClick(dlg->executeButton(), Qt::LeftButton);
        EXPECT_TRUE(dlg->isVisible());
        QTest::mouseClick(dlg->exitButton(), Qt::LeftButton);
    });
    run(MenuCommand::UartInBox);
    const QByteArray one("\x1F\xA5\x07\xFF\x00\x00\x00\xFF", 8);
    EXPECT_EQ(readMaster(pty.masterFd(), 16), one + one);
    EXPECT_TRUE(viewLines().contains("[B] Start Uart In Box"));
}

// Execute answers every time: a sent message in the status bar (the view's text stays as
// it is), a failed one as a red line with the reason: a port that does not take the bytes
// within the time limit, and a port that is no longer open.
TEST_F(DialogsTest, UartInBoxExecuteConfirmsASendOrReportsWhyItFailed) {
    PseudoTerminal pty;
    ASSERT_EQ(pty.open(), 0);
    SettingsStore().SetComPort(QString::fromStdString(pty.slavePath()).toStdU16String());
    startApp();
    run(MenuCommand::DebugWithCom);
    const QString opened = "[D] [" + QString::fromStdString(pty.slavePath()) + "]";
    ASSERT_TRUE(waitFor([&] { return viewLines().contains(opened); }));

    struct Case {
        const char* name;
        std::function<void()> prepare;
        QString status;   // expected in the status bar, or empty
        QString redLine;  // expected as the view's new last line, or empty
    };
    int filler = -1;
    const Case cases[] = {
        {"sent", [] {}, "Sent 01 03 0c 00 00 00 00 00", QString()},
        {"the port does not drain",
         [&] {
             // Nobody reads the far side: fill what the pseudo-terminal holds.
             filler = ::open(pty.slavePath().c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
             ASSERT_GE(filler, 0);
             // The terminal layer keeps room for small writes after a large one fails and
             // moves queued bytes on in the background: fill in blocks, then byte by byte,
             // until a pass after a pause takes nothing more.
             const std::string block(4096, 'x');
             for (const std::size_t size : {block.size(), std::size_t{1}}) {
                 for (bool took = true; took; QTest::qWait(20)) {
                     took = false;
                     while (::write(filler, block.data(), size) > 0) took = true;
                 }
             }
         },
         QString(), "[R] Fail to send to the COM port, error:0x6e (Connection timed out)"},
        {"the port closed",
         [&] {
             ::close(filler);
             pty.closeMaster();  // the capture ends and closes the port
             ASSERT_TRUE(waitFor([&] { return !view().core().capture.viewInUse(); }));
         },
         QString(), "[R] Fail to send: the COM port is not open"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.prepare();
        frame().statusBar()->clearMessage();
        QStringList before;
        whenModalShown([&](QWidget* w) {
            auto* dlg = qobject_cast<CDialogUartInBox*>(w);
            ASSERT_NE(dlg, nullptr);
            const char* texts[] = {"1", "3", "0c", "", "", "", "", ""};
            for (int k = 0; k < 8; ++k) QTest::keyClicks(dlg->byteEdit(k), texts[k]);
            before = viewLines();
            QTest::mouseClick(dlg->executeButton(), Qt::LeftButton);
            QTest::qWait(20);
            QTest::mouseClick(dlg->exitButton(), Qt::LeftButton);
        });
        run(MenuCommand::UartInBox);
        EXPECT_EQ(frame().statusBar()->currentMessage(), c.status);
        QStringList expected = before;
        if (!c.redLine.isEmpty()) expected << c.redLine;
        EXPECT_EQ(viewLines().join('\n').toStdString(), expected.join('\n').toStdString());
    }
    EXPECT_EQ(view().lineRuns(view().lineCount() - 1).value(0).colour, QColor(255, 0, 0));
}

}  // namespace
}  // namespace nimbrel::test

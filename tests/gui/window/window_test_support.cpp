#include "window_test_support.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QTimer>

#include "gui/window/main_frame.h"
#include "gui/window/message_box.h"
#include "gui/window/nimbrel_app.h"
#include "gui/window/nimbrel_view.h"
#include "log_view_test_app.h"
#include "platform/serial_port.h"
#include "support/wait_until.h"

namespace nimbrel::test {

QApplication& guiApp() {
    QApplication& app = logViewTestApp();
    // Closing a window in a test must not end the application.
    QApplication::setQuitOnLastWindowClosed(false);
    return app;
}

MessageBoxRecorder::MessageBoxRecorder(QMessageBox::StandardButton answer) : answer_(answer) {
    gui::setMessageBoxHook(
        [this](const QString& text, QMessageBox::StandardButtons buttons, QMessageBox::Icon icon) {
            boxes_.push_back({text, buttons, icon});
            return answer_;
        });
}

MessageBoxRecorder::~MessageBoxRecorder() { gui::setMessageBoxHook(nullptr); }

void whenModalShown(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer(&guiApp());
    auto remaining = std::make_shared<int>(1000);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act, remaining] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            timer->stop();
            timer->deleteLater();
            act(modal);
        } else if (--*remaining == 0) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(5);
}

QString screenshotPath(const QString& fileName) {
    QString folder = qEnvironmentVariable("NIMBREL_GRAB_DIR");
    if (folder.isEmpty()) folder = QCoreApplication::applicationDirPath();
    return folder + u'/' + fileName;
}

void WindowTest::SetUp() {
    guiApp();
    SettingsWorldTest::SetUp();
    boxes = std::make_unique<MessageBoxRecorder>(QMessageBox::No);
}

void WindowTest::TearDown() {
    stopApp();
    boxes.reset();
    SettingsWorldTest::TearDown();
}

void WindowTest::startApp(bool demo) {
    app = std::make_unique<gui::CNimbrelApp>(guiApp());
    gui::AppOptions options;
    options.demo = demo;
    options.demoRate = 200;
    ASSERT_TRUE(app->InitInstance(options));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame()));
}

void WindowTest::stopApp() {
    if (!app) return;
    if (boxes) boxes->setAnswer(QMessageBox::No);
    if (app->mainFrame()) app->mainFrame()->close();
    app.reset();
}

gui::CMainFrame& WindowTest::frame() const { return *app->mainFrame(); }
gui::CNimbrelView& WindowTest::view() const { return *app->view(); }

QAction* WindowTest::menuAction(const QString& path) const {
    const auto plain = [](QString text) {
        text.remove(u'&');
        const qsizetype tab = text.indexOf(u'\t');
        return tab < 0 ? text : text.left(tab);
    };
    const QStringList levels = path.split(u'/');
    QList<QAction*> actions = frame().menuBar()->actions();
    QAction* found = nullptr;
    for (const QString& level : levels) {
        found = nullptr;
        for (QAction* a : actions) {
            if (!a->isSeparator() && plain(a->text()) == level) {
                found = a;
                break;
            }
        }
        if (!found) return nullptr;
        actions = found->menu() ? found->menu()->actions() : QList<QAction*>{};
    }
    return found;
}

void WindowTest::run(MenuCommand command) const {
    const int id = commandNumber(command);
    QAction* a = frame().findChild<QAction*>(QStringLiteral("command%1").arg(id));
    ASSERT_NE(a, nullptr) << id;
    frame().refreshCommandStates();
    ASSERT_TRUE(a->isEnabled()) << id;
    a->trigger();
}

QStringList WindowTest::viewLines() const {
    QStringList lines;
    for (qint64 i = 0; i < view().lineCount(); ++i) lines << view().lineText(i);
    return lines;
}

bool WindowTest::waitFor(const std::function<bool()>& done, int timeoutMs) {
    return waitUntil(done, std::chrono::milliseconds(timeoutMs), [] { QTest::qWait(10); });
}

}  // namespace nimbrel::test

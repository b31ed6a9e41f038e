// Shared pieces of the window tests: the application object, a main window in a private
// settings world, modal dialogs answered from a timer, message boxes recorded instead of
// shown, and lookups of menu items by their path.
#pragma once

#include <QAction>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <ostream>
#include <vector>

#include "app/menu_commands.h"
#include "gui/window/main_frame.h"
#include "gui/window/nimbrel_app.h"
#include "gui/window/nimbrel_doc.h"
#include "gui/window/nimbrel_view.h"
#include "settings_test_env.h"

class QApplication;
class QWidget;

namespace nimbrel {
// Test messages name a command by its number.
inline std::ostream& operator<<(std::ostream& out, MenuCommand command) {
    return out << commandNumber(command);
}
}  // namespace nimbrel

namespace nimbrel::test {

// The one QApplication of the test executable (offscreen).
QApplication& guiApp();

// Message boxes are recorded and answered with `answer` while this lives.
struct RecordedBox {
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::Icon icon;
};
class MessageBoxRecorder {
public:
    explicit MessageBoxRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok);
    ~MessageBoxRecorder();
    void setAnswer(QMessageBox::StandardButton answer) { answer_ = answer; }
    const std::vector<RecordedBox>& boxes() const { return boxes_; }

private:
    QMessageBox::StandardButton answer_;
    std::vector<RecordedBox> boxes_;
};

// Calls `act` with the next application-modal widget once it is shown (polled every few
// milliseconds, given up after five seconds).
void whenModalShown(std::function<void(QWidget*)> act);

// Where a test saves a picture of the window: $NIMBREL_GRAB_DIR when set, else the folder
// of the test program (in the build tree, never the working folder).
QString screenshotPath(const QString& fileName);

// A started application with its window, in the settings world of the fixture.
class WindowTest : public SettingsWorldTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the application, runs its start-up and shows the window.
    void startApp(bool demo = false);
    // Closes the window answering the close question with No, and destroys everything.
    void stopApp();

    gui::CMainFrame& frame() const;
    gui::CNimbrelView& view() const;
    // The action at a menu path such as "Setting/IC Type/Basalt" (mnemonics ignored).
    QAction* menuAction(const QString& path) const;
    // Triggers the command from its action.
    void run(MenuCommand command) const;
    // All lines of the view.
    QStringList viewLines() const;
    // Waits until `done` holds, processing events; false after the time-out.
    static bool waitFor(const std::function<bool()>& done, int timeoutMs = 5000);

    std::unique_ptr<MessageBoxRecorder> boxes;
    std::unique_ptr<gui::CNimbrelApp> app;
};

}  // namespace nimbrel::test

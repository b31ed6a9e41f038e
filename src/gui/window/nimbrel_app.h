// The application: creates the document, the main window and its view, runs the view's
// start-up sequence, shows the window, and handles New and About. With --demo it also
// starts the simulated controller on a new pseudo-terminal and captures from it.
#pragma once

#include <QObject>
#include <QStringList>
#include <memory>

class QApplication;
class QSessionManager;

namespace nimbrel {
class PowerListener;
}

namespace nimbrel::gui {

class CMainFrame;
class CNimbrelDoc;
class CNimbrelView;
class DemoController;

struct AppOptions {
    bool demo = false;
    double demoRate = 50;  // records per second
    QString file;          // a text log named on the command line
    bool help = false;
    QString error;  // a usage error
};
AppOptions parseAppArguments(const QStringList& arguments);

class CNimbrelApp : public QObject {
    Q_OBJECT
public:
    explicit CNimbrelApp(QApplication& app);
    ~CNimbrelApp() override;

    // Start-up: the window, its view's start-up sequence, the demo when asked; then the
    // window is shown. False when the application cannot start (the reason is printed).
    bool InitInstance(const AppOptions& options);

    CMainFrame* mainFrame() const { return m_frame.get(); }
    CNimbrelDoc* document() const { return m_doc.get(); }
    CNimbrelView* view() const;

    // New: asks to save a modified document, empties the view and starts it up again.
    void OnFileNew();
    void OnAppAbout();

private:
    bool startDemo(double rate);

    QApplication& m_app;
    std::unique_ptr<CNimbrelDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<DemoController> m_demo;
    PowerListener* m_power = nullptr;  // a child of this object
};

}  // namespace nimbrel::gui

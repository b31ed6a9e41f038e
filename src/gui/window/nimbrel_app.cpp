#include "gui/window/nimbrel_app.h"

#include <QApplication>
#include <QSessionManager>
#include <cassert>
#include <cstring>

#include "gui/window/about_dlg.h"
#include "gui/window/app_icon.h"
#include "gui/window/command_table.h"
#include "gui/window/demo_controller.h"
#include "gui/window/file_commands.h"
#include "gui/window/main_frame.h"
#include "gui/window/message_box.h"
#include "gui/window/nimbrel_doc.h"
#include "gui/window/nimbrel_view.h"
#include "pipeline/definition_file_choice.h"
#include "power/power_listener.h"

namespace nimbrel::gui {

AppOptions parseAppArguments(const QStringList& arguments) {
    AppOptions o;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--demo")) {
            o.demo = true;
        } else if (a == QLatin1String("--rate")) {
            bool ok = false;
            o.demoRate = i + 1 < arguments.size() ? arguments[++i].toDouble(&ok) : 0;
            if (!ok || o.demoRate <= 0 || o.demoRate > 100000)
                o.error = QStringLiteral("--rate needs a number of records per second");
        } else if (a == QLatin1String("-h") || a == QLatin1String("--help")) {
            o.help = true;
        } else if (a.startsWith(u'-') && a.size() > 1) {
            o.error = QStringLiteral("unexpected option '%1'").arg(a);
        } else if (o.file.isEmpty()) {
            o.file = a;
        } else {
            o.error = QStringLiteral("unexpected argument '%1'").arg(a);
        }
    }
    return o;
}

CNimbrelApp::CNimbrelApp(QApplication& app) : QObject(&app), m_app(app) {
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    QApplication::setApplicationDisplayName(QString::fromLatin1(kAppTitle));
    QApplication::setWindowIcon(appIcon());
}

CNimbrelApp::~CNimbrelApp() {
    // The view stops its captures before the simulated controller goes away.
    m_frame.reset();
    m_demo.reset();
}

CNimbrelView* CNimbrelApp::view() const { return m_frame ? m_frame->view() : nullptr; }

bool CNimbrelApp::InitInstance(const AppOptions& options) {
    m_doc = std::make_unique<CNimbrelDoc>();
    m_frame = std::make_unique<CMainFrame>(*m_doc);
    CommandRegistry& commands = m_frame->commands();
    commands.bind(MenuCommand::FileNew, [this] { OnFileNew(); });
    commands.bind(MenuCommand::AppAbout, [this] { OnAppAbout(); });
    // Every command now has its handler, from the view, the frame or here.
    // A row without its one handler is a programming error: a debug build stops here.
    [[maybe_unused]] const bool everyCommandBound = commands.check();
    assert(everyCommandBound && "every command of the table has exactly one handler");
    // A log-off or shut-down closes the window without a question and saves nothing.
    connect(&m_app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
        if (m_frame) m_frame->OnQueryEndSession();
    });

    // A suspend leaves the captures as they are (the listener traces it); after the resume
    // every capture stops and a driver route starts again.
    m_power = new PowerListener(this);
    connect(m_power, &PowerListener::resumed, this, [this] {
        if (CNimbrelView* v = view()) v->onSystemResume();
    });
    m_power->start();

    view()->OnInitialUpdate();
    if (!options.file.isEmpty()) {
        view()->files().openTextLogFile(options.file);
    }
    if (options.demo && !startDemo(options.demoRate)) return false;
    m_frame->show();
    return true;
}

bool CNimbrelApp::startDemo(double rate) {
    m_demo = std::make_unique<DemoController>();
    if (const int err = m_demo->start(rate); err != 0) {
        std::fprintf(stderr, "nimbrel: cannot create a pseudo-terminal for the demo: %s\n",
                     std::strerror(err));
        return false;
    }
    CNimbrelView* v = view();
    v->core().toggles.setAutoParseLog(true);
    // The demo's definitions are those beside the program, whatever file was chosen before.
    const std::u16string demoDefinitions = defaultDefinitionFile();
    if (definitionFileExists(demoDefinitions)) v->core().definitionFile.set(demoDefinitions);
    v->core().console.print(u"[B] Demo: a simulated controller streams its log on %s",
                            {m_demo->portPath().toStdU16String()});
    v->startComCapture(m_demo->portPath(), 115200);
    return true;
}

void CNimbrelApp::OnFileNew() {
    if (view()->files().busy()) {
        showMessageBox(m_frame.get(), QString::fromStdU16String(std::u16string(kViewInUseMessage)));
        return;
    }
    // Cancel, or a Save As that did not save, leaves everything as it was.
    if (!view()->SaveModified()) return;
    m_doc->reset();
    view()->OnNewDocument();
    m_doc->setModifiedFlag(false);
}

void CNimbrelApp::OnAppAbout() {
    CAboutDlg dlg(m_frame.get());
    dlg.exec();
}

}  // namespace nimbrel::gui

#include "gui/window/nimbrel_view.h"

#include <QMenu>
#include <QMetaObject>
#include <QTimer>
#include <mutex>

#include "app/ic_type_choice.h"
#include "capture/capture_shutdown.h"
#include "capture/inbox_sender.h"
#include "gui/logview/shown_lines.h"
#include "gui/window/com_dlg.h"
#include "gui/window/command_registry.h"
#include "gui/window/file_commands.h"
#include "gui/window/go_to_line_dlg.h"
#include "gui/window/line_time.h"
#include "gui/window/message_box.h"
#include "gui/window/nimbrel_doc.h"
#include "gui/window/str_filter_dlg.h"
#include "gui/window/uart_in_box_dlg.h"
#include "pipeline/definition_file_choice.h"
#include "pipeline/settings_store.h"
#include "platform/program_folder.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace nimbrel::gui {
namespace {

std::uint32_t storedPrintRawData() { return SettingsStore().GetPrintRawData(); }

QString viewInUseText() { return QString::fromStdU16String(std::u16string(kViewInUseMessage)); }

// The radio notifications are registered once for the whole process and called on the
// watcher's thread; they reach the view that exists at that moment, if any, through this
// process-lifetime relay, and are posted to the GUI thread.
class RadioRelay {
public:
    static RadioRelay& get() {
        static RadioRelay instance;
        return instance;
    }
    static RadioCallbacks callbacks() {
        return {[](const std::string&) { get().post(true); },
                [](const std::string&) { get().post(false); }};
    }
    void attach(CNimbrelView* view) {
        std::lock_guard lock(mutex_);
        view_ = view;
    }
    void detach(CNimbrelView* view) {
        std::lock_guard lock(mutex_);
        if (view_ == view) view_ = nullptr;
    }

private:
    void post(bool arrival) {
        std::lock_guard lock(mutex_);
        // A queued call to an object destroyed before it runs is dropped by Qt.
        if (view_) {
            QMetaObject::invokeMethod(
                view_, [v = view_, arrival] { v->OnDeviceChange(arrival); }, Qt::QueuedConnection);
        }
    }

    std::mutex mutex_;
    CNimbrelView* view_ = nullptr;
};

}  // namespace

class CNimbrelView::FileHost final : public FileCommandsHost {
public:
    explicit FileHost(CNimbrelView& view) : v_(view) {}

    LogTextView& textView() override { return v_; }
    CaptureSession& core() override { return v_.m_core; }
    void showQueuedText() override { v_.showQueuedText(); }
    bool saveModified() override { return v_.SaveModified(); }
    void clearModifiedFlag() override { v_.m_doc.setModifiedFlag(false); }
    void setDocumentUnmodified() override { v_.setDocumentUnmodified(); }
    void commandStatesChanged() override { emit v_.commandStatesChanged(); }
    void setCaption(const QString& caption) override { emit v_.captionRequested(caption); }
    void showStatusText(const QString& text) override { emit v_.statusMessageRequested(text); }

private:
    CNimbrelView& v_;
};

CNimbrelView::CNimbrelView(CNimbrelDoc& doc, QWidget* parent)
    : LogTextView(parent),
      m_doc(doc),
      m_logView(*this),
      m_core(m_logView, programFolder()),
      m_com(m_core, storedPrintRawData),
      m_driver(std::make_unique<DriverCapture>(m_core, RadioRelay::callbacks())),
      m_fileHost(std::make_unique<FileHost>(*this)),
      m_files(std::make_unique<FileCommands>(*m_fileHost)) {
    setObjectName(QStringLiteral("nimbrelView"));
    trace("CNimbrelView::CNimbrelView()+++++\n");
    const SettingsStore settings;
    m_core.hub.setAutoSaveRawData(settings.IniAutoSaveRawData());
    m_autoStart = initialAutoStartToggles(settings);
    {
        const std::u16string filter = settings.GetLineFilter();
        setLineFilter(LineFilter::fromText(std::string(filter.begin(), filter.end())));
    }
    RadioRelay::get().attach(this);
    setSaveAsHandler([this] { return m_files->OnSaveLogFile(); });
    connect(this, &LogTextView::contextMenuRequested, this, &CNimbrelView::OnContextMenu);
    connect(this, &LogTextView::userEdited, this, [this] { m_doc.setModifiedFlag(true); });
    // Text that reaches the view (records, console lines, a replay) is something to save.
    connect(this, &LogTextView::textAppended, this, [this] {
        if (!m_printingStartupLines) m_doc.setModifiedFlag(true);
    });
    connect(this, &LogTextView::selectionChanged, this, &CNimbrelView::commandStatesChanged);
    connect(this, &LogTextView::textChanged, this, &CNimbrelView::commandStatesChanged);
    connect(this, &LogTextView::hiddenLineRevealed, this, [this](qint64 line) {
        emit statusMessageRequested(
            QStringLiteral("Line %1 is hidden by the filter: it shows until the filter changes")
                .arg(line + 1));
    });
}

CNimbrelView::~CNimbrelView() {
    RadioRelay::get().detach(this);
    // Producers waiting for room in the view's queue are released first: the GUI thread
    // that would drain it is busy here.
    m_logView.shutDown();
    m_files.reset();  // a replay or text-log load stops before the core goes
    WaitForAllThreadExit(m_core, std::chrono::milliseconds(5000));
    m_driver.reset();
}

void CNimbrelView::bindCommands(CommandRegistry& commands) {
    using C = MenuCommand;
    const auto bind = [this, &commands](MenuCommand command, auto handler) {
        commands.bind(command, [this, handler] {
            handler();
            emit commandStatesChanged();
        });
    };
    bind(C::DebugWithFilterDriver, [this] { OnDebugWithFilterDriver(); });
    bind(C::DebugWithCom, [this] { OnDebugWithCom(); });
    bind(C::DebugWithUartDriver, [this] { OnDebugWithUartDriver(); });
    bind(C::StopCapture, [this] { OnDebugStopCapture(); });
    bind(C::ComSetting, [this] { OnComSetting(); });
    bind(C::Log1Path, [this] { OnLog1Path(); });
    bind(C::AddStringFilter, [this] { OnAddStringFilter(); });
    bind(C::IcTypeAmber, [this] { OnIcType(C::IcTypeAmber); });
    bind(C::IcTypeBasalt, [this] { OnIcType(C::IcTypeBasalt); });
    bind(C::IcTypeCobalt, [this] { OnIcType(C::IcTypeCobalt); });
    bind(C::IcTypeDolomite, [this] { OnIcType(C::IcTypeDolomite); });
    bind(C::IcTypeEmber, [this] { OnIcEmber(); });
    bind(C::IcTypeFlint, [this] { OnIcFlint(); });
    bind(C::AutoParseLog, [this] { OnAutoParseLog(); });
    bind(C::AutoGenerateRawData, [this] { OnAutoGenerateRawData(); });
    bind(C::AutoCatchLogUsb, [this] { OnAutoCatchLogUsb(); });
    bind(C::AutoCatchLogUart, [this] { OnAutoCatchLogUart(); });
    bind(C::AutoFixTimeStamp, [this] { OnAutoFixTimeStamp(); });
    bind(C::UartInBox, [this] { OnUartInBox(); });
    bind(C::EditClear, [this] { OnEditClear(); });
    bind(C::Pause, [this] { OnPause(); });
    bind(C::EditPaste, [this] { OnEditPaste(); });
    bind(C::GoToLine, [this] { OnGoToLine(); });
    bind(C::ToggleMark, [this] { OnToggleMark(); });
    bind(C::NextMark, [this] { OnNextMark(); });
    bind(C::PreviousMark, [this] { OnPreviousMark(); });
    bind(C::FilterRed, [this] { OnFilterKind(LineTag::Red); });
    bind(C::FilterYellow, [this] { OnFilterKind(LineTag::Yellow); });
    bind(C::FilterGreen, [this] { OnFilterKind(LineTag::Green); });
    bind(C::FilterBlue, [this] { OnFilterKind(LineTag::Blue); });
    bind(C::FilterWhite, [this] { OnFilterKind(LineTag::White); });
    bind(C::FilterGrey, [this] { OnFilterKind(LineTag::Grey); });
    bind(C::FilterDecoded, [this] { OnFilterKind(LineTag::Decoded); });
    bind(C::FilterSearchOnly, [this] { OnFilterSearchOnly(); });
    bind(C::FilterShowAll, [this] { OnFilterShowAll(); });
    bind(C::ExportShownLines, [this] { OnExportShownLines(); });
    bind(C::EditCut, [this] { cut(); });
    bind(C::EditCopy, [this] { copy(); });
    bind(C::EditUndo, [this] { undo(); });
    bind(C::EditSelectAll, [this] { selectAll(); });
    bind(C::EditFind, [this] { showFindDialog(); });
    bind(C::EditFindNext, [this] { findNext(); });
    bind(C::EditReplace, [this] { showReplaceDialog(); });
    bind(C::FileSaveAs, [this] { OnFileSaveAs(); });
    bind(C::FileSave, [this] { OnFileSaveAs(); });
    bind(C::FileOpen, [this] { m_files->OnOpenLogFile(); });
    bind(C::OpenRawData, [this] { m_files->OnOpenRawData(); });
    bind(C::ExportHciPackets, [this] { m_files->OnExportHciPackets(); });
    bind(C::FilePrint, [this] { m_files->OnFilePrint(); });
    bind(C::FilePrintPreview, [this] { m_files->OnFilePrintPreview(); });
    bind(C::FilePrintSetup, [this] { m_files->OnFilePrintSetup(); });
}

bool CNimbrelView::ruleHolds(EnableRule rule) const {
    switch (rule) {
    case EnableRule::Always: return true;
    case EnableRule::Never:
    case EnableRule::NotYet: return false;
    case EnableRule::HasText: return hasText();
    case EnableRule::HasSelection: return hasSelection();
    case EnableRule::CanPaste: return canPaste();
    case EnableRule::CanUndo: return canUndo();
    case EnableRule::HasRecentFiles: return m_files->hasRecentFiles();
    case EnableRule::Capturing: {
        const CaptureState::Phase phase = m_core.capture.phase();
        return phase != CaptureState::Phase::Idle && phase != CaptureState::Phase::Replaying;
    }
    case EnableRule::HasMarks: return !marks().empty();
    case EnableRule::FilterOn: return filterActive();
    case EnableRule::HasSearch: return shownLines().searchSet() != nullptr;
    }
    return false;
}

bool CNimbrelView::marked(const CommandSpec& cmdRow) const {
    const FormatterToggles& t = m_core.toggles;
    switch (cmdRow.markSource) {
    case MarkSource::AutoParseLog: return t.autoParseLog();
    case MarkSource::AutoFixTimeStamp: return t.autoFixTimeStamp();
    case MarkSource::AutoSaveRawData: return m_core.hub.autoSaveRawData();
    case MarkSource::AutoGetLog: return m_autoStart.m_bAutoGetLog;
    case MarkSource::AutoGetLogForUart: return m_autoStart.m_bAutoGetLogForUart;
    case MarkSource::IcType:
        for (const IcTypeFile& chip : kIcTypeFiles) {
            if (chip.command == cmdRow.id) return chip.icType == m_nIcType;
        }
        return false;
    case MarkSource::LineFilter: {
        const LineFilter& f = lineFilter();
        switch (cmdRow.id) {
        case MenuCommand::FilterRed: return f.shows(LineTag::Red);
        case MenuCommand::FilterYellow: return f.shows(LineTag::Yellow);
        case MenuCommand::FilterGreen: return f.shows(LineTag::Green);
        case MenuCommand::FilterBlue: return f.shows(LineTag::Blue);
        case MenuCommand::FilterWhite: return f.shows(LineTag::White);
        case MenuCommand::FilterGrey: return f.shows(LineTag::Grey);
        case MenuCommand::FilterDecoded: return f.shows(LineTag::Decoded);
        case MenuCommand::FilterSearchOnly: return f.onlySearch;
        default: return false;
        }
    }
    default: return false;
    }
}

QString CNimbrelView::commandText(MenuCommand command) const {
    if (command == MenuCommand::Pause)
        return QString::fromStdU16String(std::u16string(m_core.formatter.pauseMenuText()));
    return {};
}

// --- start-up and shutdown ---

void CNimbrelView::OnInitialUpdate() {
    // Nothing can be dragged into the view; margins, font and colours are the widget's own.
    setAcceptDrops(false);
    stopAllCaptures(std::chrono::milliseconds(2000));
    // What the stopped captures left in the queue arrives first, and counts as text.
    m_logView.drainNow();
    const SettingsStore settings;
    // Printed from this thread, these lines reach the widget before the call returns.
    m_printingStartupLines = true;
    chooseStartupDefinitionFile(m_core.definitionFile, settings, m_core.console);
    m_printingStartupLines = false;
    if (settings.IniAutoGetLog()) {
        trace("look1.1 \n");
        OnDebugWithFilterDriver();
    } else {
        trace("look1.2 \n");
    }
    if (settings.GetAutoGetLogForUart() != 0) OnDebugWithUartDriver();
    emit commandStatesChanged();
}

void CNimbrelView::OnNewDocument() {
    stopAllCaptures(std::chrono::milliseconds(2000));
    // Through the queue, so that lines still on their way are emptied too.
    m_logView.clear();
    OnInitialUpdate();
}

bool CNimbrelView::OnFileSaveAs() {
    // Lines still on their way to the widget are part of what is saved.
    m_logView.drainNow();
    return m_saveAsHandler && m_saveAsHandler();
}

bool CNimbrelView::SaveModified() {
    if (!m_doc.isModified()) return true;
    const QMessageBox::StandardButton answer =
        showMessageBox(this, QStringLiteral("Save changes to %1?").arg(m_doc.title()),
                       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    if (answer == QMessageBox::No) return true;
    if (answer != QMessageBox::Yes) return false;
    return OnFileSaveAs();
}

void CNimbrelView::setDocumentUnmodified() {
    m_logView.drainNow();
    m_doc.setModifiedFlag(false);
}

void CNimbrelView::stopAllCaptures(std::chrono::milliseconds limit) {
    // The ending threads may wait for room in the view's queue: it is emptied meanwhile.
    WaitForAllThreadExit(m_core, limit, [this] { m_logView.drainNow(); });
    emit commandStatesChanged();
}

// --- Debug ---

void CNimbrelView::OnDebugStopCapture() {
    // A replay or a text-log load is ended by its own Cancel; Stop Capture is for routes.
    if (m_core.capture.phase() == CaptureState::Phase::Replaying) return;
    // The shutdown New runs (which shows what was received), but the text stays.
    stopAllCaptures(std::chrono::milliseconds(2000));
    m_logView.drainNow();
}

void CNimbrelView::OnDebugWithFilterDriver() { startDriverRoute(CaptureRoute::Filter); }

void CNimbrelView::OnDebugWithUartDriver() { startDriverRoute(CaptureRoute::Uart); }

void CNimbrelView::startDriverRoute(CaptureRoute route) {
    if (m_core.capture.viewInUse()) {
        showMessageBox(this, viewInUseText());
        return;
    }
    const std::string definitions = utf16ToUtf8(m_core.definitionFile.get());
    const DriverCapture::StartResult result = route == CaptureRoute::Uart
                                                  ? m_driver->OnDebugWithUartDriver(definitions)
                                                  : m_driver->OnDebugWithFilterDriver(definitions);
    if (result == DriverCapture::StartResult::ViewInUse) {
        showMessageBox(this, viewInUseText());
        return;
    }
    emit captionRequested(QString::fromStdU16String(std::u16string(driverCaption(route))));
    emit commandStatesChanged();
}

void CNimbrelView::OnDeviceChange(bool arrival) {
    if (!arrival) {
        m_driver->onDeviceRemovalComplete();
        return;
    }
    const std::chrono::milliseconds pause = m_driver->onDeviceArrival();
    if (pause.count() < 0) return;
    if (pause.count() == 0) {
        m_driver->restartAfterArrival();
        emit commandStatesChanged();
        return;
    }
    // The UART driver needs time after the radio comes back; the window stays responsive.
    QTimer::singleShot(pause, this, [this] {
        m_driver->restartAfterArrival();
        emit commandStatesChanged();
    });
}

void CNimbrelView::prepareWindowClose() { m_driver->prepareWindowClose(); }

void CNimbrelView::onSystemResume() {
    // The resume ends a replay's scan, as it stops the print thread; a text-log load goes
    // on. Either keeps the view until its worker has ended.
    if (m_files->busyWith() == FileCommands::Work::Replay) m_files->cancel();
    const CaptureRoute route = nimbrel::onSystemResume(m_core, [this] { m_logView.drainNow(); });
    emit commandStatesChanged();
    if (!isDriverRoute(route)) return;
    QTimer::singleShot(kResumeRestartPause, this, [this, route] {
        whenFilesIdle([this, route] { restartDriverRoute(route); });
    });
}

void CNimbrelView::whenFilesIdle(std::function<void()> action) {
    if (!m_files->busy()) {
        action();
        return;
    }
    connect(m_files.get(), &FileCommands::workFinished, this, std::move(action),
            Qt::SingleShotConnection);
}

void CNimbrelView::restartDriverRoute(CaptureRoute route) {
    // The route starts again as its Debug command starts it, with a new raw data file.
    if (route == CaptureRoute::Uart) {
        OnDebugWithUartDriver();
    } else {
        OnDebugWithFilterDriver();
    }
}

void CNimbrelView::OnDebugWithCom() {
    if (m_core.capture.viewInUse()) {
        showMessageBox(this, viewInUseText());
        return;
    }
    const SettingsStore settings;
    startComCapture(QString::fromStdU16String(settings.GetComPort()), settings.GetBaudRate());
}

void CNimbrelView::startComCapture(const QString& port, std::uint32_t baudRate) {
    const std::string definitions = utf16ToUtf8(m_core.definitionFile.get());
    m_comPortShown = port;
    if (m_com.start(definitions, port.toStdString(), baudRate) ==
        ComCapture::StartResult::ViewInUse) {
        showMessageBox(this, viewInUseText());
        return;
    }
    emit captionRequested(QStringLiteral("DebugVia") + port);
    emit commandStatesChanged();
}

// --- Setting ---

void CNimbrelView::OnComSetting() {
    const SettingsStore settings;
    const QString stored = QString::fromStdU16String(settings.GetComPort());
    CComDlg dlg(comDialogPorts(stored), stored, settings.GetBaudRate(), this);
    if (dlg.exec() != QDialog::Accepted) return;
    settings.SetComPort(dlg.m_comName.toStdU16String());
    settings.SetBaudRate(dlg.m_baudRate);
}

void CNimbrelView::OnLog1Path() {
    const SettingsStore settings;
    const Log1PathDialogStart start =
        beginLog1PathChoice(m_core.definitionFile, settings, m_core.console);
    const QString chosen =
        askOpenFileName(nullptr, {QStringLiteral("Open"), QString::fromStdU16String(start.folder),
                                  QString::fromStdU16String(start.fileName),
                                  QStringLiteral("Message Definition File (*)")});
    if (chosen.isEmpty()) return;
    adoptChosenDefinitionFile(m_core.definitionFile, chosen.toStdU16String(), settings,
                              m_core.console);
}

void CNimbrelView::OnAddStringFilter() {
    CStrFilterDlg dlg(m_core.stringFilter, this);
    dlg.exec();
}

void CNimbrelView::OnIcType(MenuCommand command) {
    const int icType =
        chooseIcTypeDefinitionFile(m_core.definitionFile, command, SettingsStore(), m_core.console);
    if (icType >= 0) m_nIcType = icType;
}

void CNimbrelView::OnIcEmber() { m_core.toggles.setEmberType(true); }
void CNimbrelView::OnIcFlint() { m_core.toggles.setFlintType(true); }

void CNimbrelView::OnAutoParseLog() {
    m_core.toggles.setAutoParseLog(!m_core.toggles.autoParseLog());
}

void CNimbrelView::OnAutoFixTimeStamp() {
    m_core.toggles.setAutoFixTimeStamp(!m_core.toggles.autoFixTimeStamp());
}

void CNimbrelView::OnAutoGenerateRawData() {
    CaptureHub& hub = m_core.hub;
    const bool old = hub.autoSaveRawData();
    hub.setAutoSaveRawData(!old);
    const CaptureRoute route = m_core.capture.m_threadId();
    if (route == CaptureRoute::Com || (route == CaptureRoute::Filter && !old)) {
        m_core.console.print(u"[G] Write Log to File(%s)", {utf8ToUtf16(hub.rawDataFile.name())});
    }
    SettingsStore().SetAutoSaveRawData(old ? 0 : 1);
}

void CNimbrelView::OnAutoCatchLogUsb() { toggleAutoCatchLogUsb(m_autoStart); }
void CNimbrelView::OnAutoCatchLogUart() { toggleAutoCatchLogUart(m_autoStart); }

// --- Control ---

void CNimbrelView::OnUartInBox() {
    if (!openInBox(m_core)) return;
    CDialogUartInBox dlg(this);
    // A sent message is confirmed in the status bar, leaving the view's text alone; a
    // failed one is a red line with the reason.
    connect(&dlg, &CDialogUartInBox::sendFinished, this,
            [this](const InBoxMessage& message, int error) {
                if (error == 0) {
                    emit statusMessageRequested(QString::fromStdU16String(inBoxSentText(message)));
                } else {
                    reportInBoxFailure(m_core.console, error);
                }
            });
    dlg.exec();
}

// --- context menu ---

void CNimbrelView::OnEditClear() { m_core.formatter.clear(); }

void CNimbrelView::OnPause() { m_core.formatter.setPaused(!m_core.formatter.paused()); }

void CNimbrelView::OnEditPaste() {
    // Only plain text is pasted; anything else on the clipboard is ignored.
    if (canPaste()) paste();
}

void CNimbrelView::OnContextMenu(const QPoint& globalPos) {
    if (m_contextMenu) m_contextMenu->popup(globalPos);
}

// --- finding one's way ---

void CNimbrelView::OnGoToLine() {
    GoToLineDlg dlg(lineCount(), caret().line + 1, this);
    if (dlg.exec() != QDialog::Accepted) return;
    goToLine(dlg.lineNumber() - 1);
}

void CNimbrelView::OnToggleMark() { marks().toggle(caret().line); }

void CNimbrelView::OnNextMark() {
    const qint64 line = marks().next(caret().line);
    if (line >= 0) goToLine(line);
}

void CNimbrelView::OnPreviousMark() {
    const qint64 line = marks().previous(caret().line);
    if (line >= 0) goToLine(line);
}

void CNimbrelView::applyLineFilter(const LineFilter& filter) {
    setLineFilter(filter);
    const std::string text = filter.toText();
    SettingsStore().SetLineFilter(std::u16string(text.begin(), text.end()));
    emit commandStatesChanged();
}

void CNimbrelView::OnFilterKind(LineTag tag) {
    LineFilter f = lineFilter();
    f.tags[static_cast<std::size_t>(tag)] = !f.tags[static_cast<std::size_t>(tag)];
    applyLineFilter(f);
}

void CNimbrelView::OnFilterSearchOnly() {
    LineFilter f = lineFilter();
    f.onlySearch = !f.onlySearch;
    applyLineFilter(f);
}

void CNimbrelView::OnFilterShowAll() { applyLineFilter(LineFilter{}); }

void CNimbrelView::OnExportShownLines() { m_files->OnExportShownLines(); }

QString CNimbrelView::timeBetweenLinesText() const {
    qint64 first = 0;
    qint64 last = 0;
    if (hasSelection()) {
        const TextPos from = std::min(anchor(), caret());
        const TextPos to = std::max(anchor(), caret());
        first = from.line;
        // Whole lines selected end at the start of the next one, which is not part of it.
        last = to.column == 0 && to.line > from.line ? to.line - 1 : to.line;
    } else {
        last = caret().line;
        first = marks().above(last);
        if (first < 0) return {};
    }
    if (first == last) return {};
    const std::optional<std::int64_t> ms = timeBetweenMs(lineText(first), lineText(last));
    return ms ? timeDeltaText(*ms) : QString();
}

}  // namespace nimbrel::gui

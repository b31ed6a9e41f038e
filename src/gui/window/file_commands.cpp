#include "gui/window/file_commands.h"

#include <QAction>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <climits>
#include <cstdio>
#include <cstring>

#include "capture/capture_session.h"
#include "files/hci_export.h"
#include "files/raw_data_replay.h"
#include "files/text_log_file.h"
#include "gui/logview/log_text_view.h"
#include "gui/logview/shown_lines.h"
#include "gui/window/file_dialogs.h"
#include "gui/window/filepos_select_dlg.h"
#include "gui/window/message_box.h"
#include "gui/window/recent_files.h"
#include "pipeline/definition_file_choice.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/settings_store.h"
#include "platform/text.h"

namespace nimbrel::gui {
namespace {

QString viewInUseText() { return QString::fromStdU16String(std::u16string(kViewInUseMessage)); }

std::string localPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The folder part of a stored path (the path without its last element); empty when none.
QString folderOf(const std::u16string& stored) {
    if (stored.empty()) return {};
    return QFileInfo(QString::fromStdU16String(stored)).path();
}

}  // namespace

FileCommands::FileCommands(FileCommandsHost& host)
    : QObject(&host.textView()), m_host(host), m_view(host.textView()) {
    m_progressTimer.setInterval(100);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] {
        if (m_work == Work::TextLog) m_percent.store(m_view.openPercent());
        if (m_progress) m_progress->setValue(m_percent.load());
    });
    connect(&m_view, &LogTextView::openFinished, this, &FileCommands::textLogIndexed);
}

FileCommands::~FileCommands() {
    {
        std::lock_guard lock(m_askMutex);
        m_closing = true;
    }
    m_answered.notify_all();
    m_stop.store(true);
    if (m_worker.joinable()) m_worker.join();
}

// --- text logs ---

void FileCommands::OnOpenLogFile() {
    if (m_host.core().capture.viewInUse()) {
        showMessageBox(&m_view, viewInUseText());
        return;
    }
    if (!m_host.saveModified()) return;
    m_host.core().markTextLogOpened();
    const QString chosen = askOpenFileName(
        &m_view, {QStringLiteral("Open"), folderOf(SettingsStore().GetLogFilePath()), QString(),
                  QString::fromLatin1(kLogFileFilter)});
    if (chosen.isEmpty()) return;
    openTextLogFile(chosen);
}

bool FileCommands::openTextLogFile(const QString& path) {
    CaptureSession& core = m_host.core();
    if (!core.capture.claimReplay()) {
        showMessageBox(&m_view, viewInUseText());
        return false;
    }
    core.markTextLogOpened();
    const QString absolute = QFileInfo(path).absoluteFilePath();
    TextLogSource source;
    if (openTextLogSource(core.console, localPath(absolute), source) != TextLogOpenOutcome::Done) {
        core.capture.endReplay();
        return true;
    }
    setCaption(absolute);
    SettingsStore().SetLogFilePath(absolute.toStdU16String());
    RecentFileList().add(absolute);
    // The view reads the lines from the file from now on; it indexes them on worker
    // threads while the progress bar and its Cancel button show.
    m_work = Work::TextLog;
    m_openedPath = absolute;
    m_stop.store(false);
    m_percent.store(0);
    showProgress(true);
    core.view.clear();  // and whatever was still queued for the view
    std::vector<std::u16string> filter;
    if (const auto strings = core.stringFilter.strings()) filter = *strings;
    m_view.openInPlace(std::make_shared<FileHandle>(std::move(source.file)), source.size,
                       std::move(filter));
    m_host.clearModifiedFlag();
    m_host.commandStatesChanged();
    return true;
}

void FileCommands::textLogIndexed(const TextLogIndexer::Outcome& outcome) {
    if (m_work != Work::TextLog) return;
    CaptureSession& core = m_host.core();
    const std::u16string shown = m_openedPath.toStdU16String();
    // Once the whole file is shown, the view holds just what the file holds.
    if (!m_stop.load() && !outcome.shrank && outcome.readError == 0) m_host.setDocumentUnmodified();
    if (outcome.cutLines > 0) {
        core.console.print(
            u"[Y] %d lines of \"%s\" are longer than 1048576 characters: each is shown cut "
            u"into lines of that length.",
            {static_cast<int>(std::min<std::uint64_t>(outcome.cutLines, INT32_MAX)), shown});
    }
    if (outcome.shrank) {
        core.console.print(
            u"[R] Text log \"%s\" became shorter while it was read: the view keeps the lines "
            u"read.",
            {shown});
    }
    core.capture.endReplay();
    m_work = Work::None;
    showProgress(false);
    m_host.commandStatesChanged();
    emit workFinished();
}

bool FileCommands::OnSaveLogFile() {
    const QString path = askSaveFileName(
        &m_view, {QStringLiteral("Save As"), QString::fromLatin1(kLogFileFilter), {}});
    if (path.isEmpty()) return false;
    m_host.showQueuedText();
    const int error = saveTextLog(m_view.store().snapshot(), localPath(path), true);
    if (error != 0) {
        showMessageBox(&m_view, QStringLiteral("Cannot save \"%1\": %2.")
                                    .arg(path, QString::fromLocal8Bit(std::strerror(error))));
        return false;
    }
    RecentFileList().add(path);
    m_host.clearModifiedFlag();
    return true;
}

bool FileCommands::OnExportShownLines() {
    const QString path = askSaveFileName(
        &m_view, {QStringLiteral("Export Shown Lines"), QString::fromLatin1(kLogFileFilter), {}});
    if (path.isEmpty()) return false;
    m_host.showQueuedText();
    // Lines the filter has not looked at yet are looked at first: all of them count.
    m_view.shownLines().catchUp(INT_MAX);
    // The writer reads a copy of the shown-line map, taken with the snapshot.
    const int error =
        saveTextLog(m_view.store().snapshot(), localPath(path), true, m_view.shownLines().keeper());
    if (error != 0) {
        showMessageBox(&m_view, QStringLiteral("Cannot export \"%1\": %2.")
                                    .arg(path, QString::fromLocal8Bit(std::strerror(error))));
        return false;
    }
    return true;
}

int FileCommands::saveTextLog(std::shared_ptr<const LineSnapshot> text, const std::string& path,
                              bool sync, std::function<bool(std::int64_t)> keep) {
    // The text goes out on a worker thread from a snapshot, so that lines may keep
    // arriving. The caller needs the outcome before it goes on (a close waits for its
    // save), so the GUI thread waits in an event loop of its own that the worker's queued
    // completion ends: the window repaints meanwhile but takes no input.
    QEventLoop waiting;
    int error = 0;
    std::thread writer([&] {
        TextLogWriter out;
        error = out.open(path);
        if (error == 0) {
            const bool read = text->writeTextLog(
                [&](std::u16string_view units) { return (error = out.write(units)) == 0; }, keep);
            if (error == 0 && !read) error = EIO;
            if (error == 0) error = out.commit(sync);
        }
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    bool waitCursor = false;
    QTimer slow;
    slow.setSingleShot(true);
    connect(&slow, &QTimer::timeout, &waiting, [&waitCursor] {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        waitCursor = true;
    });
    slow.start(100);
    waiting.exec(QEventLoop::ExcludeUserInputEvents);
    if (waitCursor) QGuiApplication::restoreOverrideCursor();
    writer.join();
    return error;
}

// --- raw data replay ---

void FileCommands::OnOpenRawData() {
    CaptureSession& core = m_host.core();
    if (core.capture.viewInUse()) {
        showMessageBox(&m_view, viewInUseText());
        return;
    }
    if (!m_host.saveModified()) return;
    // Loaded here, before the file is chosen, and not again by the replay.
    core.reloadDefinitions(utf16ToUtf8(core.definitionFile.get()));
    if (!core.definitions.loaded()) return;  // the loader has said why

    const QString chosen = askOpenFileName(
        &m_view, {QStringLiteral("Open"), folderOf(SettingsStore().GetRawDataPath()), QString(),
                  QString::fromLatin1(kLogFileFilter)});
    if (chosen.isEmpty()) return;
    if (!QFileInfo::exists(chosen)) {
        core.console.print(u"[R] File \"%s\" doesn't exist.", {chosen.toStdU16String()});
        return;
    }
    if (!core.capture.claimReplay()) {
        showMessageBox(&m_view, viewInUseText());
        return;
    }
    const QString absolute = QFileInfo(chosen).absoluteFilePath();
    startWork(Work::Replay, [this, &core, absolute] {
        ReplayMethod method = ReplayMethod::ToView;
        ReplaySessionOptions options;
        options.rawFile = localPath(absolute);
        options.viewClaimed = true;
        options.chooseMethod = [this, &method] { return method = askMethod(); };
        options.chooseRange = [this](const std::string&) { return askRange(); };
        options.started = [this, absolute](const std::string&) {
            postToGui([this, absolute] {
                setCaption(absolute);
                SettingsStore().SetRawDataPath(absolute.toStdU16String());
            });
        };
        options.progress = [this](int percent) { m_percent.store(percent); };
        options.scanned = [this, absolute](const ReplayScanResult& scan, ReplayMethod) {
            if (scan.records == 0 && !scan.cancelled && scan.readError == 0)
                showStatus(QStringLiteral("No records found in ") + absolute);
        };
        if (runRawDataReplay(core, options, m_stop) == ReplayOutcome::Cancelled)
            reportCancelledReplay(method);
    });
}

// --- HCI packet export ---

void FileCommands::OnExportHciPackets() {
    if (busy()) {
        showMessageBox(&m_view, viewInUseText());
        return;
    }
    CaptureSession& core = m_host.core();
    // The raw data file the current (or last) capture writes, when there is one.
    const QString current = QString::fromStdString(core.hub.rawDataFile.name());
    const bool haveCurrent = !current.isEmpty() && QFileInfo(current).isFile();
    const QString raw = askOpenFileName(
        &m_view,
        {QStringLiteral("Export HCI Packets: Raw Data File"),
         haveCurrent ? QFileInfo(current).path() : folderOf(SettingsStore().GetRawDataPath()),
         haveCurrent ? QFileInfo(current).fileName() : QString(),
         QString::fromLatin1(kLogFileFilter)});
    if (raw.isEmpty()) return;
    const QFileInfo rawInfo(raw);
    const QString out = askSaveFileName(
        &m_view, {QStringLiteral("Export HCI Packets"),
                  QStringLiteral("btsnoop Files (*.btsnoop *.cfa);;All Files (*)"),
                  rawInfo.absolutePath() + '/' + rawInfo.completeBaseName() + ".btsnoop"});
    if (out.isEmpty()) return;

    // The replay's rules: the definition file in use, and the leading word of Ember+Flint.
    const std::string definitionFile = utf16ToUtf8(core.definitionFile.get());
    const bool skipFirstWord = core.toggles.emberType() && core.toggles.flintType();
    startWork(Work::Export, [this, &core, definitionFile, skipFirstWord, raw, out] {
        MessageDefinitionTable definitions;
        if (!definitions.load(definitionFile, core.console)) return;
        RawDataInput input;
        if (const int error = input.open(localPath(raw)); error != 0) {
            core.console.print(u"[R] Fail to read raw data file \"%s\", error:0x%x",
                               {raw.toStdU16String(), error});
            return;
        }
        const HciExportResult result = exportHciPackets(
            input, localPath(raw), definitions, skipFirstWord, localPath(out), core.console, m_stop,
            [this](int percent) { m_percent.store(percent); });
        if (result.scan.cancelled) return;
        if (result.scan.readError != 0) {
            core.console.print(u"[R] Fail to read raw data file \"%s\", error:0x%x",
                               {raw.toStdU16String(), result.scan.readError});
        } else if (result.scan.fileChanged) {
            core.console.print(kRawDataChangedMessage, {raw.toStdU16String()});
        } else if (result.outputIsInput) {
            core.console.print(u"[R] \"%s\" is the raw data file itself: choose another name.",
                               {out.toStdU16String()});
        } else if (result.writeError != 0) {
            core.console.print(
                u"[R] Fail to write \"%s\": %s",
                {out.toStdU16String(),
                 QString::fromLocal8Bit(std::strerror(result.writeError)).toStdU16String()});
        } else {
            printHciExportSummary(result, localPath(out), core.console);
        }
    });
}

bool FileCommands::runOnGuiThread(std::function<void()> task) {
    std::uint64_t ticket = 0;
    {
        std::lock_guard lock(m_askMutex);
        if (m_closing) return false;
        ticket = ++m_asked;
    }
    postToGui([this, task = std::move(task), ticket] {
        task();
        {
            std::lock_guard lock(m_askMutex);
            m_done = ticket;
        }
        m_answered.notify_all();
    });
    std::unique_lock lock(m_askMutex);
    m_answered.wait(lock, [this, ticket] { return m_done >= ticket || m_closing; });
    return m_done >= ticket;
}

void FileCommands::postToGui(std::function<void()> call) {
    {
        std::lock_guard lock(m_askMutex);
        m_posted.push_back(std::move(call));
    }
    // Called by name: the queued call carries no data of ours.
    QMetaObject::invokeMethod(this, "runPosted", Qt::QueuedConnection);
}

void FileCommands::runPosted() {
    std::vector<std::function<void()>> calls;
    {
        std::lock_guard lock(m_askMutex);
        calls.swap(m_posted);
    }
    for (const std::function<void()>& call : calls) call();
}

ReplayMethod FileCommands::askMethod() {
    // Shared with the GUI thread's task, which may outlive this call when the window closes.
    auto answer = std::make_shared<ReplayMethod>(ReplayMethod::ToView);
    const bool asked = runOnGuiThread([this, answer] {
        if (m_stop.load()) return;
        // The caption, the emptied view and RawDataPath are in place before the question.
        m_host.showQueuedText();
        const QMessageBox::StandardButton button = askWithCaption(
            &m_view, QStringLiteral("Select"), QStringLiteral("Use new method to parse raw data?"),
            QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Warning);
        *answer = button == QMessageBox::Ok ? ReplayMethod::ToTextFile : ReplayMethod::ToView;
    });
    return asked ? *answer : ReplayMethod::ToView;
}

ReplayRangeChoice FileCommands::askRange() {
    m_percent.store(100);
    auto answer = std::make_shared<ReplayRangeChoice>();
    const bool asked = runOnGuiThread([this, answer] {
        int start = 0;
        int end = 100;
        int colour = 0;
        if (!m_stop.load()) {
            CFilePostionSelectDlg dlg(&start, &end, &colour, &m_view);
            dlg.exec();
        }
        *answer = {start, end, colour != 0};
    });
    return asked ? *answer : ReplayRangeChoice{};
}

void FileCommands::reportCancelledReplay(ReplayMethod method) {
    static constexpr std::u16string_view kCancelled = u"[Y]Analyze raw file cancelled at %d %%";
    LogConsole& console = m_host.core().console;
    const int percent = m_percent.load();
    if (method == ReplayMethod::ToTextFile) {
        // The progress line gives way to where the scan stopped; the part written so far
        // goes with it.
        console.printReplacingAll(kCancelled, {percent});
        std::remove(replayTextFilePath().c_str());
    } else {
        console.print(kCancelled, {percent});
    }
}

void FileCommands::showStatus(const QString& text) {
    postToGui([this, text] { m_host.showStatusText(text); });
}

// --- the worker ---

void FileCommands::startWork(Work work, std::function<void()> body) {
    m_work = work;
    m_stop.store(false);
    m_percent.store(0);
    showProgress(true);
    m_worker = std::thread([this, body = std::move(body)] {
        body();
        postToGui([this] { finishWork(); });
    });
    m_host.commandStatesChanged();
}

void FileCommands::finishWork() {
    if (m_worker.joinable()) m_worker.join();
    m_work = Work::None;
    showProgress(false);
    m_host.commandStatesChanged();
    emit workFinished();
}

void FileCommands::cancel() {
    if (!busy()) return;
    m_stop.store(true);
    if (m_work == Work::TextLog) m_view.stopOpening();
}

bool FileCommands::confirmClose(bool ask) {
    if (!busy()) return true;
    if (ask) {
        const QString text =
            m_work == Work::Replay
                ? QStringLiteral("A raw data replay is running. Cancel it and quit?")
            : m_work == Work::Export
                ? QStringLiteral("HCI packets are being exported. Cancel it and quit?")
                : QStringLiteral("A text log is being opened. Cancel it and quit?");
        if (showMessageBox(&m_view, text, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
            return false;
    }
    cancel();
    // The worker may wait for room in the view's queue, and its end comes as a queued
    // call: the GUI thread waits in an event loop of its own until the work has finished.
    if (busy()) {
        QEventLoop waiting;
        connect(this, &FileCommands::workFinished, &waiting, &QEventLoop::quit);
        waiting.exec();
    }
    return true;
}

void FileCommands::showProgress(bool on) {
    auto* frame = qobject_cast<QMainWindow*>(m_view.window());
    if (on && !m_progress && frame) {
        m_progress = new QProgressBar(frame);
        m_progress->setObjectName(QStringLiteral("fileProgress"));
        m_progress->setRange(0, 100);
        m_progress->setMaximumWidth(220);
        m_progress->setFormat(QStringLiteral("%p %"));
        m_cancel = new QPushButton(QStringLiteral("Cancel"), frame);
        m_cancel->setObjectName(QStringLiteral("fileCancel"));
        connect(m_cancel, &QPushButton::clicked, this, &FileCommands::cancel);
        frame->statusBar()->addPermanentWidget(m_progress);
        frame->statusBar()->addPermanentWidget(m_cancel);
    }
    if (m_progress) {
        m_progress->setValue(on ? 0 : 100);
        m_progress->setVisible(on);
        m_cancel->setVisible(on);
    }
    if (on) {
        m_progressTimer.start();
    } else {
        m_progressTimer.stop();
    }
}

void FileCommands::setCaption(const QString& caption) { m_host.setCaption(caption); }

// --- printing ---

QPrinter& FileCommands::printer() {
    if (!m_printer) m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void FileCommands::OnFilePrint() {
    if (runPrinterDialog(&m_view, PrinterDialog::Print, printer())) m_view.print(&printer());
}

void FileCommands::OnFilePrintSetup() {
    runPrinterDialog(&m_view, PrinterDialog::Setup, printer());
}

void FileCommands::OnFilePrintPreview() {
    QPrintPreviewDialog dialog(&printer(), &m_view);
    dialog.setObjectName(QStringLiteral("printPreview"));
    connect(&dialog, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* p) { m_view.print(p); });
    dialog.exec();
}

// --- recent files ---

void FileCommands::attachRecentFileMenu(QAction* action) {
    if (!action) return;
    m_recentMenu = new QMenu(&m_view);
    m_recentMenu->setObjectName(QStringLiteral("recentFileMenu"));
    connect(m_recentMenu, &QMenu::aboutToShow, this, &FileCommands::fillRecentMenu);
    action->setMenu(m_recentMenu);
    fillRecentMenu();
}

bool FileCommands::hasRecentFiles() const { return !RecentFileList().files().isEmpty(); }

void FileCommands::fillRecentMenu() {
    if (!m_recentMenu) return;
    m_recentMenu->clear();
    const QStringList files = RecentFileList().files();
    for (int i = 0; i < files.size(); ++i) {
        QAction* a = m_recentMenu->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(files[i]));
        const QString file = files[i];
        connect(a, &QAction::triggered, this, [this, file] {
            if (m_host.core().capture.viewInUse()) {
                showMessageBox(&m_view, viewInUseText());
                return;
            }
            if (!m_host.saveModified()) return;
            openTextLogFile(file);
        });
    }
}

}  // namespace nimbrel::gui

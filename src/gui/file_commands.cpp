#include "gui/file_commands.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <cstring>

#include "capture/view_core.h"
#include "files/hci_export.h"
#include "files/text_log_file.h"
#include "gui/file_dialogs.h"
#include "gui/filepos_select_dlg.h"
#include "gui/message_box.h"
#include "gui/nimbrel_doc.h"
#include "gui/nimbrel_view.h"
#include "gui/recent_files.h"
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

FileCommands::FileCommands(CNimbrelView& view) : QObject(&view), m_view(view) {
    m_progressTimer.setInterval(100);
    connect(&m_progressTimer, &QTimer::timeout, this, [this] {
        if (m_progress) m_progress->setValue(m_percent.load());
    });
}

FileCommands::~FileCommands() {
    {
        std::lock_guard lock(m_rangeMutex);
        m_closing = true;
    }
    m_rangeAnswered.notify_all();
    m_stop.store(true);
    if (m_worker.joinable()) m_worker.join();
}

// --- text logs ---

void FileCommands::OnOpenLogFile() {
    if (m_view.core().capture.viewInUse()) {
        showMessageBox(&m_view, viewInUseText());
        return;
    }
    g_textLogOpened.store(true);
    const QString chosen = askOpenFileName(
        &m_view, {QStringLiteral("Open"), folderOf(SettingsStore().GetLogFilePath()), QString(),
                  QString::fromLatin1(kLogFileFilter)});
    if (chosen.isEmpty()) return;
    openTextLogFile(chosen);
}

bool FileCommands::openTextLogFile(const QString& path) {
    ViewCore& core = m_view.core();
    if (!core.capture.claimReplay()) {
        showMessageBox(&m_view, viewInUseText());
        return false;
    }
    g_textLogOpened.store(true);
    const QString absolute = QFileInfo(path).absoluteFilePath();
    startWork(Work::TextLog, [this, &core, absolute] {
        TextLogOpenOptions options;
        options.path = localPath(absolute);
        options.started = [this, &core, absolute] {
            core.view.clear();
            QMetaObject::invokeMethod(
                this,
                [this, absolute] {
                    setCaption(absolute);
                    SettingsStore().SetLogFilePath(absolute.toStdU16String());
                    RecentFileList().add(absolute);
                    m_view.GetDocument().setModifiedFlag(false);
                },
                Qt::QueuedConnection);
        };
        options.progress = [this](int percent) { m_percent.store(percent); };
        openTextLog(core.console, options, m_stop);
        core.capture.endReplay();
    });
    return true;
}

void FileCommands::OnSaveLogFile() {
    const QString path = askSaveFileName(
        &m_view, {QStringLiteral("Save As"), QString::fromLatin1(kLogFileFilter), {}});
    if (path.isEmpty()) return;
    QString text = m_view.plainText();
    if (!text.isEmpty() && !text.endsWith(u'\n')) text += u'\n';
    if (const int error = writeTextLog(localPath(path), text.toStdU16String()); error != 0) {
        showMessageBox(&m_view, QStringLiteral("Cannot save \"%1\": %2.")
                                    .arg(path, QString::fromLocal8Bit(std::strerror(error))));
        return;
    }
    RecentFileList().add(path);
    m_view.GetDocument().setModifiedFlag(false);
}

// --- raw data replay ---

void FileCommands::OnOpenRawData() {
    ViewCore& core = m_view.core();
    if (core.capture.viewInUse()) {
        showMessageBox(&m_view, viewInUseText());
        return;
    }
    const std::string definitions = utf16ToUtf8(DefinitionFilePath::get());
    core.reloadDefinitions(definitions);
    if (!core.definitions.loaded()) return;  // the loader has said why

    const QString chosen = askOpenFileName(
        &m_view, {QStringLiteral("Open"), folderOf(SettingsStore().GetRawDataPath()), QString(),
                  QString::fromLatin1(kLogFileFilter)});
    if (chosen.isEmpty()) return;
    if (!QFileInfo::exists(chosen)) {
        core.console.print(u"[R] File \"%s\" doesn't exist.", {chosen.toStdU16String()});
        return;
    }
    const bool newMethod = askWithCaption(&m_view, QStringLiteral("Select"),
                                          QStringLiteral("Use new method to parse raw data?"),
                                          QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    if (!core.capture.claimReplay()) {
        showMessageBox(&m_view, viewInUseText());
        return;
    }
    const QString absolute = QFileInfo(chosen).absoluteFilePath();
    startWork(Work::Replay, [this, &core, definitions, absolute, newMethod] {
        ReplaySessionOptions options;
        options.definitionFile = definitions;
        options.rawFile = localPath(absolute);
        options.method = newMethod ? ReplayMethod::ToTextFile : ReplayMethod::ToView;
        options.viewClaimed = true;
        options.chooseRange = [this](const std::string&) { return askRange(); };
        options.started = [this, absolute](const std::string&) {
            QMetaObject::invokeMethod(
                this,
                [this, absolute] {
                    setCaption(absolute);
                    SettingsStore().SetRawDataPath(absolute.toStdU16String());
                },
                Qt::QueuedConnection);
        };
        options.progress = [this](int percent) { m_percent.store(percent); };
        runRawDataReplay(core, options, m_stop);
    });
}

// --- HCI packet export ---

void FileCommands::OnExportHciPackets() {
    if (busy()) {
        showMessageBox(&m_view, viewInUseText());
        return;
    }
    ViewCore& core = m_view.core();
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
    const std::string definitionFile = utf16ToUtf8(DefinitionFilePath::get());
    const bool skipFirstWord = core.toggles.m_bEmberType.load() && core.toggles.m_bFlintType.load();
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

ReplayRangeChoice FileCommands::askRange() {
    {
        std::lock_guard lock(m_rangeMutex);
        if (m_closing) return {};
        m_rangeReady = false;
    }
    m_percent.store(100);
    QMetaObject::invokeMethod(
        this,
        [this] {
            int start = 0;
            int end = 100;
            int colour = 0;
            if (!m_stop.load()) {
                CFilePostionSelectDlg dlg(&start, &end, &colour, &m_view);
                dlg.exec();
            }
            {
                std::lock_guard lock(m_rangeMutex);
                m_range = {start, end, colour != 0};
                m_rangeReady = true;
            }
            m_rangeAnswered.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(m_rangeMutex);
    m_rangeAnswered.wait(lock, [this] { return m_rangeReady || m_closing; });
    return m_rangeReady ? m_range : ReplayRangeChoice{};
}

// --- the worker ---

void FileCommands::startWork(Work work, std::function<void()> body) {
    m_work = work;
    m_stop.store(false);
    m_percent.store(0);
    showProgress(true);
    m_worker = std::thread([this, body = std::move(body)] {
        body();
        QMetaObject::invokeMethod(
            this, [this] { finishWork(); }, Qt::QueuedConnection);
    });
    emit m_view.commandStatesChanged();
}

void FileCommands::finishWork() {
    if (m_worker.joinable()) m_worker.join();
    m_work = Work::None;
    showProgress(false);
    emit m_view.commandStatesChanged();
    emit workFinished();
}

void FileCommands::cancel() {
    if (busy()) m_stop.store(true);
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
    // The worker may wait for room in the view's queue: keep the event loop going.
    while (busy()) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
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

void FileCommands::setCaption(const QString& caption) { emit m_view.captionRequested(caption); }

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
            if (m_view.core().capture.viewInUse()) {
                showMessageBox(&m_view, viewInUseText());
                return;
            }
            openTextLogFile(file);
        });
    }
}

}  // namespace nimbrel::gui

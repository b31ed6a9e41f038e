// The File menu's work on the view: open and save text logs, replay raw data files,
// print, and the recent-file list. Loading a text log and replaying a raw data file run
// on a worker thread while a progress bar with a Cancel button sits in the status bar;
// meanwhile the view is claimed, so captures, another replay and another open answer
// "Error!The view is being used.".
#pragma once

#include <QObject>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "files/raw_data_replay_session.h"
#include "gui/logview/line_store.h"

class QAction;
class QMenu;
class QPrinter;

namespace nimbrel {
class CaptureSession;
}

namespace nimbrel::gui {

class LogTextView;

// What the file commands need of the view that owns them: its text widget and capture core,
// the document's modified state, and the window's caption, menus and status bar.
class FileCommandsHost {
public:
    // The text the commands load, save and print; the parent of their dialogs.
    virtual LogTextView& textView() = 0;
    virtual CaptureSession& core() = 0;
    // Shows everything that other threads have queued for the view.
    virtual void showQueuedText() = 0;
    // Before the text is replaced: asks to save a modified document. False: the command stops.
    virtual bool saveModified() = 0;
    // The text was just saved, or a text log starts to replace it.
    virtual void clearModifiedFlag() = 0;
    // The text shows exactly what a file holds (queued text shown first).
    virtual void setDocumentUnmodified() = 0;
    // Something that menus show may have changed.
    virtual void commandStatesChanged() = 0;
    virtual void setCaption(const QString& caption) = 0;
    virtual void showStatusText(const QString& text) = 0;

protected:
    ~FileCommandsHost() = default;
};

class FileCommands : public QObject {
    Q_OBJECT
public:
    explicit FileCommands(FileCommandsHost& host);
    // Cancels any work and waits for the worker.
    ~FileCommands() override;

    // File > Open: the guard, the dialog in the LogFilePath folder, then the load.
    void OnOpenLogFile();
    // File > Save and Save As: always ask, then write the view's text. True when saved.
    bool OnSaveLogFile();
    // File > Export Shown Lines: asks for a name, then writes only the lines the view's
    // filter shows, in the same format. True when written.
    bool OnExportShownLines();
    // File > Open Raw Data.
    void OnOpenRawData();
    // File > Export HCI Packets...: the raw data file of the current capture (or one the
    // user chooses) to a btsnoop file, on the worker; the summary goes to the view.
    void OnExportHciPackets();
    void OnFilePrint();
    void OnFilePrintPreview();
    void OnFilePrintSetup();

    // Opens a text log without a dialog (recent files, the command line). False when
    // refused because the view is in use.
    bool openTextLogFile(const QString& path);

    // The recent-file list becomes the submenu of this action.
    void attachRecentFileMenu(QAction* action);
    bool hasRecentFiles() const;

    // A replay or a text-log load runs.
    enum class Work { None, TextLog, Replay, Export };
    bool busy() const { return m_work != Work::None; }
    Work busyWith() const { return m_work; }
    // How far the running work has come, 0 to 100.
    int percent() const { return m_percent.load(); }
    // Close request while busy: asks (unless `ask` is false) whether to cancel the work,
    // then cancels it and waits for it. False when the window should stay open.
    bool confirmClose(bool ask = true);
    // Requests the running work to stop.
    void cancel();

    QPrinter& printer();
    // Writes the text of a snapshot as a text log (Save's work); 0 or the errno value.
    // The GUI thread waits for it with the window repainting.
    // With `keep`, only the lines it keeps (by line number; it runs on the writer thread).
    static int saveTextLog(std::shared_ptr<const LineSnapshot> text, const std::string& path,
                           bool sync, std::function<bool(std::int64_t)> keep = {});
    QProgressBar* progressBar() const { return m_progress; }
    QPushButton* cancelButton() const { return m_cancel; }

signals:
    // The work on the worker thread has ended (and the view is given back).
    void workFinished();

private slots:
    // GUI thread: runs the calls the worker posted.
    void runPosted();

private:
    void textLogIndexed(const TextLogIndexer::Outcome& outcome);
    void startWork(Work work, std::function<void()> body);
    void finishWork();
    void showProgress(bool on);
    void fillRecentMenu();
    // Worker thread: runs `task` on the GUI thread and waits until it has run; false (and
    // `task` may not run) when the window closes meanwhile.
    bool runOnGuiThread(std::function<void()> task);
    // Worker thread: `call` runs on the GUI thread soon. The calls cross over under a lock
    // of ours rather than inside Qt's event queue, whose lock the thread checkers cannot
    // see: what they carry is handed over visibly.
    void postToGui(std::function<void()> call);
    // Worker thread: the replay's questions, asked on the GUI thread.
    ReplayMethod askMethod();
    ReplayRangeChoice askRange();
    // Worker thread: a cancelled scan says where it stopped and leaves no partial text file.
    void reportCancelledReplay(ReplayMethod method);
    // Worker thread: a note for the status bar.
    void showStatus(const QString& text);
    void setCaption(const QString& caption);

    FileCommandsHost& m_host;
    LogTextView& m_view;
    std::thread m_worker;
    Work m_work = Work::None;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_percent{0};
    QTimer m_progressTimer;
    QPointer<QProgressBar> m_progress;
    QPointer<QPushButton> m_cancel;
    QPointer<QMenu> m_recentMenu;
    std::unique_ptr<QPrinter> m_printer;

    // Questions from the worker to the GUI thread.
    std::mutex m_askMutex;
    std::condition_variable m_answered;
    std::vector<std::function<void()>> m_posted;  // calls waiting for the GUI thread
    std::uint64_t m_asked = 0;
    std::uint64_t m_done = 0;
    bool m_closing = false;
    QString m_openedPath;  // of the text log being indexed
};

}  // namespace nimbrel::gui

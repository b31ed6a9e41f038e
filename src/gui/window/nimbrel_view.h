// The view: the log text widget, the non-GUI state it owns (definitions, formatter, capture
// hub and routes, in a CaptureSession) and nearly every command of the window. The console of
// the core prints into this widget through a queue that any thread may fill.
#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "app/auto_start.h"
#include "capture/capture_session.h"
#include "capture/com_capture.h"
#include "capture/driver_capture.h"
#include "gui/logview/log_text_view.h"
#include "gui/logview/queued_log_view.h"
#include "gui/window/command_table.h"

class QMenu;

namespace nimbrel::gui {

class CNimbrelDoc;
class CommandActions;
class CommandRegistry;
class FileCommands;

class CNimbrelView : public LogTextView {
    Q_OBJECT
public:
    CNimbrelView(CNimbrelDoc& doc, QWidget* parent = nullptr);
    ~CNimbrelView() override;

    CNimbrelDoc& GetDocument() const { return m_doc; }
    CaptureSession& core() { return m_core; }
    // The File menu's text logs, raw data replay, printing and recent files.
    FileCommands& files() { return *m_files; }
    const FileCommands& files() const { return *m_files; }
    const CaptureSession& core() const { return m_core; }

    // Shows everything that other threads have queued for the view.
    void showQueuedText() { m_logView.drainNow(); }
    // Binds the handlers of the view's commands; after each one the command states may
    // have changed.
    void bindCommands(CommandRegistry& commands);
    // Command states for the menus.
    bool ruleHolds(EnableRule rule) const;
    bool marked(const CommandSpec& cmdRow) const;
    QString commandText(MenuCommand command) const;
    // The context menu is built by the frame from the command table.
    void setContextMenu(QMenu* menu) { m_contextMenu = menu; }

    // The start-up sequence, at launch and after every New. Its own lines do not make the
    // document modified.
    void OnInitialUpdate();
    // New: stops the captures, empties the view, then runs the start-up sequence again.
    void OnNewDocument();
    // Save As: runs the handler the file commands install; true when the text was saved.
    bool OnFileSaveAs();
    void setSaveAsHandler(std::function<bool()> handler) { m_saveAsHandler = std::move(handler); }
    // Before the view's text is replaced (New, Open, Open Raw Data): when the document is
    // modified, asks "Save changes to Untitled?" (Yes / No / Cancel) and saves on Yes.
    // False when the user cancelled or the save did not happen: the command stops.
    bool SaveModified();
    // The view shows exactly what a file holds (a text log fully loaded): not modified.
    void setDocumentUnmodified();

    // With Com on a given port, as the command does it with the stored port and rate.
    void startComCapture(const QString& port, std::uint32_t baudRate);
    // Stops every capture thread and the print thread, waiting up to `limit` for each; what
    // waits in the ring is shown and recorded first.
    void stopAllCaptures(std::chrono::milliseconds limit);
    // The port the COM route reads, as given ("ttyUSB0"); the status bar shows its device.
    QString comPortShown() const { return m_comPortShown; }

    // Command handlers.
    void OnDebugWithFilterDriver();
    void OnDebugWithCom();
    void OnDebugWithUartDriver();
    // Stops the running capture route as New does, keeps the text and starts nothing.
    void OnDebugStopCapture();
    // A radio arrived (true) or its removal completed (false); posted by the radio watcher.
    void OnDeviceChange(bool arrival);
    // The main window's close request, before it asks to save: the driver steps.
    void prepareWindowClose();
    // Resume: every capture stops (a replay is cancelled), then a driver route starts again
    // after a pause, once no replay or text-log load holds the view. A suspend changes
    // nothing: captures are not stopped before it.
    void onSystemResume();
    void OnComSetting();
    void OnLog1Path();
    void OnAddStringFilter();
    void OnIcType(MenuCommand command);
    void OnIcEmber();
    void OnIcFlint();
    void OnAutoParseLog();
    void OnAutoGenerateRawData();
    void OnAutoCatchLogUsb();
    void OnAutoCatchLogUart();
    void OnAutoFixTimeStamp();
    void OnUartInBox();
    void OnEditClear();
    void OnPause();
    void OnEditPaste();
    void OnContextMenu(const QPoint& globalPos);
    void OnGoToLine();
    void OnToggleMark();
    void OnNextMark();
    void OnPreviousMark();
    // View > Filter: shows or hides a kind of line, or the lines the search did not match;
    // Show All Lines turns every filter off. The filter is kept in the settings store.
    void OnFilterKind(LineTag tag);
    void OnFilterSearchOnly();
    void OnFilterShowAll();
    void OnExportShownLines();

    // "Δ 1.234 s" between the first and last line of the selection, or without one
    // between the nearest mark above and the caret's line; empty when a line has no stamp.
    QString timeBetweenLinesText() const;

    // Members of the view that are not part of the core.
    AutoStartToggles m_autoStart;
    int m_nIcType = -1;

signals:
    // The main window's caption should read this ("DebugViattyUSB0").
    void captionRequested(const QString& caption);
    // Something that menus show may have changed.
    void commandStatesChanged();
    // A short note for the status bar ("Sent 01 03 0c 00 00 00 00 00").
    void statusMessageRequested(const QString& text);

private:
    void startDriverRoute(CaptureRoute route);
    void restartDriverRoute(CaptureRoute route);
    // Runs `action` now, or once a replay or text-log load has ended.
    void whenFilesIdle(std::function<void()> action);
    void applyLineFilter(const LineFilter& filter);
    // What the file commands see of the view.
    class FileHost;

    CNimbrelDoc& m_doc;
    QueuedLogView m_logView;
    CaptureSession m_core;
    ComCapture m_com;
    std::unique_ptr<DriverCapture> m_driver;
    std::unique_ptr<FileHost> m_fileHost;
    std::unique_ptr<FileCommands> m_files;
    QMenu* m_contextMenu = nullptr;
    std::function<bool()> m_saveAsHandler;
    // Lines the start-up sequence prints itself leave the document unmodified.
    bool m_printingStartupLines = false;
    QString m_comPortShown;
};

}  // namespace nimbrel::gui

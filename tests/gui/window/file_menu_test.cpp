// The File menu from the window: text logs saved and opened again, raw data replays with
// progress, range and Cancel, printing to a PDF file, and the recent-file list.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTest>
#include <cstdio>
#include <sys/stat.h>
#include <thread>

#include "files/text_log_file.h"
#include "gui/logview/log_text_view.h"
#include "gui/logview/queued_log_view.h"
#include "gui/window/file_commands.h"
#include "gui/window/file_dialogs.h"
#include "gui/window/filepos_select_dlg.h"
#include "gui/window/message_box.h"
#include "gui/window/recent_files.h"
#include "pipeline/color_tag.h"
#include "pipeline/definition_file_choice.h"
#include "pipeline/settings_store.h"
#include "power/power_listener.h"
#include "sim/raw_file_writer.h"
#include "support/capture_file_reader.h"
#include "support/cli_run.h"
#include "support/lonely_fifo.h"
#include "support/record_builder.h"
#include "window_test_support.h"

namespace nimbrel::test {
namespace {

using MenuCommand::ExportHciPackets;
using MenuCommand::FileOpen;
using MenuCommand::FilePrint;
using MenuCommand::FileSave;
using MenuCommand::FileSaveAs;
using MenuCommand::OpenRawData;

QColor qcolour(Rgb c) { return QColor(c.r, c.g, c.b); }

class FileMenuTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ::setenv("XDG_DATA_HOME", (scratchFolder() + "/data").c_str(), 1);
        std::string log1;
        ASSERT_TRUE(readFile(std::string(NIMBREL_TEST_DATA_DIR) + "/LOG1.h", log1));
        ASSERT_TRUE(writeFile(programHome() + "/LOG1.h", log1));
        gui::setOpenFileHook([this](const gui::OpenFileRequest& r) {
            openRequests.push_back(r);
            return openAnswer;
        });
        gui::setSaveFileHook([this](const gui::SaveFileRequest& r) {
            saveRequests.push_back(r);
            return saveAnswer;
        });
        gui::setCaptionBoxHook([this](const QString& caption, const QString& text,
                                      QMessageBox::StandardButtons buttons,
                                      QMessageBox::Icon icon) {
            captionBoxes << caption + "|" + text;
            EXPECT_EQ(buttons, QMessageBox::Ok | QMessageBox::Cancel);
            EXPECT_EQ(icon, QMessageBox::Warning);
            if (atMethodQuestion) atMethodQuestion();
            return newMethod ? QMessageBox::Ok : QMessageBox::Cancel;
        });
        startApp();
    }
    void TearDown() override {
        stopApp();
        gui::setOpenFileHook(nullptr);
        gui::setSaveFileHook(nullptr);
        gui::setCaptionBoxHook(nullptr);
        gui::setPrinterDialogHook(nullptr);
        WindowTest::TearDown();
    }

    gui::FileCommands& files() const { return view().files(); }
    // Waits for the worker, then shows what it queued for the view.
    bool waitIdle(int ms = 20000) const {
        const bool idle = waitFor([&] { return !files().busy(); }, ms);
        view().showQueuedText();
        return idle;
    }
    QList<QColor> colours() const {
        QList<QColor> out;
        for (qint64 i = 0; i < view().lineCount(); ++i) out << lineColour(i);
        return out;
    }
    QString scratch(const QString& name) const {
        return QString::fromStdString(scratchFolder()) + "/" + name;
    }
    std::string rawFile(std::uint64_t records) const {
        const std::string path = scratchFolder() + "/capture.log";
        EXPECT_EQ(sim::writeRawDataFile(path, 7, records), 0);
        return path;
    }
    QStringList cliReplay(const std::string& raw, bool parse) const {
        std::vector<std::string> args{"replay", "--defs", programHome() + "/LOG1.h"};
        if (parse) args.push_back("--parse");
        args.push_back(raw);
        const CliResult r = runCli(args);
        EXPECT_EQ(r.code, 0) << r.err;
        QStringList lines = QString::fromStdString(r.out).split('\n');
        if (!lines.isEmpty() && lines.back().isEmpty()) lines.removeLast();
        return lines;
    }
    QColor lineColour(qint64 line) const {
        const auto runs = view().lineRuns(line);
        return runs.isEmpty() ? QColor() : runs.front().colour;
    }

    std::vector<gui::OpenFileRequest> openRequests;
    std::vector<gui::SaveFileRequest> saveRequests;
    QString openAnswer;
    QString saveAnswer;
    QStringList captionBoxes;
    bool newMethod = false;
    std::function<void()> atMethodQuestion;  // runs while "Use new method" is asked
};

TEST_F(FileMenuTest, SaveThenOpenGivesTheSameLinesColoursAndCaption) {
    CaptureSession& core = view().core();
    core.console.print(u"[G] green line");
    core.console.print(u"03:04:05.000  [COM] [R] [00001] [000] [000] [00001] HCI_Reset");
    core.console.printText(u"\tOpcode: 0x0c03 %s %d");
    core.console.print(u"[D] firmware");
    ASSERT_TRUE(waitFor([&] { return view().lineCount() >= 4; }));
    const QStringList before = viewLines();
    const QList<QColor> coloursBefore = colours();
    const qint64 first = before.indexOf("[G] green line");
    ASSERT_GE(first, 0);

    saveAnswer = scratch("saved.log");
    run(FileSave);
    std::string bytes;
    ASSERT_TRUE(readFile(saveAnswer.toStdString(), bytes));
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data()),
                                            static_cast<qsizetype>(bytes.size() / 2));
    EXPECT_EQ(text, before.join("\r\n") + "\r\n");  // UTF-16LE, CR LF per line, no mark
    EXPECT_FALSE(text.startsWith(QChar(0xFEFF)));

    core.console.print(u"[Y] something else");
    EXPECT_FALSE(core.textLogOpened());
    openAnswer = saveAnswer;
    run(FileOpen);
    EXPECT_TRUE(core.textLogOpened());
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(viewLines().join("\n").toStdString(), before.join("\n").toStdString());
    EXPECT_EQ(colours(), coloursBefore);
    EXPECT_EQ(lineColour(first), qcolour(kGreen));
    EXPECT_EQ(lineColour(first + 1), qcolour(kRed));
    EXPECT_EQ(lineColour(first + 2), qcolour(kGrey));  // continuation line, "%s %d" literal
    EXPECT_EQ(lineColour(first + 3), qcolour(kGrey));
    EXPECT_EQ(frame().windowTitle(), QFileInfo(saveAnswer).absoluteFilePath());
    EXPECT_EQ(QString::fromStdU16String(SettingsStore().GetLogFilePath()),
              QFileInfo(saveAnswer).absoluteFilePath());
    EXPECT_FALSE(view().core().capture.viewInUse());

    // Later console messages still end their own lines; the next Open starts in the
    // folder of the last log.
    core.console.print(u"[G] a");
    core.console.print(u"[G] b");
    ASSERT_TRUE(waitFor([&] { return view().lineCount() == before.size() + 2; }));
    openAnswer.clear();
    run(FileOpen);
    EXPECT_EQ(openRequests.back().folder, QFileInfo(saveAnswer).absolutePath());
}

TEST_F(FileMenuTest, OpenRefusalsCancelMissingUnreadableAndAFailedSave) {
    EXPECT_FALSE(view().core().textLogOpened());
    openAnswer.clear();
    run(FileOpen);  // cancelled: the flag is set all the same
    EXPECT_TRUE(view().core().textLogOpened());
    EXPECT_FALSE(files().busy());

    ASSERT_TRUE(
        view().core().capture.claimRoute(CaptureRoute::Filter));  // a driver capture holds the view
    const std::size_t asked = openRequests.size();
    run(FileOpen);
    run(OpenRawData);
    view().core().capture.releaseView();
    EXPECT_EQ(openRequests.size(), asked);
    ASSERT_EQ(boxes->boxes().size(), 2u);
    EXPECT_EQ(boxes->boxes()[0].text, "Error!The view is being used.");

    openAnswer = scratch("none.log");
    run(FileOpen);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(viewLines().back(), "[R] File \"" + openAnswer + "\" doesn't exist.");
    EXPECT_EQ(lineColour(view().lineCount() - 1), qcolour(kRed));

    openAnswer = QString::fromStdString(scratchFolder());  // exists, cannot be read as a log
    run(FileOpen);
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(viewLines().back().startsWith("[R] Fail to read text log"))
        << viewLines().back().toStdString();
    EXPECT_EQ(lineColour(view().lineCount() - 1), qcolour(kRed));

    saveAnswer = scratch("no/such/folder.log");
    run(FileSaveAs);
    EXPECT_EQ(boxes->boxes().back().text,
              "Cannot save \"" + saveAnswer + "\": No such file or directory.");
}

TEST_F(FileMenuTest, OpenInPlaceRefusesAFifoNotesCutLinesAndCancels) {
    // Only regular files are read: a device or a FIFO is refused in words, at once.
    test::LonelyFifo fifo(scratchFolder() + "/pipe.log");
    for (const QString& path : {QStringLiteral("/dev/zero"), QString::fromStdString(fifo.path())}) {
        openAnswer = path;
        run(FileOpen);
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(viewLines().back(),
                  "[R] Fail to read text log \"" + path + "\": not a regular file");
        EXPECT_EQ(lineColour(view().lineCount() - 1), qcolour(kRed));
    }
    EXPECT_FALSE(fifo.releasedAReader()) << "the open waited for a writer";

    // A line longer than 1 MiB is shown cut, and one yellow line says so.
    std::u16string text = u"[G] before\r\n[R] " + std::u16string((1u << 20) + 10, u'x') + u"\r\n";
    ASSERT_EQ(writeTextLog(scratchFolder() + "/long.log", u""), 0);
    {
        std::string bytes;
        for (const char16_t c : text) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        ASSERT_TRUE(writeFile(scratchFolder() + "/long.log", bytes));
    }
    openAnswer = scratch("long.log");
    run(FileOpen);
    ASSERT_TRUE(waitIdle());
    QStringList lines = viewLines();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], "[G] before");
    EXPECT_EQ(lines[1].size() + lines[2].size(), (1 << 20) + 14);
    EXPECT_TRUE(lines[3].startsWith("[Y] 1 lines of \"" + openAnswer + "\" are longer than"))
        << lines[3].toStdString();
    EXPECT_EQ(lineColour(3), qcolour(kYellow));
    EXPECT_FALSE(view().core().capture.viewInUse());

    // Cancel stops the indexing of a large log; what was indexed stays.
    std::string big;
    const std::string line = "[B] a line of a large log\r\n";
    for (int i = 0; i < 1000000; ++i) {
        for (const char c : line) {
            big.push_back(c);
            big.push_back('\0');
        }
    }
    ASSERT_TRUE(writeFile(scratchFolder() + "/big.log", big));
    openAnswer = scratch("big.log");
    run(FileOpen);
    EXPECT_TRUE(files().busy());
    QTest::mouseClick(files().cancelButton(), Qt::LeftButton);
    run(MenuCommand::DebugWithCom);  // refused until the indexing has stopped
    EXPECT_EQ(boxes->boxes().back().text, "Error!The view is being used.");
    ASSERT_TRUE(waitIdle());
    EXPECT_LT(view().lineCount(), 1000000);
    EXPECT_FALSE(view().core().capture.viewInUse());
    EXPECT_FALSE(files().progressBar()->isVisible());

    // Clear while the log is indexed lets it go and ends the work.
    run(FileOpen);
    ASSERT_TRUE(waitFor([&] { return view().hasText(); }));
    run(MenuCommand::EditClear);
    EXPECT_FALSE(files().busy());
    EXPECT_FALSE(view().core().capture.viewInUse());
    EXPECT_FALSE(view().hasText());
}

TEST_F(FileMenuTest, AStoreWithoutRoomHoldsTheQueueBackAndSaysWhyInRed) {
    // A view whose store can neither write its scratch file nor keep more in memory.
    ASSERT_TRUE(writeFile(scratchFolder() + "/file", "x"));
    gui::LineStore::Options options{scratchFolder() + "/file/cache", {}};
    options.limits.chunkBytes = 4096;
    options.limits.memoryBytes = 64 * 1024;
    gui::LogTextView widget(nullptr, options);
    gui::QueuedLogView queue(widget, 256);
    std::atomic<int> sent{0};
    std::thread producer([&] {
        for (int i = 0; i < 20000 && queue.exists(); ++i) {
            queue.waitForRoom();
            queue.append(u"[G] a line that waits for room in the view\n", kGreen);
            sent.store(i + 1);
        }
    });
    // The producer fills the queue and then waits: back-pressure, nothing dropped.
    waitFor([&] { return widget.lineCount() > 1000 && sent.load() < 20000; }, 3000);
    QTest::qWait(200);
    const int waiting = sent.load();
    QTest::qWait(200);
    EXPECT_EQ(sent.load(), waiting);
    EXPECT_LT(waiting, 20000);
    QStringList red;
    for (qint64 l = 0; l < widget.lineCount(); ++l) {
        if (widget.lineText(l).startsWith("[R]")) red << widget.lineText(l);
        if (widget.lineText(l).startsWith("[Y]")) red << widget.lineText(l);
    }
    ASSERT_EQ(red.size(), 2) << red.join("\n").toStdString();
    EXPECT_TRUE(red[0].startsWith("[Y] The view's text cannot go to disk"));
    EXPECT_TRUE(red[1].startsWith("[R] The view takes no more lines"));
    // Clear makes room again: the waiting lines come in, all of them.
    widget.clear();
    ASSERT_TRUE(waitFor([&] { return sent.load() > waiting; }, 3000));
    queue.shutDown();
    producer.join();
}

// A text log without a single line break (a sparse file of zeros) is shown in lines of
// 1 MiB of text, and one yellow line says so.
TEST_F(FileMenuTest, ALogWithoutLineBreaksIsShownInLinesOfAMebibyte) {
    const std::string zeros = scratchFolder() + "/zeros.log";
    {
        QFile file(QString::fromStdString(zeros));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize((qint64{64} << 20) + 6));  // 32 Mi + 3 characters, no break
    }
    openAnswer = QString::fromStdString(zeros);
    run(FileOpen);
    ASSERT_TRUE(waitIdle(20000));
    const QStringList lines = viewLines();
    ASSERT_EQ(lines.size(), 34);
    for (int i = 0; i < 32; ++i) ASSERT_EQ(lines[i].size(), qsizetype{1} << 20) << "line " << i;
    EXPECT_EQ(lines[32].size(), 3);
    EXPECT_EQ(lines[33], "[Y] 1 lines of \"" + openAnswer +
                             "\" are longer than 1048576 characters: each is shown cut into lines "
                             "of that length.");
    EXPECT_EQ(lineColour(33), qcolour(kYellow));
    ASSERT_TRUE(frame().grab().save(screenshotPath("nimbrel-long-lines.png")));
}

// A definition file without a single definition is used, and a yellow line says so.
TEST_F(FileMenuTest, ADefinitionFileWithoutDefinitionsIsNamedInYellow) {
    ASSERT_TRUE(writeFile(programHome() + "/LOG1.h", "\x89PNG\r\n\x1a\n"));
    openAnswer.clear();  // the replay's file dialog is cancelled
    run(OpenRawData);
    EXPECT_EQ(viewLines().back(),
              "[Y] No message definitions found in " +
                  QString::fromStdU16String(view().core().definitionFile.get()));
    EXPECT_EQ(lineColour(view().lineCount() - 1), qcolour(kYellow));
}

TEST_F(FileMenuTest, ReplayIntoTheViewEqualsTheCommandLineWithAndWithoutDecoding) {
    const std::string raw = rawFile(400);
    for (const bool parse : {false, true}) {
        SCOPED_TRACE(parse ? "Auto Parse Log" : "plain");
        if (parse) run(MenuCommand::AutoParseLog);
        run(MenuCommand::EditClear);  // line numbers from 1, as on the command line
        openAnswer = QString::fromStdString(raw);
        newMethod = false;
        run(OpenRawData);
        EXPECT_TRUE(files().busy());
        ASSERT_TRUE(waitIdle());
        QStringList lines = viewLines();
        ASSERT_FALSE(lines.isEmpty());
        EXPECT_EQ(lines.takeFirst(), "[R]Analyze raw file to 0 %, please wait...");
        EXPECT_EQ(lines.join("\n").toStdString(), cliReplay(raw, parse).join("\n").toStdString());
        EXPECT_EQ(frame().windowTitle(), openAnswer);
        EXPECT_EQ(QString::fromStdU16String(SettingsStore().GetRawDataPath()), openAnswer);
        EXPECT_FALSE(view().core().capture.viewInUse());
    }
    EXPECT_EQ(captionBoxes.front(), "Select|Use new method to parse raw data?");
}

TEST_F(FileMenuTest, NewMethodShowsTheChosenRangeWithColours) {
    const std::string raw = rawFile(400);
    openAnswer = QString::fromStdString(raw);
    newMethod = true;
    int progressAtDialog = -1;
    whenModalShown([&](QWidget* w) {
        auto* dlg = qobject_cast<gui::CFilePostionSelectDlg*>(w);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->windowTitle(), "Dialog");
        EXPECT_EQ(dlg->startEdit()->text(), "0");
        EXPECT_EQ(dlg->endEdit()->text(), "100");
        waitFor([&] { return files().progressBar()->value() == 100; }, 2000);
        progressAtDialog = files().progressBar()->value();
        dlg->startEdit()->clear();
        QTest::keyClicks(dlg->startEdit(), "5x0");  // digits only
        dlg->colourCheck()->setChecked(true);
        QTest::keyClick(dlg, Qt::Key_Return);
    });
    run(OpenRawData);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(progressAtDialog, 100);

    // After the two lines of the finished scan, the second half of the text file, from the
    // middle of a line, each line coloured by its tag.
    const QString all = cliReplay(raw, false).join('\n') + '\n';
    const QByteArray utf8 = all.toUtf8();
    QStringList expected = QString::fromUtf8(utf8.mid(utf8.size() * 50 / 100)).split('\n');
    expected.removeLast();
    expected.prepend("[G]File path: " + QString::fromStdString(scratchFolder()) +
                     "/data/_nimbrel_temp.txt");
    expected.prepend("[R]Analyze raw file to 100 %, please wait...");
    EXPECT_EQ(viewLines().join("\n").toStdString(), expected.join("\n").toStdString());
    for (qint64 i = 0; i < view().lineCount(); ++i) {
        if (viewLines()[i].contains("[G]")) {
            EXPECT_EQ(lineColour(i), qcolour(kGreen)) << i;
            break;
        }
    }
}

// Cancel during the scan: the progress line gives way to where the scan stopped (with the
// old method it follows the lines shown so far), the new method's partial text file goes,
// and the window is usable again.
TEST_F(FileMenuTest, CancelledReplaySaysWhereItStoppedAndLeavesNoPartialTextFile) {
    const std::string raw = rawFile(200000);
    const QString textFile = QString::fromStdString(scratchFolder()) + "/data/_nimbrel_temp.txt";
    const QRegularExpression cancelled("^\\[Y\\]Analyze raw file cancelled at (\\d+) %$");
    openAnswer = QString::fromStdString(raw);

    // Old method: cancelled from the status bar while lines arrive.
    newMethod = false;
    run(OpenRawData);
    ASSERT_TRUE(files().progressBar() && files().progressBar()->isVisible());
    ASSERT_TRUE(waitFor([&] { return view().lineCount() > 100; }));
    run(MenuCommand::DebugWithCom);  // refused while the replay runs
    EXPECT_EQ(boxes->boxes().back().text, "Error!The view is being used.");
    QTest::mouseClick(files().cancelButton(), Qt::LeftButton);
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(files().progressBar()->isVisible());
    EXPECT_LT(view().lineCount(), 150000);
    EXPECT_EQ(viewLines().first(), "[R]Analyze raw file to 0 %, please wait...");
    const QRegularExpressionMatch atOld = cancelled.match(viewLines().back());
    ASSERT_TRUE(atOld.hasMatch()) << viewLines().back().toStdString();
    EXPECT_LT(atOld.captured(1).toInt(), 100);
    EXPECT_EQ(lineColour(view().lineCount() - 1), qcolour(kYellow));
    EXPECT_FALSE(view().core().capture.viewInUse());

    // New method: cancelled while the method is being asked, so the scan stops at once.
    newMethod = true;
    atMethodQuestion = [&] { files().cancelButton()->click(); };
    run(OpenRawData);
    ASSERT_TRUE(waitIdle());
    atMethodQuestion = nullptr;
    EXPECT_EQ(viewLines(), QStringList{"[Y]Analyze raw file cancelled at 0 %"});
    EXPECT_FALSE(QFile::exists(textFile));
    EXPECT_FALSE(view().core().capture.viewInUse());

    // A text log opens afterwards.
    ASSERT_EQ(writeTextLog(scratchFolder() + "/after.log", u"[B] after\n"), 0);
    openAnswer = scratch("after.log");
    boxes->setAnswer(QMessageBox::No);  // the cancelled replay's lines are not saved
    run(FileOpen);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(viewLines(), QStringList{"[B] after"});
}

// A file that holds no record: only the 0 % line in the view, and the status bar says so.
TEST_F(FileMenuTest, ReplayOfAFileWithoutRecordsSaysSoInTheStatusBar) {
    const std::pair<const char*, std::string> files_[] = {
        {"empty.log", std::string()},
        {"noise.log", std::string(4096, '\x5a')},
    };
    newMethod = false;
    for (const auto& [name, bytes] : files_) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(writeFile(scratchFolder() + "/" + name, bytes));
        openAnswer = scratch(name);
        frame().statusBar()->clearMessage();
        run(OpenRawData);
        ASSERT_TRUE(waitIdle());
        EXPECT_EQ(viewLines(), QStringList{"[R]Analyze raw file to 0 %, please wait..."});
        ASSERT_TRUE(waitFor([&] { return !frame().statusBar()->currentMessage().isEmpty(); }));
        EXPECT_EQ(frame().statusBar()->currentMessage(), "No records found in " + openAnswer);
    }
    // A file with records leaves the status bar alone.
    frame().statusBar()->clearMessage();
    openAnswer = QString::fromStdString(rawFile(10));
    run(OpenRawData);
    ASSERT_TRUE(waitIdle());
    QTest::qWait(50);
    EXPECT_EQ(frame().statusBar()->currentMessage(), QString());
}

// The method is asked with OK and Cancel once the caption, the view and RawDataPath have
// changed; the definition file is loaded once per replay (a missing one is reported once).
TEST_F(FileMenuTest, OpenRawDataAsksForTheMethodAfterTheFileIsTakenAndLoadsDefinitionsOnce) {
    view().core().console.print(u"[B] before the replay");
    boxes->setAnswer(QMessageBox::No);  // not saved
    openAnswer = QString::fromStdString(rawFile(20));
    QString titleAtQuestion;
    QStringList linesAtQuestion{"(not asked)"};
    QString rawPathAtQuestion;
    atMethodQuestion = [&] {
        titleAtQuestion = frame().windowTitle();
        linesAtQuestion = viewLines();
        rawPathAtQuestion = QString::fromStdU16String(SettingsStore().GetRawDataPath());
    };
    newMethod = false;  // Cancel: the lines go straight into the view
    run(OpenRawData);
    ASSERT_TRUE(waitIdle());
    atMethodQuestion = nullptr;
    EXPECT_EQ(captionBoxes, QStringList{"Select|Use new method to parse raw data?"});
    EXPECT_EQ(titleAtQuestion, openAnswer);
    EXPECT_EQ(linesAtQuestion, QStringList());
    EXPECT_EQ(rawPathAtQuestion, openAnswer);
    EXPECT_EQ(viewLines().size(), 21);

    // Loaded once, before the file dialog: a change to the file while the dialog is open
    // does not reach this replay.
    const std::string log1 = programHome() + "/LOG1.h";
    std::string text;
    ASSERT_TRUE(readFile(log1, text));
    gui::setOpenFileHook([&](const gui::OpenFileRequest&) {
        std::string changed = text;
        const std::string start = "BT controller firmware start";
        changed.replace(changed.find(start), start.size(), "loaded a second time");
        EXPECT_TRUE(writeFile(log1, changed));
        return openAnswer;
    });
    run(OpenRawData);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(viewLines().filter("BT controller firmware start").size(), 1);
    EXPECT_EQ(viewLines().filter("loaded a second time").size(), 0);
}

TEST_F(FileMenuTest, NewOpenAndOpenRawDataOfferToSaveTextThatReachedTheView) {
    using QMessageBox::Cancel, QMessageBox::No, QMessageBox::Yes;
    const QString saved = scratch("offered.log");
    run(MenuCommand::FileNew);  // only the start-up lines: nothing to ask
    EXPECT_TRUE(boxes->boxes().empty());
    EXPECT_FALSE(app->document()->isModified());

    for (const MenuCommand id : {MenuCommand::FileNew, FileOpen, OpenRawData}) {
        SCOPED_TRACE(id);
        const QString line = QStringLiteral("[G] from a capture %1").arg(commandNumber(id));
        std::thread([&] { view().core().console.print(line.toStdU16String()); }).join();
        ASSERT_TRUE(waitFor([&] { return viewLines().contains(line); }));
        EXPECT_TRUE(app->document()->isModified());
        const std::size_t dialogs = openRequests.size();
        for (const QMessageBox::StandardButton answer : {Cancel, Yes}) {
            boxes->setAnswer(answer);
            saveAnswer.clear();  // with Yes: the Save As dialog is cancelled
            const std::size_t before = boxes->boxes().size();
            run(id);
            ASSERT_EQ(boxes->boxes().size(), before + 1);
            EXPECT_EQ(boxes->boxes().back().text, "Save changes to Untitled?");
            EXPECT_EQ(boxes->boxes().back().buttons, Yes | No | Cancel);
            EXPECT_TRUE(viewLines().contains(line));
            EXPECT_EQ(openRequests.size(), dialogs);
        }
        QFile::remove(saved);
        boxes->setAnswer(Yes);
        saveAnswer = saved;
        openAnswer.clear();  // the command's own file dialog is then cancelled
        run(id);
        EXPECT_TRUE(QFile::exists(saved));
        EXPECT_FALSE(app->document()->isModified());
        if (id == MenuCommand::FileNew) {
            EXPECT_FALSE(viewLines().contains(line));
        } else {
            EXPECT_EQ(openRequests.size(), dialogs + 1);
        }
    }

    boxes->setAnswer(No);
    openAnswer = saved;
    run(FileOpen);
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(app->document()->isModified());
    const std::size_t before = boxes->boxes().size();
    run(MenuCommand::FileNew);
    EXPECT_EQ(boxes->boxes().size(), before);
}

// A suspend and a resume while a text-log load or a replay holds the view: the view stays
// with that work until its worker has ended, so no capture can start on top of it. The
// load goes on to its end.
TEST_F(FileMenuTest, SuspendAndResumeLeaveTheViewWithARunningLoadOrReplay) {
    auto* power = app->findChild<PowerListener*>();
    ASSERT_NE(power, nullptr);
    const auto suspendAndResume = [&] {
        power->onPrepareForSleep(true);
        power->onPrepareForSleep(false);
        EXPECT_TRUE(view().core().capture.viewInUse());
        run(MenuCommand::DebugWithCom);
        EXPECT_EQ(boxes->boxes().back().text, "Error!The view is being used.");
    };

    // A text log longer than the view's queue: its worker is still loading here.
    std::u16string log;
    constexpr int kLines = 200000;
    for (int i = 0; i < kLines; ++i) log += u"[G] line\n";
    ASSERT_EQ(writeTextLog(scratchFolder() + "/long.log", log), 0);
    openAnswer = scratch("long.log");
    run(FileOpen);
    ASSERT_TRUE(files().busy());
    suspendAndResume();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(view().lineCount(), kLines);
    EXPECT_FALSE(view().core().capture.viewInUse());

    // A replay whose worker waits for the range.
    openAnswer = QString::fromStdString(rawFile(50));
    newMethod = true;
    whenModalShown([&](QWidget* dlg) {
        suspendAndResume();
        qobject_cast<QDialog*>(dlg)->accept();
    });
    run(OpenRawData);
    ASSERT_TRUE(waitIdle());
    EXPECT_FALSE(view().core().capture.viewInUse());
}

TEST_F(FileMenuTest, PrintsToAPdfFile) {
    view().core().console.print(u"[R] printed line");
    ASSERT_TRUE(waitFor([&] { return view().hasText(); }));
    const QString pdf = scratch("log.pdf");
    gui::setPrinterDialogHook([&](gui::PrinterDialog kind, QPrinter& printer) {
        EXPECT_EQ(kind, gui::PrinterDialog::Print);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        return true;
    });
    menuAction("File/Print...")->trigger();
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(f.read(4) == "%PDF");
    EXPECT_GT(f.size(), 500);
}

TEST_F(FileMenuTest, RecentFilesSurviveARestartAndOpenAsTextLogs) {
    QAction* recent = menuAction("File/Recent File");
    frame().refreshCommandStates();
    EXPECT_FALSE(recent->isEnabled());
    for (int i = 1; i <= 5; ++i) {
        ASSERT_EQ(writeTextLog(scratchFolder() + "/log" + std::to_string(i) + ".log",
                               u"[Y] log " + std::u16string(1, char16_t(u'0' + i)) + u"\n"),
                  0);
        openAnswer = scratch(QString("log%1.log").arg(i));
        run(FileOpen);
        ASSERT_TRUE(waitIdle());
    }
    stopApp();
    startApp();
    recent = menuAction("File/Recent File");
    frame().refreshCommandStates();
    EXPECT_TRUE(recent->isEnabled());
    QMenu* menu = recent->menu();
    ASSERT_NE(menu, nullptr);
    emit menu->aboutToShow();
    const auto entries = menu->actions();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0]->text(), "&1 " + scratch("log5.log"));
    EXPECT_EQ(entries[3]->text(), "&4 " + scratch("log2.log"));
    entries[2]->trigger();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(viewLines(), QStringList{"[Y] log 3"});
    EXPECT_EQ(lineColour(0), qcolour(kYellow));
}

TEST_F(FileMenuTest, AFileNamedOnTheCommandLineOpensAtStart) {
    stopApp();
    ASSERT_EQ(writeTextLog(scratchFolder() + "/start.log", u"[W] from the command line\r\n"), 0);
    app = std::make_unique<gui::CNimbrelApp>(guiApp());
    gui::AppOptions options;
    options.file = scratch("start.log");
    ASSERT_TRUE(app->InitInstance(options));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(viewLines().back(), "[W] from the command line")
        << viewLines().join("|").toStdString();
    EXPECT_EQ(frame().windowTitle(), scratch("start.log"));
}

}  // namespace
}  // namespace nimbrel::test

namespace nimbrel::test {
namespace {

// Pictures of the window after a replay into the view and after opening the saved log
// again, beside the test program (see screenshotPath); both show coloured lines on black.
TEST_F(FileMenuTest, ScreenshotsAfterAReplayAndAfterOpeningTheSavedLog) {
    const std::string raw = rawFile(300);
    frame().resize(1100, 620);
    run(MenuCommand::AutoParseLog);
    openAnswer = QString::fromStdString(raw);
    newMethod = false;
    run(OpenRawData);
    ASSERT_TRUE(waitIdle());
    QTest::qWait(100);
    ASSERT_TRUE(frame().grab().save(screenshotPath("nimbrel-after-replay.png")));

    saveAnswer = scratch("replayed.log");
    run(FileSaveAs);
    run(MenuCommand::EditClear);
    openAnswer = saveAnswer;
    run(FileOpen);
    ASSERT_TRUE(waitIdle());
    QTest::qWait(100);
    const QImage shot = frame().grab().toImage();
    ASSERT_TRUE(shot.save(screenshotPath("nimbrel-after-open.png")));
    const QImage viewShot = view().viewport()->grab().toImage();
    int coloured = 0;
    for (int y = 0; y < viewShot.height(); y += 2) {
        for (int x = 0; x < viewShot.width(); x += 2)
            coloured += viewShot.pixelColor(x, y).saturation() > 100;
    }
    EXPECT_GT(coloured, 200) << "coloured lines after reopening";
}

// File > Export HCI Packets...: the last capture's raw data file and a btsnoop file beside it
// are proposed; the export runs on the worker and its summary shows in green, with as many
// packets as the command line exports from the same file.
TEST_F(FileMenuTest, ExportHciPacketsProposesTheCapturesFileAndReportsInTheView) {
    const std::string raw = rawFile(1500);
    view().core().hub.rawDataFile.setName(raw);  // as the last capture left it
    openAnswer = QString::fromStdString(raw);
    saveAnswer = scratch("hci.btsnoop");
    // Through the menu bar, as a user chooses it.
    QMenuBar* bar = frame().menuBar();
    QAction* fileMenu = bar->actions().front();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(fileMenu).center());
    QMenu* menu = nullptr;
    ASSERT_TRUE(waitFor([&] {
        menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        return menu != nullptr;
    }));
    QAction* item = nullptr;
    for (QAction* a : menu->actions()) {
        if (a->text() == "&Export HCI Packets...") item = a;
    }
    ASSERT_NE(item, nullptr);
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
    ASSERT_TRUE(waitIdle());
    ASSERT_FALSE(openRequests.empty());
    EXPECT_EQ(openRequests.back().fileName, "capture.log");
    EXPECT_EQ(openRequests.back().folder, QString::fromStdString(scratchFolder()));
    ASSERT_FALSE(saveRequests.empty());
    EXPECT_EQ(saveRequests.back().proposed, scratch("capture.btsnoop"));

    const CaptureFile file = readBtsnoop(readFileBytes(saveAnswer.toStdString()));
    EXPECT_TRUE(file.valid);
    const CliResult cli = runCli({"export", "--btsnoop", scratchFolder() + "/cli.btsnoop", "--defs",
                                  programHome() + "/LOG1.h", raw});
    ASSERT_EQ(cli.code, 0) << cli.err;
    EXPECT_EQ(readFileBytes(saveAnswer.toStdString()),
              readFileBytes(scratchFolder() + "/cli.btsnoop"));
    const QString summary = viewLines().back();
    EXPECT_TRUE(
        summary.startsWith(QStringLiteral("[G] Exported %1 HCI packets").arg(file.packets.size())))
        << summary.toStdString();
    EXPECT_EQ(lineColour(view().lineCount() - 1), qcolour(kGreen));

    saveAnswer = scratch("no/such/folder/hci.btsnoop");
    run(ExportHciPackets);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(viewLines().back(),
              "[R] Fail to write \"" + saveAnswer + "\": No such file or directory");
}

}  // namespace
}  // namespace nimbrel::test

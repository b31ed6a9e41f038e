#include "gui/window/command_table.h"

namespace nimbrel::gui {
namespace {

using enum Mark;
using enum EnableRule;
using M = MarkSource;

constexpr const char* kFile = "&File";
constexpr const char* kEdit = "&Edit";
constexpr const char* kView = "&View";
constexpr const char* kLook = "&View/&Application Look";
constexpr const char* kLook2007 = "&View/&Application Look/Office 200&7";
constexpr const char* kFilter = "&View/&Filter";
constexpr const char* kDebug = "Debug";
constexpr const char* kSetting = "Setting";
constexpr const char* kIcType = "Setting/IC Type";
constexpr const char* kControl = "Control";
constexpr const char* kHelp = "&Help";

constexpr CommandSpec kCommands[] = {
    // id, menu, text, mark, mark source, enable, separator before, hint
    {cmd::FileNew, kFile, "&New\tCtrl+N", None, M::None, Always, false, "Create a new document"},
    {cmd::FileOpen, kFile, "&Open...\tCtrl+O", None, M::None, Always, false,
     "Open a text log file"},
    {cmd::OpenRawData, kFile, "Open Raw Data", None, M::None, Always, false,
     "Replay a raw data file"},
    {cmd::ExportHciPackets, kFile, "&Export HCI Packets...", None, M::None, Always, false,
     "Write the HCI packets of a raw data file as a btsnoop file for btmon and Wireshark"},
    {cmd::FileSave, kFile, "&Save\tCtrl+S", None, M::None, Always, false, "Save the log text"},
    {cmd::FileSaveAs, kFile, "Save &As...", None, M::None, Always, false,
     "Save the log text under a new name"},
    {cmd::ExportShownLines, kFile, "&Export Shown Lines...", None, M::None, FilterOn, false,
     "Save only the lines the filter shows"},
    {cmd::FilePrint, kFile, "&Print...\tCtrl+P", None, M::None, Always, true, "Print the log text"},
    {cmd::FilePrintPreview, kFile, "Print Pre&view", None, M::None, Always, false,
     "Show how the printed log will look"},
    {cmd::FilePrintSetup, kFile, "P&rint Setup...", None, M::None, Always, false,
     "Choose a printer and its options"},
    {cmd::FileMru, kFile, "Recent File", None, M::None, HasRecentFiles, true,
     "Open a recently used file"},
    {cmd::AppExit, kFile, "E&xit", None, M::None, Always, true, "Quit the application"},

    {cmd::EditUndo, kEdit, "&Undo\tCtrl+Z", None, M::None, CanUndo, false, "Undo the last edit"},
    {cmd::EditCut, kEdit, "Cu&t\tCtrl+X", None, M::None, HasSelection, true,
     "Cut the selection to the clipboard"},
    {cmd::EditCopy, kEdit, "&Copy\tCtrl+C", None, M::None, HasSelection, false,
     "Copy the selection to the clipboard"},
    {cmd::EditPaste, kEdit, "&Paste\tCtrl+V", None, M::None, CanPaste, false,
     "Insert the clipboard's text"},
    {cmd::EditPasteSpecial, kEdit, "Paste &Special...", None, M::None, Never, false,
     "Insert the clipboard in a chosen format"},
    {cmd::EditSelectAll, kEdit, "Select A&ll\tCtrl+A", None, M::None, HasText, true,
     "Select the whole text"},
    {cmd::EditFind, kEdit, "&Find...\tCtrl+F", None, M::None, HasText, true, "Find a text"},
    {cmd::EditFindNext, kEdit, "F&ind Next\tF3", None, M::None, HasText, false,
     "Find the next occurrence of the text"},
    {cmd::EditReplace, kEdit, "R&eplace\tCtrl+H", None, M::None, HasText, false,
     "Replace a text with another"},
    {cmd::GoToLine, kEdit, "&Go To Line...\tCtrl+G", None, M::None, HasText, true,
     "Move the caret to a line given by its number"},
    {cmd::ToggleMark, kEdit, "Toggle &Mark\tCtrl+F2", None, M::None, Always, false,
     "Mark the caret's line, or take its mark away"},
    {cmd::NextMark, kEdit, "Ne&xt Mark\tF2", None, M::None, HasMarks, false,
     "Move to the next marked line"},
    {cmd::PreviousMark, kEdit, "Pre&vious Mark\tShift+F2", None, M::None, HasMarks, false,
     "Move to the previous marked line"},
    {cmd::InsertObject, kEdit, "Insert &New Object...", None, M::None, Never, true,
     "Insert an embedded object"},
    {cmd::EditLinks, kEdit, "Lin&ks...", None, M::None, Never, false, "Edit the linked objects"},
    {cmd::ObjectProperties, kEdit, "Object P&roperties\tAlt+Enter", None, M::None, Never, false,
     "Show the properties of the selected object"},
    {cmd::ObjectVerbs, kEdit, "&Object", None, M::None, Never, false, "Act on the selected object"},

    {cmd::ViewToolbars, kView, "&Toolbars and Docking Windows", None, M::None, Always, false,
     "Show or hide the toolbars"},
    {cmd::ViewStatusBar, kView, "&Status Bar", Check, M::StatusBar, Always, false,
     "Show or hide the status bar"},
    {cmd::ViewSearchPane, kView, "Search &Pane\tCtrl+Shift+F", Check, M::SearchPane, Always, false,
     "Search every line and list the hits"},
    {cmd::ViewHighlightRules, kView, "&Highlight Rules...", None, M::None, Always, false,
     "Colour the texts that matter wherever they appear"},
    {cmd::FilterRed, kFilter, "[&R] Lines", Check, M::LineFilter, Always, false,
     "Show or hide the red lines"},
    {cmd::FilterYellow, kFilter, "[&Y] Lines", Check, M::LineFilter, Always, false,
     "Show or hide the yellow lines"},
    {cmd::FilterGreen, kFilter, "[&G] Lines", Check, M::LineFilter, Always, false,
     "Show or hide the green lines"},
    {cmd::FilterBlue, kFilter, "[&B] Lines", Check, M::LineFilter, Always, false,
     "Show or hide the blue lines"},
    {cmd::FilterWhite, kFilter, "[&W] Lines", Check, M::LineFilter, Always, false,
     "Show or hide the white lines"},
    {cmd::FilterGrey, kFilter, "[&D] and Untagged Lines", Check, M::LineFilter, Always, false,
     "Show or hide the grey lines: [D] records and text without a tag"},
    {cmd::FilterDecoded, kFilter, "De&coded Lines", Check, M::LineFilter, Always, false,
     "Show or hide the decoded lines under a record"},
    {cmd::FilterSearchOnly, kFilter, "Only Lines &Matching the Search", Check, M::LineFilter,
     HasSearch, true, "Show only the lines the search found"},
    {cmd::FilterShowAll, kFilter, "Show &All Lines", None, M::None, FilterOn, true,
     "Turn every filter off"},
    {cmd::LookWindows2000, kLook, "Windows &2000", Radio, M::ApplicationLook, Always, false,
     "Plain classic look"},
    {cmd::LookOfficeXp, kLook, "Office &XP", Radio, M::ApplicationLook, Always, false,
     "Office XP look"},
    {cmd::LookWindowsXp, kLook, "&Windows XP", Radio, M::ApplicationLook, Always, false,
     "Windows XP look"},
    {cmd::LookOffice2003, kLook, "Office 200&3", Radio, M::ApplicationLook, Always, false,
     "Office 2003 look"},
    {cmd::LookVs2005, kLook, "Visual Studio.NET 200&5", Radio, M::ApplicationLook, Always, false,
     "Visual Studio 2005 look"},
    {cmd::LookBlue, kLook2007, "&Blue Style", Radio, M::ApplicationLook, Always, false,
     "Office 2007 look, blue"},
    {cmd::LookBlack, kLook2007, "B&lack Style", Radio, M::ApplicationLook, Always, false,
     "Office 2007 look, black"},
    {cmd::LookSilver, kLook2007, "&Silver Style", Radio, M::ApplicationLook, Always, false,
     "Office 2007 look, silver"},
    {cmd::LookAqua, kLook2007, "&Aqua Style", Radio, M::ApplicationLook, Always, false,
     "Office 2007 look, aqua"},

    {cmd::DebugWithFilterDriver, kDebug, "With Filter Driver", None, M::None, Always, false,
     "Capture the log through the Bluetooth filter driver"},
    {cmd::DebugWithCom, kDebug, "With Com", None, M::None, Always, false,
     "Capture the log from the serial port chosen in Com Setting"},
    {cmd::DebugWithUartDriver, kDebug, "With Uart Driver", None, M::None, Always, false,
     "Capture the log through the UART bus driver"},
    {cmd::StopCapture, kDebug, "&Stop Capture", None, M::None, Capturing, true,
     "Stop the running capture and keep its text"},

    {cmd::ComSetting, kSetting, "Com Setting", None, M::None, Always, false,
     "Choose the serial port and its baud rate"},
    {cmd::Log1Path, kSetting, "Log1 Path", None, M::None, Always, false,
     "Choose the message definition file"},
    {cmd::AddStringFilter, kSetting, "Add String Filter", None, M::None, Always, false,
     "Hide the lines that contain chosen strings"},
    {cmd::IcAmber, kIcType, "Amber", Check, M::IcType, Never, false,
     "Definitions of the Amber chip"},
    {cmd::IcBasalt, kIcType, "Basalt", Check, M::IcType, Always, false,
     "Definitions of the Basalt chip"},
    {cmd::IcCobalt, kIcType, "Cobalt", Check, M::IcType, Always, false,
     "Definitions of the Cobalt chip"},
    {cmd::IcDolomite, kIcType, "Dolomite", Check, M::IcType, Always, false,
     "Definitions of the Dolomite chip"},
    {cmd::IcEmber, kIcType, "Ember", None, M::None, Always, false, "The chip is an Ember"},
    {cmd::IcFlint, kIcType, "Flint", None, M::None, Always, false, "The chip is a Flint"},
    {cmd::AutoParseLog, kSetting, "Auto Parse Log", Check, M::AutoParseLog, Always, false,
     "Decode HCI commands, HCI events and LMP PDUs"},
    {cmd::AutoGenerateRawData, kSetting, "Auto Generate Raw Data", Check, M::AutoSaveRawData,
     Always, false, "Record the captured records into a raw data file"},
    {cmd::AutoCatchLogUsb, kSetting, "Auto Catch Log @USB Platform", Check, M::AutoGetLog, Always,
     false, "Start at log-on and capture through the filter driver"},
    {cmd::AutoCatchLogUart, kSetting, "Auto Catch Log @Uart Platform", Check, M::AutoGetLogForUart,
     Always, false, "Start at log-on and capture through the UART driver"},
    {cmd::AutoFixTimeStamp, kSetting, "Auto Fix TimeStamp", Check, M::AutoFixTimeStamp, Always,
     false, "Repair implausible time stamps during a replay"},

    {cmd::UartInBox, kControl, "Uart_In_Box", None, M::None, Always, false,
     "Send eight bytes to the controller over the serial port"},

    {cmd::AppAbout, kHelp, "&About Nimbrel...", None, M::None, Always, false,
     "Show the program's version"},

    // Context menu only.
    {cmd::EditClear, "", "Clear", None, M::None, HasText, false, "Empty the view"},
    {cmd::Pause, "", "Pause", None, M::None, Always, false,
     "Hold the record lines back, or show them again"},
    // Keys only.
    {cmd::NextPane, "", "Next Pane", None, M::None, Always, false, "Move to the next pane"},
    {cmd::PrevPane, "", "Previous Pane", None, M::None, Always, false, "Move to the previous pane"},
    {cmd::Escape, "", "Escape", None, M::None, Always, false, ""},
    {cmd::ToolbarCustomize, "", "Customize...", None, M::None, Always, false,
     "Add and remove toolbar commands"},
};

constexpr int kContextMenu[] = {
    cmd::EditCut, cmd::EditCopy, cmd::EditPaste, cmd::EditSelectAll, 0, cmd::EditClear, cmd::Pause};

constexpr int kStandardToolbar[] = {cmd::FileNew,
                                    cmd::FileOpen,
                                    cmd::FileSave,
                                    0,
                                    cmd::EditCut,
                                    cmd::EditCopy,
                                    cmd::EditPaste,
                                    0,
                                    cmd::FilePrint,
                                    cmd::AppAbout,
                                    0,
                                    cmd::StopCapture};

constexpr Accelerator kAccelerators[] = {
    {"Ctrl+N", cmd::FileNew},
    {"Ctrl+O", cmd::FileOpen},
    {"Ctrl+S", cmd::FileSave},
    {"Ctrl+P", cmd::FilePrint},
    {"Ctrl+Z", cmd::EditUndo},
    {"Alt+Backspace", cmd::EditUndo},
    {"Ctrl+X", cmd::EditCut},
    {"Shift+Del", cmd::EditCut},
    {"Ctrl+C", cmd::EditCopy},
    {"Ctrl+Ins", cmd::EditCopy},
    {"Ctrl+V", cmd::EditPaste},
    {"Shift+Ins", cmd::EditPaste},
    {"Ctrl+A", cmd::EditSelectAll},
    {"Ctrl+F", cmd::EditFind},
    {"F3", cmd::EditFindNext},
    {"Ctrl+H", cmd::EditReplace},
    {"Ctrl+Shift+F", cmd::ViewSearchPane},
    {"Alt+Enter", cmd::ObjectProperties},
    {"Alt+Return", cmd::ObjectProperties},
    {"F6", cmd::NextPane},
    {"Shift+F6", cmd::PrevPane},
    {"Esc", cmd::Escape},
    {"Ctrl+G", cmd::GoToLine},
    {"Ctrl+F2", cmd::ToggleMark},
    {"F2", cmd::NextMark},
    {"Shift+F2", cmd::PreviousMark},
};

}  // namespace

std::span<const CommandSpec> commandTable() { return kCommands; }

const CommandSpec* findCommand(int id) {
    for (const CommandSpec& c : kCommands) {
        if (c.id == id) return &c;
    }
    return nullptr;
}

std::span<const int> contextMenuCommands() { return kContextMenu; }
std::span<const int> standardToolbarCommands() { return kStandardToolbar; }
std::span<const Accelerator> acceleratorTable() { return kAccelerators; }

}  // namespace nimbrel::gui

#include "gui/window/command_table.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace nimbrel::gui {
namespace {

using enum Mark;
using enum EnableRule;
using M = MarkSource;
using C = MenuCommand;

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

// clang-format off
constexpr CommandSpec kCommands[] = {
    // id, menu, text, mark, mark source, enable, separator before, hint[, toolbar slot,
    // context-menu slot, more keys]
    {C::FileNew, kFile, "&New\tCtrl+N", None, M::None, Always, false, "Create a new document",
     {1}},
    {C::FileOpen, kFile, "&Open...\tCtrl+O", None, M::None, Always, false,
     "Open a text log file", {2}},
    {C::OpenRawData, kFile, "Open Raw Data", None, M::None, Always, false,
     "Replay a raw data file"},
    {C::ExportHciPackets, kFile, "&Export HCI Packets...", None, M::None, Always, false,
     "Write the HCI packets of a raw data file as a btsnoop file for btmon and Wireshark"},
    {C::FileSave, kFile, "&Save\tCtrl+S", None, M::None, Always, false, "Save the log text",
     {3}},
    {C::FileSaveAs, kFile, "Save &As...", None, M::None, Always, false,
     "Save the log text under a new name"},
    {C::ExportShownLines, kFile, "&Export Shown Lines...", None, M::None, FilterOn, false,
     "Save only the lines the filter shows"},
    {C::FilePrint, kFile, "&Print...\tCtrl+P", None, M::None, Always, true, "Print the log text",
     {7, true}},
    {C::FilePrintPreview, kFile, "Print Pre&view", None, M::None, Always, false,
     "Show how the printed log will look"},
    {C::FilePrintSetup, kFile, "P&rint Setup...", None, M::None, Always, false,
     "Choose a printer and its options"},
    {C::RecentFile, kFile, "Recent File", None, M::None, HasRecentFiles, true,
     "Open a recently used file"},
    {C::AppExit, kFile, "E&xit", None, M::None, Always, true, "Quit the application"},

    {C::EditUndo, kEdit, "&Undo\tCtrl+Z", None, M::None, CanUndo, false, "Undo the last edit",
     {}, {}, "Alt+Backspace"},
    {C::EditCut, kEdit, "Cu&t\tCtrl+X", None, M::None, HasSelection, true,
     "Cut the selection to the clipboard", {4, true}, {1}, "Shift+Del"},
    {C::EditCopy, kEdit, "&Copy\tCtrl+C", None, M::None, HasSelection, false,
     "Copy the selection to the clipboard", {5}, {2}, "Ctrl+Ins"},
    {C::EditPaste, kEdit, "&Paste\tCtrl+V", None, M::None, CanPaste, false,
     "Insert the clipboard's text", {6}, {3}, "Shift+Ins"},
    {C::EditPasteSpecial, kEdit, "Paste &Special...", None, M::None, Never, false,
     "Insert the clipboard in a chosen format"},
    {C::EditSelectAll, kEdit, "Select A&ll\tCtrl+A", None, M::None, HasText, true,
     "Select the whole text", {}, {4}},
    {C::EditFind, kEdit, "&Find...\tCtrl+F", None, M::None, HasText, true, "Find a text"},
    {C::EditFindNext, kEdit, "F&ind Next\tF3", None, M::None, HasText, false,
     "Find the next occurrence of the text"},
    {C::EditReplace, kEdit, "R&eplace\tCtrl+H", None, M::None, HasText, false,
     "Replace a text with another"},
    {C::GoToLine, kEdit, "&Go To Line...\tCtrl+G", None, M::None, HasText, true,
     "Move the caret to a line given by its number"},
    {C::ToggleMark, kEdit, "Toggle &Mark\tCtrl+F2", None, M::None, Always, false,
     "Mark the caret's line, or take its mark away"},
    {C::NextMark, kEdit, "Ne&xt Mark\tF2", None, M::None, HasMarks, false,
     "Move to the next marked line"},
    {C::PreviousMark, kEdit, "Pre&vious Mark\tShift+F2", None, M::None, HasMarks, false,
     "Move to the previous marked line"},
    {C::InsertNewObject, kEdit, "Insert &New Object...", None, M::None, Never, true,
     "Insert an embedded object"},
    {C::EditLinks, kEdit, "Lin&ks...", None, M::None, Never, false, "Edit the linked objects"},
    {C::ObjectProperties, kEdit, "Object P&roperties\tAlt+Enter", None, M::None, Never, false,
     "Show the properties of the selected object", {}, {}, "Alt+Return"},
    {C::ObjectVerbFirst, kEdit, "&Object", None, M::None, Never, false,
     "Act on the selected object"},

    {C::ViewToolbars, kView, "&Toolbars and Docking Windows", None, M::None, Always, false,
     "Show or hide the toolbars"},
    {C::ViewStatusBar, kView, "&Status Bar", Check, M::StatusBar, Always, false,
     "Show or hide the status bar"},
    {C::ViewSearchPane, kView, "Search &Pane\tCtrl+Shift+F", Check, M::SearchPane, Always, false,
     "Search every line and list the hits"},
    {C::ViewHighlightRules, kView, "&Highlight Rules...", None, M::None, Always, false,
     "Colour the texts that matter wherever they appear"},
    {C::FilterRed, kFilter, "[&R] Lines", Check, M::LineFilter, Always, false,
     "Show or hide the red lines"},
    {C::FilterYellow, kFilter, "[&Y] Lines", Check, M::LineFilter, Always, false,
     "Show or hide the yellow lines"},
    {C::FilterGreen, kFilter, "[&G] Lines", Check, M::LineFilter, Always, false,
     "Show or hide the green lines"},
    {C::FilterBlue, kFilter, "[&B] Lines", Check, M::LineFilter, Always, false,
     "Show or hide the blue lines"},
    {C::FilterWhite, kFilter, "[&W] Lines", Check, M::LineFilter, Always, false,
     "Show or hide the white lines"},
    {C::FilterGrey, kFilter, "[&D] and Untagged Lines", Check, M::LineFilter, Always, false,
     "Show or hide the grey lines: [D] records and text without a tag"},
    {C::FilterDecoded, kFilter, "De&coded Lines", Check, M::LineFilter, Always, false,
     "Show or hide the decoded lines under a record"},
    {C::FilterSearchOnly, kFilter, "Only Lines &Matching the Search", Check, M::LineFilter,
     HasSearch, true, "Show only the lines the search found"},
    {C::FilterShowAll, kFilter, "Show &All Lines", None, M::None, FilterOn, true,
     "Turn every filter off"},
    {C::LookWindows2000, kLook, "Windows &2000", Radio, M::ApplicationLook, Always, false,
     "Plain classic look"},
    {C::LookOfficeXp, kLook, "Office &XP", Radio, M::ApplicationLook, Always, false,
     "Office XP look"},
    {C::LookWindowsXp, kLook, "&Windows XP", Radio, M::ApplicationLook, Always, false,
     "Windows XP look"},
    {C::LookOffice2003, kLook, "Office 200&3", Radio, M::ApplicationLook, Always, false,
     "Office 2003 look"},
    {C::LookVs2005, kLook, "Visual Studio.NET 200&5", Radio, M::ApplicationLook, Always, false,
     "Visual Studio 2005 look"},
    {C::LookBlue, kLook2007, "&Blue Style", Radio, M::ApplicationLook, Always, false,
     "Office 2007 look, blue"},
    {C::LookBlack, kLook2007, "B&lack Style", Radio, M::ApplicationLook, Always, false,
     "Office 2007 look, black"},
    {C::LookSilver, kLook2007, "&Silver Style", Radio, M::ApplicationLook, Always, false,
     "Office 2007 look, silver"},
    {C::LookAqua, kLook2007, "&Aqua Style", Radio, M::ApplicationLook, Always, false,
     "Office 2007 look, aqua"},

    {C::DebugWithFilterDriver, kDebug, "With Filter Driver", None, M::None, Always, false,
     "Capture the log through the Bluetooth filter driver"},
    {C::DebugWithCom, kDebug, "With Com", None, M::None, Always, false,
     "Capture the log from the serial port chosen in Com Setting"},
    {C::DebugWithUartDriver, kDebug, "With Uart Driver", None, M::None, Always, false,
     "Capture the log through the UART bus driver"},
    {C::StopCapture, kDebug, "&Stop Capture", None, M::None, Capturing, true,
     "Stop the running capture and keep its text", {9, true}},

    {C::ComSetting, kSetting, "Com Setting", None, M::None, Always, false,
     "Choose the serial port and its baud rate"},
    {C::Log1Path, kSetting, "Log1 Path", None, M::None, Always, false,
     "Choose the message definition file"},
    {C::AddStringFilter, kSetting, "Add String Filter", None, M::None, Always, false,
     "Hide the lines that contain chosen strings"},
    {C::IcTypeAmber, kIcType, "Amber", Check, M::IcType, Never, false,
     "Definitions of the Amber chip"},
    {C::IcTypeBasalt, kIcType, "Basalt", Check, M::IcType, Always, false,
     "Definitions of the Basalt chip"},
    {C::IcTypeCobalt, kIcType, "Cobalt", Check, M::IcType, Always, false,
     "Definitions of the Cobalt chip"},
    {C::IcTypeDolomite, kIcType, "Dolomite", Check, M::IcType, Always, false,
     "Definitions of the Dolomite chip"},
    {C::IcTypeEmber, kIcType, "Ember", None, M::None, Always, false, "The chip is an Ember"},
    {C::IcTypeFlint, kIcType, "Flint", None, M::None, Always, false, "The chip is a Flint"},
    {C::AutoParseLog, kSetting, "Auto Parse Log", Check, M::AutoParseLog, Always, false,
     "Decode HCI commands, HCI events and LMP PDUs"},
    {C::AutoGenerateRawData, kSetting, "Auto Generate Raw Data", Check, M::AutoSaveRawData,
     Always, false, "Record the captured records into a raw data file"},
    {C::AutoCatchLogUsb, kSetting, "Auto Catch Log @USB Platform", Check, M::AutoGetLog, Always,
     false, "Start at log-on and capture through the filter driver"},
    {C::AutoCatchLogUart, kSetting, "Auto Catch Log @Uart Platform", Check, M::AutoGetLogForUart,
     Always, false, "Start at log-on and capture through the UART driver"},
    {C::AutoFixTimeStamp, kSetting, "Auto Fix TimeStamp", Check, M::AutoFixTimeStamp, Always,
     false, "Repair implausible time stamps during a replay"},

    {C::UartInBox, kControl, "Uart_In_Box", None, M::None, Always, false,
     "Send eight bytes to the controller over the serial port"},

    {C::AppAbout, kHelp, "&About Nimbrel...", None, M::None, Always, false,
     "Show the program's version", {8}},

    // Context menu only.
    {C::EditClear, "", "Clear", None, M::None, HasText, false, "Empty the view",
     {}, {5, true}},
    {C::Pause, "", "Pause", None, M::None, Always, false,
     "Hold the record lines back, or show them again", {}, {6}},
    // Keys only.
    {C::NextPane, "", "Next Pane", None, M::None, Always, false, "Move to the next pane",
     {}, {}, "F6"},
    {C::PrevPane, "", "Previous Pane", None, M::None, Always, false, "Move to the previous pane",
     {}, {}, "Shift+F6"},
    {C::Escape, "", "Escape", None, M::None, Always, false, "", {}, {}, "Esc"},
    {C::ToolbarCustomize, "", "Customize...", None, M::None, Always, false,
     "Add and remove toolbar commands"},
};
// clang-format on

}  // namespace

std::span<const CommandSpec> commandTable() { return kCommands; }

const CommandSpec* findCommand(MenuCommand id) { return findCommandNumber(commandNumber(id)); }

const CommandSpec* findCommandNumber(int number) {
    for (const CommandSpec& row : kCommands) {
        if (commandNumber(row.id) == number) return &row;
    }
    return nullptr;
}

namespace {

std::vector<const CommandSpec*> inSlotOrder(Slot CommandSpec::*slot) {
    std::vector<const CommandSpec*> rows;
    for (const CommandSpec& row : kCommands) {
        if ((row.*slot).order > 0) rows.push_back(&row);
    }
    std::ranges::sort(rows, {}, [slot](const CommandSpec* row) { return (row->*slot).order; });
    return rows;
}

}  // namespace

std::vector<const CommandSpec*> contextMenuCommands() {
    return inSlotOrder(&CommandSpec::contextMenu);
}

std::vector<const CommandSpec*> standardToolbarCommands() {
    return inSlotOrder(&CommandSpec::toolbar);
}

std::vector<std::string> commandKeys(const CommandSpec& row) {
    std::vector<std::string> keys;
    if (const char* tab = std::strchr(row.text, '\t')) keys.emplace_back(tab + 1);
    std::string_view more = row.moreKeys;
    while (!more.empty()) {
        const std::size_t end = more.find("; ");
        keys.emplace_back(more.substr(0, end));
        more = end == std::string_view::npos ? std::string_view() : more.substr(end + 2);
    }
    return keys;
}

}  // namespace nimbrel::gui

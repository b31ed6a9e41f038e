// Every command of the window as data: its identifier, where it sits in the menus, its
// text with the '&' mnemonic (and, after a tab, the shortcut the menu shows), the mark it can show
// and the rule that enables it. The menus, the context menu, the toolbar and the accelerators are
// all built from these tables.
#pragma once

#include <span>

#include "app/menu_commands.h"

namespace nimbrel::gui {

// Command numbers by their short names here; the numbers themselves are shared with the
// rest of the program. The frame's key-only commands have no menu entry.
namespace cmd {
// File
inline constexpr int FileNew = commandNumber(MenuCommand::FileNew);
inline constexpr int FileOpen = commandNumber(MenuCommand::FileOpen);
inline constexpr int FileSave = commandNumber(MenuCommand::FileSave);
inline constexpr int FileSaveAs = commandNumber(MenuCommand::FileSaveAs);
inline constexpr int FilePrintSetup = commandNumber(MenuCommand::FilePrintSetup);
inline constexpr int FilePrint = commandNumber(MenuCommand::FilePrint);
inline constexpr int FilePrintPreview = commandNumber(MenuCommand::FilePrintPreview);
inline constexpr int FileMru = commandNumber(MenuCommand::RecentFile);
inline constexpr int OpenRawData = commandNumber(MenuCommand::OpenRawData);
inline constexpr int ExportHciPackets = commandNumber(MenuCommand::ExportHciPackets);
inline constexpr int AppExit = commandNumber(MenuCommand::AppExit);
// Edit
inline constexpr int EditClear = commandNumber(MenuCommand::EditClear);
inline constexpr int EditCopy = commandNumber(MenuCommand::EditCopy);
inline constexpr int EditCut = commandNumber(MenuCommand::EditCut);
inline constexpr int EditFind = commandNumber(MenuCommand::EditFind);
inline constexpr int EditPaste = commandNumber(MenuCommand::EditPaste);
inline constexpr int EditPasteSpecial = commandNumber(MenuCommand::EditPasteSpecial);
inline constexpr int EditFindNext = commandNumber(MenuCommand::EditFindNext);
inline constexpr int EditReplace = commandNumber(MenuCommand::EditReplace);
inline constexpr int EditSelectAll = commandNumber(MenuCommand::EditSelectAll);
inline constexpr int EditUndo = commandNumber(MenuCommand::EditUndo);
inline constexpr int InsertObject = commandNumber(MenuCommand::InsertNewObject);
inline constexpr int EditLinks = commandNumber(MenuCommand::EditLinks);
inline constexpr int ObjectProperties = commandNumber(MenuCommand::ObjectProperties);
inline constexpr int ObjectVerbs = commandNumber(MenuCommand::ObjectVerbFirst);
inline constexpr int Pause = commandNumber(MenuCommand::Pause);
// View
inline constexpr int ViewToolbars = commandNumber(MenuCommand::ViewToolbars);
inline constexpr int ViewStatusBar = commandNumber(MenuCommand::ViewStatusBar);
inline constexpr int LookWindows2000 = commandNumber(MenuCommand::ApplicationLookFirst);
inline constexpr int LookOfficeXp = LookWindows2000 + 1;
inline constexpr int LookWindowsXp = LookWindows2000 + 2;
inline constexpr int LookOffice2003 = LookWindows2000 + 3;
inline constexpr int LookVs2005 = LookWindows2000 + 4;
inline constexpr int LookBlue = LookWindows2000 + 5;
inline constexpr int LookBlack = LookWindows2000 + 6;
inline constexpr int LookSilver = LookWindows2000 + 7;
inline constexpr int LookAqua = LookWindows2000 + 8;
inline constexpr int ToolbarCustomize = commandNumber(MenuCommand::ToolbarCustomize);
inline constexpr int ViewSearchPane = commandNumber(MenuCommand::ViewSearchPane);
inline constexpr int ViewHighlightRules = commandNumber(MenuCommand::ViewHighlightRules);
// Debug
inline constexpr int DebugWithFilterDriver = commandNumber(MenuCommand::DebugWithFilterDriver);
inline constexpr int DebugWithCom = commandNumber(MenuCommand::DebugWithCom);
inline constexpr int DebugWithUartDriver = commandNumber(MenuCommand::DebugWithUartDriver);
inline constexpr int StopCapture = 32800;
// Setting
inline constexpr int ComSetting = commandNumber(MenuCommand::ComSetting);
inline constexpr int Log1Path = commandNumber(MenuCommand::Log1Path);
inline constexpr int AddStringFilter = commandNumber(MenuCommand::AddStringFilter);
inline constexpr int IcAmber = commandNumber(MenuCommand::IcTypeAmber);
inline constexpr int IcBasalt = commandNumber(MenuCommand::IcTypeBasalt);
inline constexpr int IcCobalt = commandNumber(MenuCommand::IcTypeCobalt);
inline constexpr int IcDolomite = commandNumber(MenuCommand::IcTypeDolomite);
inline constexpr int IcEmber = commandNumber(MenuCommand::IcTypeEmber);
inline constexpr int IcFlint = commandNumber(MenuCommand::IcTypeFlint);
inline constexpr int AutoParseLog = commandNumber(MenuCommand::AutoParseLog);
inline constexpr int AutoGenerateRawData = commandNumber(MenuCommand::AutoGenerateRawData);
inline constexpr int AutoCatchLogUsb = commandNumber(MenuCommand::AutoCatchLogUsb);
inline constexpr int AutoCatchLogUart = commandNumber(MenuCommand::AutoCatchLogUart);
inline constexpr int AutoFixTimeStamp = commandNumber(MenuCommand::AutoFixTimeStamp);
// Control, Help
inline constexpr int UartInBox = commandNumber(MenuCommand::UartInBox);
inline constexpr int AppAbout = commandNumber(MenuCommand::AppAbout);
// Finding one's way in a long log
inline constexpr int GoToLine = 32801;
inline constexpr int ToggleMark = 32802;
inline constexpr int NextMark = 32803;
inline constexpr int PreviousMark = 32804;
// View > Filter: the kinds of line shown
inline constexpr int FilterRed = 32805;
inline constexpr int FilterYellow = 32806;
inline constexpr int FilterGreen = 32807;
inline constexpr int FilterBlue = 32808;
inline constexpr int FilterWhite = 32809;
inline constexpr int FilterGrey = 32810;
inline constexpr int FilterDecoded = 32811;
inline constexpr int FilterSearchOnly = 32812;
inline constexpr int FilterShowAll = 32813;
inline constexpr int ExportShownLines = 32814;
// Commands with a key only
inline constexpr int NextPane = 57680;
inline constexpr int PrevPane = 57681;
inline constexpr int Escape = 32768;  // bound to Esc, handled by nobody
}  // namespace cmd

// What the menu item shows.
enum class Mark { None, Check, Radio };

// When the item is enabled.
enum class EnableRule {
    Always,
    Never,         // embedded objects (not available here), "Amber"
    NotYet,        // file commands the window does not offer yet
    HasText,       // the view holds text
    HasSelection,  // text is selected
    CanPaste,      // the clipboard offers plain text
    CanUndo,
    HasRecentFiles,  // the recent-file list is not empty
    Capturing,       // a capture route holds the view (not a replay or a text-log load)
    HasMarks,        // a line of the view is marked
    FilterOn,        // a tag filter hides lines
    HasSearch,       // the view was given the lines a search matched
};

// The state a check or radio mark shows.
enum class MarkSource {
    None,
    AutoParseLog,
    AutoSaveRawData,
    AutoGetLog,
    AutoGetLogForUart,
    AutoFixTimeStamp,
    IcType,           // m_nIcType equals the chip of the command
    ApplicationLook,  // the current look is the command
    StatusBar,
    SearchPane,  // the search pane is shown
    LineFilter,  // the view's filter shows the command's kind of line
};

struct CommandSpec {
    int id;
    // Menu path, levels separated by '/'; empty when the command has no main-menu entry.
    const char* menu;
    // Text with its '&' mnemonic; after a tab, the shortcut the menu shows.
    const char* text;
    Mark mark;
    MarkSource markSource;
    EnableRule enable;
    bool separatorBefore;
    // Prompt shown in the status bar while the item is highlighted.
    const char* hint;
};

// Every command, in menu order.
std::span<const CommandSpec> commandTable();
// nullptr when the id is unknown.
const CommandSpec* findCommand(int id);

// The view's context menu: command ids in order, 0 for a separator.
std::span<const int> contextMenuCommands();

// The toolbar "Standard": command ids in order, 0 for a separator.
std::span<const int> standardToolbarCommands();

// Keys and the commands they run.
struct Accelerator {
    const char* keys;  // QKeySequence portable text
    int id;
};
std::span<const Accelerator> acceleratorTable();

}  // namespace nimbrel::gui

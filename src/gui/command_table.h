// Every command of the window as data: its identifier, where it sits in the menus, its
// text with the '&' mnemonic (and, after a tab, the shortcut the menu shows), which object
// handles it, the mark it can show and the rule that enables it. The menus, the context
// menu, the toolbar and the accelerators are all built from these tables.
#pragma once

#include <span>

namespace nimbrel::gui {

namespace cmd {
// File
inline constexpr int FileNew = 57600;
inline constexpr int FileOpen = 57601;
inline constexpr int FileSave = 57603;
inline constexpr int FileSaveAs = 57604;
inline constexpr int FilePrintSetup = 57606;
inline constexpr int FilePrint = 57607;
inline constexpr int FilePrintPreview = 57609;
inline constexpr int FileMru = 57616;
inline constexpr int OpenRawData = 1018;
inline constexpr int AppExit = 57665;
// Edit
inline constexpr int EditClear = 57632;
inline constexpr int EditCopy = 57634;
inline constexpr int EditCut = 57635;
inline constexpr int EditFind = 57636;
inline constexpr int EditPaste = 57637;
inline constexpr int EditPasteSpecial = 57639;
inline constexpr int EditFindNext = 57640;
inline constexpr int EditReplace = 57641;
inline constexpr int EditSelectAll = 57642;
inline constexpr int EditUndo = 57643;
inline constexpr int InsertObject = 57856;
inline constexpr int EditLinks = 57857;
inline constexpr int ObjectProperties = 57860;
inline constexpr int ObjectVerbs = 57872;
inline constexpr int Pause = 1017;
// View
inline constexpr int ViewToolbars = 59392;
inline constexpr int ViewStatusBar = 59393;
inline constexpr int LookWindows2000 = 210;
inline constexpr int LookOfficeXp = 211;
inline constexpr int LookWindowsXp = 212;
inline constexpr int LookOffice2003 = 213;
inline constexpr int LookVs2005 = 214;
inline constexpr int LookBlue = 215;
inline constexpr int LookBlack = 216;
inline constexpr int LookSilver = 217;
inline constexpr int LookAqua = 218;
inline constexpr int ToolbarCustomize = 126;
// Debug
inline constexpr int DebugWithFilterDriver = 1006;
inline constexpr int DebugWithCom = 1007;
inline constexpr int DebugWithUartDriver = 32772;
// Setting
inline constexpr int ComSetting = 1008;
inline constexpr int Log1Path = 1009;
inline constexpr int AddStringFilter = 32776;
inline constexpr int IcAmber = 1011;
inline constexpr int IcBasalt = 1012;
inline constexpr int IcCobalt = 1013;
inline constexpr int IcDolomite = 1014;
inline constexpr int IcEmber = 32777;
inline constexpr int IcFlint = 32778;
inline constexpr int AutoParseLog = 1016;
inline constexpr int AutoGenerateRawData = 32771;
inline constexpr int AutoCatchLogUsb = 32774;
inline constexpr int AutoCatchLogUart = 32775;
inline constexpr int AutoFixTimeStamp = 32779;
// Control, Help
inline constexpr int UartInBox = 32773;
inline constexpr int AppAbout = 57664;
// Commands with a key only
inline constexpr int NextPane = 57680;
inline constexpr int PrevPane = 57681;
inline constexpr int Escape = 32768;  // bound to Esc, handled by nobody
}  // namespace cmd

// The class whose handlers receive the command; the view is asked first, then the frame,
// then the application.
enum class Owner { View, Frame, App };

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
};

struct CommandSpec {
    int id;
    // Menu path, levels separated by '/'; empty when the command has no main-menu entry.
    const char* menu;
    // Text with its '&' mnemonic; after a tab, the shortcut the menu shows.
    const char* text;
    Owner owner;
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

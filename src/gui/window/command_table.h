// Every command of the window as data, one row each: where it sits in the menus, its text
// with the '&' mnemonic (and, after a tab, the shortcut the menu shows), its other keys, its
// places in the view's context menu and on the toolbar, the mark it can show and the rule that
// enables it. The menus, the context menu, the toolbar and the keys are all built from the
// table, and every row gets exactly one handler (see command_registry.h).
#pragma once

#include <span>
#include <string>
#include <vector>

#include "app/menu_commands.h"

namespace nimbrel::gui {

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

// A command's place in a short list (the context menu, the toolbar): its position from 1
// (0: not in the list) and whether a separator comes before it.
struct Slot {
    int order = 0;
    bool separatorBefore = false;
};

struct CommandSpec {
    MenuCommand id;
    // Menu path, levels separated by '/'; empty when the command has no main-menu entry.
    const char* menu;
    // Text with its '&' mnemonic; after a tab, the command's first key, which the menu shows.
    const char* text;
    Mark mark;
    MarkSource markSource;
    EnableRule enable;
    bool separatorBefore;
    // Prompt shown in the status bar while the item is highlighted.
    const char* hint;
    Slot toolbar = {};      // on the toolbar "Standard"
    Slot contextMenu = {};  // in the view's context menu
    // Its other keys (QKeySequence portable text, "; " between two), after the text's one.
    const char* moreKeys = "";
};

// Every command, in menu order.
std::span<const CommandSpec> commandTable();
// nullptr when the command is not in the table.
const CommandSpec* findCommand(MenuCommand id);
// The row of a command number as kept in a QAction or a stored toolbar layout; nullptr when
// no row has it.
const CommandSpec* findCommandNumber(int number);

// The commands of the view's context menu or the toolbar "Standard", in their order.
std::vector<const CommandSpec*> contextMenuCommands();
std::vector<const CommandSpec*> standardToolbarCommands();

// Every key of a command, the one its menu text shows first (QKeySequence portable text).
std::vector<std::string> commandKeys(const CommandSpec& row);

}  // namespace nimbrel::gui

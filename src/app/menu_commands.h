// The commands of the window, each declared once here with its number: the main menu, the
// view's context menu, the toolbar and the keys all name them, and their handlers are bound
// to them. The numbers are also what stored toolbar layouts and Application Look keep. No Qt
// here, so that any layer above the core can use it.
#pragma once

namespace nimbrel {

enum class MenuCommand : int {
    // File
    FileNew = 57600,
    FileOpen = 57601,
    OpenRawData = 1018,
    ExportHciPackets = 32780,
    FileSave = 57603,
    FileSaveAs = 57604,
    FilePrint = 57607,
    FilePrintDirect = 57608,
    FilePrintPreview = 57609,
    FilePrintSetup = 57606,
    RecentFile = 57616,
    AppExit = 57665,
    // Edit
    EditUndo = 57643,
    EditCut = 57635,
    EditCopy = 57634,
    EditPaste = 57637,
    EditPasteSpecial = 57639,
    EditSelectAll = 57642,
    EditFind = 57636,
    EditFindNext = 57640,
    EditReplace = 57641,
    GoToLine = 32801,
    ToggleMark = 32802,
    NextMark = 32803,
    PreviousMark = 32804,
    InsertNewObject = 57856,
    EditLinks = 57857,
    ObjectProperties = 57860,
    ObjectVerbFirst = 57872,
    // View
    ViewToolbars = 59392,
    ViewStatusBar = 59393,
    ViewSearchPane = 32790,
    ViewHighlightRules = 32791,
    // View > Filter: the kinds of line shown
    FilterRed = 32805,
    FilterYellow = 32806,
    FilterGreen = 32807,
    FilterBlue = 32808,
    FilterWhite = 32809,
    FilterGrey = 32810,
    FilterDecoded = 32811,
    FilterSearchOnly = 32812,
    FilterShowAll = 32813,
    ExportShownLines = 32814,
    // View > Application Look: the numbers are the stored look, in this order
    LookWindows2000 = 210,
    LookOfficeXp = 211,
    LookWindowsXp = 212,
    LookOffice2003 = 213,
    LookVs2005 = 214,
    LookBlue = 215,
    LookBlack = 216,
    LookSilver = 217,
    LookAqua = 218,
    // Debug
    DebugWithFilterDriver = 1006,
    DebugWithCom = 1007,
    DebugWithUartDriver = 32772,
    StopCapture = 32800,
    // Setting
    ComSetting = 1008,
    Log1Path = 1009,
    AddStringFilter = 32776,
    IcTypeAmber = 1011,
    IcTypeBasalt = 1012,
    IcTypeCobalt = 1013,
    IcTypeDolomite = 1014,
    IcTypeEmber = 32777,
    IcTypeFlint = 32778,
    AutoParseLog = 1016,
    AutoGenerateRawData = 32771,
    AutoCatchLogUsb = 32774,
    AutoCatchLogUart = 32775,
    AutoFixTimeStamp = 32779,
    // Control
    UartInBox = 32773,
    // Help
    AppAbout = 57664,
    // Context menu of the view
    EditClear = 57632,
    Pause = 1017,
    // The frame's commands without a menu entry
    ToolbarCustomize = 126,
    NextPane = 57680,
    PrevPane = 57681,
    Escape = 32768,  // bound to Esc so that the key does nothing
};

constexpr int commandNumber(MenuCommand command) { return static_cast<int>(command); }

}  // namespace nimbrel

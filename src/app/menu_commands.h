// The command numbers of the main menu, the view's context menu and the frame. Menu
// entries, toolbar buttons and the handlers that take a number (the IC Type commands,
// Application Look) share them. No Qt here, so that any layer above the core can use it.
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
    InsertNewObject = 57856,
    EditLinks = 57857,
    ObjectProperties = 57860,
    ObjectVerbFirst = 57872,
    // View
    ViewToolbars = 59392,
    ViewStatusBar = 59393,
    ApplicationLookFirst = 210,
    ApplicationLookDefault = 214,
    ApplicationLookLast = 218,
    ToolbarCustomize = 126,
    ViewSearchPane = 32790,
    ViewHighlightRules = 32791,
    // Debug
    DebugWithFilterDriver = 1006,
    DebugWithCom = 1007,
    DebugWithUartDriver = 32772,
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
};

constexpr int commandNumber(MenuCommand command) { return static_cast<int>(command); }

}  // namespace nimbrel

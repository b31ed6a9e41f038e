// Setting > IC Type: the per-chip message definition files in the program folder.
#pragma once

#include "app/menu_commands.h"

namespace nimbrel {

class DefinitionFilePath;
class LogConsole;
class Log1PathStore;

struct IcTypeFile {
    MenuCommand command;
    const char16_t* fileName;
    int icType;  // the view's m_nIcType after the command
};
inline constexpr IcTypeFile kIcTypeFiles[] = {
    {MenuCommand::IcTypeAmber, u"log_amber.h", 0},
    {MenuCommand::IcTypeBasalt, u"log_basalt.h", 1},
    {MenuCommand::IcTypeCobalt, u"log_cobalt.h", 2},
    {MenuCommand::IcTypeDolomite, u"log_dolomite.h", 3},
};

// IC Type commands Amber to Dolomite: adopts the chip's file from the program folder (a
// missing file is reported in red and adopted all the same) and remembers it. Returns the
// new m_nIcType, or -1 without doing anything for any other command.
int chooseIcTypeDefinitionFile(DefinitionFilePath& inUse, MenuCommand command,
                               const Log1PathStore& store, LogConsole& console);

}  // namespace nimbrel

#include "app/ic_type_choice.h"

#include "pipeline/definition_file_choice.h"
#include "pipeline/log_console.h"

namespace nimbrel {

int chooseIcTypeDefinitionFile(DefinitionFilePath& inUse, MenuCommand command,
                               const Log1PathStore& store, LogConsole& console) {
    for (const IcTypeFile& chip : kIcTypeFiles) {
        if (chip.command != command) continue;
        const std::u16string path = programFolderFile(chip.fileName);
        if (!definitionFileExists(path))
            console.print(u"[R] File \"%s\" doesn't exist.", {std::u16string_view(path)});
        adoptDefinitionFile(inUse, path, console, "look2");
        store.SetLog1Path(path);
        return chip.icType;
    }
    return -1;
}

}  // namespace nimbrel

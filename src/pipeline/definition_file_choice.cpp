#include "pipeline/definition_file_choice.h"

#include <mutex>

#include "pipeline/log_console.h"
#include "platform/file_handle.h"
#include "platform/path.h"
#include "platform/program_folder.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace nimbrel {
namespace {

void printChoice(LogConsole& console, std::u16string_view path) {
    console.print(u"[G] set log1.h = \"%s\"", {path});
    console.print(u"[Y] !!!Important, please check log1.h!!!");
}

}  // namespace

std::u16string programFolderFile(std::u16string_view fileName) {
    return utf8ToUtf16(joinPath(programFolder(), utf16ToUtf8(fileName)));
}

void adoptDefinitionFile(DefinitionFilePath& inUse, std::u16string_view path, LogConsole& console,
                         const char* traceText) {
    inUse.set(path);
    trace("%s", traceText);
    printChoice(console, path);
}

std::u16string DefinitionFilePath::get() const {
    std::lock_guard lock(mutex_);
    return path_;
}

void DefinitionFilePath::set(std::u16string_view path) {
    std::u16string copy(path);
    std::lock_guard lock(mutex_);
    path_.swap(copy);
}

std::u16string defaultDefinitionFile() { return programFolderFile(u"LOG1.h"); }

bool definitionFileExists(std::u16string_view path) {
    if (path.empty()) return false;
    const FileKind kind = fileStatus(utf16ToUtf8(path)).kind;
    return kind != FileKind::Missing && kind != FileKind::Folder;
}

std::u16string preferredDefinitionFile(std::u16string_view log1Path) {
    if (definitionFileExists(log1Path)) return std::u16string(log1Path);
    return defaultDefinitionFile();
}

void chooseStartupDefinitionFile(DefinitionFilePath& inUse, const Log1PathStore& store,
                                 LogConsole& console) {
    const std::u16string stored = store.GetLog1Path();
    if (definitionFileExists(stored)) {
        inUse.set(stored);
    } else {
        const std::u16string fallback = defaultDefinitionFile();
        inUse.set(fallback);
        store.SetLog1Path(fallback);
    }
    trace("look1\n");
    printChoice(console, inUse.get());
}

Log1PathDialogStart beginLog1PathChoice(const DefinitionFilePath& inUse, const Log1PathStore& store,
                                        LogConsole& console) {
    trace("look3");
    // Shows the file in use before the user picks another one; the reminder to check the
    // file belongs to a choice, and follows only once one is made.
    console.print(u"[G] set log1.h = \"%s\"", {inUse.get()});
    Log1PathDialogStart start{{}, u"LOG1.h"};
    const std::u16string stored = store.GetLog1Path();
    if (const auto slash = stored.rfind(u'/'); slash != std::u16string::npos) {
        start.folder = stored.substr(0, slash == 0 ? 1 : slash);
    }
    return start;
}

bool adoptChosenDefinitionFile(DefinitionFilePath& inUse, std::u16string_view chosenPath,
                               const Log1PathStore& store, LogConsole& console) {
    if (!definitionFileExists(chosenPath)) {
        console.print(u"[R] File \"%s\" doesn't exist.", {chosenPath});
        return false;
    }
    adoptDefinitionFile(inUse, chosenPath, console, "look4");
    store.SetLog1Path(chosenPath);
    return true;
}

}  // namespace nimbrel

// Which message definition file is in use, and how the shell chooses it: at start-up
// (the remembered Log1Path, else LOG1.h in the program folder), by the IC Type commands
// (a per-chip file in the program folder, see app/ic_type_choice.h) and by Setting >
// Log1 Path (a file the user picked). Choosing a file does not load it: the loader reads
// the capture session's DefinitionFilePath at the next capture start or replay.
//
// The GUI and the command line both call these functions; their console lines go through
// the LogConsole they are given.
#pragma once

#include <mutex>
#include <string>
#include <string_view>

namespace nimbrel {

class LogConsole;

// The path of the definition file in use (empty until a choice was made). Written on the
// GUI thread; safe to read from any thread.
class DefinitionFilePath {
public:
    std::u16string get() const;
    void set(std::u16string_view path);

private:
    mutable std::mutex mutex_;
    std::u16string path_;  // guarded by mutex_
};

// Where the choice is remembered between runs (the setting Log1Path).
class Log1PathStore {
public:
    virtual ~Log1PathStore() = default;
    virtual std::u16string GetLog1Path() const = 0;
    // True when the value was written.
    virtual bool SetLog1Path(std::u16string_view path) const = 0;
};

// A file of that name in the program folder.
std::u16string programFolderFile(std::u16string_view fileName);
// LOG1.h in the program folder.
std::u16string defaultDefinitionFile();

// The file a start-up would choose for this remembered path, without storing anything:
// log1Path when it is not empty and names an existing file, else defaultDefinitionFile().
std::u16string preferredDefinitionFile(std::u16string_view log1Path);

// True when the path names something that exists and is not a folder.
bool definitionFileExists(std::u16string_view path);

// Start-up: adopts the remembered file when it exists, otherwise LOG1.h in the program
// folder (without checking that one) and remembers that; then prints which file is used.
void chooseStartupDefinitionFile(DefinitionFilePath& inUse, const Log1PathStore& store,
                                 LogConsole& console);

// Makes `path` the file in use and tells the user which file that is ("[G] set log1.h =
// ..." and the reminder to check it); `traceText` names the command in the trace.
void adoptDefinitionFile(DefinitionFilePath& inUse, std::u16string_view path, LogConsole& console,
                         const char* traceText);

// Setting > Log1 Path, before its file dialog opens: prints the file in use now (the
// "[G] set log1.h" line alone) and
// gives where the dialog starts (the folder of the remembered file, possibly empty, and
// the initial file name "LOG1.h").
struct Log1PathDialogStart {
    std::u16string folder;
    std::u16string fileName;
};
Log1PathDialogStart beginLog1PathChoice(const DefinitionFilePath& inUse, const Log1PathStore& store,
                                        LogConsole& console);

// Setting > Log1 Path, after the dialog was confirmed: a file that does not exist is
// reported in red and changes nothing (false); an existing one is adopted, printed and
// remembered (true).
bool adoptChosenDefinitionFile(DefinitionFilePath& inUse, std::u16string_view chosenPath,
                               const Log1PathStore& store, LogConsole& console);

}  // namespace nimbrel

// What the commands that scan a raw data file (replay, export) read and how they report
// it: the definition file (the one given, or the one the GUI would choose) and the raw data
// file. Each failure is reported with the console's red line and the reason in words.
#pragma once

#include <string>

#include "files/raw_data_replay.h"

namespace nimbrel {
class LogConsole;
class MessageDefinitionTable;
}  // namespace nimbrel

namespace nimbrel::cli {

class ProgressLine;

// Loads `given`, or the default definition file when it is empty. False when reported.
bool loadDefinitionsFor(const std::string& given, LogConsole& console,
                        MessageDefinitionTable& definitions);
// Opens the raw data file. False when reported ("doesn't exist", or cannot be read).
bool openRawDataInput(const std::string& path, LogConsole& console, RawDataInput& raw,
                      const char* command);
// The scanner's report of a candidate with an unknown layout: the console's line with where
// the candidate lies in the file, after clearing the progress line.
DefaultCaseReport defaultCaseLine(ProgressLine& progress, LogConsole& console);
// After a scan: reports a read error or a file that became shorter. True when one happened.
bool reportScanFailure(const ReplayScanResult& scan, const std::string& path, LogConsole& console);

}  // namespace nimbrel::cli

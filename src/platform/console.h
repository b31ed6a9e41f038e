// What a console program needs of its terminal: whether a stream is one, how wide it is,
// whether it takes colour escapes, the program's arguments as UTF-8, and a handler for the
// user's request to stop (Ctrl-C, SIGTERM, closing the console window).
#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace nimbrel {

// Makes the console take UTF-8 and the standard streams pass bytes unchanged ("\n" stays
// "\n"). Call once at the start of main().
void prepareConsole();

// The program's arguments as UTF-8 (on Windows taken from the wide command line, so that
// any file name passes; elsewhere argv as it is).
std::vector<std::string> commandLineArguments(int argc, char** argv);

bool isTerminal(std::FILE* stream);
// Columns of the terminal behind `stream`; 0 when unknown.
int terminalColumns(std::FILE* stream);
// True when colour escapes written to `stream` show as colours (switching the console to
// virtual-terminal processing where it supports it); false means plain text.
bool enableTerminalColours(std::FILE* stream);

// Calls `handler` (from a signal handler or a system thread: it may only set an atomic
// flag) when the user asks the program to stop.
void installStopHandler(void (*handler)());

}  // namespace nimbrel

// Developer diagnostics. Short traces ending in "\n" go to stderr when the environment
// variable NIMBREL_TRACE is 1 and are dropped otherwise; they never reach the log view.
// Tests may install a sink to capture them.
#pragma once

#include <functional>
#include <string_view>

namespace nimbrel {

// printf-style trace (the format is a fixed text of the caller, never user data).
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// True when traces are written or captured; lets hot paths skip formatting.
bool traceEnabled();

// Replaces the destination of traces (nullptr restores stderr / NIMBREL_TRACE).
using TraceSink = std::function<void(std::string_view)>;
void setTraceSink(TraceSink sink);

}  // namespace nimbrel

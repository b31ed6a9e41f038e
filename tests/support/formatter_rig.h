// A record formatter wired to an in-memory view and a definition table given as text.
#pragma once

#include <string_view>

#include "pipeline/log_console.h"
#include "pipeline/memory_log_view.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/record_formatter.h"

namespace nimbrel::test {

struct FormatterRig {
    MemoryLogView view;
    StringFilter filter;
    LogConsole console{view, filter};
    MessageDefinitionTable table;
    FormatterToggles toggles;
    RecordFormatter formatter{table, console, toggles};

    explicit FormatterRig(std::string_view definitions) { table.loadFromText(definitions); }
};

}  // namespace nimbrel::test

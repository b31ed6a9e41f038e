#include "gui/window/command_registry.h"

#include <cstddef>
#include <string_view>

#include "gui/window/command_table.h"
#include "platform/trace.h"

namespace nimbrel::gui {
namespace {

// The row of a command in the table, or -1.
std::ptrdiff_t rowIndex(int number) {
    const CommandSpec* row = findCommandNumber(number);
    return row ? row - commandTable().data() : -1;
}

std::string describe(const char* what, MenuCommand command) {
    const CommandSpec* row = findCommand(command);
    std::string text = std::string(what) + " " + std::to_string(commandNumber(command));
    if (row) {
        const std::string_view label = row->text;
        text += " (" + std::string(label.substr(0, label.find('\t'))) + ")";
    }
    return text;
}

}  // namespace

CommandRegistry::CommandRegistry() : handlers_(commandTable().size()) {}

bool CommandRegistry::bind(MenuCommand command, Handler handler) {
    const std::ptrdiff_t row = rowIndex(commandNumber(command));
    if (row < 0) {
        conflicts_.push_back(describe("a handler for a command outside the table:", command));
        return false;
    }
    if (!handler) {
        conflicts_.push_back(describe("an empty handler for command", command));
        return false;
    }
    Handler& slot = handlers_[static_cast<std::size_t>(row)];
    if (slot) {
        conflicts_.push_back(describe("a second handler for command", command));
        return false;
    }
    slot = std::move(handler);
    return true;
}

bool CommandRegistry::isBound(MenuCommand command) const {
    const std::ptrdiff_t row = rowIndex(commandNumber(command));
    return row >= 0 && handlers_[static_cast<std::size_t>(row)];
}

bool CommandRegistry::run(MenuCommand command) const { return run(commandNumber(command)); }

bool CommandRegistry::run(int number) const {
    const std::ptrdiff_t row = rowIndex(number);
    if (row < 0) return false;
    const Handler& handler = handlers_[static_cast<std::size_t>(row)];
    if (!handler) return false;
    handler();
    return true;
}

std::vector<std::string> CommandRegistry::problems() const {
    std::vector<std::string> found = conflicts_;
    const auto rows = commandTable();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!handlers_[i]) found.push_back(describe("no handler for command", rows[i].id));
    }
    return found;
}

bool CommandRegistry::check() const {
    const std::vector<std::string> found = problems();
    for (const std::string& problem : found) trace("CommandRegistry: %s\n", problem.c_str());
    return found.empty();
}

}  // namespace nimbrel::gui

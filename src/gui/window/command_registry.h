// The handlers of the window's commands. The owners of the commands (the view, the frame,
// the application) bind one handler to each row of the command table; a second handler for
// a row, or one for a command the table does not have, is refused. Once every owner has
// bound its commands, check() finds the rows left without a handler: each row has exactly
// one, and a failure here is a programming error.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/menu_commands.h"

namespace nimbrel::gui {

class CommandRegistry {
public:
    using Handler = std::function<void()>;

    CommandRegistry();

    // Binds the handler of a command. False (and the conflict is kept for check()) when the
    // command already has one, is not in the table or the handler is empty.
    bool bind(MenuCommand command, Handler handler);
    bool isBound(MenuCommand command) const;

    // Runs the command's handler; false when the command has none. `number` is a command
    // number as a QAction or a stored toolbar layout keeps it.
    bool run(MenuCommand command) const;
    bool run(int number) const;

    // What is wrong with the bindings, one line each: rows without a handler, refused
    // second handlers, commands outside the table. Empty when every row has exactly one.
    std::vector<std::string> problems() const;
    // The start-up check: traces every problem. True when there is none.
    bool check() const;

private:
    std::vector<Handler> handlers_;  // one per row of the command table, in its order
    std::vector<std::string> conflicts_;
};

}  // namespace nimbrel::gui

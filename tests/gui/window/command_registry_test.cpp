// The command registry: one handler per row of the command table, a second one refused, and
// the start-up check on the real window.
#include "gui/window/command_registry.h"

#include <gtest/gtest.h>

#include <string>

#include "gui/window/command_table.h"
#include "window_test_support.h"

namespace nimbrel::test {
namespace {

using gui::CommandRegistry;
using gui::CommandSpec;
using gui::commandTable;

bool mentions(const std::vector<std::string>& problems, const std::string& text) {
    for (const std::string& p : problems) {
        if (p.find(text) != std::string::npos) return true;
    }
    return false;
}

TEST(CommandRegistry, EachRowTakesOneHandlerAndRefusesASecondOrOneOutsideTheTable) {
    CommandRegistry registry;
    EXPECT_EQ(registry.problems().size(), commandTable().size());  // nothing bound yet
    EXPECT_TRUE(mentions(registry.problems(), "no handler for command 1007 (With Com)"));

    int ran = 0;
    for (const CommandSpec& row : commandTable()) {
        EXPECT_TRUE(registry.bind(row.id, [&ran] { ++ran; })) << row.id;
    }
    EXPECT_TRUE(registry.problems().empty());
    EXPECT_TRUE(registry.check());

    EXPECT_TRUE(registry.run(MenuCommand::DebugWithCom));
    EXPECT_TRUE(registry.run(commandNumber(MenuCommand::Pause)));  // as a QAction keeps it
    EXPECT_EQ(ran, 2);
    EXPECT_FALSE(registry.run(1));  // no such command

    bool second = false;
    EXPECT_FALSE(registry.bind(MenuCommand::DebugWithCom, [&second] { second = true; }));
    EXPECT_FALSE(registry.bind(MenuCommand{1}, [] {}));
    EXPECT_FALSE(registry.bind(MenuCommand::Pause, {}));
    registry.run(MenuCommand::DebugWithCom);
    EXPECT_FALSE(second);  // the first handler stays
    const std::vector<std::string> problems = registry.problems();
    ASSERT_EQ(problems.size(), 3u);
    EXPECT_TRUE(mentions(problems, "a second handler for command 1007 (With Com)"));
    EXPECT_TRUE(mentions(problems, "outside the table: 1"));
    EXPECT_TRUE(mentions(problems, "an empty handler for command 1017 (Pause)"));
    EXPECT_FALSE(registry.check());
}

class CommandRegistryWindowTest : public WindowTest {};

TEST_F(CommandRegistryWindowTest, EveryCommandOfTheStartedWindowHasExactlyOneHandler) {
    startApp();
    const std::vector<std::string> problems = frame().commands().problems();
    for (const std::string& p : problems) ADD_FAILURE() << p;
    for (const CommandSpec& row : commandTable()) {
        EXPECT_TRUE(frame().commands().isBound(row.id)) << row.id;
    }
}

}  // namespace
}  // namespace nimbrel::test

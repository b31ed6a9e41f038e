#include "pipeline/log_console.h"

#include <gtest/gtest.h>

#include <thread>

#include "pipeline/memory_log_view.h"

namespace nimbrel {
namespace {

struct Console {
    MemoryLogView view;
    StringFilter filter;
    LogConsole console{view, filter};
};

TEST(LogConsole, ColourComesFromTheFirstTagInPriorityOrder) {
    Console c;
    c.console.print(u"[G] Write Log to File(%s)", {u"x.log"});
    c.console.print(u"[Y] then [G] and [R]: red wins");
    c.console.print(u"  [W] [B] blue wins over white");
    c.console.print(u"[D] [00001] firmware grey is not a console tag");
    c.console.print(u"[Y] !!!Important, please check log1.h!!!");
    const auto lines = c.view.lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].text, u"[G] Write Log to File(x.log)");
    EXPECT_EQ(lines[0].colour, (Rgb{0, 255, 0}));
    EXPECT_EQ(lines[1].colour, (Rgb{255, 0, 0}));
    EXPECT_EQ(lines[2].colour, (Rgb{100, 255, 255}));
    EXPECT_EQ(lines[3].colour, (Rgb{128, 128, 128}));
    EXPECT_EQ(lines[4].colour, (Rgb{255, 255, 0}));
}

TEST(LogConsole, LongMessagesAreCutAndTextArgumentsAreNeverFormats) {
    Console c;
    c.console.print(u"%s", {std::u16string(3000, u'x')});
    c.console.printText(u"100 %d %s %n");
    const auto lines = c.view.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text.size(), kConsoleMessageLimit);
    EXPECT_EQ(lines[1].text, u"100 %d %s %n");
}

TEST(LogConsole, FilterIsCaseSensitiveAndDropsTheWholeMessage) {
    Console c;
    c.filter.replaceAll({u"HCI", u""});
    c.console.print(u"[G] HCI reset");
    c.console.print(u"[G] hci reset");
    EXPECT_EQ(c.view.plainText(), u"[G] hci reset\n");
}

TEST(LogConsole, ReplacingAllAndMessagesWithoutNewline) {
    Console c;
    c.console.print(u"first");
    c.console.printReplacingAll(u"[R]Analyze raw file to %d %%, please wait...", {42});
    EXPECT_EQ(c.view.plainText(), u"[R]Analyze raw file to 42 %, please wait...\n");
    c.console.printTextWithoutNewline(u"a");
    c.console.printTextWithoutNewline(u"b");
    EXPECT_EQ(c.view.plainText(), u"[R]Analyze raw file to 42 %, please wait...\nab");
}

TEST(StringFilter, ReadersSeeEitherTheOldOrTheNewListWhileItIsReplaced) {
    StringFilter filter;
    std::atomic<bool> stop{false};
    std::thread reader([&] {
        while (!stop) {
            // Both strings are always in the list together, or neither is.
            const bool a = filter.matches(u"alpha");
            const auto list = filter.strings();
            EXPECT_TRUE(list->empty() || list->size() == 2);
            (void)a;
        }
    });
    for (int i = 0; i < 2000; ++i) {
        filter.replaceAll(i % 2 ? StringFilter::List{} : StringFilter::List{u"alpha", u"beta"});
    }
    stop = true;
    reader.join();
    EXPECT_FALSE(filter.matches(u"alpha"));
}

}  // namespace
}  // namespace nimbrel

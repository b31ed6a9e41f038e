// Radio entries counted and watched in a folder of the test's own.
#include "platform/radio_watcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "support/temp_dir.h"
#include "support/wait_until.h"

namespace nimbrel {
namespace {

using namespace std::chrono_literals;

struct Events {
    std::mutex mutex;
    std::vector<std::string> seen;
    void add(std::string e) {
        std::lock_guard lock(mutex);
        seen.push_back(std::move(e));
    }
    bool waitFor(std::size_t count) {
        return test::waitUntil(
            [&] {
                std::lock_guard lock(mutex);
                return seen.size() >= count;
            },
            2s);
    }
    std::vector<std::string> get() {
        std::lock_guard lock(mutex);
        return seen;
    }
};

TEST(RadioWatcher, CountsOnlyRadioEntries) {
    test::TempDir dir;
    ::setenv("NIMBREL_BT_CLASS_DIR", dir.path().c_str(), 1);
    EXPECT_EQ(EnumerateLocalRadios(), 0);
    for (const char* name : {"hci0", "hci1", "hci0:256", "hcix", "hci", "other"})
        ::mkdir(dir.file(name).c_str(), 0755);
    EXPECT_EQ(EnumerateLocalRadios(), 2);  // hci0 and hci1; a connection entry is no radio
    ::setenv("NIMBREL_BT_CLASS_DIR", dir.file("missing").c_str(), 1);
    EXPECT_EQ(EnumerateLocalRadios(), 0);
    ::unsetenv("NIMBREL_BT_CLASS_DIR");
    EXPECT_EQ(radioClassDirectory(), "/sys/class/bluetooth");
}

TEST(RadioWatcher, SeesRadiosComeAndGoAndAFolderThatAppearsLater) {
    test::TempDir dir;
    const std::string folder = dir.file("bluetooth");
    ::mkdir(folder.c_str(), 0755);
    ::mkdir((folder + "/hci0").c_str(), 0755);  // present at the start: no arrival

    Events events;
    RadioWatcher watcher;
    ASSERT_TRUE(watcher.start(folder, {[&](const std::string& e) { events.add("arrival " + e); },
                                       [&](const std::string& e) { events.add("removal " + e); }}));
    EXPECT_FALSE(watcher.start(folder, {}));

    ::mkdir((folder + "/hci1").c_str(), 0755);
    ASSERT_TRUE(events.waitFor(1));
    ::rmdir((folder + "/hci0").c_str());
    ASSERT_TRUE(events.waitFor(2));
    // A symbolic link, as sysfs has them, counts as well.
    ASSERT_EQ(::symlink("/nonexistent", (folder + "/hci7").c_str()), 0);
    ASSERT_TRUE(events.waitFor(3));

    // The whole folder goes (the module unloaded) and comes back.
    ::rmdir((folder + "/hci1").c_str());
    ::unlink((folder + "/hci7").c_str());
    ::rmdir(folder.c_str());
    ASSERT_TRUE(events.waitFor(5));
    ::mkdir(folder.c_str(), 0755);
    ::mkdir((folder + "/hci2").c_str(), 0755);
    ASSERT_TRUE(events.waitFor(6));

    watcher.stop();
    EXPECT_FALSE(watcher.running());
    const std::vector<std::string> seen = events.get();
    ASSERT_EQ(seen.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.begin() + 3),
              (std::vector<std::string>{"arrival hci1", "removal hci0", "arrival hci7"}));
    // The two removals of one pass come in name order.
    EXPECT_EQ(std::vector<std::string>(seen.begin() + 3, seen.end()),
              (std::vector<std::string>{"removal hci1", "removal hci7", "arrival hci2"}));
}

TEST(RadioWatcher, OneRegistrationPerProcess) {
    test::TempDir dir;
    ::setenv("NIMBREL_BT_CLASS_DIR", dir.path().c_str(), 1);
    // The registration outlives the test: its callbacks use nothing of the test's frame.
    static Events events;
    ASSERT_TRUE(
        registerRadioNotification({[](const std::string& e) { events.add("first " + e); }, {}}));
    EXPECT_TRUE(radioNotificationRegistered());
    EXPECT_FALSE(
        registerRadioNotification({[](const std::string& e) { events.add("second " + e); }, {}}));
    ::mkdir(dir.file("hci3").c_str(), 0755);
    ASSERT_TRUE(events.waitFor(1));
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(events.get(), std::vector<std::string>{"first hci3"});
    ::unsetenv("NIMBREL_BT_CLASS_DIR");
}

}  // namespace
}  // namespace nimbrel

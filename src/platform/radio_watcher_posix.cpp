#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "platform/radio_watcher.h"

namespace nimbrel {
namespace {

bool isRadioEntry(std::string_view name) {
    if (name.size() <= 3 || name.substr(0, 3) != "hci") return false;
    for (const char c : name.substr(3)) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

constexpr std::uint32_t kWatchMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                     IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

}  // namespace

std::string radioClassDirectory() {
    if (const char* dir = std::getenv("NIMBREL_BT_CLASS_DIR"); dir && *dir) return dir;
    return "/sys/class/bluetooth";
}

std::set<std::string> listRadios(const std::string& folder) {
    std::set<std::string> radios;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return radios;
    while (const dirent* e = ::readdir(dir)) {
        if (isRadioEntry(e->d_name)) radios.emplace(e->d_name);
    }
    ::closedir(dir);
    return radios;
}

int EnumerateLocalRadios() { return static_cast<int>(listRadios(radioClassDirectory()).size()); }

std::uint32_t radioEntryNumber(const std::string& entry) {
    if (!isRadioEntry(entry)) return 0xffffffff;
    return static_cast<std::uint32_t>(std::strtoul(entry.c_str() + 3, nullptr, 10));
}

RadioWatcher::~RadioWatcher() { stop(); }

bool RadioWatcher::start(const std::string& folder, RadioCallbacks callbacks) {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) return false;
    FileHandle wake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wake.isOpen()) return false;
    wake_ = std::move(wake);
    callbacks_ = std::move(callbacks);
    thread_ = std::thread([this, folder, known = listRadios(folder)] { run(folder, known); });
    return true;
}

bool RadioWatcher::running() const {
    std::lock_guard lock(mutex_);
    return thread_.joinable();
}

void RadioWatcher::stop() {
    std::thread thread;
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) return;
        thread = std::move(thread_);
        const std::uint64_t one = 1;
        wake_.writeAll(&one, sizeof one);
    }
    thread.join();
    std::lock_guard lock(mutex_);
    wake_.close();
}

void RadioWatcher::run(std::string folder, std::set<std::string> known) {
    int wake;
    RadioCallbacks callbacks;
    {
        std::lock_guard lock(mutex_);
        wake = static_cast<int>(wake_.native());
        callbacks = callbacks_;
    }
    const int notify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    int watch = -1;
    for (;;) {
        if (notify >= 0 && watch < 0)
            watch = ::inotify_add_watch(notify, folder.c_str(), kWatchMask);
        pollfd fds[2] = {{wake, POLLIN, 0}, {notify, POLLIN, 0}};
        const int rc = ::poll(fds, notify >= 0 ? 2 : 1, kPollIntervalMs);
        if (rc > 0 && fds[0].revents != 0) break;
        if (rc > 0 && notify >= 0 && fds[1].revents != 0) {
            alignas(inotify_event) char events[4096];
            ssize_t n;
            while ((n = ::read(notify, events, sizeof events)) > 0) {
                for (ssize_t at = 0; at < n;) {
                    const auto* e = reinterpret_cast<const inotify_event*>(events + at);
                    // The folder itself went away: watch it again once it is back.
                    if (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
                        if (watch >= 0 && !(e->mask & IN_IGNORED))
                            ::inotify_rm_watch(notify, watch);
                        watch = -1;
                    }
                    at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
                }
            }
        }
        const std::set<std::string> now = listRadios(folder);
        for (const std::string& gone : known) {
            if (!now.count(gone) && callbacks.removalComplete) callbacks.removalComplete(gone);
        }
        for (const std::string& added : now) {
            if (!known.count(added) && callbacks.arrival) callbacks.arrival(added);
        }
        known = now;
    }
    if (notify >= 0) ::close(notify);
}

}  // namespace nimbrel

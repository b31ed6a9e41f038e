// Local Bluetooth radios.
//
// Linux: each radio is an entry hciN (N a number) in the Bluetooth class folder,
// NIMBREL_BT_CLASS_DIR when set, else /sys/class/bluetooth. Entries with more after the
// number (hci0:256, a connection) are not radios. EnumerateLocalRadios counts the entries.
// Windows: each radio is a present device interface of the Bluetooth port class
// (GUID_BTHPORT_DEVICE_INTERFACE), named by its symbolic link; the "folder" is not used.
// EnumerateLocalRadios walks the radios with the Bluetooth API and counts those whose
// information can be read.
//
// RadioWatcher runs a thread that notices radio entries appearing and disappearing and
// calls the arrival and removal-complete callbacks on that thread. The entries are listed
// every 100 ms (sysfs does not report changes through inotify; a console program on
// Windows has no window for device notifications); on Linux inotify, where the folder
// supports it, only wakes the thread sooner.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <thread>

#include "platform/file_handle.h"

namespace nimbrel {

// The folder read at the moment of use (Linux; empty on Windows).
std::string radioClassDirectory();
// Names of the radio entries in `folder`, sorted.
std::set<std::string> listRadios(const std::string& folder);
// Number of local radios. 0 when there is none (or no way to look).
int EnumerateLocalRadios();
// The number the console shows for the radio handle of an entry: N of hciN on Linux, the
// entry's place in the sorted list on Windows.
std::uint32_t radioEntryNumber(const std::string& entry);

struct RadioCallbacks {
    std::function<void(const std::string& entry)> arrival;
    std::function<void(const std::string& entry)> removalComplete;
};

class RadioWatcher {
public:
    static constexpr int kPollIntervalMs = 100;

    RadioWatcher() = default;
    ~RadioWatcher();
    RadioWatcher(const RadioWatcher&) = delete;
    RadioWatcher& operator=(const RadioWatcher&) = delete;

    // Starts watching `folder` (radios present now count as known, not as arrivals).
    // False when a watch runs already.
    bool start(const std::string& folder, RadioCallbacks callbacks);
    // Ends the watch; waits for a callback in progress. Never call it from a callback.
    void stop();
    bool running() const;

private:
    void run(std::string folder, std::set<std::string> known);

    mutable std::mutex mutex_;
    RadioCallbacks callbacks_;
    std::thread thread_;
    FileHandle wake_;                  // Linux: the event that ends the thread's wait
    std::condition_variable stopped_;  // Windows: the same, under mutex_
    bool stopping_ = false;
};

// Process-wide subscriptions to radio changes, all served by one watcher on
// radioClassDirectory() (as it is when a subscription is made: a changed folder moves the
// watch there). Callbacks run on the watcher's thread. subscribe returns an id > 0, or 0
// when the watcher cannot run; unsubscribe is true when the id was subscribed.
int subscribeRadioChanges(RadioCallbacks callbacks);
bool unsubscribeRadioChanges(int id);

// The one process-wide registration for radio notifications (the window's): the first
// call subscribes its callbacks for the rest of the process; later calls only move the
// watch to radioClassDirectory() if that changed, and return false.
bool registerRadioNotification(RadioCallbacks callbacks);
bool radioNotificationRegistered();

}  // namespace nimbrel

// What radio notifications share on every platform: one watcher for the process that
// serves every subscription, and the window's one registration.
#include <map>
#include <vector>

#include "platform/radio_watcher.h"

namespace nimbrel {
namespace {

// One watcher for the process, dispatching to every subscription.
class RadioSubscriptions {
public:
    // Watches radioClassDirectory() as it is now; false when the watcher cannot run.
    bool retarget() {
        const std::string folder = radioClassDirectory();
        std::lock_guard lock(mutex_);
        if (folder == folder_ && watcher_.running()) return true;
        watcher_.stop();
        folder_ = folder;
        return watcher_.start(folder_, {[this](const std::string& e) { dispatch(e, true); },
                                        [this](const std::string& e) { dispatch(e, false); }});
    }

    int subscribe(RadioCallbacks callbacks) {
        if (!retarget()) return 0;
        std::lock_guard lock(mutex_);
        const int id = nextId_++;
        std::lock_guard subscribers(subscribersMutex_);
        subscribers_.emplace(id, std::make_shared<RadioCallbacks>(std::move(callbacks)));
        return id;
    }

    bool unsubscribe(int id) {
        std::lock_guard subscribers(subscribersMutex_);
        return subscribers_.erase(id) > 0;
    }

    ~RadioSubscriptions() { watcher_.stop(); }

private:
    void dispatch(const std::string& entry, bool arrival) {
        std::vector<std::shared_ptr<RadioCallbacks>> targets;
        {
            std::lock_guard lock(subscribersMutex_);
            for (const auto& [id, callbacks] : subscribers_) targets.push_back(callbacks);
        }
        for (const auto& c : targets) {
            const auto& f = arrival ? c->arrival : c->removalComplete;
            if (f) f(entry);
        }
    }

    std::mutex mutex_;  // the watcher and its folder
    RadioWatcher watcher_;
    std::string folder_;
    int nextId_ = 1;
    std::mutex subscribersMutex_;
    std::map<int, std::shared_ptr<RadioCallbacks>> subscribers_;
};

RadioSubscriptions& subscriptions() {
    static RadioSubscriptions instance;
    return instance;
}

std::mutex g_registrationMutex;
bool g_registered = false;

}  // namespace

int subscribeRadioChanges(RadioCallbacks callbacks) {
    return subscriptions().subscribe(std::move(callbacks));
}

bool unsubscribeRadioChanges(int id) { return subscriptions().unsubscribe(id); }

bool registerRadioNotification(RadioCallbacks callbacks) {
    std::lock_guard lock(g_registrationMutex);
    if (g_registered) {
        // The folder is configuration read at the moment of use.
        subscriptions().retarget();
        return false;
    }
    g_registered = subscribeRadioChanges(std::move(callbacks)) != 0;
    return g_registered;
}

bool radioNotificationRegistered() {
    std::lock_guard lock(g_registrationMutex);
    return g_registered;
}

}  // namespace nimbrel

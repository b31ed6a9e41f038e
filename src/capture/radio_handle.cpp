#include "capture/radio_handle.h"

#include <mutex>

#include "capture/driver_requests.h"
#include "platform/radio_watcher.h"

namespace nimbrel {

struct RadioHandle::State {
    std::mutex mutex;
    std::string g_radioHandle;       // the radio entry; empty when invalid
    int g_radioInterfaceNotify = 0;  // subscription ids; 0 when not registered
    int g_radioHandleNotify = 0;

    // The removal of `entry`: when it is the radio behind the handle, DisableFilterLog and
    // the handle closed. Never vetoes anything.
    void RadioHandleCallback(const std::string& entry) {
        std::lock_guard lock(mutex);
        if (g_radioHandle.empty() || entry != g_radioHandle) return;
        // A removal is under way: logging stops and the driver device closes, which ends a
        // pending read; the capture loop then pauses until the radio count drops to 0.
        DisableFilterLog();
        g_radioHandle.clear();
    }
};

RadioHandle::RadioHandle() : state_(std::make_shared<State>()) {}

RadioHandle::~RadioHandle() {
    UnregisterRadioHandleNotification();
    UnregisterRadioInterfaceNotification();
}

int RadioHandle::RegisterRadioInterfaceNotification() {
    const int id = subscribeRadioChanges({});
    if (id == 0) return -1;
    std::lock_guard lock(state_->mutex);
    // A registration left by an earlier thread is replaced.
    if (state_->g_radioInterfaceNotify != 0)
        unsubscribeRadioChanges(state_->g_radioInterfaceNotify);
    state_->g_radioInterfaceNotify = id;
    return 0;
}

std::uint32_t RadioHandle::OpenRadioInterface() {
    const std::set<std::string> radios = listRadios(radioClassDirectory());
    std::lock_guard lock(state_->mutex);
    std::string& handle = state_->g_radioHandle;
    handle = radios.empty() ? std::string() : *radios.rbegin();
    return handle.empty() ? kInvalidRadioHandle : radioEntryNumber(handle);
}

int RadioHandle::RegisterRadioHandleNotification() {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->g_radioHandle.empty()) return -1;
    }
    const int id = subscribeRadioChanges(
        {{}, [state = state_](const std::string& entry) { state->RadioHandleCallback(entry); }});
    if (id == 0) return -1;
    std::lock_guard lock(state_->mutex);
    if (state_->g_radioHandleNotify != 0) unsubscribeRadioChanges(state_->g_radioHandleNotify);
    state_->g_radioHandleNotify = id;
    return 0;
}

void RadioHandle::CloseRadioHandle() {
    std::lock_guard lock(state_->mutex);
    state_->g_radioHandle.clear();
}

bool RadioHandle::valid() const {
    std::lock_guard lock(state_->mutex);
    return !state_->g_radioHandle.empty();
}

bool RadioHandle::UnregisterRadioHandleNotification() {
    std::lock_guard lock(state_->mutex);
    const int id = state_->g_radioHandleNotify;
    state_->g_radioHandleNotify = 0;
    return id != 0 && unsubscribeRadioChanges(id);
}

bool RadioHandle::UnregisterRadioInterfaceNotification() {
    std::lock_guard lock(state_->mutex);
    const int id = state_->g_radioInterfaceNotify;
    state_->g_radioInterfaceNotify = 0;
    return id != 0 && unsubscribeRadioChanges(id);
}

}  // namespace nimbrel

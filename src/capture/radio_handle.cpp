#include "capture/radio_handle.h"

#include <mutex>

#include "capture/driver_requests.h"
#include "platform/radio_watcher.h"

namespace nimbrel {
namespace {

std::mutex g_mutex;
std::string g_radioHandle;       // the radio entry; empty when invalid
int g_radioInterfaceNotify = 0;  // subscription ids; 0 when not registered
int g_radioHandleNotify = 0;

}  // namespace

int RegisterRadioInterfaceNotification() {
    const int id = subscribeRadioChanges({});
    if (id == 0) return -1;
    std::lock_guard lock(g_mutex);
    // A registration left by an earlier thread is replaced.
    if (g_radioInterfaceNotify != 0) unsubscribeRadioChanges(g_radioInterfaceNotify);
    g_radioInterfaceNotify = id;
    return 0;
}

std::uint32_t OpenRadioInterface() {
    const std::set<std::string> radios = listRadios(radioClassDirectory());
    std::lock_guard lock(g_mutex);
    g_radioHandle = radios.empty() ? std::string() : *radios.rbegin();
    return g_radioHandle.empty() ? kInvalidRadioHandle : radioEntryNumber(g_radioHandle);
}

int RegisterRadioHandleNotification() {
    {
        std::lock_guard lock(g_mutex);
        if (g_radioHandle.empty()) return -1;
    }
    const int id = subscribeRadioChanges({{}, RadioHandleCallback});
    if (id == 0) return -1;
    std::lock_guard lock(g_mutex);
    if (g_radioHandleNotify != 0) unsubscribeRadioChanges(g_radioHandleNotify);
    g_radioHandleNotify = id;
    return 0;
}

void RadioHandleCallback(const std::string& entry) {
    std::lock_guard lock(g_mutex);
    if (g_radioHandle.empty() || entry != g_radioHandle) return;
    // A removal is under way: logging stops and the driver device closes, which ends a
    // pending read; the capture loop then pauses until the radio count drops to 0.
    DisableFilterLog();
    g_radioHandle.clear();
}

void CloseRadioHandle() {
    std::lock_guard lock(g_mutex);
    g_radioHandle.clear();
}

bool radioHandleValid() {
    std::lock_guard lock(g_mutex);
    return !g_radioHandle.empty();
}

bool UnregisterRadioHandleNotification() {
    std::lock_guard lock(g_mutex);
    const int id = g_radioHandleNotify;
    g_radioHandleNotify = 0;
    return id != 0 && unsubscribeRadioChanges(id);
}

bool UnregisterRadioInterfaceNotification() {
    std::lock_guard lock(g_mutex);
    const int id = g_radioInterfaceNotify;
    g_radioInterfaceNotify = 0;
    return id != 0 && unsubscribeRadioChanges(id);
}

}  // namespace nimbrel

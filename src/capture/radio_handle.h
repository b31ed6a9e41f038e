// The filter-driver route's hold on the local radio: the radio handle (the last radio
// entry present when the capture thread started, hciN), the thread's registration for
// radio interface changes, and the registration for the removal of the radio behind the
// handle, whose callback stops the driver's logging and lets go of the handle. The
// capture session holds one; one mutex serialises it, so the handle is closed once and
// never used after.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace nimbrel {

// The handle's value as the console shows it: N of hciN, 0xffffffff when invalid.
inline constexpr std::uint32_t kInvalidRadioHandle = 0xffffffff;

class RadioHandle {
public:
    RadioHandle();
    // Withdraws the registrations still made.
    ~RadioHandle();
    RadioHandle(const RadioHandle&) = delete;
    RadioHandle& operator=(const RadioHandle&) = delete;

    // Subscribes to radio interface changes (the callback takes no action). 0 on success.
    int RegisterRadioInterfaceNotification();
    // Opens the radio handle on the last radio entry (none: invalid); returns its value.
    std::uint32_t OpenRadioInterface();
    // Subscribes to the removal of the radio behind the handle, which runs DisableFilterLog
    // and closes the handle (RadioHandleCallback; it never vetoes anything). 0 on success;
    // fails without a valid handle.
    int RegisterRadioHandleNotification();

    // Closes the radio handle if it is valid.
    void CloseRadioHandle();
    bool valid() const;
    // Withdraw the registrations; true when one was withdrawn.
    bool UnregisterRadioHandleNotification();
    bool UnregisterRadioInterfaceNotification();

private:
    // Shared with the removal callback, which the watcher's thread may still be running
    // when the registration is withdrawn.
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace nimbrel

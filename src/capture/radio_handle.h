// The filter-driver route's hold on the local radio: the radio handle (the last radio
// entry present when the capture thread started, hciN), the thread's registration for
// radio interface changes, and the registration for the removal of the radio behind the
// handle, whose callback stops the driver's logging and lets go of the handle. All of
// it is process-wide, like the driver devices; one mutex serialises it, so the handle is
// closed once and never used after.
#pragma once

#include <cstdint>
#include <string>

namespace nimbrel {

// The handle's value as the console shows it: N of hciN, 0xffffffff when invalid.
inline constexpr std::uint32_t kInvalidRadioHandle = 0xffffffff;

// Subscribes to radio interface changes (the callback takes no action). 0 on success.
int RegisterRadioInterfaceNotification();
// Opens the radio handle on the last radio entry (none: invalid); returns its value.
std::uint32_t OpenRadioInterface();
// Subscribes RadioHandleCallback to the removal of the radio behind the handle. 0 on
// success; fails without a valid handle.
int RegisterRadioHandleNotification();
// The removal of `entry`: when it is the radio behind the handle, DisableFilterLog and
// the handle closed. Never vetoes anything.
void RadioHandleCallback(const std::string& entry);

// Closes the radio handle if it is valid.
void CloseRadioHandle();
bool radioHandleValid();
// Withdraw the registrations; true when one was withdrawn.
bool UnregisterRadioHandleNotification();
bool UnregisterRadioInterfaceNotification();

}  // namespace nimbrel

// The capture routes. The numbers are those the view keeps in m_threadId and that the
// in-box sender, the auto-raw-data toggle and the route tag of every line compare with.
#pragma once

namespace nimbrel {

enum class CaptureRoute : int {
    None = -1,  // no route started since the program began
    Com = 1,
    Filter = 4,
    Uart = 5,
};

inline bool isDriverRoute(CaptureRoute route) {
    return route == CaptureRoute::Filter || route == CaptureRoute::Uart;
}

}  // namespace nimbrel

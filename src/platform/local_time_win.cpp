#include <windows.h>

#include "platform/local_time.h"

namespace nimbrel {

LocalTime localTimeNow() {
    SYSTEMTIME t{};
    ::GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

std::uint64_t tickCountMs() { return ::GetTickCount64(); }

}  // namespace nimbrel

// The Win32 calls behind ControlDevice on Windows, replaceable by tests: the real drivers
// are not there on a build machine, so a test double answers in their place.
#pragma once

#include <windows.h>

namespace nimbrel::win {

struct DeviceCalls {
    HANDLE(WINAPI* createFile)
    (LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
    BOOL(WINAPI* deviceIoControl)
    (HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED);
    BOOL(WINAPI* getOverlappedResult)(HANDLE, LPOVERLAPPED, LPDWORD, BOOL);
    BOOL(WINAPI* cancelIoEx)(HANDLE, LPOVERLAPPED);
    BOOL(WINAPI* closeHandle)(HANDLE);
};

// The system's own calls.
const DeviceCalls& systemDeviceCalls();
// Replaces the calls of every ControlDevice opened from now on (nullptr: the system's).
void setDeviceCalls(const DeviceCalls* calls);

}  // namespace nimbrel::win

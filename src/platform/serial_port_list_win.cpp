#include <algorithm>
#include <windows.h>

#include "platform/serial_port_list.h"
#include "platform/win_util.h"

namespace nimbrel {

std::vector<std::string> listSerialPorts(const std::vector<std::string>& typedNames,
                                         const std::string& /*sysClassTty*/) {
    std::vector<std::string> ports;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Hardware\\DeviceMap\\SerialComm", 0, KEY_READ,
                        &key) == ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            wchar_t name[256];
            DWORD nameLength = 256;
            wchar_t data[129] = {};  // 256 bytes of data, and a terminator of our own
            DWORD dataBytes = 256;
            DWORD type = 0;
            const LONG rc = ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataBytes);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) continue;
            const std::wstring port(data, wcsnlen(data, dataBytes / sizeof(wchar_t)));
            if (!port.empty()) ports.push_back(win::narrow(port));
        }
        ::RegCloseKey(key);
    }
    for (const std::string& name : typedNames) {
        if (!name.empty() && std::find(ports.begin(), ports.end(), name) == ports.end())
            ports.push_back(name);
    }
    return ports;
}

}  // namespace nimbrel

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "platform/serial_port_list.h"

namespace nimbrel {
namespace {

// "ttyS10" after "ttyS2": runs of digits compare by value.
bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            std::string_view na(a.data() + i, ei - i);
            std::string_view nb(b.data() + j, ej - j);
            while (na.size() > 1 && na.front() == '0') na.remove_prefix(1);
            while (nb.size() > 1 && nb.front() == '0') nb.remove_prefix(1);
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

bool isRealSerialDevice(const std::filesystem::path& entry) {
    std::error_code ec;
    if (!std::filesystem::exists(entry / "device", ec)) return false;
    // UART slots report their chip type; 0 means no chip behind the slot.
    std::ifstream type(entry / "type");
    if (type) {
        int value = -1;
        if (type >> value && value == 0) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> listSerialPorts(const std::vector<std::string>& typedNames,
                                         const std::string& sysClassTty) {
    std::vector<std::string> ports;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(sysClassTty, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (isRealSerialDevice(it->path())) ports.push_back(it->path().filename().string());
    }
    std::sort(ports.begin(), ports.end(), naturalLess);
    for (const std::string& name : typedNames) {
        if (!name.empty() && std::find(ports.begin(), ports.end(), name) == ports.end())
            ports.push_back(name);
    }
    return ports;
}

}  // namespace nimbrel

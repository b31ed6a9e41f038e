#include <string>
#include <windows.h>

#include "platform/registry_settings.h"

namespace nimbrel {
namespace {

constexpr std::size_t kMaxStringCharacters = 260;  // with the terminator

std::wstring wide(std::u16string_view text) { return std::wstring(text.begin(), text.end()); }

// The subkey and the value name of a setting's name.
struct Place {
    std::wstring subkey;
    std::wstring value;
};

Place placeOf(std::u16string_view name) {
    const std::size_t slash = name.rfind(u'/');
    if (slash == std::u16string_view::npos) return {kSettingsKey, wide(name)};
    return {std::wstring(kProfileKey) + L"\\" + wide(name.substr(0, slash)),
            wide(name.substr(slash + 1))};
}

class RegistryKey {
public:
    // Existing key only (readers), or created when missing (writers).
    RegistryKey(const std::wstring& subkey, bool create) {
        const REGSAM access = KEY_READ | KEY_WRITE;
        if (create) {
            ::RegCreateKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, nullptr,
                              REG_OPTION_NON_VOLATILE, access, nullptr, &key_, nullptr);
        } else {
            ::RegOpenKeyExW(HKEY_CURRENT_USER, subkey.c_str(), 0, access, &key_);
        }
    }
    ~RegistryKey() {
        if (key_) ::RegCloseKey(key_);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

class RegistrySettings final : public SettingsBackend {
public:
    std::optional<std::u16string> read(std::u16string_view name) const override {
        const Place place = placeOf(name);
        RegistryKey key(place.subkey, false);
        if (!key.get()) return std::nullopt;
        DWORD type = 0;
        DWORD bytes = 0;
        if (::RegQueryValueExW(key.get(), place.value.c_str(), nullptr, &type, nullptr, &bytes) !=
            ERROR_SUCCESS)
            return std::nullopt;
        if (type == REG_DWORD && bytes == sizeof(DWORD)) {
            DWORD value = 0;
            if (::RegQueryValueExW(key.get(), place.value.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(&value), &bytes) != ERROR_SUCCESS)
                return std::nullopt;
            const std::string text = std::to_string(value);
            return std::u16string(text.begin(), text.end());
        }
        if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
        if (bytes > kMaxStringCharacters * sizeof(wchar_t)) return std::nullopt;
        wchar_t buffer[kMaxStringCharacters + 1] = {};
        bytes = kMaxStringCharacters * sizeof(wchar_t);
        if (::RegQueryValueExW(key.get(), place.value.c_str(), nullptr, &type,
                               reinterpret_cast<BYTE*>(buffer), &bytes) != ERROR_SUCCESS)
            return std::nullopt;
        // Up to the first zero character; an expandable string is not expanded.
        const std::wstring_view text(buffer, wcsnlen(buffer, bytes / sizeof(wchar_t)));
        if (text.size() >= kMaxStringCharacters) return std::nullopt;
        return std::u16string(text.begin(), text.end());
    }

    bool writeText(std::u16string_view name, std::u16string_view text) const override {
        if (name.empty()) return false;
        const Place place = placeOf(name);
        RegistryKey key(place.subkey, true);
        if (!key.get()) return false;
        const std::wstring value = wide(text);
        // With the terminating zero.
        return ::RegSetValueExW(key.get(), place.value.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
    }

    bool writeNumber(std::u16string_view name, std::uint32_t value) const override {
        if (name.empty()) return false;
        const Place place = placeOf(name);
        RegistryKey key(place.subkey, true);
        if (!key.get()) return false;
        const DWORD dword = value;
        return ::RegSetValueExW(key.get(), place.value.c_str(), 0, REG_DWORD,
                                reinterpret_cast<const BYTE*>(&dword),
                                sizeof dword) == ERROR_SUCCESS;
    }

    std::u16string location() const override {
        const std::wstring key = std::wstring(L"HKEY_CURRENT_USER\\") + kSettingsKey;
        return std::u16string(key.begin(), key.end());
    }

    bool locationExists() const override {
        HKEY key = nullptr;
        if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        ::RegCloseKey(key);
        return true;
    }
};

}  // namespace

const SettingsBackend& registrySettings() {
    static const RegistrySettings backend;
    return backend;
}

}  // namespace nimbrel

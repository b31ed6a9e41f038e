// The settings in the registry (Windows): the values of
// HKEY_CURRENT_USER\SOFTWARE\Corvane\Bluetooth\Nimbrel, and the framework profile's
// HKEY_CURRENT_USER\SOFTWARE\Local AppWizard-Generated Applications\Nimbrel\<section>
// for names "<section>/<value>".
//
// Readers open the key with read and write access and never create it; writers create it
// when missing. Strings are REG_SZ of at most 259 characters (a longer one, or a value of
// another type, reads as absent); numbers are REG_DWORD.
#pragma once

#include "platform/settings_backend.h"

namespace nimbrel {

inline constexpr wchar_t kSettingsKey[] = L"SOFTWARE\\Corvane\\Bluetooth\\Nimbrel";
inline constexpr wchar_t kProfileKey[] =
    L"SOFTWARE\\Local AppWizard-Generated Applications\\Nimbrel";

const SettingsBackend& registrySettings();

}  // namespace nimbrel

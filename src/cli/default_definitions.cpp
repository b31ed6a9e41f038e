#include "cli/default_definitions.h"

#include "pipeline/definition_file_choice.h"
#include "platform/serial_port.h"
#include "platform/text.h"

#if NIMBREL_HAVE_SETTINGS
#include "pipeline/settings_store.h"
#endif

namespace nimbrel::cli {

std::string defaultDefinitionFile() {
#if NIMBREL_HAVE_SETTINGS
    return utf16ToUtf8(storedDefinitionFile());
#else
    return utf16ToUtf8(nimbrel::defaultDefinitionFile());
#endif
}

std::uint32_t storedPrintRawData() {
#if NIMBREL_HAVE_SETTINGS
    return SettingsStore().GetPrintRawData();
#else
    return 0;
#endif
}

std::string storedComPort() {
#if NIMBREL_HAVE_SETTINGS
    return utf16ToUtf8(SettingsStore().GetComPort());
#else
    return "ttyUSB0";
#endif
}

std::uint32_t storedBaudRate() {
#if NIMBREL_HAVE_SETTINGS
    return SettingsStore().GetBaudRate();
#else
    return kDefaultBaudRate;
#endif
}

}  // namespace nimbrel::cli

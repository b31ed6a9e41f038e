#include "cli/default_definitions.h"

#include "pipeline/definition_file_choice.h"
#include "platform/text.h"

#if NIMBREL_HAVE_APP
#include "app/settings_store.h"
#endif

namespace nimbrel::cli {

std::string defaultDefinitionFile() {
#if NIMBREL_HAVE_APP
    return utf16ToUtf8(storedDefinitionFile());
#else
    return utf16ToUtf8(nimbrel::defaultDefinitionFile());
#endif
}

std::uint32_t storedPrintRawData() {
#if NIMBREL_HAVE_APP
    return SettingsStore().GetPrintRawData();
#else
    return 0;
#endif
}

}  // namespace nimbrel::cli

#include "cli/default_definitions.h"

#include "pipeline/definition_file_choice.h"
#include "platform/text.h"

namespace nimbrel::cli {

std::string defaultDefinitionFile() { return utf16ToUtf8(preferredDefinitionFile(u"")); }

}  // namespace nimbrel::cli

namespace nimbrel::cli {

std::uint32_t storedPrintRawData() { return 0; }

}  // namespace nimbrel::cli

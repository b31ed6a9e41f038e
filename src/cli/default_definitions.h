// The message definition file the GUI would choose: the stored Log1Path when that file
// exists, else LOG1.h in the program folder.
#pragma once

#include <string>

namespace nimbrel::cli {

std::string defaultDefinitionFile();

}  // namespace nimbrel::cli

// The message definition file the GUI would choose: the stored Log1Path when that file
// exists, else LOG1.h in the program folder.
#pragma once

#include <cstdint>
#include <string>

namespace nimbrel::cli {

std::string defaultDefinitionFile();
// The stored PrintRawData setting (0 when absent); 1 echoes every chunk read.
std::uint32_t storedPrintRawData();
// The stored Com and BaudRate settings, as With Com reads them (ttyUSB0 and 115200 when
// absent; without the settings store, those defaults).
std::string storedComPort();
std::uint32_t storedBaudRate();

}  // namespace nimbrel::cli

// What nimbrel-cli extcap tells Wireshark about itself: one capture interface per capture
// route, the link type of their packets, and the options of each interface's dialog, in
// the line format of Wireshark's extcap interface.
#pragma once

#include <cstdio>
#include <string_view>

#include "pipeline/capture_route.h"

namespace nimbrel::cli {

struct ExtcapInterface {
    const char* value;    // the interface name Wireshark passes back
    const char* display;  // the name shown in its interface list
    CaptureRoute route;
};

// nullptr for a name that is none of ours.
const ExtcapInterface* findExtcapInterface(std::string_view value);

// --extcap-interfaces: the program and its interfaces.
void printExtcapInterfaces(std::FILE* out);
// --extcap-dlts: the link type of every interface.
void printExtcapDlts(std::FILE* out, const ExtcapInterface& interface);
// --extcap-config: the interface's options with their current defaults (the stored port,
// baud rate and definition file, as a capture in Nimbrel would use them).
void printExtcapConfig(std::FILE* out, const ExtcapInterface& interface);

}  // namespace nimbrel::cli

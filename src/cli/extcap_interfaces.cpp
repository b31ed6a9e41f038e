#include "cli/extcap_interfaces.h"

#include <string>
#include <vector>

#include "cli/default_definitions.h"
#include "files/pcap_writer.h"
#include "platform/serial_port_list.h"
#include "platform/version.h"

namespace nimbrel::cli {
namespace {

constexpr ExtcapInterface kInterfaces[] = {
    {"nimbrel-com", "Nimbrel: controller HCI from the firmware log, serial port",
     CaptureRoute::Com},
    {"nimbrel-filter", "Nimbrel: controller HCI from the firmware log, filter driver",
     CaptureRoute::Filter},
    {"nimbrel-uart", "Nimbrel: controller HCI from the firmware log, UART bus driver",
     CaptureRoute::Uart},
};

// The options every interface has, after the serial port's own.
void printDecodeOptions(std::FILE* out, int first) {
    std::fprintf(out,
                 "arg {number=%d}{call=--defs}{display=Message definition file}{type=fileselect}"
                 "{mustexist=true}{default=%s}{tooltip=The definition file that says which "
                 "records carry HCI packets}\n",
                 first, defaultDefinitionFile().c_str());
    std::fprintf(out,
                 "arg {number=%d}{call=--ember-flint}{display=HCI records carry a leading word}"
                 "{type=boolflag}{default=false}{tooltip=Chips that are both Ember and Flint "
                 "log one word before each HCI packet}\n",
                 first + 1);
}

}  // namespace

const ExtcapInterface* findExtcapInterface(std::string_view value) {
    for (const ExtcapInterface& i : kInterfaces) {
        if (value == i.value) return &i;
    }
    return nullptr;
}

void printExtcapInterfaces(std::FILE* out) {
    std::fprintf(out, "extcap {version=%s}{display=Nimbrel}\n", kVersionNumber);
    for (const ExtcapInterface& i : kInterfaces) {
        std::fprintf(out, "interface {value=%s}{display=%s}\n", i.value, i.display);
    }
}

void printExtcapDlts(std::FILE* out, const ExtcapInterface&) {
    std::fprintf(out,
                 "dlt {number=%u}{name=BLUETOOTH_HCI_H4_WITH_PHDR}{display=Bluetooth HCI UART "
                 "transport layer plus pseudo-header}\n",
                 kPcapLinkTypeH4WithPhdr);
}

void printExtcapConfig(std::FILE* out, const ExtcapInterface& interface) {
    if (interface.route != CaptureRoute::Com) {
        printDecodeOptions(out, 0);
        return;
    }
    // A text field rather than a list: a port may be a path the list does not show (a
    // pseudo-terminal), and older Wireshark versions know no editable list.
    const std::string stored = storedComPort();
    std::string found;
    for (const std::string& port : listSerialPorts()) found += (found.empty() ? "" : ", ") + port;
    std::fprintf(out,
                 "arg {number=0}{call=--port}{display=Serial port}{type=string}{required=true}"
                 "{default=%s}{tooltip=A name in /dev (found: %s) or a path. A port has one "
                 "owner at a time: capture it in Nimbrel or here, not in both}\n",
                 stored.c_str(), found.empty() ? "none" : found.c_str());
    std::fprintf(out,
                 "arg {number=1}{call=--baud}{display=Baud rate}{type=unsigned}{range=1,4000000}"
                 "{default=%u}\n",
                 storedBaudRate());
    printDecodeOptions(out, 2);
}

}  // namespace nimbrel::cli

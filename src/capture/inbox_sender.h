// The in-box sender: eight bytes typed as hexadecimal texts, sent in one write to the
// controller over the COM route's serial port.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace nimbrel {

class ViewCore;

using InBoxMessage = std::array<std::uint8_t, 8>;

// A signed hexadecimal text: leading white space skipped, optional sign and 0x prefix,
// digits up to the first non-digit, clamped to the signed 32-bit range; the low eight bits.
std::uint8_t parseInBoxByte(std::u16string_view text);
InBoxMessage buildInBoxMessage(const std::array<std::u16string_view, 8>& texts);

// Uart In Box: true when the dialog may open (the route last started is the COM route),
// with its console line either way.
bool openInBox(ViewCore& core);
// Execute: one 8-byte write to the open COM port; nothing happens while it is closed.
// Returns 0, or the errno value of a failed write (also traced).
int sendInBox(const InBoxMessage& message);

}  // namespace nimbrel

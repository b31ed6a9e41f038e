// The in-box sender: eight bytes typed as hexadecimal texts, sent in one write to the
// controller over the COM route's serial port.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace nimbrel {

class LogConsole;
class CaptureSession;

using InBoxMessage = std::array<std::uint8_t, 8>;

// A signed hexadecimal text: leading white space skipped, optional sign and 0x prefix,
// digits up to the first non-digit, clamped to the signed 32-bit range; the low eight bits.
std::uint8_t parseInBoxByte(std::u16string_view text);
InBoxMessage buildInBoxMessage(const std::array<std::u16string_view, 8>& texts);

// Uart In Box: true when the dialog may open (the route last started is the COM route),
// with its console line either way.
bool openInBox(CaptureSession& core);

// Execute: one 8-byte write to the open COM port. Returns 0 when all eight bytes were
// written; EBADF when no port is open (nothing is written); otherwise the errno value of
// the failed write (also traced), ETIMEDOUT when the bytes did not go within `timeoutMs`
// (-1: no limit).
int sendInBox(const InBoxMessage& message, int timeoutMs = -1);

// What the user is told about a send: "Sent 01 03 0c 00 00 00 00 00" for a sent message,
// and for a failed one the red console line with the reason.
std::u16string inBoxSentText(const InBoxMessage& message);
void reportInBoxFailure(LogConsole& console, int error);

}  // namespace nimbrel

#include "capture/inbox_sender.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>

#include "capture/capture_session.h"
#include "capture/com_port.h"
#include "pipeline/log_console.h"
#include "pipeline/text_trim.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace nimbrel {
namespace {

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

}  // namespace

std::uint8_t parseInBoxByte(std::u16string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isWhiteSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
    if (i + 1 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') &&
        i + 2 < text.size() && hexDigit(text[i + 2]) >= 0) {
        i += 2;
    }
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::int64_t{1} << 32;  // beyond either end of the range
    for (; i < text.size() && hexDigit(text[i]) >= 0; ++i) {
        value = value * 16 + hexDigit(text[i]);
        if (value > kLimit) value = kLimit;
    }
    if (negative) value = -value;
    if (value > std::numeric_limits<std::int32_t>::max())
        value = std::numeric_limits<std::int32_t>::max();
    if (value < std::numeric_limits<std::int32_t>::min())
        value = std::numeric_limits<std::int32_t>::min();
    return static_cast<std::uint8_t>(static_cast<std::uint32_t>(value) & 0xFF);
}

InBoxMessage buildInBoxMessage(const std::array<std::u16string_view, 8>& texts) {
    InBoxMessage message{};
    for (std::size_t k = 0; k < texts.size(); ++k) message[k] = parseInBoxByte(texts[k]);
    return message;
}

bool openInBox(CaptureSession& core) {
    if (core.capture.m_threadId() != CaptureRoute::Com) {
        core.console.print(u"[R] Com port doesn't open ");
        return false;
    }
    core.console.print(u"[B] Start Uart In Box");
    return true;
}

int sendInBox(const InBoxMessage& message, int timeoutMs) {
    SerialPort& port = comPort();
    if (!port.isOpen()) return EBADF;
    const int err = port.write(message.data(), message.size(), timeoutMs);
    if (err != 0) trace("WriteFile GetLastError()=0x%x\n", err);
    return err;
}

std::u16string inBoxSentText(const InBoxMessage& message) {
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    std::u16string text = u"Sent";
    for (const std::uint8_t b : message) {
        text += u' ';
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

void reportInBoxFailure(LogConsole& console, int error) {
    // A port that closed (the capture ended, or it never opened) sent nothing at all.
    if (error == EBADF || error == ECANCELED) {
        console.print(u"[R] Fail to send: the COM port is not open");
        return;
    }
    console.print(u"[R] Fail to send to the COM port, error:0x%x (%s)",
                  {error, utf8ToUtf16(std::strerror(error))});
}

}  // namespace nimbrel

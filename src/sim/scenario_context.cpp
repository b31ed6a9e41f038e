#include "sim/scenario_context.h"

#include <algorithm>

#include "decoders/hci_lmp_codes.h"
#include "pipeline/record_layout.h"
#include "platform/little_endian.h"

namespace nimbrel::sim {
namespace {}  // namespace

ScenarioContext::ScenarioContext(std::uint64_t seed) : rng(seed) {
    // A public-looking address from an unassigned company block, the rest from the seed.
    localAddr.b = {rng.byte(), rng.byte(), rng.byte(), 0x4E, 0x1B, 0x00};
    btClock = rng.word() & 0x0FFFFFFF;
    queue_.reserve(64);
}

void ScenarioContext::wait(std::uint32_t ms) {
    pendingGapMs_ += ms;
    btClock = (btClock + ms * 16 / 5) & 0x0FFFFFFF;
}

SimRecord& ScenarioContext::push() {
    if (size_ == queue_.size()) queue_.emplace_back();
    return queue_[size_++];
}

void ScenarioContext::emit(Msg m, std::initializer_list<std::uint32_t> params, const Extra& extra) {
    emit(m, std::span<const std::uint32_t>(params.begin(), params.size()), extra);
}

void ScenarioContext::emit(Msg m, std::span<const std::uint32_t> params, const Extra& extra) {
    const MessageShape& shape = messageShape(m);
    SimRecord& r = push();
    r.fields.layout = extra.layout >= 0 ? static_cast<unsigned>(extra.layout) : shape.layout;
    r.fields.colourCode = extra.colour >= 0 ? static_cast<unsigned>(extra.colour) : shape.colour;
    r.fields.messageIndex = shape.index;
    r.fields.infoByte = shape.module;
    const LayoutShape& layout = kLayoutTable[r.fields.layout];
    r.fields.extraByte = layout.extraByteOffset ? extra.byte : 0;
    r.fields.extraWord = layout.extraWordOffset ? extra.word : 0;
    if (layout.paramStart) {
        r.params.assign(params.begin(), params.end());
    } else {
        r.params.clear();
    }
    r.gapMs = pendingGapMs_;
    pendingGapMs_ = 0;
    finish(r);
}

void ScenarioContext::emitText(Msg m, std::string_view text, bool withNul, const Extra& extra) {
    Bytes b;
    b.text(text.substr(0, Bytes::kCapacity - 1));
    if (withNul) b.u8(0);
    emitBytes(m, b, extra);
}

void ScenarioContext::emitBytes(Msg m, const Bytes& bytes, const Extra& extra) {
    std::uint32_t words[Bytes::kCapacity];
    for (std::size_t i = 0; i < bytes.size(); ++i) words[i] = bytes[i];
    emit(m, std::span<const std::uint32_t>(words, bytes.size()), extra);
}

// Firmware records never show the sync pair after their own sync bytes, and never end in
// A5 (which would pair with the next record's first sync byte): a byte that would do so is
// nudged by one, and the record's fields are read back from the bytes.
void ScenarioContext::finish(SimRecord& r) {
    r.bytes.clear();
    encodeRecord(r.fields, r.params, r.bytes);
    const std::size_t len = r.bytes.size();
    bool changed = false;
    for (std::size_t i = 6; i < len; ++i) {
        if (r.bytes[i] == kSyncByte && (i + 1 == len || r.bytes[i + 1] == kSyncByte)) {
            r.bytes[i] ^= 0x01;
            changed = true;
        }
    }
    if (!changed) return;
    const HeaderCheck check = checkHeader(r.bytes.data(), len);
    const RecordRef ref{r.bytes.data(), check.layout};
    r.fields.infoByte = ref.infoByte();
    r.fields.extraByte = ref.extraByte();
    r.fields.extraWord = ref.extraWord();
    const std::uint8_t* p = r.bytes.data() + check.layout.paramStart;
    for (std::size_t i = 0; i < r.params.size(); ++i) {
        if (check.layout.paramWidth == 4) {
            r.params[i] = loadLe32(p);
            p += 4;
        } else {
            r.params[i] = *p++;
        }
    }
}

namespace {

// The code, the packet's parameter length and its first parameter bytes, one per word. A
// packet longer than the bytes given continues with zeros (padding of names and extended
// inquiry responses).
std::size_t packHci(std::uint32_t code, const Bytes& params, int declaredLength,
                    std::uint32_t* words) {
    const std::size_t length =
        declaredLength >= 0 ? static_cast<std::size_t>(declaredLength) : params.size();
    const std::size_t n = std::min(length, kHciLoggedParamBytes);
    words[kHciCodeWord] = code;
    words[kHciLengthWord] = static_cast<std::uint32_t>(length);
    for (std::size_t i = 0; i < n; ++i)
        words[kHciFirstParamWord + i] = i < params.size() ? params[i] : 0;
    return kHciFirstParamWord + n;
}

}  // namespace

void ScenarioContext::hciCommand(std::uint16_t opcode, const Bytes& params, int declaredLength) {
    std::uint32_t words[kHciFirstParamWord + kHciLoggedParamBytes];
    const std::size_t n = packHci(opcode, params, declaredLength, words);
    emit(Msg::HciCommand, std::span<const std::uint32_t>(words, n));
}

void ScenarioContext::hciEvent(std::uint8_t code, const Bytes& params, int declaredLength,
                               int colour) {
    std::uint32_t words[kHciFirstParamWord + kHciLoggedParamBytes];
    const std::size_t n = packHci(code, params, declaredLength, words);
    Extra extra;
    extra.byte = static_cast<std::uint8_t>(rng.below(3));  // events still queued for the host
    extra.colour = colour;
    emit(Msg::HciEvent, std::span<const std::uint32_t>(words, n), extra);
}

void ScenarioContext::commandComplete(std::uint16_t opcode, const Bytes& returnParams, int colour) {
    Bytes b;
    b.u8(1).u16(opcode);
    for (std::size_t i = 0; i < returnParams.size(); ++i) b.u8(returnParams[i]);
    if (colour < 0 && returnParams.size() > 0 && returnParams[0] != 0) colour = kRed;
    hciEvent(kCommandCompleteEvent, b, -1, colour);
}

void ScenarioContext::commandStatus(std::uint16_t opcode, std::uint8_t status) {
    hciEvent(kCommandStatusEvent, Bytes{status, 1}.u16(opcode), -1, status ? kRed : -1);
}

void ScenarioContext::hciExchange(std::uint16_t opcode, const Bytes& params,
                                  const Bytes& returnParams, int declaredLength) {
    hciCommand(opcode, params, declaredLength);
    wait(rng.range(0, 2));
    commandComplete(opcode, returnParams);
}

void ScenarioContext::hciStatusExchange(std::uint16_t opcode, const Bytes& params) {
    hciCommand(opcode, params);
    wait(rng.range(0, 1));
    commandStatus(opcode);
}

void ScenarioContext::lmp(bool sent, const ClassicLink& link, std::uint32_t opcode,
                          const Bytes& content, std::uint32_t tid) {
    std::uint32_t words[kLmpBasicWords] = {};
    const std::size_t n = std::min(content.size(), kLmpBasicContentWords);
    words[kLmpLinkWord] = linkIdOf(link);
    words[kLmpOpcodeWord] = opcode;
    words[2] = tid;
    words[3] = static_cast<std::uint32_t>(1 + content.size());
    words[4] = btClock;
    words[5] = link.role;
    for (std::size_t i = 0; i < n; ++i) words[kLmpBasicFirstContentWord + i] = content[i];
    Extra extra;
    extra.byte = linkIdOf(link);
    extra.word = static_cast<std::uint16_t>(btClock);
    emit(sent ? Msg::LmpTx : Msg::LmpRx, std::span<const std::uint32_t>(words, kLmpBasicWords),
         extra);
}

void ScenarioContext::lmpExt(bool sent, const ClassicLink& link, std::uint32_t extOpcode,
                             const Bytes& content, std::uint32_t tid) {
    std::uint32_t words[kLmpExtWords] = {};
    const std::size_t n = std::min(content.size(), kLmpExtContentWords);
    words[kLmpLinkWord] = linkIdOf(link);
    words[kLmpOpcodeWord] = kLmpEscapeOpcode;
    words[kLmpExtOpcodeWord] = extOpcode;
    words[3] = tid;
    words[4] = static_cast<std::uint32_t>(2 + content.size());
    words[5] = btClock;
    words[6] = link.role;
    for (std::size_t i = 0; i < n; ++i) words[kLmpExtFirstContentWord + i] = content[i];
    Extra extra;
    extra.byte = linkIdOf(link);
    extra.word = static_cast<std::uint16_t>(btClock);
    emit(sent ? Msg::LmpTxExt : Msg::LmpRxExt, std::span<const std::uint32_t>(words, kLmpExtWords),
         extra);
}

ClassicLink* ScenarioContext::freeClassicSlot() {
    for (ClassicLink& l : classic) {
        if (!l.up) return &l;
    }
    return nullptr;
}

ClassicLink* ScenarioContext::randomClassicLink() {
    const std::size_t count = classicLinkCount();
    if (count == 0) return nullptr;
    std::size_t pick = rng.below(static_cast<std::uint32_t>(count));
    for (ClassicLink& l : classic) {
        if (l.up && pick-- == 0) return &l;
    }
    return nullptr;
}

LeLink* ScenarioContext::freeLeSlot() {
    for (LeLink& l : le) {
        if (!l.up) return &l;
    }
    return nullptr;
}

LeLink* ScenarioContext::randomLeLink() {
    const std::size_t count = leLinkCount();
    if (count == 0) return nullptr;
    std::size_t pick = rng.below(static_cast<std::uint32_t>(count));
    for (LeLink& l : le) {
        if (l.up && pick-- == 0) return &l;
    }
    return nullptr;
}

std::size_t ScenarioContext::classicLinkCount() const {
    return static_cast<std::size_t>(
        std::count_if(classic.begin(), classic.end(), [](const ClassicLink& l) { return l.up; }));
}

std::size_t ScenarioContext::leLinkCount() const {
    return static_cast<std::size_t>(
        std::count_if(le.begin(), le.end(), [](const LeLink& l) { return l.up; }));
}

std::uint8_t ScenarioContext::linkIdOf(const ClassicLink& link) const {
    return static_cast<std::uint8_t>(&link - classic.data());
}

BdAddr ScenarioContext::randomAddr() {
    BdAddr a;
    for (std::uint8_t& v : a.b) v = rng.byte();
    return a;
}

}  // namespace nimbrel::sim

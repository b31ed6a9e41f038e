// What the simulator's scenarios share: the random source, the simulated controller's state
// (links, advertising, scanning, clocks) and the helpers that turn firmware events into
// queued records.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <vector>

#include "sim/log_generator.h"
#include "sim/message_catalog.h"
#include "sim/random.h"

namespace nimbrel::sim {

// A Bluetooth device address in packet order (least significant byte first).
struct BdAddr {
    std::array<std::uint8_t, 6> b{};
};

// A short packet payload built field by field (multi-byte fields little-endian).
class Bytes {
public:
    static constexpr std::size_t kCapacity = 64;

    Bytes() = default;
    Bytes(std::initializer_list<std::uint8_t> init) {
        for (std::uint8_t v : init) u8(v);
    }

    Bytes& u8(std::uint32_t v) {
        if (n_ < kCapacity) b_[n_++] = static_cast<std::uint8_t>(v);
        return *this;
    }
    Bytes& u16(std::uint32_t v) { return u8(v).u8(v >> 8); }
    Bytes& u24(std::uint32_t v) { return u16(v).u8(v >> 16); }
    Bytes& u32(std::uint32_t v) { return u16(v).u16(v >> 16); }
    Bytes& addr(const BdAddr& a) {
        for (std::uint8_t v : a.b) u8(v);
        return *this;
    }
    Bytes& text(std::string_view s) {
        for (char c : s) u8(static_cast<std::uint8_t>(c));
        return *this;
    }
    Bytes& random(Random& rng, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) u8(rng.byte());
        return *this;
    }
    Bytes& zeros(std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) u8(0);
        return *this;
    }

    std::size_t size() const { return n_; }
    const std::uint8_t* data() const { return b_.data(); }
    std::uint8_t operator[](std::size_t i) const { return b_[i]; }

private:
    std::array<std::uint8_t, kCapacity> b_{};
    std::size_t n_ = 0;
};

// Header values of one record beyond the message's defaults.
struct Extra {
    std::uint8_t byte = 0;   // extraByte (layouts that carry it)
    std::uint16_t word = 0;  // extraWord (layouts that carry it)
    int colour = -1;         // -1: the message's colour
    int layout = -1;         // -1: the message's layout
};

struct ClassicLink {
    bool up = false;
    std::uint16_t handle = 0;
    std::uint8_t ltAddr = 0;
    BdAddr peer;
    bool encrypted = false;
    bool sniff = false;
    std::uint8_t role = 0;  // 0 central, 1 peripheral
};

struct LeLink {
    bool up = false;
    std::uint16_t handle = 0;
    BdAddr peer;
    std::uint8_t peerType = 0;
    std::uint16_t interval = 0;
    std::uint16_t latency = 0;
    std::uint16_t timeout = 0;
    std::uint16_t eventCounter = 0;
    bool encrypted = false;
};

class ScenarioContext {
public:
    explicit ScenarioContext(std::uint64_t seed);

    Random rng;

    // Controller state.
    BdAddr localAddr;
    bool booted = false;
    bool advertising = false;
    bool scanning = false;
    std::array<ClassicLink, 3> classic{};
    std::array<LeLink, 2> le{};
    std::vector<BdAddr> discovered;  // from inquiry, for later connections
    std::uint32_t btClock = 0;       // 3.2 kHz native clock, 28 bits
    std::uint16_t watchdogCount = 0;
    std::uint16_t aclSequence = 0;
    std::uint16_t nextHandle = 0x000B;
    std::uint16_t nextLeHandle = 0x0040;

    // Time: a pause of ms milliseconds before the next record.
    void wait(std::uint32_t ms);

    // Records.
    void emit(Msg m, std::initializer_list<std::uint32_t> params = {}, const Extra& extra = {});
    void emit(Msg m, std::span<const std::uint32_t> params, const Extra& extra = {});
    // A byte-parameter record holding a text (optionally with its terminating zero).
    void emitText(Msg m, std::string_view text, bool withNul, const Extra& extra = {});
    void emitBytes(Msg m, const Bytes& bytes, const Extra& extra = {});

    // HCI: a command or event record carries the opcode (event code), the parameter length
    // and then at most 20 parameter bytes, one per word. declaredLength < 0: the bytes given.
    void hciCommand(std::uint16_t opcode, const Bytes& params = {}, int declaredLength = -1);
    void hciEvent(std::uint8_t code, const Bytes& params, int declaredLength = -1, int colour = -1);
    void commandComplete(std::uint16_t opcode, const Bytes& returnParams, int colour = -1);
    void commandStatus(std::uint16_t opcode, std::uint8_t status = 0);
    // Command, a short pause, then its Command Complete.
    void hciExchange(std::uint16_t opcode, const Bytes& params, const Bytes& returnParams,
                     int declaredLength = -1);
    // Command, a short pause, then its Command Status (success).
    void hciStatusExchange(std::uint16_t opcode, const Bytes& params);

    // LMP: basic PDUs carry 15 words (link, opcode, transaction id, length, clock, role, 0,
    // 0, then up to seven content words), extended PDUs 16 (link, 127, extended opcode,
    // transaction id, length, clock, role, 0, 0, 0, then up to six content words).
    void lmp(bool sent, const ClassicLink& link, std::uint32_t opcode, const Bytes& content = {},
             std::uint32_t tid = 0);
    void lmpExt(bool sent, const ClassicLink& link, std::uint32_t extOpcode,
                const Bytes& content = {}, std::uint32_t tid = 0);

    // Helpers for the state.
    ClassicLink* freeClassicSlot();
    ClassicLink* randomClassicLink();  // an up link, or nullptr
    LeLink* freeLeSlot();
    LeLink* randomLeLink();
    std::size_t classicLinkCount() const;
    std::size_t leLinkCount() const;
    std::uint8_t linkIdOf(const ClassicLink& link) const;
    BdAddr randomAddr();

    // The queue of records produced by the running scenario.
    bool empty() const { return head_ == size_; }
    const SimRecord& pop() { return queue_[head_++]; }
    void resetQueue() { head_ = size_ = 0; }

private:
    SimRecord& push();
    void finish(SimRecord& r);

    std::vector<SimRecord> queue_;
    std::size_t head_ = 0;
    std::size_t size_ = 0;
    std::uint32_t pendingGapMs_ = 0;
};

// Scenarios: each appends the records of one firmware activity.
void scenarioBoot(ScenarioContext& c);
void scenarioHousekeeping(ScenarioContext& c);
void scenarioWarning(ScenarioContext& c);
void scenarioRawDump(ScenarioContext& c);
void scenarioUndefinedIndex(ScenarioContext& c);

void scenarioInquiry(ScenarioContext& c);
void scenarioConnect(ScenarioContext& c);
void scenarioRemoteInfo(ScenarioContext& c);
void scenarioPairing(ScenarioContext& c);
void scenarioSniff(ScenarioContext& c);
void scenarioRoleSwitch(ScenarioContext& c);
void scenarioAfh(ScenarioContext& c);
void scenarioAclTraffic(ScenarioContext& c);
void scenarioPowerControl(ScenarioContext& c);
void scenarioDisconnect(ScenarioContext& c);
void scenarioLinkLoss(ScenarioContext& c);

void scenarioAdvertising(ScenarioContext& c);
void scenarioScanning(ScenarioContext& c);
void scenarioLeConnect(ScenarioContext& c);
void scenarioLeConnectionEvents(ScenarioContext& c);
void scenarioLeUpdate(ScenarioContext& c);
void scenarioLeEncryption(ScenarioContext& c);
void scenarioLeDisconnect(ScenarioContext& c);

}  // namespace nimbrel::sim

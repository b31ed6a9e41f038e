// LE activity: advertising, scanning with reports, connections, connection events,
// parameter updates, encryption and disconnection.
#include <array>
#include <string_view>

#include "decoders/hci_lmp_codes.h"
#include "sim/scenario_context.h"

namespace nimbrel::sim {
namespace {

constexpr std::array<std::string_view, 6> kAdvNames = {
    "Thermo-12", "FitBand", "Tag 0042", "Lamp Kitchen", "Sensor-B7", "Beacon",
};

constexpr std::uint8_t kSuccess = 0;

// Advertising data: flags, then the complete local name.
Bytes advertisingData(std::string_view name) {
    Bytes b;
    b.u8(2).u8(0x01).u8(0x06);
    b.u8(static_cast<std::uint8_t>(name.size() + 1)).u8(0x09).text(name);
    return b;
}

}  // namespace

void scenarioAdvertising(ScenarioContext& c) {
    Random& r = c.rng;
    if (c.advertising) {
        c.hciExchange(kHciLeSetAdvertiseEnable, Bytes{0}, {kSuccess});  // off
        c.emit(Msg::LeAdvStop);
        c.advertising = false;
        return;
    }
    const std::uint16_t interval = static_cast<std::uint16_t>(r.range(0x20, 0x800));
    const std::uint8_t type = static_cast<std::uint8_t>(r.chance(75) ? 0 : 3);
    c.hciExchange(
        kHciLeSetAdvertisingParameters,
        Bytes{}.u16(interval).u16(interval + 0x10).u8(type).u8(0).u8(0).zeros(6).u8(7).u8(0),
        {kSuccess});
    const Bytes data = advertisingData("nimbrel-demo");
    Bytes cmd;
    cmd.u8(static_cast<std::uint8_t>(data.size()));
    for (std::size_t i = 0; i < data.size(); ++i) cmd.u8(data[i]);
    c.hciExchange(kHciLeSetAdvertisingData, cmd, {kSuccess}, 32);
    c.hciExchange(kHciLeSetScanResponseData, Bytes{3, 0x02, 0x0A, 0x00}, {kSuccess},
                  32);  // TX power
    c.hciExchange(kHciLeSetAdvertiseEnable, Bytes{1}, {kSuccess});
    c.emit(Msg::LeAdvStart, {type, interval, 7});
    c.advertising = true;
}

void scenarioScanning(ScenarioContext& c) {
    Random& r = c.rng;
    const std::uint16_t interval = static_cast<std::uint16_t>(r.range(0x10, 0x100));
    const std::uint16_t window = static_cast<std::uint16_t>(r.range(0x10, interval));
    c.hciExchange(kHciLeSetScanParameters, Bytes{1}.u16(interval).u16(window).u8(0).u8(0),
                  {kSuccess});
    c.hciExchange(kHciLeSetScanEnable, Bytes{1, 1}, {kSuccess});
    c.emit(Msg::LeScanStart, {interval, window});
    c.scanning = true;
    const std::uint32_t reports = r.range(2, 7);
    for (std::uint32_t i = 0; i < reports; ++i) {
        c.wait(r.range(10, 400));
        const std::string_view name = kAdvNames[r.below(kAdvNames.size())];
        const Bytes data = advertisingData(name);
        const std::uint8_t addrType = static_cast<std::uint8_t>(r.below(2));
        const int rssi = -static_cast<int>(r.range(45, 95));
        Bytes ev;
        ev.u8(kLeAdvertisingReportSubevent)
            .u8(1)
            .u8(r.chance(70) ? 0 : 4)
            .u8(addrType)
            .addr(c.randomAddr())
            .u8(static_cast<std::uint8_t>(data.size()));
        for (std::size_t k = 0; k < data.size(); ++k) ev.u8(data[k]);
        ev.u8(static_cast<std::uint8_t>(rssi));
        c.hciEvent(kLeMetaEvent, ev, static_cast<int>(ev.size()));
        c.emit(Msg::LeAdvReport, {addrType, static_cast<std::uint32_t>(rssi),
                                  static_cast<std::uint32_t>(data.size())});
        if (r.chance(60)) c.emitText(Msg::LeAdvName, name, false);
    }
    c.wait(r.range(50, 500));
    c.hciExchange(kHciLeSetScanEnable, Bytes{0, 0}, {kSuccess});
    c.emit(Msg::LeScanStop);
    c.scanning = false;
}

void scenarioLeConnect(ScenarioContext& c) {
    LeLink* slot = c.freeLeSlot();
    if (!slot) return;
    Random& r = c.rng;
    LeLink& l = *slot;
    l = LeLink{};
    l.peer = c.randomAddr();
    l.peerType = static_cast<std::uint8_t>(r.below(2));
    l.interval = static_cast<std::uint16_t>(r.range(6, 80));
    l.latency = static_cast<std::uint16_t>(r.below(4));
    l.timeout = static_cast<std::uint16_t>(r.range(100, 600));
    c.hciStatusExchange(kHciLeCreateConnection, Bytes{}
                                                    .u16(0x0060)
                                                    .u16(0x0030)
                                                    .u8(0)
                                                    .u8(l.peerType)
                                                    .addr(l.peer)
                                                    .u8(0)
                                                    .u16(l.interval)
                                                    .u16(l.interval)
                                                    .u16(l.latency)
                                                    .u16(l.timeout)
                                                    .u16(0)
                                                    .u16(0));
    c.wait(r.range(20, 300));
    l.up = true;
    l.handle = c.nextLeHandle;
    c.nextLeHandle =
        static_cast<std::uint16_t>(c.nextLeHandle >= 0x0EFF ? 0x0040 : c.nextLeHandle + 1);
    c.hciEvent(kLeMetaEvent,
               Bytes{kLeConnectionCompleteSubevent, kSuccess}
                   .u16(l.handle)
                   .u8(0)
                   .u8(l.peerType)
                   .addr(l.peer)
                   .u16(l.interval)
                   .u16(l.latency)
                   .u16(l.timeout)
                   .u8(1),
               -1, kGreen);  // LE Connection Complete
    c.emit(Msg::LeConnCreated, {l.handle, l.interval, l.latency});
    c.wait(r.range(5, 30));
    c.hciStatusExchange(kHciLeReadRemoteFeatures, Bytes{}.u16(l.handle));
    c.wait(r.range(10, 60));
    c.hciEvent(kLeMetaEvent,
               Bytes{kLeReadRemoteFeaturesCompleteSubevent, kSuccess}.u16(l.handle).random(r, 8));
}

void scenarioLeConnectionEvents(ScenarioContext& c) {
    LeLink* l = c.randomLeLink();
    if (!l) return;
    Random& r = c.rng;
    const std::uint32_t events = r.range(2, 6);
    for (std::uint32_t i = 0; i < events; ++i) {
        Extra e;
        e.word = ++l->eventCounter;
        c.emit(Msg::LeConnEvent, {l->handle, r.below(37)}, e);
        c.wait(static_cast<std::uint32_t>(l->interval) * 5 / 4);
    }
}

void scenarioLeUpdate(ScenarioContext& c) {
    LeLink* l = c.randomLeLink();
    if (!l) return;
    Random& r = c.rng;
    if (r.chance(30)) {
        // The peripheral asks for new parameters.
        c.hciEvent(kLeMetaEvent, Bytes{kLeRemoteConnectionParameterRequestSubevent}
                                     .u16(l->handle)
                                     .u16(24)
                                     .u16(40)
                                     .u16(0)
                                     .u16(l->timeout));
    }
    const std::uint16_t old = l->interval;
    l->interval = static_cast<std::uint16_t>(r.range(6, 80));
    c.hciStatusExchange(kHciLeConnectionUpdate, Bytes{}
                                                    .u16(l->handle)
                                                    .u16(l->interval)
                                                    .u16(l->interval)
                                                    .u16(l->latency)
                                                    .u16(l->timeout)
                                                    .u16(0)
                                                    .u16(0));
    c.wait(r.range(30, 200));
    c.hciEvent(kLeMetaEvent, Bytes{kLeConnectionUpdateCompleteSubevent, kSuccess}
                                 .u16(l->handle)
                                 .u16(l->interval)
                                 .u16(l->latency)
                                 .u16(l->timeout));
    c.emit(Msg::LeConnUpdate, {l->handle, old, l->interval});
}

void scenarioLeEncryption(ScenarioContext& c) {
    LeLink* lp = nullptr;
    for (LeLink& l : c.le) {
        if (l.up && !l.encrypted) lp = &l;
    }
    if (!lp) return;
    Random& r = c.rng;
    LeLink& l = *lp;
    c.hciEvent(kLeMetaEvent, Bytes{kLeLongTermKeyRequestSubevent}.u16(l.handle).random(r, 8).u16(
                                 r.below(0xFFFF)));
    c.wait(r.range(1, 5));
    c.hciExchange(kHciLeLongTermKeyRequestReply, Bytes{}.u16(l.handle).random(r, 16),
                  Bytes{kSuccess}.u16(l.handle));
    c.wait(r.range(10, 40));
    c.hciEvent(kEncryptionChangeEvent, Bytes{kSuccess}.u16(l.handle).u8(1), -1, kGreen);
    c.emit(Msg::LcEncryption, {1, l.handle, 16});
    l.encrypted = true;
}

void scenarioLeDisconnect(ScenarioContext& c) {
    LeLink* l = c.randomLeLink();
    if (!l) return;
    Random& r = c.rng;
    c.hciStatusExchange(kHciDisconnect, Bytes{}.u16(l->handle).u8(0x13));
    c.wait(r.range(l->interval, l->interval * 4u + 10));
    c.hciEvent(kDisconnectionCompleteEvent, Bytes{kSuccess}.u16(l->handle).u8(0x16));
    l->up = false;
}

}  // namespace nimbrel::sim

// BR/EDR activity: inquiry, connection set-up, remote information, pairing and encryption,
// sniff, role switch, AFH, data traffic, power control and disconnection.
#include <array>
#include <string_view>

#include "decoders/hci_lmp_codes.h"
#include "sim/scenario_context.h"

namespace nimbrel::sim {
namespace {

constexpr std::array<std::string_view, 6> kPeerNames = {
    "Desk Speaker", "Car Kit 7", "Headset HS-200", "Office Keyboard", "Phone of Sam", "Tablet",
};

constexpr std::array<std::uint16_t, 5> kCompanies = {0x0131, 0x02E5, 0x0059, 0x0171, 0x038F};

constexpr std::uint8_t kSuccess = 0;
constexpr std::uint8_t kRemoteUserTerminated = 0x13;
constexpr std::uint8_t kLocalHostTerminated = 0x16;
constexpr std::uint8_t kConnectionTimeout = 0x08;

Bytes features() { return Bytes{0xFF, 0xFE, 0x8F, 0xFE, 0xD8, 0x3F, 0x5B, 0x87}; }

void emitPageStart(ScenarioContext& c, const BdAddr& a) {
    std::uint32_t words[7];
    for (std::size_t i = 0; i < 6; ++i) words[i] = a.b[5 - i];
    words[6] = c.rng.below(2);
    c.emit(Msg::LcPageStart, std::span<const std::uint32_t>(words, 7));
}

void lmpRoundTrip(ScenarioContext& c, const ClassicLink& l, std::uint32_t opcode,
                  const Bytes& content, std::uint32_t tid) {
    c.lmp(true, l, opcode, content, tid);
    c.wait(c.rng.range(2, 12));
    c.lmp(false, l, kLmpAccepted, Bytes{static_cast<std::uint8_t>(opcode)}, tid);
}

ClassicLink& openLink(ScenarioContext& c, ClassicLink& l, const BdAddr& peer, std::uint8_t role) {
    l = ClassicLink{};
    l.up = true;
    l.peer = peer;
    l.role = role;
    l.handle = c.nextHandle;
    c.nextHandle = static_cast<std::uint16_t>(c.nextHandle >= 0x0EFF ? 0x000B : c.nextHandle + 1);
    l.ltAddr = static_cast<std::uint8_t>(c.linkIdOf(l) + 1);
    return l;
}

void closeLink(ScenarioContext& c, ClassicLink& l, std::uint8_t reason, int colour) {
    c.hciEvent(kDisconnectionCompleteEvent, Bytes{kSuccess}.u16(l.handle).u8(reason), -1, colour);
    c.emit(Msg::LmpLinkState, {c.linkIdOf(l), 2, 0});
    l.up = false;
}

}  // namespace

void scenarioInquiry(ScenarioContext& c) {
    Random& r = c.rng;
    const std::uint32_t length = r.range(4, 10);
    c.hciStatusExchange(kHciInquiry, Bytes{0x33, 0x8B, 0x9E}.u8(length).u8(0));
    c.emit(Msg::LcInquiryStart, {0x9E8B33, length});
    const std::uint32_t responses = r.range(1, 4);
    for (std::uint32_t i = 0; i < responses; ++i) {
        c.wait(r.range(80, 1200));
        const BdAddr peer = c.randomAddr();
        const int rssi = -static_cast<int>(r.range(40, 90));
        c.emit(Msg::LcInquiryRsp, {r.word() & 0x0FFFFFFF, static_cast<std::uint32_t>(rssi)});
        Bytes b;
        b.u8(1)
            .addr(peer)
            .u8(1)
            .u8(0)
            .u24(0x240404)
            .u16(0x8000 | r.below(0x7FFF))
            .u8(static_cast<std::uint8_t>(rssi));
        if (r.chance(70)) {
            const std::string_view name = kPeerNames[r.below(kPeerNames.size())];
            b.u8(static_cast<std::uint8_t>(name.size() + 1)).u8(0x09).text(name);
            c.hciEvent(kExtendedInquiryResultEvent, b, 255);
        } else {
            c.hciEvent(kInquiryResultWithRssiEvent, b, 15);
        }
        if (c.discovered.size() < 8) c.discovered.push_back(peer);
    }
    c.wait(r.range(200, 1500));
    c.hciEvent(kInquiryCompleteEvent, Bytes{kSuccess});
}

void scenarioConnect(ScenarioContext& c) {
    ClassicLink* slot = c.freeClassicSlot();
    if (!slot) return;
    Random& r = c.rng;
    BdAddr peer = c.randomAddr();
    if (!c.discovered.empty() && r.chance(70)) {
        peer = c.discovered.back();
        c.discovered.pop_back();
    }
    const bool incoming = r.chance(35);
    if (incoming) {
        c.hciEvent(kConnectionRequestEvent, Bytes{}.addr(peer).u24(0x240404).u8(1));
        c.wait(r.range(1, 5));
        c.hciStatusExchange(kHciAcceptConnectionRequest,
                            Bytes{}.addr(peer).u8(1));  // stay peripheral
    } else {
        c.hciStatusExchange(
            kHciCreateConnection,
            Bytes{}.addr(peer).u16(0xCC18).u8(1).u8(0).u16(0x8000 | r.below(0x7FFF)).u8(1));
        emitPageStart(c, peer);
    }
    c.wait(r.range(15, 250));
    ClassicLink& l = openLink(c, *slot, peer, incoming ? 1 : 0);
    const std::uint8_t id = c.linkIdOf(l);
    c.emit(Msg::LcPageDone, {l.ltAddr, 1});
    c.emit(Msg::LmpLinkState, {id, 0, 1});

    const std::uint32_t tid = incoming ? 1 : 0;
    if (incoming) {
        c.lmp(false, l, kLmpHostConnectionReq, {}, 1 - tid);
        c.wait(r.range(1, 4));
        c.lmp(true, l, kLmpAccepted, Bytes{kLmpHostConnectionReq}, 1 - tid);
    }
    c.lmp(true, l, kLmpFeaturesReq, features(), tid);
    c.wait(r.range(2, 10));
    c.lmp(false, l, kLmpFeaturesRes, Bytes{}.random(r, 8), tid);
    c.lmpExt(true, l, kLmpExtFeaturesReq, Bytes{1, 2}.u8(0x0B).zeros(7), tid);
    c.wait(r.range(2, 10));
    c.lmpExt(false, l, kLmpExtFeaturesRes, Bytes{1, 2}.u8(r.below(16)).zeros(7), tid);
    const std::uint16_t company = kCompanies[r.below(kCompanies.size())];
    c.lmp(true, l, kLmpVersionReq, Bytes{0x09}.u16(0x05F1).u16(0x2207), tid);
    c.wait(r.range(2, 10));
    c.lmp(false, l, kLmpVersionRes,
          Bytes{static_cast<std::uint8_t>(r.range(6, 12))}.u16(company).u16(r.below(0xFFFF)), tid);
    if (!incoming) {
        c.lmp(true, l, kLmpHostConnectionReq, {}, tid);
        c.wait(r.range(2, 15));
        c.lmp(false, l, kLmpAccepted, Bytes{kLmpHostConnectionReq}, tid);
    }
    c.lmp(false, l, kLmpSetupComplete, {}, 1 - tid);
    c.lmp(true, l, kLmpSetupComplete, {}, tid);
    c.hciEvent(kConnectionCompleteEvent, Bytes{kSuccess}.u16(l.handle).addr(peer).u8(1).u8(0), -1,
               kGreen);
    c.emit(Msg::LmpLinkState, {id, 1, 2});

    c.wait(r.range(5, 40));
    c.hciStatusExchange(kHciReadRemoteSupportedFeatures, Bytes{}.u16(l.handle));
    c.wait(r.range(1, 5));
    c.hciEvent(kReadRemoteSupportedFeaturesCompleteEvent,
               Bytes{kSuccess}.u16(l.handle).random(r, 8));
    c.lmp(false, l, kLmpMaxSlot, Bytes{5}, 1 - tid);
    c.hciEvent(kMaxSlotsChangeEvent, Bytes{}.u16(l.handle).u8(5));
    if (r.chance(50)) {
        c.lmpExt(false, l, kLmpExtPacketTypeTableReq, Bytes{1}, 1 - tid);
        c.lmpExt(true, l, kLmpExtAccepted, Bytes{kLmpEscapeOpcode, kLmpExtPacketTypeTableReq},
                 1 - tid);
    }
}

void scenarioRemoteInfo(ScenarioContext& c) {
    ClassicLink* l = c.randomClassicLink();
    if (!l) return;
    Random& r = c.rng;
    if (r.chance(50)) {
        c.hciStatusExchange(kHciRemoteNameRequest,
                            Bytes{}.addr(l->peer).u8(1).u8(0).u16(0x8000 | r.below(0x7FFF)));
        const std::string_view name = kPeerNames[r.below(kPeerNames.size())];
        c.lmp(true, *l, kLmpNameReq, Bytes{0}, l->role);
        c.wait(r.range(2, 12));
        c.lmp(false, *l, kLmpNameRes,
              Bytes{0, static_cast<std::uint8_t>(name.size())}.text(name.substr(0, 14)), l->role);
        Extra e;
        e.byte = c.linkIdOf(*l);
        c.emitText(Msg::LmpRemoteName, name, r.chance(50), e);
        c.hciEvent(kRemoteNameRequestCompleteEvent, Bytes{kSuccess}.addr(l->peer).text(name), 255);
    } else {
        c.hciStatusExchange(kHciReadRemoteVersionInformation, Bytes{}.u16(l->handle));
        c.lmp(true, *l, kLmpVersionReq, Bytes{0x09}.u16(0x05F1).u16(0x2207), l->role);
        c.wait(r.range(2, 12));
        const std::uint16_t company = kCompanies[r.below(kCompanies.size())];
        const std::uint16_t sub = static_cast<std::uint16_t>(r.below(0xFFFF));
        c.lmp(false, *l, kLmpVersionRes, Bytes{0x0A}.u16(company).u16(sub), l->role);
        c.hciEvent(kReadRemoteVersionInformationCompleteEvent,
                   Bytes{kSuccess}.u16(l->handle).u8(0x0A).u16(company).u16(sub));
    }
}

void scenarioPairing(ScenarioContext& c) {
    ClassicLink* lp = nullptr;
    for (ClassicLink& l : c.classic) {
        if (l.up && !l.encrypted) lp = &l;
    }
    if (!lp) return;
    ClassicLink& l = *lp;
    Random& r = c.rng;
    const std::uint32_t tid = l.role;

    c.hciStatusExchange(kHciAuthenticationRequested, Bytes{}.u16(l.handle));
    c.hciEvent(kLinkKeyRequestEvent, Bytes{}.addr(l.peer));
    c.hciExchange(kHciLinkKeyRequestReply, Bytes{}.addr(l.peer), Bytes{kSuccess}.addr(l.peer));
    c.hciEvent(kIoCapabilityRequestEvent, Bytes{}.addr(l.peer));
    c.hciExchange(kHciIoCapabilityRequestReply, Bytes{}.addr(l.peer).u8(1).u8(0).u8(3),
                  Bytes{kSuccess}.addr(l.peer));
    c.lmpExt(true, l, kLmpExtIoCapabilityReq, Bytes{1, 0, 3}, tid);
    c.wait(r.range(5, 30));
    c.lmpExt(false, l, kLmpExtIoCapabilityRes, Bytes{1, 0, 3}, tid);
    c.hciEvent(kIoCapabilityResponseEvent, Bytes{}.addr(l.peer).u8(1).u8(0).u8(3));
    c.wait(r.range(20, 80));  // public key exchange
    c.lmp(false, l, kLmpSimplePairingConfirm, Bytes{}.random(r, 16), tid);
    c.lmp(true, l, kLmpSimplePairingNumber, Bytes{}.random(r, 16), tid);
    c.wait(r.range(2, 10));
    c.lmp(false, l, kLmpAccepted, Bytes{kLmpSimplePairingNumber}, tid);
    c.lmp(false, l, kLmpSimplePairingNumber, Bytes{}.random(r, 16), tid);
    c.lmp(true, l, kLmpAccepted, Bytes{kLmpSimplePairingNumber}, tid);
    c.hciEvent(kUserConfirmationRequestEvent, Bytes{}.addr(l.peer).u32(r.below(1000000)));
    c.wait(r.range(300, 2500));  // the user presses "yes"
    c.hciExchange(kHciUserConfirmationRequestReply, Bytes{}.addr(l.peer),
                  Bytes{kSuccess}.addr(l.peer));
    c.lmp(true, l, kLmpDhkeyCheck, Bytes{}.random(r, 16), tid);
    c.wait(r.range(2, 10));
    c.lmp(false, l, kLmpAccepted, Bytes{kLmpDhkeyCheck}, tid);
    c.lmp(false, l, kLmpDhkeyCheck, Bytes{}.random(r, 16), tid);
    c.lmp(true, l, kLmpAccepted, Bytes{kLmpDhkeyCheck}, tid);
    c.hciEvent(kSimplePairingCompleteEvent, Bytes{kSuccess}.addr(l.peer));
    c.hciEvent(kLinkKeyNotificationEvent, Bytes{}.addr(l.peer).random(r, 16).u8(5), 23);
    c.hciEvent(kAuthenticationCompleteEvent, Bytes{kSuccess}.u16(l.handle), -1, kGreen);

    c.hciStatusExchange(kHciSetConnectionEncryption, Bytes{}.u16(l.handle).u8(1));
    lmpRoundTrip(c, l, kLmpEncryptionModeReq, Bytes{1}, tid);
    lmpRoundTrip(c, l, kLmpEncryptionKeySizeReq, Bytes{16}, tid);
    lmpRoundTrip(c, l, kLmpStartEncryptionReq, Bytes{}.random(r, 16), tid);
    c.hciEvent(kEncryptionChangeEvent, Bytes{kSuccess}.u16(l.handle).u8(1), -1, kGreen);
    c.emit(Msg::LcEncryption, {1, c.linkIdOf(l), 16});
    l.encrypted = true;
}

void scenarioSniff(ScenarioContext& c) {
    ClassicLink* l = c.randomClassicLink();
    if (!l) return;
    Random& r = c.rng;
    if (!l->sniff) {
        const std::uint16_t interval = static_cast<std::uint16_t>(r.range(0x50, 0x320) & ~1u);
        const std::uint16_t attempt = static_cast<std::uint16_t>(r.range(1, 8));
        c.hciStatusExchange(kHciSniffMode,
                            Bytes{}.u16(l->handle).u16(0x0320).u16(0x0050).u16(attempt).u16(1));
        c.lmp(true, *l, kLmpSniffReq,
              Bytes{0}.u16(r.below(interval)).u16(interval).u16(attempt).u16(1), l->role);
        c.wait(r.range(5, 40));
        c.lmp(false, *l, kLmpAccepted, Bytes{kLmpSniffReq}, l->role);
        c.hciEvent(kModeChangeEvent, Bytes{kSuccess}.u16(l->handle).u8(2).u16(interval));  // sniff
        c.emit(Msg::LcSniff, {c.linkIdOf(*l), interval, attempt});
        l->sniff = true;
    } else {
        c.hciStatusExchange(kHciExitSniffMode, Bytes{}.u16(l->handle));
        c.lmp(true, *l, kLmpUnsniffReq, {}, l->role);
        c.wait(r.range(20, 300));
        c.lmp(false, *l, kLmpAccepted, Bytes{kLmpUnsniffReq}, l->role);
        c.hciEvent(kModeChangeEvent, Bytes{kSuccess}.u16(l->handle).u8(0).u16(0));  // active
        l->sniff = false;
    }
}

void scenarioRoleSwitch(ScenarioContext& c) {
    ClassicLink* l = c.randomClassicLink();
    if (!l) return;
    Random& r = c.rng;
    const std::uint8_t newRole = static_cast<std::uint8_t>(1 - l->role);
    c.hciStatusExchange(kHciSwitchRole, Bytes{}.addr(l->peer).u8(newRole));
    c.lmp(true, *l, kLmpSwitchReq, Bytes{}.u32((c.btClock + 0x200) & 0x0FFFFFFE), l->role);
    c.wait(r.range(5, 20));
    if (r.chance(85)) {
        c.lmp(false, *l, kLmpAccepted, Bytes{kLmpSwitchReq}, l->role);
        c.wait(r.range(30, 90));
        l->role = newRole;
        c.emit(Msg::LcRoleSwitch, {c.linkIdOf(*l), newRole});
        c.hciEvent(kRoleChangeEvent, Bytes{kSuccess}.addr(l->peer).u8(newRole));
    } else {
        c.lmp(false, *l, kLmpNotAccepted, Bytes{kLmpSwitchReq, 0x21},
              l->role);  // role change not allowed
        c.hciEvent(kRoleChangeEvent, Bytes{0x21}.addr(l->peer).u8(l->role), -1, kRed);
    }
}

void scenarioAfh(ScenarioContext& c) {
    ClassicLink* l = c.randomClassicLink();
    if (!l) return;
    Random& r = c.rng;
    const std::uint32_t used = r.range(20, 79);
    Bytes map;
    map.u32((c.btClock + 0x300) & 0x0FFFFFFE).u8(1);
    for (int i = 0; i < 10; ++i) map.u8(i == 9 ? 0x7F & r.byte() : r.byte());
    c.lmp(true, *l, kLmpSetAfh, map, l->role);
    c.emit(Msg::LcAfhUpdate, {used});
    if (r.chance(60)) {
        c.lmpExt(true, *l, kLmpExtChannelClassificationReq, Bytes{1}.u16(0x0640).u16(0xBB80),
                 l->role);
        c.wait(r.range(100, 900));
        c.lmpExt(false, *l, kLmpExtChannelClassification, Bytes{}.random(r, 10), 1 - l->role);
    }
}

void scenarioAclTraffic(ScenarioContext& c) {
    ClassicLink* l = c.randomClassicLink();
    if (!l) return;
    Random& r = c.rng;
    const std::uint32_t packets = r.range(2, 8);
    std::uint32_t sent = 0;
    for (std::uint32_t i = 0; i < packets; ++i) {
        Extra e;
        e.word = ++c.aclSequence;
        const bool tx = r.chance(50);
        if (tx) ++sent;
        c.emit(tx ? Msg::HciAclTx : Msg::HciAclRx, {l->handle, r.range(4, 1021), i == 0 ? 2u : 1u},
               e);
        c.wait(r.range(0, 8));
    }
    if (sent > 0) {
        c.hciEvent(kNumberOfCompletedPacketsEvent, Bytes{1}.u16(l->handle).u16(sent));
        c.emit(Msg::HciNumCompleted, {l->handle, sent});
    }
}

void scenarioPowerControl(ScenarioContext& c) {
    ClassicLink* l = c.randomClassicLink();
    if (!l) return;
    Random& r = c.rng;
    switch (r.below(4)) {
    case 0:
        c.lmpExt(false, *l, kLmpExtPowerControlReq, Bytes{static_cast<std::uint8_t>(r.below(3))},
                 1 - l->role);
        c.lmpExt(true, *l, kLmpExtPowerControlRes, Bytes{static_cast<std::uint8_t>(r.below(0x2B))},
                 1 - l->role);
        break;
    case 1:
        c.lmp(false, *l, kLmpIncrPowerReq, Bytes{0}, 1 - l->role);
        c.wait(r.range(1, 5));
        c.lmp(true, *l, kLmpMaxPower, {}, 1 - l->role);
        break;
    case 2: {
        const std::uint16_t lsto = static_cast<std::uint16_t>(r.range(0x1F40, 0x7D00));
        c.hciExchange(kHciWriteLinkSupervisionTimeout, Bytes{}.u16(l->handle).u16(lsto),
                      Bytes{kSuccess}.u16(l->handle));
        c.lmp(true, *l, kLmpSupervisionTimeout, Bytes{}.u16(lsto), l->role);
        break;
    }
    default:
        c.lmp(true, *l, kLmpQualityOfServiceReq, Bytes{}.u16(r.range(6, 40) * 2).u8(1), l->role);
        c.wait(r.range(2, 12));
        c.lmp(false, *l, kLmpAccepted, Bytes{kLmpQualityOfServiceReq}, l->role);
        break;
    }
}

void scenarioDisconnect(ScenarioContext& c) {
    ClassicLink* l = c.randomClassicLink();
    if (!l) return;
    Random& r = c.rng;
    if (r.chance(60)) {
        c.hciStatusExchange(kHciDisconnect, Bytes{}.u16(l->handle).u8(kRemoteUserTerminated));
        c.lmp(true, *l, kLmpDetach, Bytes{kRemoteUserTerminated}, l->role);
        c.wait(r.range(20, 60));
        closeLink(c, *l, kLocalHostTerminated, -1);
    } else {
        c.lmp(false, *l, kLmpDetach, Bytes{kRemoteUserTerminated}, 1 - l->role);
        c.wait(r.range(1, 10));
        closeLink(c, *l, kRemoteUserTerminated, -1);
    }
}

void scenarioLinkLoss(ScenarioContext& c) {
    ClassicLink* l = c.randomClassicLink();
    if (!l) return;
    Extra e;
    e.byte = c.linkIdOf(*l);
    c.emit(Msg::LcSupervisionTimeout, {}, e);
    closeLink(c, *l, kConnectionTimeout, kRed);
}

}  // namespace nimbrel::sim

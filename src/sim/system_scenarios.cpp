// Start-up, housekeeping, warnings and errors, raw dumps and unknown messages.
#include <array>
#include <string_view>

#include "decoders/hci_lmp_codes.h"
#include "sim/scenario_context.h"

namespace nimbrel::sim {
namespace {

constexpr std::array<std::string_view, 7> kTaskNames = {"ll_sched", "lc", "lm",  "hci",
                                                        "le_ctrl",  "pm", "idle"};

constexpr std::array<std::string_view, 6> kAsserts = {
    "lc_sched.c:slot != NULL",         "lm_conn.c:link->state == LM_CONNECTED",
    "hci_tl.c:rx_len <= HCI_MAX",      "le_adv.c:interval >= 0x20",
    "mem_pool.c:blk->magic == 0x5EED", "afh.c:num_used >= 20",
};

constexpr std::array<std::string_view, 3> kFatals = {
    "hard fault at 0x0001a3f4",
    "stack overflow in task lm",
    "heap corrupted",
};

std::uint32_t signedWord(int v) { return static_cast<std::uint32_t>(v); }

void emitBdAddr(ScenarioContext& c, Msg m, const BdAddr& a,
                std::initializer_list<std::uint32_t> tail = {}) {
    std::uint32_t words[8];
    std::size_t n = 0;
    for (int i = 5; i >= 0; --i) words[n++] = a.b[static_cast<std::size_t>(i)];
    for (std::uint32_t t : tail) words[n++] = t;
    c.emit(m, std::span<const std::uint32_t>(words, n));
}

void hostInit(ScenarioContext& c) {
    Random& r = c.rng;
    c.hciExchange(kHciReset, {}, {0});
    c.wait(r.range(1, 4));
    // Read Local Version Information: HCI 5.0, revision, LMP 5.0, company, subversion.
    c.hciExchange(kHciReadLocalVersionInformation, {},
                  Bytes{0, 0x09}.u16(0x000E).u8(0x09).u16(0x05F1).u16(0x2207));
    c.hciExchange(kHciReadLocalSupportedFeatures, {},
                  Bytes{0, 0xFF, 0xFE, 0x8F, 0xFE, 0xD8, 0x3F, 0x5B, 0x87});
    c.hciExchange(kHciReadBufferSize, {}, Bytes{0}.u16(1021).u8(64).u16(8).u16(4));
    c.hciExchange(kHciReadBdAddr, {}, Bytes{0}.addr(c.localAddr));
    c.hciExchange(kHciSetEventMask, Bytes{0xFF, 0xFF, 0xFB, 0xFF, 0x07, 0xF8, 0xBF, 0x3D}, {0});
    c.hciExchange(kHciLeSetEventMask, Bytes{0x1F, 0, 0, 0, 0, 0, 0, 0}, {0});
    c.hciExchange(kHciLeReadBufferSize, {}, Bytes{0}.u16(251).u8(8));
    c.hciExchange(kHciWriteSimplePairingMode, Bytes{1}, {0});
    c.hciExchange(kHciWriteLocalName, Bytes{}.text("nimbrel-demo-board").zeros(2), {0}, 248);
    c.hciExchange(kHciWriteClassOfDevice, Bytes{}.u24(0x5A020C), {0});
    c.hciExchange(kHciWriteInquiryMode, Bytes{2}, {0});  // Inquiry Mode: extended
    c.hciExchange(kHciWriteExtendedInquiryResponse, Bytes{1, 0x13, 0x09}.text("nimbrel-demo"), {0},
                  241);
    c.hciExchange(kHciWriteScanEnable, Bytes{3}, {0});
}

}  // namespace

void scenarioBoot(ScenarioContext& c) {
    Random& r = c.rng;
    c.booted = true;
    c.emit(Msg::SysBootBanner);
    c.emit(Msg::SysResetReason, {r.chance(80) ? 0u : 3u});
    c.emit(Msg::SysRomVersion, {2, 7, r.range(0, 9)});
    c.emit(Msg::SysChipId, {0x2052, r.range(1, 3)});
    c.emit(Msg::SysPatchInfo, {0x20240312, r.range(40, 120)});
    c.wait(1);
    c.emit(Msg::SysXtal, {40000, r.range(20, 60)});
    c.emit(Msg::SysHeapInit, {0x20010000, 65536});
    c.emit(Msg::SysUartConfig, {115200, 0});
    c.emitText(Msg::SysBuildInfo, "fw 3.1.4-rel 2024-03-12 14:02 (demo)", true);
    for (std::size_t i = 0; i < kTaskNames.size(); ++i) {
        Extra e;
        e.byte = static_cast<std::uint8_t>(i + 1);
        c.emitText(Msg::SysTaskStart, kTaskNames[i], i % 2 == 0, e);
    }
    c.wait(r.range(8, 20));
    Extra cal;
    cal.byte = static_cast<std::uint8_t>(r.range(12, 24));
    cal.word = static_cast<std::uint16_t>(r.range(9000, 16000));
    c.emit(Msg::SysRfCalDone, {}, cal);
    c.emit(Msg::SysFeatures, {0xFE8FFEFF, 0x875B3FD8});
    emitBdAddr(c, Msg::SysBdAddr, c.localAddr);
    c.emit(Msg::SysInitDone, {r.range(30000, 42000)});
    c.emit(Msg::HciTransportUp, {8});
    c.wait(r.range(150, 600));  // the host stack starts
    hostInit(c);
}

void scenarioHousekeeping(ScenarioContext& c) {
    Random& r = c.rng;
    switch (r.below(10)) {
    case 0: {
        Extra e;
        e.word = ++c.watchdogCount;
        c.emit(Msg::SysWatchdogKick, {}, e);
        break;
    }
    case 1: c.emit(Msg::SysIdle); break;
    case 2: {
        const std::uint32_t planned = r.range(20, 400);
        Extra e;
        e.word = static_cast<std::uint16_t>(planned);
        c.emit(Msg::PmSleep, {}, e);
        c.wait(planned);
        c.emit(Msg::PmWake, {r.range(0, 3), planned});
        break;
    }
    case 3: {
        Extra e;
        e.byte = static_cast<std::uint8_t>(r.range(1, 12));
        c.emit(Msg::OsTimerExpired, {}, e);
        break;
    }
    case 4: {
        const std::uint32_t task = r.range(1, 7);
        Extra e;
        e.byte = static_cast<std::uint8_t>(task);
        c.emit(Msg::OsStackUsage, {task, r.range(300, 1800)}, e);
        break;
    }
    case 5: c.emit(Msg::LcClockDrift, {signedWord(static_cast<int>(r.range(0, 80)) - 40)}); break;
    case 6: {
        Extra e;
        e.byte = static_cast<std::uint8_t>(r.range(0, 63));
        e.word = static_cast<std::uint16_t>(r.range(4, 40));
        c.emit(Msg::OsFlashWrite, {}, e);
        break;
    }
    case 7: c.emit(Msg::HciCredits, {r.range(1, 4)}); break;
    case 8:
        if (ClassicLink* l = c.randomClassicLink()) {
            c.emit(Msg::LcRssi, {c.linkIdOf(*l), signedWord(-static_cast<int>(r.range(35, 90)))});
        } else {
            c.emit(Msg::SysIdle);
        }
        break;
    default: c.emit(Msg::PmVoltage, {r.range(3180, 3320)}); break;
    }
}

void scenarioWarning(ScenarioContext& c) {
    Random& r = c.rng;
    switch (r.below(12)) {
    case 0: c.emit(Msg::OsHeapLow, {r.range(600, 2000), r.range(128, 512)}); break;
    case 1: {
        const std::uint32_t task = r.range(1, 7);
        Extra e;
        e.byte = static_cast<std::uint8_t>(task);
        c.emit(Msg::OsQueueFull, {task, r.range(0x100, 0x140)}, e);
        break;
    }
    case 2: {
        if (r.chance(60)) {  // asserts are rarer than the other troubles
            c.emit(Msg::OsHeapLow, {r.range(600, 2000), r.range(128, 512)});
            break;
        }
        Extra e;
        e.byte = static_cast<std::uint8_t>(r.range(1, 7));
        e.word = static_cast<std::uint16_t>(r.range(100, 3000));
        c.emitText(Msg::OsAssert, kAsserts[r.below(kAsserts.size())], r.chance(50), e);
        break;
    }
    case 3: c.emit(Msg::OsError, {r.range(0x10, 0x3F), r.range(1, 7)}); break;
    case 4: {
        Extra e;
        e.byte = static_cast<std::uint8_t>(r.range(0, 2));
        c.emit(Msg::HciRxOverflow, {}, e);
        break;
    }
    case 5: {
        Extra e;
        e.word = static_cast<std::uint16_t>(r.range(50, 900));
        c.emit(Msg::LcSchedOverrun, {}, e);
        break;
    }
    case 6: {
        // A vendor command the controller does not know: status Unknown HCI Command.
        const std::uint16_t opcode = static_cast<std::uint16_t>(0xFC00 | r.range(0x10, 0x7F));
        c.hciCommand(opcode, Bytes{}.random(r, r.range(0, 6)));
        c.emit(Msg::HciUnknownOpcode, {opcode});
        c.commandComplete(opcode, {0x01});
        break;
    }
    case 7: c.emit(Msg::HciCmdTimeout, {0x0C14, 2000}); break;
    case 8:
        if (ClassicLink* l = c.randomClassicLink()) {
            c.emit(Msg::LmpRspTimeout, {c.linkIdOf(*l), 37});
        } else {
            c.emit(Msg::PmVoltage, {r.range(2900, 3000)}, {.colour = kRed});
        }
        break;
    case 9:
        if (ClassicLink* l = c.randomClassicLink()) {
            c.emit(Msg::LmpCollision, {c.linkIdOf(*l), 19});
        } else {
            c.emit(Msg::OsHeapLow, {r.range(600, 2000), r.range(128, 512)});
        }
        break;
    case 10:
        if (LeLink* l = c.randomLeLink()) {
            c.emit(Msg::LeMicFailure, {l->handle});
        } else {
            c.emit(Msg::OsError, {r.range(0x10, 0x3F), r.range(1, 7)});
        }
        break;
    default:
        if (r.chance(30)) {
            Extra e;
            e.byte = static_cast<std::uint8_t>(r.range(1, 7));
            e.word = static_cast<std::uint16_t>(r.range(100, 3000));
            c.emitText(Msg::OsFatal, kFatals[r.below(kFatals.size())], true, e);
        } else {
            c.emit(Msg::SysResetReason, {r.range(1, 4)});
        }
        break;
    }
}

void scenarioRawDump(ScenarioContext& c) {
    Random& r = c.rng;
    Extra e;
    e.layout = static_cast<int>(r.range(8, 11));
    e.colour = static_cast<int>(r.below(8));
    e.byte = static_cast<std::uint8_t>(r.range(1, 7));
    e.word = static_cast<std::uint16_t>(r.below(0x8000) & 0xFFF0);
    c.emitBytes(Msg::RawDump, Bytes{}.random(r, r.range(8, 48)), e);
}

void scenarioUndefinedIndex(ScenarioContext& c) {
    Random& r = c.rng;
    if (r.chance(50)) {
        c.emit(Msg::UndefinedPlain);
    } else {
        c.emit(Msg::UndefinedWithParams, {r.range(0, 255), r.word() & 0xFFFF});
    }
}

}  // namespace nimbrel::sim

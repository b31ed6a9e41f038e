// The simulated firmware's trace messages: message index, record layout, default colour and
// module (the info byte). The texts live in data/LOG1.h under the same indices.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "pipeline/message_indices.h"

namespace nimbrel::sim {

// Colour codes of the flags byte.
enum Colour : std::uint8_t {
    kGrey = 0,
    kGreen = 1,
    kRed = 2,
    kWhite = 3,
    kCyan = 4,
    kYellow = 5,
    kGrey6 = 6,
    kGrey7 = 7,
};

// Firmware modules (info byte).
enum Module : std::uint8_t {
    kModSys = 1,
    kModHci = 2,
    kModLm = 3,
    kModLc = 4,
    kModLe = 5,
    kModOs = 6,
    kModPm = 7,
};

enum class Msg : std::uint8_t {
    SysBootBanner,
    SysRomVersion,
    SysPatchInfo,
    SysChipId,
    SysXtal,
    SysHeapInit,
    SysUartConfig,
    SysBuildInfo,
    SysTaskStart,
    SysRfCalDone,
    SysBdAddr,
    SysInitDone,
    SysResetReason,
    SysIdle,
    SysWatchdogKick,
    SysFeatures,
    HciTransportUp,
    HciCredits,
    HciAclTx,
    HciAclRx,
    HciRxOverflow,
    HciCommand,
    HciUnknownOpcode,
    HciCmdTimeout,
    HciEvent,
    HciNumCompleted,
    LmpLinkState,
    LmpTx,
    LmpTxExt,
    LmpRx,
    LmpRxExt,
    LmpRspTimeout,
    LmpRemoteName,
    LmpCollision,
    LcPageStart,
    LcPageDone,
    LcInquiryStart,
    LcInquiryRsp,
    LcSupervisionTimeout,
    LcAfhUpdate,
    LcSniff,
    LcRoleSwitch,
    LcSchedOverrun,
    LcEncryption,
    LcRssi,
    LcClockDrift,
    LeAdvStart,
    LeAdvStop,
    LeScanStart,
    LeScanStop,
    LeAdvReport,
    LeAdvName,
    LeConnCreated,
    LeConnEvent,
    LeConnUpdate,
    LeMicFailure,
    OsAssert,
    OsHeapLow,
    OsQueueFull,
    OsStackUsage,
    OsError,
    OsTimerExpired,
    OsFlashWrite,
    OsFatal,
    PmSleep,
    PmWake,
    PmVoltage,
    RawDump,
    // Indices that data/LOG1.h leaves undefined on purpose (a firmware newer than its
    // definition file): one without parameters, one with.
    UndefinedPlain,
    UndefinedWithParams,
    Count
};

struct MessageShape {
    std::uint16_t index;
    std::uint8_t layout;  // default layout (the raw dump varies it among 8..11)
    std::uint8_t colour;
    std::uint8_t module;
};

inline constexpr std::size_t kMessageCount = static_cast<std::size_t>(Msg::Count);

const MessageShape& messageShape(Msg m);

inline constexpr std::array<std::uint16_t, 2> kUndefinedIndices = {3098, 4110};

}  // namespace nimbrel::sim

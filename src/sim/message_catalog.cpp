#include "sim/message_catalog.h"

namespace nimbrel::sim {
namespace {

// One row per Msg, in the order of the enumeration.
constexpr std::array<MessageShape, kMessageCount> kShapes{{
    // system
    {1, 0, kWhite, kModSys},    // SysBootBanner
    {2, 4, kGreen, kModSys},    // SysRomVersion
    {3, 4, kGreen, kModSys},    // SysPatchInfo
    {4, 4, kWhite, kModSys},    // SysChipId
    {5, 4, kGrey, kModSys},     // SysXtal
    {6, 4, kGrey, kModSys},     // SysHeapInit
    {7, 4, kGreen, kModSys},    // SysUartConfig
    {8, 8, kWhite, kModSys},    // SysBuildInfo
    {9, 10, kGreen, kModSys},   // SysTaskStart (extra byte: task id)
    {10, 3, kGreen, kModSys},   // SysRfCalDone (extra byte: steps, extra word: duration us)
    {11, 4, kWhite, kModSys},   // SysBdAddr
    {12, 4, kGreen, kModSys},   // SysInitDone
    {13, 4, kYellow, kModSys},  // SysResetReason
    {14, 0, kGrey6, kModSys},   // SysIdle
    {15, 1, kGrey7, kModSys},   // SysWatchdogKick (extra word: count)
    {16, 4, kGrey, kModSys},    // SysFeatures
    // HCI
    {1350, 4, kGreen, kModHci},   // HciTransportUp
    {1351, 4, kGrey, kModHci},    // HciCredits
    {1352, 5, kGrey, kModHci},    // HciAclTx (extra word: sequence)
    {1353, 5, kGrey, kModHci},    // HciAclRx (extra word: sequence)
    {1354, 2, kRed, kModHci},     // HciRxOverflow (extra byte: queue)
    {1355, 4, kWhite, kModHci},   // HciCommand
    {1356, 4, kYellow, kModHci},  // HciUnknownOpcode
    {1357, 4, kRed, kModHci},     // HciCmdTimeout
    {1358, 6, kGreen, kModHci},   // HciEvent (extra byte: events queued)
    {1359, 4, kGrey, kModHci},    // HciNumCompleted
    // link manager
    {3090, 4, kCyan, kModLm},    // LmpLinkState
    {3091, 7, kCyan, kModLm},    // LmpTx (extra byte: link, extra word: clock)
    {3092, 7, kCyan, kModLm},    // LmpTxExt
    {3093, 5, kCyan, kModLm},    // LmpRx (extra word: clock)
    {3094, 5, kCyan, kModLm},    // LmpRxExt
    {3095, 4, kRed, kModLm},     // LmpRspTimeout
    {3096, 10, kCyan, kModLm},   // LmpRemoteName (extra byte: link)
    {3097, 4, kYellow, kModLm},  // LmpCollision
    // link controller
    {4000, 4, kCyan, kModLc},    // LcPageStart
    {4001, 4, kGreen, kModLc},   // LcPageDone
    {4002, 4, kCyan, kModLc},    // LcInquiryStart
    {4003, 4, kGrey, kModLc},    // LcInquiryRsp
    {4004, 2, kRed, kModLc},     // LcSupervisionTimeout (extra byte: link)
    {4005, 4, kGrey, kModLc},    // LcAfhUpdate
    {4006, 4, kCyan, kModLc},    // LcSniff
    {4007, 4, kGreen, kModLc},   // LcRoleSwitch
    {4008, 1, kYellow, kModLc},  // LcSchedOverrun (extra word: microseconds late)
    {4009, 4, kGreen, kModLc},   // LcEncryption
    {4010, 4, kGrey, kModLc},    // LcRssi
    {4011, 4, kGrey6, kModLc},   // LcClockDrift
    // LE
    {4100, 4, kCyan, kModLe},   // LeAdvStart
    {4101, 0, kCyan, kModLe},   // LeAdvStop
    {4102, 4, kCyan, kModLe},   // LeScanStart
    {4103, 0, kGrey, kModLe},   // LeScanStop
    {4104, 4, kGrey, kModLe},   // LeAdvReport
    {4105, 8, kGrey7, kModLe},  // LeAdvName
    {4106, 4, kGreen, kModLe},  // LeConnCreated
    {4107, 5, kGrey, kModLe},   // LeConnEvent (extra word: event counter)
    {4108, 4, kCyan, kModLe},   // LeConnUpdate
    {4109, 4, kRed, kModLe},    // LeMicFailure
    // OS
    {5000, 11, kRed, kModOs},    // OsAssert (extra byte: module, extra word: line)
    {5001, 4, kYellow, kModOs},  // OsHeapLow
    {5002, 6, kRed, kModOs},     // OsQueueFull (extra byte: task)
    {5003, 6, kGrey6, kModOs},   // OsStackUsage (extra byte: task)
    {5004, 4, kRed, kModOs},     // OsError
    {5005, 2, kGrey, kModOs},    // OsTimerExpired (extra byte: timer)
    {5006, 3, kGrey, kModOs},    // OsFlashWrite (extra byte: sector, extra word: ms)
    {5007, 11, kRed, kModOs},    // OsFatal (extra byte: module, extra word: line)
    // power
    {6000, 1, kGrey, kModPm},    // PmSleep (extra word: planned ms)
    {6001, 4, kGrey, kModPm},    // PmWake
    {6002, 4, kYellow, kModPm},  // PmVoltage
    // raw dump
    {kRawDumpIndex, 9, kGrey, kModSys},  // RawDump (extra word: address)
    // deliberately undefined
    {kUndefinedIndices[0], 0, kYellow, kModLm},  // UndefinedPlain
    {kUndefinedIndices[1], 4, kCyan, kModLe},    // UndefinedWithParams
}};

static_assert(kShapes[static_cast<std::size_t>(Msg::HciCommand)].index == kHciCommandIndex);
static_assert(kShapes[static_cast<std::size_t>(Msg::HciEvent)].index == kHciEventIndex);
static_assert(kShapes[static_cast<std::size_t>(Msg::LmpTx)].index == kLmpSentIndex);
static_assert(kShapes[static_cast<std::size_t>(Msg::LmpTxExt)].index == kLmpSentExtIndex);
static_assert(kShapes[static_cast<std::size_t>(Msg::LmpRx)].index == kLmpReceivedIndex);
static_assert(kShapes[static_cast<std::size_t>(Msg::LmpRxExt)].index == kLmpReceivedExtIndex);
static_assert(kShapes[static_cast<std::size_t>(Msg::PmVoltage)].index == 6002);

}  // namespace

const MessageShape& messageShape(Msg m) { return kShapes[static_cast<std::size_t>(m)]; }

}  // namespace nimbrel::sim

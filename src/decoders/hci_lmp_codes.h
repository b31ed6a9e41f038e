// HCI and LMP records as the controller logs them: where each value sits among a record's
// 32-bit parameter words, and the protocol codes the decoders and the simulator share.
// The message indices of these records are in pipeline/message_indices.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace nimbrel {

// HCI command and event records: word 0 holds the opcode (bits 0-15) or the event code
// (bits 0-7), word 1 the packet's parameter length, and the words from 2 on the first
// parameter bytes of the packet, one byte per word.
inline constexpr std::size_t kHciCodeWord = 0;
inline constexpr std::size_t kHciLengthWord = 1;
inline constexpr std::size_t kHciFirstParamWord = 2;
inline constexpr std::size_t kHciLoggedParamBytes = 20;
// For the LE meta event, parameter byte 0 is the subevent code.
inline constexpr std::size_t kLeSubeventWord = kHciFirstParamWord;

// LMP PDU records. Basic: link, opcode, transaction id, length, clock, role, two unused
// words, then up to seven content words. Extended: link, escape opcode, extended opcode,
// transaction id, length, clock, role, three unused words, then up to six content words.
inline constexpr std::size_t kLmpLinkWord = 0;
inline constexpr std::size_t kLmpOpcodeWord = 1;
inline constexpr std::size_t kLmpBasicFirstContentWord = 8;
inline constexpr std::size_t kLmpBasicContentWords = 7;
inline constexpr std::size_t kLmpBasicWords = kLmpBasicFirstContentWord + kLmpBasicContentWords;
inline constexpr std::size_t kLmpExtOpcodeWord = 2;
inline constexpr std::size_t kLmpExtFirstContentWord = 10;
inline constexpr std::size_t kLmpExtContentWords = 6;
inline constexpr std::size_t kLmpExtWords = kLmpExtFirstContentWord + kLmpExtContentWords;
inline constexpr std::uint32_t kLmpEscapeOpcode = 127;

// HCI command opcodes (OGF << 10 | OCF).
enum HciOpcode : std::uint16_t {
    kHciInquiry = 0x0401,
    kHciCreateConnection = 0x0405,
    kHciDisconnect = 0x0406,
    kHciAcceptConnectionRequest = 0x0409,
    kHciLinkKeyRequestReply = 0x040C,
    kHciAuthenticationRequested = 0x0411,
    kHciSetConnectionEncryption = 0x0413,
    kHciRemoteNameRequest = 0x0419,
    kHciReadRemoteSupportedFeatures = 0x041B,
    kHciReadRemoteVersionInformation = 0x041D,
    kHciIoCapabilityRequestReply = 0x042B,
    kHciUserConfirmationRequestReply = 0x042C,
    kHciSniffMode = 0x0803,
    kHciExitSniffMode = 0x0804,
    kHciSwitchRole = 0x080B,
    kHciSetEventMask = 0x0C01,
    kHciReset = 0x0C03,
    kHciWriteLocalName = 0x0C13,
    kHciWriteScanEnable = 0x0C1A,
    kHciWriteClassOfDevice = 0x0C24,
    kHciWriteLinkSupervisionTimeout = 0x0C37,
    kHciWriteInquiryMode = 0x0C45,
    kHciWriteExtendedInquiryResponse = 0x0C52,
    kHciWriteSimplePairingMode = 0x0C56,
    kHciReadLocalVersionInformation = 0x1001,
    kHciReadLocalSupportedFeatures = 0x1003,
    kHciReadBufferSize = 0x1005,
    kHciReadBdAddr = 0x1009,
    kHciLeSetEventMask = 0x2001,
    kHciLeReadBufferSize = 0x2002,
    kHciLeSetAdvertisingParameters = 0x2006,
    kHciLeSetAdvertisingData = 0x2008,
    kHciLeSetScanResponseData = 0x2009,
    kHciLeSetAdvertiseEnable = 0x200A,
    kHciLeSetScanParameters = 0x200B,
    kHciLeSetScanEnable = 0x200C,
    kHciLeCreateConnection = 0x200D,
    kHciLeConnectionUpdate = 0x2013,
    kHciLeReadRemoteFeatures = 0x2016,
    kHciLeLongTermKeyRequestReply = 0x201A,
};

// HCI event codes.
enum HciEventCode : std::uint8_t {
    kInquiryCompleteEvent = 0x01,
    kConnectionCompleteEvent = 0x03,
    kConnectionRequestEvent = 0x04,
    kDisconnectionCompleteEvent = 0x05,
    kAuthenticationCompleteEvent = 0x06,
    kRemoteNameRequestCompleteEvent = 0x07,
    kEncryptionChangeEvent = 0x08,
    kReadRemoteSupportedFeaturesCompleteEvent = 0x0B,
    kReadRemoteVersionInformationCompleteEvent = 0x0C,
    kCommandCompleteEvent = 0x0E,
    kCommandStatusEvent = 0x0F,
    kRoleChangeEvent = 0x12,
    kNumberOfCompletedPacketsEvent = 0x13,
    kModeChangeEvent = 0x14,
    kLinkKeyRequestEvent = 0x17,
    kLinkKeyNotificationEvent = 0x18,
    kMaxSlotsChangeEvent = 0x1B,
    kInquiryResultWithRssiEvent = 0x22,
    kExtendedInquiryResultEvent = 0x2F,
    kIoCapabilityRequestEvent = 0x31,
    kIoCapabilityResponseEvent = 0x32,
    kUserConfirmationRequestEvent = 0x33,
    kSimplePairingCompleteEvent = 0x36,
    kLeMetaEvent = 0x3E,
};

// Subevent codes of the LE meta event.
enum LeSubeventCode : std::uint8_t {
    kLeConnectionCompleteSubevent = 0x01,
    kLeAdvertisingReportSubevent = 0x02,
    kLeConnectionUpdateCompleteSubevent = 0x03,
    kLeReadRemoteFeaturesCompleteSubevent = 0x04,
    kLeLongTermKeyRequestSubevent = 0x05,
    kLeRemoteConnectionParameterRequestSubevent = 0x06,
};

// LMP opcodes.
enum LmpOpcode : std::uint32_t {
    kLmpNameReq = 1,
    kLmpNameRes = 2,
    kLmpAccepted = 3,
    kLmpNotAccepted = 4,
    kLmpDetach = 7,
    kLmpEncryptionModeReq = 15,
    kLmpEncryptionKeySizeReq = 16,
    kLmpStartEncryptionReq = 17,
    kLmpSwitchReq = 19,
    kLmpSniffReq = 23,
    kLmpUnsniffReq = 24,
    kLmpIncrPowerReq = 31,
    kLmpMaxPower = 33,
    kLmpVersionReq = 37,
    kLmpVersionRes = 38,
    kLmpFeaturesReq = 39,
    kLmpFeaturesRes = 40,
    kLmpQualityOfServiceReq = 42,
    kLmpMaxSlot = 45,
    kLmpSetupComplete = 49,
    kLmpHostConnectionReq = 51,
    kLmpSupervisionTimeout = 55,
    kLmpSetAfh = 60,
    kLmpSimplePairingConfirm = 63,
    kLmpSimplePairingNumber = 64,
    kLmpDhkeyCheck = 65,
};

// Extended LMP opcodes (after the escape opcode 127).
enum LmpExtOpcode : std::uint32_t {
    kLmpExtAccepted = 1,
    kLmpExtFeaturesReq = 3,
    kLmpExtFeaturesRes = 4,
    kLmpExtPacketTypeTableReq = 11,
    kLmpExtChannelClassificationReq = 16,
    kLmpExtChannelClassification = 17,
    kLmpExtIoCapabilityReq = 25,
    kLmpExtIoCapabilityRes = 26,
    kLmpExtPowerControlReq = 31,
    kLmpExtPowerControlRes = 32,
};

}  // namespace nimbrel

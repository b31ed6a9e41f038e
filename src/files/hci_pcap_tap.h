// The HCI packets of a live capture as a pcap stream: a record sink beside the formatter,
// called on the print thread for every framed record, that writes each packet at once,
// stamped with the time it was framed.
#pragma once

#include <atomic>
#include <cstdint>

#include "files/hci_packet.h"
#include "pipeline/record_framer.h"

namespace nimbrel {

class MessageDefinitionTable;
class PcapStreamWriter;

class HciPcapTap : public RecordSink {
public:
    HciPcapTap(const MessageDefinitionTable& definitions, bool skipFirstWord,
               PcapStreamWriter& writer)
        : definitions_(definitions), skipFirstWord_(skipFirstWord), writer_(writer) {}

    // Print thread. After a failed write nothing more is written.
    void onRecord(const RecordRef& record, bool lastInWindow) override;

    // Any thread: the errno value of the failed write (EPIPE: the reader has gone), or 0.
    int writeError() const { return writeError_.load(); }
    std::uint64_t packets() const { return packets_.load(); }

private:
    const MessageDefinitionTable& definitions_;
    const bool skipFirstWord_;
    PcapStreamWriter& writer_;
    HciPacket packet_;
    std::atomic<int> writeError_{0};
    std::atomic<std::uint64_t> packets_{0};
};

}  // namespace nimbrel

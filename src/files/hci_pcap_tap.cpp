#include "files/hci_pcap_tap.h"

#include "files/pcap_writer.h"
#include "platform/utc_time.h"

namespace nimbrel {

void HciPcapTap::onRecord(const RecordRef& record, bool) {
    if (writeError_.load(std::memory_order_relaxed) != 0) return;
    if (hciPacketOfRecord(record, definitions_, skipFirstWord_, packet_) != HciRecordKind::Packet)
        return;
    if (const int error = writer_.write(packet_, unixMicrosNow()); error != 0) {
        writeError_.store(error);
        return;
    }
    packets_.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace nimbrel

#include "files/hci_export.h"

#include "files/btsnoop_writer.h"
#include "pipeline/log_console.h"
#include "pipeline/record_line_composer.h"
#include "platform/output_file.h"
#include "platform/text.h"

namespace nimbrel {
namespace {

// Packets held while no stamp has been seen: beyond this many they are written undated
// rather than held in memory.
constexpr std::size_t kMaxPendingPackets = 4096;

}  // namespace

HciBtsnoopExport::HciBtsnoopExport(const MessageDefinitionTable& definitions, bool skipFirstWord,
                                   BtsnoopWriter& writer)
    : definitions_(definitions), skipFirstWord_(skipFirstWord), writer_(writer) {}

void HciBtsnoopExport::onStampedRecord(const RecordRef& record, const RawStamp* stamp) {
    // Every record moves the clock, as in the replay, whether or not it is a packet.
    if (stamp && isPlausibleStamp(*stamp)) {
        lastStamp_ = *stamp;
        if (!haveStamp_) {
            haveStamp_ = true;
            writePending(clock_.unixMicros(lastStamp_.year, lastStamp_.month, lastStamp_.day,
                                           lastStamp_.hour, lastStamp_.minute, lastStamp_.second,
                                           lastStamp_.millisecond));
        }
    } else if (stamp && haveStamp_) {
        advanceStampByOneMillisecond(lastStamp_);
    }

    switch (hciPacketOfRecord(record, definitions_, skipFirstWord_, packet_)) {
    case HciRecordKind::NotHci: return;
    case HciRecordKind::ByteParameters: ++counts_.byteParameters; return;
    case HciRecordKind::NotDefined: ++counts_.notDefined; return;
    case HciRecordKind::Packet: break;
    }
    if (!haveStamp_) {
        if (pending_.size() >= kMaxPendingPackets) writePending(0);
        pending_.push_back(packet_);
        return;
    }
    // The advance by a millisecond may carry the hour past 23; the conversion carries it
    // into the next day.
    writePacket(packet_, clock_.unixMicros(lastStamp_.year, lastStamp_.month, lastStamp_.day,
                                           lastStamp_.hour, lastStamp_.minute, lastStamp_.second,
                                           lastStamp_.millisecond));
}

void HciBtsnoopExport::finish() {
    if (!pending_.empty()) writePending(0);
}

void HciBtsnoopExport::writePacket(const HciPacket& packet, std::int64_t unixMicros) {
    writer_.write(packet, unixMicros);
    ++(packet.type == HciPacketType::Command ? counts_.commands : counts_.events);
    if (packet.truncated()) ++counts_.truncated;
}

void HciBtsnoopExport::writePending(std::int64_t unixMicros) {
    if (!haveStamp_) counts_.undated += pending_.size();
    for (const HciPacket& p : pending_) writePacket(p, unixMicros);
    pending_.clear();
}

HciExportResult exportHciPackets(const RawDataInput& input, const std::string& inputPath,
                                 const MessageDefinitionTable& definitions, bool skipFirstWord,
                                 const std::string& outPath, LogConsole& console,
                                 const std::atomic<bool>& stop,
                                 const std::function<void(int)>& progress,
                                 const DefaultCaseReport& defaultCase) {
    HciExportResult result;
    // Replacing the input with its own export would lose the raw data.
    if (isSameFile(inputPath, outPath)) {
        result.outputIsInput = true;
        return result;
    }
    OutputFile file;
    if ((result.writeError = file.create(outPath)) != 0) return result;
    BtsnoopWriter writer(file);
    HciBtsnoopExport exporter(definitions, skipFirstWord, writer);
    result.scan = scanRawDataFile(input, exporter, console, stop, progress, defaultCase);
    exporter.finish();
    result.counts = exporter.counts();
    // A cancelled or failed scan leaves no file: the export is whole or absent.
    if (result.scan.cancelled || result.scan.readError != 0 || result.scan.fileChanged)
        return result;
    result.writeError = writer.flush();
    if (result.writeError == 0) result.writeError = file.commit();
    return result;
}

void printHciExportSummary(const HciExportResult& result, const std::string& outPath,
                           LogConsole& console) {
    const HciExportCounts& c = result.counts;
    const std::u16string out = utf8ToUtf16(outPath);
    console.print(
        u"[G] Exported %d HCI packets (%d commands, %d events; %d logged shorter than "
        u"their length) from %d records to \"%s\".",
        {c.packets(), c.commands, c.events, c.truncated, result.scan.records, out});
    if (c.byteParameters) {
        console.print(u"[Y] Skipped %d HCI records with 8-bit parameters (paraWide is 1 not 4).",
                      {c.byteParameters});
    }
    if (c.notDefined) {
        console.print(
            u"[Y] Skipped %d HCI records that do not fit their definition (parameter "
            u"errors).",
            {c.notDefined});
    }
    if (c.undated) {
        console.print(
            u"[Y] %d packets have no plausible time stamp before or after them: they "
            u"are stamped 1970-01-01 00:00:00 UTC.",
            {c.undated});
    }
    if (c.packets() == 0) {
        console.print(
            u"[Y] Warning: \"%s\" holds no HCI packets: no HCI command or event record "
            u"was found.",
            {out});
    }
}

}  // namespace nimbrel

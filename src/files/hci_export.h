// Export of the HCI packets of a raw data file to a btsnoop file. The file is scanned by
// the replay's scanner, each record is mapped to its packet as the replay would decode it,
// and each packet takes its record's stamp under the replay's rules (a plausible stamp is
// kept, an implausible one advances the last by a millisecond, a record without one takes
// the last), converted from local time to UTC so that readers show the clock the replay
// shows.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "files/hci_packet.h"
#include "files/raw_data_replay.h"
#include "pipeline/raw_data_file.h"
#include "pipeline/record_framer.h"
#include "platform/utc_time.h"

namespace nimbrel {

class BtsnoopWriter;
class LogConsole;
class MessageDefinitionTable;

struct HciExportCounts {
    std::uint64_t commands = 0;
    std::uint64_t events = 0;
    // Packets of which the firmware logged fewer bytes than their header announces.
    std::uint64_t truncated = 0;
    // HCI records without a packet: 8-bit parameters ("paraWide is 1 not 4"), or not
    // fitting their definition (shown as parameter errors).
    std::uint64_t byteParameters = 0;
    std::uint64_t notDefined = 0;
    // Packets of a file without any plausible stamp: written at the Unix epoch.
    std::uint64_t undated = 0;

    std::uint64_t packets() const { return commands + events; }
};

// Receives the records of one raw data file and writes their HCI packets.
class HciBtsnoopExport : public StampedRecordSink {
public:
    HciBtsnoopExport(const MessageDefinitionTable& definitions, bool skipFirstWord,
                     BtsnoopWriter& writer);

    void onStampedRecord(const RecordRef& record, const RawStamp* stamp) override;
    // After the last record: writes the packets still waiting for a stamp.
    void finish();
    const HciExportCounts& counts() const { return counts_; }

private:
    void writePacket(const HciPacket& packet, std::int64_t unixMicros);
    void writePending(std::int64_t unixMicros);

    const MessageDefinitionTable& definitions_;
    const bool skipFirstWord_;
    BtsnoopWriter& writer_;
    HciExportCounts counts_;
    bool haveStamp_ = false;
    RawStamp lastStamp_{};
    LocalClockToUtc clock_;
    HciPacket packet_;
    // Packets that came before the file's first plausible stamp; they take that stamp.
    std::vector<HciPacket> pending_;
};

struct HciExportResult {
    ReplayScanResult scan;
    HciExportCounts counts;
    // errno of a failure to create, write or complete the output (nothing is left at its
    // path then, or the file that was there before).
    int writeError = 0;
    // The output path names the raw data file itself: nothing was written.
    bool outputIsInput = false;
};

// Exports `input` (opened from `inputPath`) to a btsnoop file at `outPath`, which appears
// only when complete: a cancelled export (`stop`) or one whose input could not be read
// leaves no file either. `progress` and `defaultCase` are the scanner's (see
// scanRawDataFile).
HciExportResult exportHciPackets(const RawDataInput& input, const std::string& inputPath,
                                 const MessageDefinitionTable& definitions, bool skipFirstWord,
                                 const std::string& outPath, LogConsole& console,
                                 const std::atomic<bool>& stop,
                                 const std::function<void(int percent)>& progress = {},
                                 const DefaultCaseReport& defaultCase = {});

// The export's summary as console lines: what was written in green, what was skipped or
// could not be dated in yellow, and a yellow warning when there were no HCI packets.
void printHciExportSummary(const HciExportResult& result, const std::string& outPath,
                           LogConsole& console);

}  // namespace nimbrel

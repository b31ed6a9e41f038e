// Finds the records in a window of captured bytes. Each call finds at most one record,
// hands it to the sink, and says how many bytes of the window are consumed; the caller
// advances its read position by that much and calls again with the next window.
#pragma once

#include <cstdint>

#include "pipeline/record_layout.h"

namespace nimbrel {

// Receives each framed record. The bytes are valid only during the call.
class RecordSink {
public:
    virtual ~RecordSink() = default;
    virtual void onRecord(const RecordRef& record, bool lastInWindow) = 0;
};

struct RawStamp;

// Receives each record of a raw data file with the stamp in front of it (nullptr when the
// record starts too near the start of the file to have one). The bytes and the stamp are
// valid only during the call.
class StampedRecordSink {
public:
    virtual ~StampedRecordSink() = default;
    virtual void onStampedRecord(const RecordRef& record, const RawStamp* stamp) = 0;
};

struct FrameOutcome {
    std::uint32_t consumed = 0;
    bool emitted = false;
    std::uint32_t recordLength = 0;  // of the emitted record; the rest consumed was noise
};

class RecordFramer {
public:
    // `windowEndsAtWritePosition`: the window holds everything captured so far and the
    // caller has been idle long enough to flush it (a "flushed" window); otherwise more
    // bytes follow the window (a "streaming" window).
    // `streamSettled` (flushed windows only): no bytes have arrived for so long, or the
    // capture has ended, that a record still incomplete in the window is not going to be
    // completed. A candidate that is kept waiting for its bytes is then given up when a
    // later sync pair follows it, so that the records behind it are framed.
    static FrameOutcome frameOne(const std::uint8_t* window, std::uint32_t windowLength,
                                 bool windowEndsAtWritePosition, RecordSink& sink,
                                 bool streamSettled = false);
};

}  // namespace nimbrel

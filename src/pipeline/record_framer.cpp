#include "pipeline/record_framer.h"

#include "platform/trace.h"

namespace nimbrel {
namespace {

bool isSyncAt(const std::uint8_t* w, std::uint32_t i) {
    return w[i] == kSyncByte && w[i + 1] == kSyncByte;
}

// Smallest i in [from, length - 2] with a sync pair at i, or length when there is none.
std::uint32_t findSync(const std::uint8_t* w, std::uint32_t from, std::uint32_t length) {
    for (std::uint32_t i = from; i + 1 < length; ++i) {
        if (w[i] == kSyncByte && w[i + 1] == kSyncByte) return i;
        // w[i+1] is not A5: no pair can start there either.
        if (w[i + 1] != kSyncByte) ++i;
    }
    return length;
}

// Consumes the whole window, except a lone A5 at its very end beyond `keepFrom`: it may be
// the first byte of the next record's sync pair.
std::uint32_t consumeAllButTrailingSync(const std::uint8_t* w, std::uint32_t length,
                                        std::uint32_t keepFrom) {
    if (length > keepFrom && w[length - 1] == kSyncByte) return length - 1;
    return length;
}

}  // namespace

FrameOutcome RecordFramer::frameOne(const std::uint8_t* w, std::uint32_t length, bool flushed,
                                    RecordSink& sink, bool settled) {
    settled = settled && flushed;
    if (length <= 1) {
        // A lone A5 may be the start of a record whose second sync byte is on its way.
        if (length == 1 && w[0] == kSyncByte) return {0, false};
        return {length, false};
    }

    const std::uint32_t s = findSync(w, 0, length);
    if (s == length) return {consumeAllButTrailingSync(w, length, 0), false};

    const std::uint32_t rest = length - s;
    const HeaderCheck header = checkHeader(w + s, rest);
    if (header.badLayout) trace("switch - default\n");
    if (rest <= kRecordHeaderSize) trace("rightBufLength(%u) msgLength(%d)\n", rest, 8);

    const std::uint32_t recordLength = header.layout.length;
    const bool valid = header.state == HeaderState::Known;
    const bool complete = valid && rest >= recordLength;
    const bool plausible = header.state == HeaderState::Incomplete || (valid && !complete);

    // Next sync pair after the candidate's own, at s + p with p >= 2. A candidate that is
    // not a record lets the pair at s + 1 be looked at too: a stray A5 right in front of a
    // record's sync pair must not cost that record.
    const std::uint32_t searchFrom = header.state == HeaderState::Invalid ? s + 1 : s + 2;
    const std::uint32_t next = findSync(w, searchFrom, length);
    const bool haveNext = next < length;
    const std::uint32_t p = next - s;

    auto emit = [&](bool last) {
        const RecordRef record{w + s, header.layout};
        sink.onRecord(record, last);
    };

    // A candidate that may still become a record once more bytes arrive is kept (only the
    // bytes before its sync are consumed): in a flushed window until the stream has
    // settled, in a streaming window when it does not already start the window (a record
    // longer than a streaming window cannot be framed). Once the stream has settled, a
    // candidate with a later sync pair behind it is given up below ("not correct").
    if (plausible && (flushed || s > 0) && !(settled && haveNext)) return {s, false};

    if (complete) {
        const std::uint32_t end = s + recordLength;
        if (haveNext && p >= recordLength) {
            emit(false);
            return {next, true, recordLength};
        }
        if (haveNext) {
            // A5 A5 inside the record's own bytes: the record stands when its end is
            // confirmed by the next record's sync pair or by the end of a flushed window.
            if (end + 1 < length && isSyncAt(w, end)) {
                emit(false);
                return {end, true, recordLength};
            }
            if (flushed && end == length) {
                trace("Last Log Msg\n");
                emit(true);
                return {length, true, recordLength};
            }
            if (end + 1 == length && w[end] == kSyncByte && (flushed || s > 0)) {
                // One A5 after the record: wait for the byte that confirms its end, unless
                // the stream has settled; the record then ends the window's bytes.
                if (!settled) return {s, false};
                trace("Last Log Msg\n");
                emit(true);
                return {end, true, recordLength};
            }
            if (!flushed && end + 1 >= length && s > 0) return {s, false};
        } else if (flushed) {
            trace("Last Log Msg\n");
            emit(true);
            return {consumeAllButTrailingSync(w, length, end), true, recordLength};
        } else if (s > 0) {
            // Streaming window: the end of the record is not confirmed yet; start the next
            // window at its sync so that the confirming bytes fit in.
            return {s, false};
        }
    }

    if (haveNext) {
        trace("not correct \n");
        return {next, false};
    }
    return {consumeAllButTrailingSync(w, length, s + 2), false};
}

}  // namespace nimbrel

#include "sim/record_encoder.h"

#include "pipeline/record_layout.h"

namespace nimbrel::sim {

std::uint32_t encodedRecordLength(unsigned layout, std::size_t paramCount) {
    if (layout >= kLayoutCount) return 0;
    const LayoutShape& s = kLayoutTable[layout];
    if (s.paramStart == 0) return s.fixedLength;
    return s.fixedLength + static_cast<std::uint32_t>(paramCount) * s.paramWidth;
}

std::size_t encodeRecord(const RecordFields& fields, std::span<const std::uint32_t> params,
                         std::vector<std::uint8_t>& out) {
    if (fields.layout >= kLayoutCount || fields.colourCode > 7 || params.size() > kMaxRecordParams)
        return 0;
    const LayoutShape& s = kLayoutTable[fields.layout];
    const std::size_t n = s.paramStart ? params.size() : 0;
    const std::uint32_t length = encodedRecordLength(fields.layout, n);

    const std::size_t start = out.size();
    out.resize(start + length);
    std::uint8_t* r = out.data() + start;
    r[0] = kSyncByte;
    r[1] = kSyncByte;
    r[2] = makeFlags(fields.layout, fields.colourCode);
    r[3] = kMarkerByte;
    r[4] = static_cast<std::uint8_t>(fields.messageIndex);
    r[5] = static_cast<std::uint8_t>(fields.messageIndex >> 8);
    r[6] = fields.infoByte;
    r[7] = 0;
    if (s.extraByteOffset) r[s.extraByteOffset] = fields.extraByte;
    if (s.extraWordOffset) {
        r[s.extraWordOffset] = static_cast<std::uint8_t>(fields.extraWord);
        r[s.extraWordOffset + 1] = static_cast<std::uint8_t>(fields.extraWord >> 8);
    }
    if (s.paramStart) {
        r[s.paramStart - 1] = static_cast<std::uint8_t>(n);
        std::uint8_t* p = r + s.paramStart;
        for (std::size_t i = 0; i < n; ++i) {
            const std::uint32_t v = params[i];
            if (s.paramWidth == 4) {
                p[0] = static_cast<std::uint8_t>(v);
                p[1] = static_cast<std::uint8_t>(v >> 8);
                p[2] = static_cast<std::uint8_t>(v >> 16);
                p[3] = static_cast<std::uint8_t>(v >> 24);
                p += 4;
            } else {
                *p++ = static_cast<std::uint8_t>(v);
            }
        }
    }
    return length;
}

}  // namespace nimbrel::sim

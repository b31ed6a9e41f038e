#include "pipeline/decoder_input.h"

#include "platform/little_endian.h"

namespace nimbrel {

ParamWords decoderWords(const RecordRef& record, bool skipFirst, std::uint32_t* words) {
    const std::uint32_t n = record.paramCount();
    const std::uint8_t* params = record.bytes + record.layout.paramStart;
    for (std::uint32_t i = 0; i < n; ++i) words[i] = loadLe32(params + 4 * i);
    if (!skipFirst) return ParamWords{words, n};
    return n > 0 ? ParamWords{words + 1, n - 1} : ParamWords{};
}

}  // namespace nimbrel

// Which records the formatter hands to a protocol decoder, and the parameter words it
// hands over. The formatter and the HCI packet export share these rules, so that a record
// is exported exactly when a replay with Auto Parse Log on decodes it.
#pragma once

#include <cstdint>

#include "decoders/param_words.h"
#include "pipeline/message_definition_table.h"
#include "pipeline/record_layout.h"

namespace nimbrel {

// The record fits its definition: its parameter width is the one the text expects and it
// carries at least as many parameters as the text has conversions. Only such records are
// formatted with their text and decoded; the others become parameter-error lines.
// Inline: the formatter asks for every record.
inline bool fitsDefinition(const RecordRef& record, const MessageEntry& entry) {
    return static_cast<std::int32_t>(record.layout.paramWidth) == entry.expectedWidth &&
           entry.expectedParams <= static_cast<std::int32_t>(record.paramCount());
}

// The record's 32-bit parameters, little-endian, loaded into `words` (room for 255), as a
// decoder is given them: without the first one when `skipFirst` (HCI records on chips
// that are both Ember and Flint carry a leading word).
ParamWords decoderWords(const RecordRef& record, bool skipFirst, std::uint32_t* words);

}  // namespace nimbrel

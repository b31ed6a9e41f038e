#include "pipeline/record_emitter.h"

#include "pipeline/message_definition_table.h"
#include "pipeline/raw_data_file.h"

namespace nimbrel {

void RecordEmitter::onRecord(const RecordRef& record, bool lastInWindow) {
    if (definitions_.loaded()) {
        display_.onRecord(record, lastInWindow);
        if (tap_) tap_->onRecord(record, lastInWindow);
    }
    if (autoSaveRawData_.load(std::memory_order_relaxed))
        rawDataFile_.appendRecord(record, lastInWindow);
}

}  // namespace nimbrel

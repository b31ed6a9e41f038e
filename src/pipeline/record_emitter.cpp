#include "pipeline/record_emitter.h"

#include "pipeline/capture_hub.h"
#include "pipeline/message_definition_table.h"

namespace nimbrel {

void RecordEmitter::onRecord(const RecordRef& record, bool lastInWindow) {
    if (definitions_.loaded()) {
        display_.onRecord(record, lastInWindow);
        if (tap_) tap_->onRecord(record, lastInWindow);
    }
    if (hub_.autoSaveRawData(std::memory_order_relaxed))
        hub_.rawDataFile.appendRecord(record, lastInWindow);
}

}  // namespace nimbrel

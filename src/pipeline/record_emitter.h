// What happens to each framed record during a live capture: it is shown (once a message
// definition file is loaded), handed to the tap when one is set (an export of the live
// capture's packets), and then, with raw data saving on, recorded with a stamp.
#pragma once

#include <atomic>

#include "pipeline/record_framer.h"

namespace nimbrel {

class MessageDefinitionTable;
class RawDataFile;

class RecordEmitter : public RecordSink {
public:
    RecordEmitter(RecordSink& display, const MessageDefinitionTable& definitions,
                  RawDataFile& rawDataFile, const std::atomic<bool>& autoSaveRawData)
        : display_(display),
          definitions_(definitions),
          rawDataFile_(rawDataFile),
          autoSaveRawData_(autoSaveRawData) {}

    void onRecord(const RecordRef& record, bool lastInWindow) override;
    // Only while no print thread runs (the print thread reads it without a lock);
    // nullptr for none.
    void setTap(RecordSink* tap) { tap_ = tap; }

private:
    RecordSink& display_;
    const MessageDefinitionTable& definitions_;
    RawDataFile& rawDataFile_;
    const std::atomic<bool>& autoSaveRawData_;
    RecordSink* tap_ = nullptr;
};

}  // namespace nimbrel

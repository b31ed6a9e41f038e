// What happens to each framed record during a live capture: it is shown (once a message
// definition file is loaded), handed to the tap when one is set (an export of the live
// capture's packets), and then, with raw data saving on, recorded with a stamp.
#pragma once

#include "pipeline/record_framer.h"

namespace nimbrel {

class CaptureHub;
class MessageDefinitionTable;

class RecordEmitter : public RecordSink {
public:
    // Records go to the hub's raw data file while the hub's raw data saving is on.
    RecordEmitter(RecordSink& display, const MessageDefinitionTable& definitions, CaptureHub& hub)
        : display_(display), definitions_(definitions), hub_(hub) {}

    void onRecord(const RecordRef& record, bool lastInWindow) override;
    // Only while no print thread runs (the print thread reads it without a lock);
    // nullptr for none.
    void setTap(RecordSink* tap) { tap_ = tap; }

private:
    RecordSink& display_;
    const MessageDefinitionTable& definitions_;
    CaptureHub& hub_;
    RecordSink* tap_ = nullptr;
};

}  // namespace nimbrel

#include "capture/view_core.h"

#include "capture/capture_shutdown.h"

namespace nimbrel {

StringFilter& stringFilter() {
    static StringFilter filter;
    return filter;
}

ViewCore::ViewCore(LogView& v, std::string folder)
    : view(v),
      console(v, stringFilter()),
      formatter(definitions, console, toggles),
      hub(folder),
      emitter(formatter, definitions, hub.rawDataFile, hub.m_bAutoSaveRawData),
      capture(hub, toggles.m_threadId),
      programFolder(std::move(folder)) {}

ViewCore::~ViewCore() { WaitForAllThreadExit(*this, closeWait); }

bool ViewCore::reloadDefinitions(const std::string& path) {
    bool loaded = false;
    if (!capture.whileNoThreadRuns([&] { loaded = definitions.load(path, console); })) return false;
    return loaded;
}

bool ViewCore::setLineOutput(LineOutput* output) {
    return capture.whileNoThreadRuns([&] { formatter.setLineOutput(output); });
}

bool ViewCore::setRecordTap(RecordSink* tap) {
    return capture.whileNoThreadRuns([&] { emitter.setTap(tap); });
}

}  // namespace nimbrel

#include "capture/view_core.h"

#include <chrono>

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
      programFolder(std::move(folder)) {}

ViewCore::~ViewCore() { WaitForAllThreadExit(*this, std::chrono::milliseconds(5000)); }

}  // namespace nimbrel

#include "capture/capture_session.h"

#include "capture/capture_shutdown.h"

namespace nimbrel {

CaptureSession::CaptureSession(LogView& v, std::string folder)
    : view(v),
      console(v, stringFilter),
      formatter(definitions, console, toggles),
      hub(folder),
      emitter(formatter, definitions, hub),
      capture(hub, toggles),
      programFolder(std::move(folder)) {}

CaptureSession::~CaptureSession() { WaitForAllThreadExit(*this, closeWait); }

bool CaptureSession::reloadDefinitions(const std::string& path) {
    bool loaded = false;
    if (!capture.whileNoThreadRuns([&] { loaded = definitions.load(path, console); })) return false;
    return loaded;
}

bool CaptureSession::setLineOutput(LineOutput* output) {
    return capture.whileNoThreadRuns([&] { formatter.setLineOutput(output); });
}

bool CaptureSession::setRecordTap(RecordSink* tap) {
    return capture.whileNoThreadRuns([&] { emitter.setTap(tap); });
}

}  // namespace nimbrel

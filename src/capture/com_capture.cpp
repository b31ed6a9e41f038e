#include "capture/com_capture.h"

#include <chrono>
#include <thread>

#include "capture/capture_session.h"
#include "capture/com_port.h"
#include "capture/failure_words.h"
#include "platform/local_time.h"
#include "platform/text.h"
#include "platform/trace.h"

namespace nimbrel {

void reportPortOpenFailure(LogConsole& console, const std::string& port,
                           const SerialOpenResult& result) {
    const std::u16string shownPort = utf8ToUtf16(port);
    switch (result.failedStep) {
    case SerialOpenStep::Open:
        console.print(u"[R] Step 1, Fail to open %s: GetLastError=0x%x", {shownPort, result.error});
        break;
    case SerialOpenStep::Timeouts:
        console.print(u"[R] Step 2, Fail to open %s", {shownPort});
        break;
    case SerialOpenStep::Settings:
        console.print(u"[R] Step 3, Fail to open %s", {shownPort});
        break;
    case SerialOpenStep::None: return;
    }
    // The reason in words, as the command line gives it.
    console.print(u"[R] %s",
                  {utf8ToUtf16(serialOpenFailureText(result.error, serialDevicePath(port)))});
}

ComCapture::ComCapture(CaptureSession& core, std::function<std::uint32_t()> printRawData)
    : core_(core), printRawData_(std::move(printRawData)) {}

ComCapture::StartResult ComCapture::start(const std::string& definitionFile,
                                          const std::string& port, std::uint32_t baudRate) {
    // Refused while a route, a replay or any capture or print thread holds the view.
    if (!core_.capture.claimRoute(CaptureRoute::Com)) return StartResult::ViewInUse;
    core_.reloadDefinitions(definitionFile);
    openFailed_ = false;
    openError_ = 0;
    deviceGone_ = false;
    goneError_ = 0;
    core_.capture.startCaptureThread([this, port, baudRate] {
        threadMain(port, baudRate);
        core_.capture.captureThreadEnded();
    });
    return StartResult::Started;
}

void ComCapture::threadMain(std::string port, std::uint32_t baudRate) {
    SerialPort& serial = comPort();
    const SerialOpenResult opened = serial.open(port, baudRate);
    if (!opened.ok()) {
        openError_ = opened.error;
        openFailed_ = true;
        reportPortOpenFailure(core_.console, port, opened);
        return;
    }
    core_.console.print(u"[D] [%s]", {utf8ToUtf16(port)});

    CaptureHub& hub = core_.hub;
    CaptureState& state = core_.capture;
    hub.allocateRing();
    hub.counters.reset();

    hub.rawDataFile.setComPortName(port);
    hub.rawDataFile.setName(RawDataFile::comRouteName(core_.programFolder, localTimeNow(),
                                                      hub.rawDataFile.comPortName()));
    if (hub.autoSaveRawData()) hub.rawDataFile.prepare(core_.console);
    hub.startPrintThreadIfIdle(core_.emitter);

    std::uint8_t buffer[kSerialReadMax];
    while (!state.stopRequested()) {
        const SerialReadResult r = serial.read(buffer, sizeof buffer);
        if (r.status == SerialReadStatus::DeviceGone) {
            trace("ReadFile GetLastError()=0x%x\n", 5);
            // The capture is over; the print thread still shows and records what waits in
            // the ring, then ends by itself.
            goneError_ = r.error;
            deviceGone_ = true;
            state.sourceGone();
            break;
        }
        if (r.status == SerialReadStatus::Closed) break;  // closed by the shutdown
        if (r.status == SerialReadStatus::Failed) {
            trace("ReadFile GetLastError()=0x%x\n", r.error);
            std::this_thread::sleep_for(
                std::chrono::milliseconds(1));  // no busy loop on a sick port
            continue;
        }
        // Bytes read before the stop closed the port are kept: they are the last ones the
        // controller sent before the stop.
        if (r.count > 0) {
            if (printRawData_ && printRawData_() == 1) echoChunk(buffer, r.count);
            hub.waitForRoom(static_cast<std::uint32_t>(r.count));
            hub.ring.append(buffer, static_cast<std::uint32_t>(r.count));
        }
    }
    serial.close();
}

// Shows the chunk as text (each byte a signed 8-bit character) and writes it into the raw
// data file as a text chunk, whether raw data saving is on or not.
void ComCapture::echoChunk(const std::uint8_t* bytes, std::size_t n) {
    std::u16string text(n, u'\0');
    for (std::size_t i = 0; i < n; ++i) {
        text[i] =
            static_cast<char16_t>(static_cast<std::int16_t>(static_cast<std::int8_t>(bytes[i])));
    }
    core_.console.printText(text);
    core_.hub.rawDataFile.appendTextChunk(text);
}

}  // namespace nimbrel

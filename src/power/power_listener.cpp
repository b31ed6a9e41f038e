#include "power/power_listener.h"

#include <QDBusConnection>

#include "platform/trace.h"

namespace nimbrel {
namespace {

const char* const kLogindService = "org.freedesktop.login1";
const char* const kLogindPath = "/org/freedesktop/login1";
const char* const kLogindManager = "org.freedesktop.login1.Manager";

}  // namespace

PowerListener::PowerListener(QObject* parent) : QObject(parent) {}

PowerListener::~PowerListener() {
    if (!connectionName_.isEmpty()) QDBusConnection::disconnectFromBus(connectionName_);
}

bool PowerListener::start() {
    if (active_) return true;
    const QString address = qEnvironmentVariable("NIMBREL_POWER_BUS_ADDRESS");
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!address.isEmpty()) {
        connectionName_ =
            QStringLiteral("nimbrel-power-%1").arg(reinterpret_cast<quintptr>(this), 0, 16);
        bus = QDBusConnection::connectToBus(address, connectionName_);
    }
    if (!bus.isConnected()) {
        trace("No system bus: suspend and resume are not handled\n");
        return false;
    }
    active_ = bus.connect(QString::fromLatin1(kLogindService), QString::fromLatin1(kLogindPath),
                          QString::fromLatin1(kLogindManager), QStringLiteral("PrepareForSleep"),
                          this, SLOT(onPrepareForSleep(bool)));
    if (!active_) trace("PrepareForSleep not subscribed: suspend and resume are not handled\n");
    return active_;
}

void PowerListener::onPrepareForSleep(bool start) {
    if (start) {
        trace("s3  2\n");
        trace("enter s3 s4\n");
        trace("enter s3 FINISH\n");
        emit suspending();
    } else {
        trace("s0  2\n");
        trace("enter s0\n");
        emit resumed();
    }
}

}  // namespace nimbrel

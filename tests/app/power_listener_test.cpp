// Suspend and resume signals through a private D-Bus daemon.
#include "power/power_listener.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <mutex>
#include <string>
#include <vector>

#include "platform/trace.h"

namespace nimbrel {
namespace {

QCoreApplication& app() {
    static int argc = 1;
    static char name[] = "power_listener_test";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* instance =
        QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    (void)instance;
    return *QCoreApplication::instance();
}

struct Traces {
    std::mutex mutex;
    std::vector<std::string> lines;
    Traces() {
        setTraceSink([this](std::string_view t) {
            std::lock_guard lock(mutex);
            lines.emplace_back(t);
        });
    }
    ~Traces() { setTraceSink(nullptr); }
};

// A bus of the test's own, gone with the test.
struct PrivateBus {
    QProcess daemon;
    QString address;
    PrivateBus() {
        if (QStandardPaths::findExecutable("dbus-daemon").isEmpty()) return;
        daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        if (!daemon.waitForStarted(5000) || !daemon.waitForReadyRead(5000)) return;
        address = QString::fromUtf8(daemon.readLine()).trimmed();
    }
    ~PrivateBus() {
        daemon.kill();
        daemon.waitForFinished(5000);
    }
};

TEST(PowerListener, PrepareForSleepOnTheBusBecomesSuspendAndResume) {
    app();
    PrivateBus bus;
    if (bus.address.isEmpty()) GTEST_SKIP() << "dbus-daemon is not available";
    qputenv("NIMBREL_POWER_BUS_ADDRESS", bus.address.toUtf8());
    Traces traces;

    PowerListener listener;
    ASSERT_TRUE(listener.start());
    QSignalSpy suspended(&listener, &PowerListener::suspending);
    QSignalSpy resumed(&listener, &PowerListener::resumed);

    // The sender plays logind: it owns logind's name, as the listener only trusts it.
    QDBusConnection logind = QDBusConnection::connectToBus(bus.address, "fake-logind");
    ASSERT_TRUE(logind.isConnected());
    QDBusConnection impostor = QDBusConnection::connectToBus(bus.address, "impostor");
    ASSERT_TRUE(logind.registerService("org.freedesktop.login1"));
    auto prepare = [](bool start) {
        QDBusMessage m = QDBusMessage::createSignal(
            "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "PrepareForSleep");
        m << start;
        return m;
    };
    ASSERT_TRUE(impostor.send(prepare(true)));  // not from logind: ignored
    ASSERT_TRUE(logind.send(prepare(true)));
    ASSERT_TRUE(suspended.wait(5000));
    EXPECT_EQ(resumed.count(), 0);
    ASSERT_TRUE(logind.send(prepare(false)));
    ASSERT_TRUE(resumed.wait(5000));
    EXPECT_EQ(suspended.count(), 1);

    QDBusConnection::disconnectFromBus("fake-logind");
    QDBusConnection::disconnectFromBus("impostor");
    std::lock_guard lock(traces.mutex);
    EXPECT_EQ(traces.lines,
              (std::vector<std::string>{"s3  2\n", "enter s3 s4\n", "enter s3 FINISH\n", "s0  2\n",
                                        "enter s0\n"}));
}

TEST(PowerListener, WithoutABusThereIsNoPowerHandling) {
    app();
    qputenv("NIMBREL_POWER_BUS_ADDRESS", "unix:path=/nonexistent/nimbrel-bus");
    Traces traces;
    PowerListener listener;
    EXPECT_FALSE(listener.start());
    EXPECT_FALSE(listener.active());
    std::lock_guard lock(traces.mutex);
    EXPECT_EQ(traces.lines,
              std::vector<std::string>{"No system bus: suspend and resume are not handled\n"});
}

}  // namespace
}  // namespace nimbrel

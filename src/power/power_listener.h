// Suspend and resume of the system: systemd-logind's PrepareForSleep(bool) signal on the
// system bus (true before a suspend, false after the resume). NIMBREL_POWER_BUS_ADDRESS
// points the listener at another bus instead (tests use a private one). Without a bus
// there is no power handling: one trace line says so.
#pragma once

#include <QObject>
#include <QString>

namespace nimbrel {

class PowerListener : public QObject {
    Q_OBJECT

public:
    explicit PowerListener(QObject* parent = nullptr);
    ~PowerListener() override;

    // Subscribes to the signal; true when it is subscribed. Safe to call once only.
    bool start();
    bool active() const { return active_; }

signals:
    void suspending();
    void resumed();

public slots:
    // What the bus delivers; also callable directly.
    void onPrepareForSleep(bool start);

private:
    bool active_ = false;
    QString connectionName_;
};

}  // namespace nimbrel

// The QApplication that the log view's tests need, made on first use (the tests run
// under the offscreen platform); reused when another test file made one already.
#pragma once

#include <QApplication>

namespace nimbrel::test {

inline QApplication& logViewTestApp() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

}  // namespace nimbrel::test

// The QApplication that the log view's tests need (under the offscreen platform). A test
// environment makes it before the first test and deletes it after the last one, before
// the program's static objects go; it is reused when another environment made one.
#pragma once

#include <QApplication>

namespace nimbrel::test {

inline QApplication& logViewTestApp() {
    return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

}  // namespace nimbrel::test

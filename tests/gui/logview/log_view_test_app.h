// The QApplication that the log view's tests need (under the offscreen platform), and what
// those tests share besides. A test environment makes the application before the first
// test and deletes it after the last one, before the program's static objects go; it is
// reused when another environment made one.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>
#include <string>

#include "gui/logview/log_text_view.h"

namespace nimbrel::test {

inline QApplication& logViewTestApp() {
    return *qobject_cast<QApplication*>(QCoreApplication::instance());
}

// A log view on screen with the keyboard focus, as a user meets it.
inline void showFocusedLogView(std::unique_ptr<gui::LogTextView>& view) {
    logViewTestApp();
    view = std::make_unique<gui::LogTextView>();
    view->resize(640, 300);
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    view->setFocus();
}

// The text with every line break (CR LF, CR or LF) written as LF.
inline std::u16string withLfBreaks(std::u16string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'\r') {
            out += u'\n';
            if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace nimbrel::test

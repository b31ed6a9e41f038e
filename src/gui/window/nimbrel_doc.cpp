#include "gui/window/nimbrel_doc.h"

namespace nimbrel::gui {

CNimbrelDoc::CNimbrelDoc(QObject* parent)
    : QObject(parent), m_title(QString::fromLatin1(kUntitled)) {}

void CNimbrelDoc::setTitle(const QString& title) {
    if (title == m_title) return;
    m_title = title;
    emit titleChanged(m_title);
}

void CNimbrelDoc::setModifiedFlag(bool modified) {
    if (modified == m_modified) return;
    m_modified = modified;
    emit modifiedChanged(m_modified);
}

void CNimbrelDoc::reset() {
    setModifiedFlag(false);
    m_title = QString::fromLatin1(kUntitled);
    // Announced even when unchanged: the window's caption goes back to the title.
    emit titleChanged(m_title);
}

}  // namespace nimbrel::gui

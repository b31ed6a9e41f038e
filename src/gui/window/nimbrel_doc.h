// The document: no data of its own (the text lives in the view); it has a title and the
// modified flag that decides whether New and the close request have something to save.
#pragma once

#include <QObject>
#include <QString>

namespace nimbrel::gui {

inline constexpr char kUntitled[] = "Untitled";

class CNimbrelDoc : public QObject {
    Q_OBJECT
public:
    explicit CNimbrelDoc(QObject* parent = nullptr);

    QString title() const { return m_title; }
    void setTitle(const QString& title);
    bool isModified() const { return m_modified; }
    void setModifiedFlag(bool modified = true);
    // A new, empty document: "Untitled", not modified.
    void reset();

signals:
    void titleChanged(const QString& title);
    void modifiedChanged(bool modified);

private:
    QString m_title;
    bool m_modified = false;
};

}  // namespace nimbrel::gui

// A set of the view's lines that others draw or filter by, with a signal when it changes:
// the marked lines, the lines a search hit. The overview strip beside the scroll bar and
// the line filters read such sets without knowing who fills them.
#pragma once

#include <QObject>
#include <cstdint>

namespace nimbrel::gui {

class LineSet : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // GUI thread.
    virtual bool contains(std::int64_t line) const = 0;
    // Whether any line in [first, last) belongs to the set (one pixel row of the strip may
    // stand for thousands of lines).
    virtual bool anyIn(std::int64_t first, std::int64_t last) const = 0;

signals:
    void changed();
};

}  // namespace nimbrel::gui

// What the other parts of the window may ask of the search: does line N match the
// current search, and every line it matches (for a filter of the shown lines, the
// overview beside the scroll bar; SearchLineSet shows them as a LineSet).
#pragma once

#include <QObject>
#include <cstdint>
#include <memory>

#include "gui/logview/hit_set.h"

namespace nimbrel::gui {

class SearchHits : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // True while a search is set: its text is not empty and compiles.
    virtual bool searching() const = 0;
    // True once every line of the text has been searched; new lines are searched as they
    // arrive.
    virtual bool complete() const = 0;
    // The lines matched so far; never null. The set is a copy that stays as it is.
    virtual std::shared_ptr<const HitSet> hits() const = 0;
    bool matches(std::int64_t line) const { return hits()->contains(line); }

signals:
    // The set of hits changed: lines were searched, or the search changed.
    void hitsChanged();
};

}  // namespace nimbrel::gui

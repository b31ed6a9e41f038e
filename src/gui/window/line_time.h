// The time of day a log line carries and the time between two lines. Record lines start
// with their stamp, "hh:mm:ss.mmm" (local time when captured, the stored stamp when
// replayed); console lines and the decoded lines under a record carry none. Stamps carry
// no date: a later line whose clock reads earlier crossed midnight.
#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace nimbrel::gui {

// Milliseconds since midnight of the stamp that starts the line, if it starts with one.
// Replayed stamps may read 24 hours or more (their hour is not wrapped); they count on.
std::optional<std::int64_t> lineTimeMs(QStringView line);

// Milliseconds from the earlier line's stamp to the later line's, one day added when the
// later clock reads earlier. Nothing when either line has no stamp.
std::optional<std::int64_t> timeBetweenMs(QStringView earlier, QStringView later);

// "Δ 1.234 s"
QString timeDeltaText(std::int64_t ms);

}  // namespace nimbrel::gui

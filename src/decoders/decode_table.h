// Decoder tables as data.
//
// A table is one flat constant array of entries: every row entry (a code and the name
// printed for it) is followed by the items of its line, in order. Lines are built from a
// row by one set of rules (line_builder.h); a row whose line departs from those rules
// carries the departure as quirk bits on the row or on the item concerned.
//
// A compile-time index over the row entries allows binary-search lookup, and each table
// checks its own shape at compile time (codes ascending, no row reading more values than
// its decoder may read).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace nimbrel::decoding {

enum class EntryKind : std::uint8_t {
    Row,    // starts a row: code(s) and name
    Field,  // "label:" followed by `count` values, optionally a note on the same line
    Note,   // fixed text on a line of its own
    Blank,  // an empty item: the line ends with the separator
};

// Departures of a row's head from the common pattern (bits of Entry::quirks on a row).
enum HeadQuirk : std::uint16_t {
    kNoColonAfterPrefix = 1u << 0,    // "HCI_EVENT Name"
    kNoSpaceAfterPrefix = 1u << 1,    // "HCI_CMD:Name"
    kTwoSpacesAfterPrefix = 1u << 2,  // "HCI_CMD:  Name"
    kSpaceBeforeComma = 1u << 3,      // "Name , code: ..."
    kNoCommaBeforeKey = 1u << 4,      // "Name code: ..."
    kOpcodeKeyWord = 1u << 5,         // "opcode:" in an event head
    kNoSpaceAfterKeys = 1u << 6,      // "code:0x01, len:%02x"
    kSpaceAfterCode = 1u << 7,        // "0x0C03 , len: ..."
    kNoSpaceAfterName = 1u << 8,      // "Name\n\t first item"
};

// Departures of one field from the common pattern (bits of Entry::quirks on a field).
enum FieldQuirk : std::uint16_t {
    kNoColon = 1u << 0,               // "label %02x"
    kNoSpaceAfterColon = 1u << 1,     // "label:%02x %02x"
    kDoubleColon = 1u << 2,           // "label:: %02x"
    kTwoSpacesAfterColon = 1u << 3,   // "label:  %02x"
    kSpaceBeforeLabel = 1u << 4,      // "  label: %02x" after the separator
    kTwoSpacesBeforeThird = 1u << 5,  // "%02x %02x  %02x %02x"
    kTwoSpacesBeforeNote = 1u << 6,   // "%02x  note"
};

struct Entry {
    EntryKind kind = EntryKind::Blank;
    std::uint8_t count = 0;      // Field: number of values it prints
    std::uint16_t quirks = 0;    // HeadQuirk bits (Row) or FieldQuirk bits (Field)
    std::uint16_t code = 0;      // Row: its code
    std::uint16_t lastCode = 0;  // Row: last code sharing the row (== code for most)
    std::string_view text;       // Row: name; Field: label; Note: its text
    std::string_view note;       // Field: note printed after its values, same line
};

constexpr Entry row(std::uint16_t code, std::string_view name, unsigned quirks = 0) {
    return {EntryKind::Row, 0, static_cast<std::uint16_t>(quirks), code, code, name, {}};
}
// One row shared by the codes first..last.
constexpr Entry rowRange(std::uint16_t first, std::uint16_t last, std::string_view name) {
    return {EntryKind::Row, 0, 0, first, last, name, {}};
}
constexpr Entry field(std::string_view label, std::uint8_t count, unsigned quirks = 0) {
    return {EntryKind::Field, count, static_cast<std::uint16_t>(quirks), 0, 0, label, {}};
}
constexpr Entry fieldThen(std::string_view label, std::uint8_t count, std::string_view note,
                          unsigned quirks = 0) {
    return {EntryKind::Field, count, static_cast<std::uint16_t>(quirks), 0, 0, label, note};
}
constexpr Entry note(std::string_view text) { return {EntryKind::Note, 0, 0, 0, 0, text, {}}; }
constexpr Entry blank() { return {}; }

// One row as the line builder uses it.
struct RowView {
    const Entry* head = nullptr;   // the row entry
    std::span<const Entry> items;  // its items, in order
    std::size_t capacity = 0;      // upper bound of the characters the row adds
};

// Index entry of one row.
struct RowRef {
    std::uint16_t code = 0;
    std::uint16_t lastCode = 0;
    std::uint16_t position = 0;  // of the row entry in the flat array
    std::uint16_t itemCount = 0;
    std::uint16_t capacity = 0;  // see RowView::capacity
};

struct DecodeTable {
    std::span<const Entry> entries;
    std::span<const RowRef> rows;

    // The row whose codes include `code`, or an empty view (head == nullptr).
    constexpr RowView find(std::uint32_t code) const {
        std::size_t lo = 0;
        std::size_t hi = rows.size();
        while (lo < hi) {  // first row whose lastCode >= code
            const std::size_t mid = lo + (hi - lo) / 2;
            if (rows[mid].lastCode < code) {
                lo = mid + 1;
            } else {
                hi = mid;
            }
        }
        if (lo == rows.size() || rows[lo].code > code) {
            return {};
        }
        const RowRef& r = rows[lo];
        return {&entries[r.position], entries.subspan(r.position + 1u, r.itemCount), r.capacity};
    }
};

// ---- compile-time construction and checks ------------------------------------------

template <std::size_t N>
consteval std::size_t countRows(const Entry (&entries)[N]) {
    std::size_t rows = 0;
    for (const Entry& e : entries) {
        rows += e.kind == EntryKind::Row ? 1 : 0;
    }
    return rows;
}

// Characters an item can add at most, each value taking up to `valueDigits` digits.
constexpr std::size_t itemCapacity(const Entry& e, std::size_t valueDigits) {
    constexpr std::size_t kSeparatorAndPunctuation = 12;
    return kSeparatorAndPunctuation + e.text.size() + e.note.size() + e.count * (2 + valueDigits);
}

template <std::size_t Rows, std::size_t N>
consteval std::array<RowRef, Rows> indexRows(const Entry (&entries)[N], std::size_t valueDigits) {
    std::array<RowRef, Rows> index{};
    std::size_t r = 0;
    for (std::size_t i = 0; i < N; ++i) {
        if (entries[i].kind == EntryKind::Row) {
            index[r] = {entries[i].code, entries[i].lastCode, static_cast<std::uint16_t>(i), 0,
                        static_cast<std::uint16_t>(entries[i].text.size() + 1)};
            ++r;
        } else if (r > 0) {
            index[r - 1].itemCount++;
            const std::size_t added = itemCapacity(entries[i], valueDigits);
            index[r - 1].capacity = static_cast<std::uint16_t>(index[r - 1].capacity + added);
        }
    }
    return index;
}

// A table is well formed when it starts with a row, its codes ascend without overlap,
// and no row prints more than `maxValues` values (the words a decoder may read).
template <std::size_t N>
consteval bool wellFormed(const Entry (&entries)[N], std::size_t maxValues) {
    if (N == 0 || entries[0].kind != EntryKind::Row) {
        return false;
    }
    long previousLast = -1;
    std::size_t values = 0;
    for (const Entry& e : entries) {
        switch (e.kind) {
        case EntryKind::Row:
            if (e.code <= previousLast || e.lastCode < e.code) {
                return false;
            }
            previousLast = e.lastCode;
            values = 0;
            break;
        case EntryKind::Field:
            if (e.count == 0 || e.text.empty()) {
                return false;
            }
            values += e.count;
            if (values > maxValues) {
                return false;
            }
            break;
        case EntryKind::Note:
            if (e.text.empty()) {
                return false;
            }
            break;
        case EntryKind::Blank: break;
        }
    }
    return true;
}

}  // namespace nimbrel::decoding

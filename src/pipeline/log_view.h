// The log view as the core sees it. The GUI implements it on its text widget, tests in
// memory, the command line on stdout. Every method may be called from any thread; an
// implementation serialises them as it needs to. No method but waitForRoom waits for
// another thread, so a producer may call them while it holds a lock of its own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nimbrel {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kGrey{128, 128, 128};  // the view's default text colour

class LogView {
public:
    virtual ~LogView() = default;

    // A bounded view (the window's queue) waits here until it has room for more text; the
    // others return at once. Producers call it before they append, holding no lock that
    // the thread which empties the view may take: append itself never waits.
    virtual void waitForRoom() {}
    // Appends text at the end of the view in the given colour.
    virtual void append(std::u16string_view text, Rgb colour) = 0;
    // Replaces the whole text with this one (the replay's progress line).
    virtual void replaceAll(std::u16string_view text, Rgb colour) = 0;
    virtual void clear() = 0;
    virtual bool hasText() const = 0;
    // False once the window behind the view is gone (shutting down).
    virtual bool exists() const = 0;
    // The view's default text colour.
    virtual Rgb defaultColour() const { return kGrey; }
};

}  // namespace nimbrel

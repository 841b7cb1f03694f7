// The plug-in's counter of free dialog control ids: descriptions take their controls' ids from
// it when they are built, so every control of the plug-in's generated dialogs is distinct.
#pragma once

namespace glitter {

class ControlIdCounter {
public:
    static constexpr int kFirstControlId = 100;

    constexpr explicit ControlIdCounter(int first = kFirstControlId) : next_(first) {}

    /// Hands out the next free id.
    constexpr int take() { return next_++; }
    /// The id the next caller will get.
    constexpr int next() const { return next_; }

    /// The plug-in's own counter, shared by every description it builds.
    static ControlIdCounter& plugin();

private:
    int next_;
};

}  // namespace glitter

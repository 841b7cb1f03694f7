// Host time and validity intervals: the span of times over which a value stays what it is.
#pragma once

#include <climits>

namespace host {

/// Host time in ticks.
using TimeValue = int;

inline constexpr TimeValue TIME_NegInfinity = INT_MIN;  // 0x80000000
inline constexpr TimeValue TIME_PosInfinity = INT_MAX;  // 0x7fffffff

/// The times a key may sit at and a value may be asked for: the time line between the two
/// infinities. One rule for parameter blocks, the stored-scene loader and the command lines.
inline constexpr TimeValue kFirstTime = TIME_NegInfinity + 1;
inline constexpr TimeValue kLastTime = TIME_PosInfinity - 1;
constexpr bool IsOnTimeLine(long long t) { return t >= kFirstTime && t <= kLastTime; }

/// A closed range of times [start, end]. The empty interval has both ends at
/// TIME_NegInfinity; the forever interval spans TIME_NegInfinity to TIME_PosInfinity.
class Interval {
public:
    constexpr Interval() = default;  // empty
    constexpr Interval(TimeValue s, TimeValue e) : start_(s), end_(e) {}

    constexpr TimeValue Start() const { return start_; }
    constexpr TimeValue End() const { return end_; }
    constexpr void Set(TimeValue s, TimeValue e) {
        start_ = s;
        end_ = e;
    }
    constexpr void SetStart(TimeValue s) { start_ = s; }
    constexpr void SetEnd(TimeValue e) { end_ = e; }
    constexpr void SetEmpty() { start_ = end_ = TIME_NegInfinity; }
    constexpr void SetInfinite() {
        start_ = TIME_NegInfinity;
        end_ = TIME_PosInfinity;
    }
    constexpr void SetInstant(TimeValue t) { start_ = end_ = t; }

    constexpr bool Empty() const {
        return (start_ == TIME_NegInfinity && end_ == TIME_NegInfinity) || end_ < start_;
    }
    constexpr bool InInterval(TimeValue t) const { return !Empty() && start_ <= t && t <= end_; }

    /// Intersection; disjoint intervals give the empty interval.
    constexpr Interval& operator&=(const Interval& other) {
        if (Empty() || other.Empty()) {
            SetEmpty();
            return *this;
        }
        if (other.start_ > start_) start_ = other.start_;
        if (other.end_ < end_) end_ = other.end_;
        if (end_ < start_) SetEmpty();
        return *this;
    }
    friend constexpr Interval operator&(Interval a, const Interval& b) { return a &= b; }
    friend constexpr bool operator==(const Interval& a, const Interval& b) {
        return (a.Empty() && b.Empty()) || (a.start_ == b.start_ && a.end_ == b.end_);
    }

private:
    TimeValue start_ = TIME_NegInfinity;
    TimeValue end_ = TIME_NegInfinity;
};

inline constexpr Interval FOREVER{TIME_NegInfinity, TIME_PosInfinity};
inline constexpr Interval NEVER{TIME_NegInfinity, TIME_NegInfinity};

}  // namespace host

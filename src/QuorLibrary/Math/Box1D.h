#pragma once

// An inclusive interval; empty (min at the type's largest value, max at its
// lowest) by default.

#include <istream>
#include <limits>
#include <ostream>

template <typename T>
class Box1D {
public:
    T min;
    T max;

    Box1D() : min(std::numeric_limits<T>::max()), max(std::numeric_limits<T>::lowest()) {}
    Box1D(T minValue, T maxValue) : min(minValue), max(maxValue) {}

    bool operator==(const Box1D& o) const { return min == o.min && max == o.max; }
    bool operator!=(const Box1D& o) const { return !(*this == o); }

    static const Box1D& EmptyBox() {
        static const Box1D s_empty;
        return s_empty;
    }
};

// Text form "min max".
template <typename T>
std::ostream& operator<<(std::ostream& out, const Box1D<T>& b) {
    return out << b.min << ' ' << b.max;
}

template <typename T>
std::istream& operator>>(std::istream& in, Box1D<T>& b) {
    return in >> b.min >> b.max;
}

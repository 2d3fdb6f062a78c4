#include "TwoFloats.h"

#include <cmath>

TwoFloats TwoFloats::normal() const {
    float length = std::sqrt(x * x + y * y);
    if (length > 0.0f)
        return TwoFloats(x / length, y / length);
    return TwoFloats();
}

TwoFloats operator+(float s, const TwoFloats& v) {
    return TwoFloats(s + v.x, s + v.y);
}

TwoFloats operator-(float s, const TwoFloats& v) {
    return TwoFloats(s - v.x, s - v.y);
}

TwoFloats operator*(float s, const TwoFloats& v) {
    return TwoFloats(s * v.x, s * v.y);
}

TwoFloats operator/(float s, const TwoFloats& v) {
    return TwoFloats(s / v.x, s / v.y);
}

#pragma once

// A 2-D vector on the canvas: positions, sizes, directions.
class TwoFloats {
public:
    TwoFloats() : x(0.0f), y(0.0f) {}
    TwoFloats(float x, float y) : x(x), y(y) {}

    // Scaled to length 1; (0, 0) stays (0, 0).
    TwoFloats normal() const;

    float x;
    float y;
};

// Component-wise with the scalar first: s - v is (s - v.x, s - v.y).
TwoFloats operator+(float s, const TwoFloats& v);
TwoFloats operator-(float s, const TwoFloats& v);
TwoFloats operator*(float s, const TwoFloats& v);
TwoFloats operator/(float s, const TwoFloats& v);

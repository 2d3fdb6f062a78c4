#pragma once

#include "CoverageCuller.h"

#include <vector>

// Where a run of held draws can leave other pixels than the same run drawn
// the frame before: the pixels each changed quad filled then, or fills now.
// Kept in cells of a few pixels, so that the area comes out as a few
// disjoint rectangles whatever the quads' shapes.
class ChangedArea {
public:
    using Rect = CoverageCuller::Rect;

    // Empties the area, on a canvas of width x height pixels.
    void reset(int width, int height);
    // Adds the pixels a quad of this shape fills.
    void add(const CoverageCuller::Fill& fill, const std::vector<Rect>& rects,
             const CoverageCuller::Quad& shape);
    // Turns the cells into disjoint rectangles; returns how many pixels they hold.
    long finish();
    // Appends the parts of rect that lie in the area.
    void clip(const Rect& rect, std::vector<Rect>& parts) const;

private:
    void mark(int x0, int y0, int x1, int y1); // pixels x0..x1 - 1, y0..y1 - 1

    int width = 0;
    int height = 0;
    int columns = 0;
    int rows = 0;
    std::vector<unsigned char> cells; // row by row
    std::vector<Rect> area;
};

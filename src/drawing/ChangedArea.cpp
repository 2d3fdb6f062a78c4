#include "ChangedArea.h"

#include <algorithm>
#include <cmath>

namespace {

const int cell = 16;

} // namespace

void ChangedArea::reset(int canvasWidth, int canvasHeight) {
    width = std::max(canvasWidth, 0);
    height = std::max(canvasHeight, 0);
    columns = (width + cell - 1) / cell;
    rows = (height + cell - 1) / cell;
    cells.assign(static_cast<size_t>(columns) * rows, 0);
    area.clear();
}

void ChangedArea::mark(int x0, int y0, int x1, int y1) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width);
    y1 = std::min(y1, height);
    if (x0 >= x1 || y0 >= y1)
        return;
    for (int row = y0 / cell; row <= (y1 - 1) / cell; ++row)
        std::fill_n(cells.begin() + row * columns + x0 / cell, (x1 - 1) / cell - x0 / cell + 1, 1);
}

void ChangedArea::add(const CoverageCuller::Fill& fill, const std::vector<Rect>& rects,
                      const CoverageCuller::Quad& shape) {
    if (!fill.whole) {
        for (int k = 0; k < fill.count; ++k) {
            const Rect& r = rects[static_cast<size_t>(fill.first + k)];
            mark(r.x, r.y, r.x + r.width, r.y + r.height);
        }
        return;
    }
    // A whole quad: every pixel its edges may reach (anywhere, for edges
    // that are not numbers).
    const float left = std::min(shape.x0, shape.x1), right = std::max(shape.x0, shape.x1);
    const float top = std::min(shape.y0, shape.y1), bottom = std::max(shape.y0, shape.y1);
    if (!(left <= right && top <= bottom)) {
        mark(0, 0, width, height);
        return;
    }
    auto pixel = [](float c, int limit) {
        return static_cast<int>(std::max(-2.0f, std::min(c, static_cast<float>(limit) + 2.0f)));
    };
    mark(pixel(std::floor(left), width) - 1, pixel(std::floor(top), height) - 1,
         pixel(std::ceil(right), width) + 1, pixel(std::ceil(bottom), height) + 1);
}

long ChangedArea::finish() {
    // Rows of cells with the same runs make one band of rectangles.
    long pixels = 0;
    for (int row = 0; row < rows;) {
        const auto first = cells.begin() + row * columns;
        int end = row + 1;
        while (end < rows && std::equal(first, first + columns, cells.begin() + end * columns))
            ++end;
        const int y0 = row * cell, y1 = std::min(end * cell, height);
        for (int column = 0; column < columns;) {
            if (!first[column]) {
                ++column;
                continue;
            }
            int last = column;
            while (last + 1 < columns && first[last + 1])
                ++last;
            const int x0 = column * cell, x1 = std::min((last + 1) * cell, width);
            area.push_back(Rect{x0, y0, x1 - x0, y1 - y0});
            pixels += static_cast<long>(x1 - x0) * (y1 - y0);
            column = last + 1;
        }
        row = end;
    }
    return pixels;
}

void ChangedArea::clip(const Rect& rect, std::vector<Rect>& parts) const {
    for (const Rect& a : area) {
        const int x0 = std::max(rect.x, a.x), x1 = std::min(rect.x + rect.width, a.x + a.width);
        const int y0 = std::max(rect.y, a.y), y1 = std::min(rect.y + rect.height, a.y + a.height);
        if (x0 < x1 && y0 < y1)
            parts.push_back(Rect{x0, y0, x1 - x0, y1 - y0});
    }
}

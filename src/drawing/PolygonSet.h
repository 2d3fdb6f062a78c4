#pragma once

#include <vector>

// The drawer's polygons: fans around their centre, with texture coordinates
// spanning each polygon's bounding box, under indices from 0.
class PolygonSet {
public:
    struct Polygon {
        float* xPoints; // element 0 is the centre, then the corners in order
        float* yPoints;
        float* uCoords;
        float* vCoords;
        int numPoints; // corners + 1
    };

    PolygonSet() = default;
    ~PolygonSet();
    PolygonSet(const PolygonSet&) = delete;
    PolygonSet& operator=(const PolygonSet&) = delete;

    // A polygon of count corners (x, y pairs); its index.
    unsigned int add(const float* points, int count);
    // Null when no polygon has the index.
    const Polygon* get(unsigned int index) const;

private:
    std::vector<Polygon> polygons;
};

#include "PolygonSet.h"

#include <algorithm>

PolygonSet::~PolygonSet() {
    for (Polygon& polygon : polygons) {
        delete[] polygon.xPoints;
        delete[] polygon.yPoints;
        delete[] polygon.uCoords;
        delete[] polygon.vCoords;
    }
}

const PolygonSet::Polygon* PolygonSet::get(unsigned int index) const {
    return index < polygons.size() ? &polygons[index] : nullptr;
}

unsigned int PolygonSet::add(const float* points, int count) {
    const int numPoints = count + 1;
    Polygon polygon{new float[numPoints], new float[numPoints], new float[numPoints], new float[numPoints],
                    numPoints};
    float sumX = 0.0f;
    float sumY = 0.0f;
    float minX = 10000.0f;
    float minY = 10000.0f;
    float maxX = -10000.0f;
    float maxY = -10000.0f;
    for (int i = 0; i < count; ++i) {
        const float px = points[i * 2];
        const float py = points[i * 2 + 1];
        polygon.xPoints[i + 1] = px;
        polygon.yPoints[i + 1] = py;
        sumX += px;
        sumY += py;
        minX = std::min(minX, px);
        maxX = std::max(maxX, px);
        minY = std::min(minY, py);
        maxY = std::max(maxY, py);
    }
    polygon.xPoints[0] = count > 0 ? sumX / count : 0.0f;
    polygon.yPoints[0] = count > 0 ? sumY / count : 0.0f;
    for (int i = 0; i < numPoints; ++i) {
        polygon.uCoords[i] = (polygon.xPoints[i] - minX) / (maxX - minX);
        polygon.vCoords[i] = (polygon.yPoints[i] - minY) / (maxY - minY);
    }
    polygons.push_back(polygon);
    return static_cast<unsigned int>(polygons.size() - 1);
}

// Random points on a mesh's surface, for the quadtree's tests and its bench; needs no test
// framework.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include "mesh/poly_mesh.h"
#include "paint/uv_quadtree.h"

// count points spread evenly over the triangles of random polygons, the same for the same seed.
inline std::vector<TTarnwick_SurfacePoint> RandomSurfacePoints(const TZAVPolyMesh& mesh, int32_t count,
                                                               uint32_t seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int32_t> polygons(0, mesh.GetPolygonCount() - 1);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<TTarnwick_SurfacePoint> points(count);
    for (TTarnwick_SurfacePoint& point : points) {
        point.Polygon = polygons(random);
        point.Triangle = int32_t(random() & 1);
        float a = unit(random);
        float b = unit(random);
        // Folded back into the triangle, so that the points stay evenly spread.
        if (a + b > 1.0f) {
            a = 1.0f - a;
            b = 1.0f - b;
        }
        point.Weights[0] = 1.0f - a - b;
        point.Weights[1] = a;
        point.Weights[2] = b;
    }
    return points;
}

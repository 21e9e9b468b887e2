// Mirror tables: matching the vertices of the two sides by their base positions, and copying or
// exchanging per-vertex values through the tables.
#include "mesh/mirror_table.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "mesh/poly_mesh.h"

namespace {

constexpr uint32_t UntouchableVertex = VertexFlag_Hidden | VertexFlag_Locked;
constexpr float OnPlaneDistance = 1e-30f;

// Vertices with an infinite or undefined coordinate have no place to mirror: they keep
// themselves and are left out of the bounds and the buckets.
std::vector<uint8_t> FiniteVertices(std::span<const float> positions, int32_t vertex_count)
{
    std::vector<uint8_t> finite(vertex_count, 0);
    for (int32_t vertex = 0; vertex < vertex_count; vertex++)
        finite[vertex] = std::isfinite(positions[3 * vertex]) && std::isfinite(positions[3 * vertex + 1]) &&
                         std::isfinite(positions[3 * vertex + 2]);
    return finite;
}

// Tolerance relative to the size of the mesh, so that a scaled mesh matches the same way. In
// double, so that the diagonal of a box near the float range stays finite.
double MatchTolerance(std::span<const float> positions, const std::vector<uint8_t>& finite, int32_t axis,
                      int32_t precision, double& out_largest_offset)
{
    double minimum[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    double maximum[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    out_largest_offset = 0;
    for (size_t vertex = 0; vertex < finite.size(); vertex++) {
        if (!finite[vertex])
            continue;
        for (int32_t k = 0; k < 3; k++) {
            minimum[k] = std::min<double>(minimum[k], positions[3 * vertex + k]);
            maximum[k] = std::max<double>(maximum[k], positions[3 * vertex + k]);
        }
        out_largest_offset = std::max<double>(out_largest_offset, std::fabs(positions[3 * vertex + axis]));
    }
    const double diagonal =
        minimum[0] <= maximum[0]
            ? std::hypot(maximum[0] - minimum[0], maximum[1] - minimum[1], maximum[2] - minimum[2])
            : 0.0;
    return std::pow(10.0, -std::clamp(precision, 0, 30)) * diagonal;
}

// Negative-side vertices in buckets by their distance from the plane (CSR).
struct TPlaneBuckets
{
    int32_t Count = 1;
    double LargestOffset = 0;
    std::vector<int32_t> Start;
    std::vector<int32_t> Vertices;

    int32_t Of(double offset) const
    {
        // Compared before the conversion, so that no offset can overflow the integer.
        const double scaled = LargestOffset > 0 ? offset / LargestOffset * Count : 0.0;
        if (!(scaled > 0))
            return 0;
        if (scaled >= Count - 1)
            return Count - 1;
        return static_cast<int32_t>(scaled);
    }
};

TPlaneBuckets BucketNegativeSide(std::span<const float> positions, const std::vector<uint8_t>& finite,
                                 int32_t axis, double tolerance, double largest_offset)
{
    const int32_t vertex_count = static_cast<int32_t>(finite.size());
    TPlaneBuckets buckets;
    buckets.Count = vertex_count / 10 + 1;
    buckets.LargestOffset = largest_offset;
    auto negative_side = [&](int32_t vertex) {
        return finite[vertex] && positions[3 * vertex + axis] < -tolerance;
    };
    buckets.Start.assign(static_cast<size_t>(buckets.Count) + 1, 0);
    for (int32_t vertex = 0; vertex < vertex_count; vertex++)
        if (negative_side(vertex))
            buckets.Start[buckets.Of(-positions[3 * vertex + axis]) + 1]++;
    std::partial_sum(buckets.Start.begin(), buckets.Start.end(), buckets.Start.begin());
    buckets.Vertices.resize(buckets.Start.back());
    std::vector<int32_t> fill(buckets.Start.begin(), buckets.Start.end() - 1);
    for (int32_t vertex = 0; vertex < vertex_count; vertex++)
        if (negative_side(vertex))
            buckets.Vertices[fill[buckets.Of(-positions[3 * vertex + axis])]++] = vertex;
    return buckets;
}

} // namespace


void TTarnwick_MirrorTables::Reset(int32_t vertex_count)
{
    for (std::vector<int32_t>& table : Tables) {
        table.resize(vertex_count);
        std::iota(table.begin(), table.end(), 0);
    }
}

int32_t TTarnwick_MirrorTables::Mirror(int32_t vertex) const
{
    const int32_t to_positive = Tables[Mirror_ToPositive][vertex];
    return to_positive != vertex ? to_positive : Tables[Mirror_ToNegative][vertex];
}

void TTarnwick_MirrorTables::Build(std::span<const float> positions, int32_t axis, int32_t precision,
                                   std::span<uint32_t> vertex_flags)
{
    const int32_t vertex_count = static_cast<int32_t>(positions.size() / 3);
    Reset(vertex_count);
    for (uint32_t& flags : vertex_flags)
        flags &= ~VertexFlag_MirrorPositive;
    if (vertex_count == 0 || axis < 0 || axis > 2)
        return;

    const std::vector<uint8_t> finite = FiniteVertices(positions, vertex_count);
    double largest_offset = 0;
    const double tolerance = MatchTolerance(positions, finite, axis, precision, largest_offset);
    const TPlaneBuckets buckets = BucketNegativeSide(positions, finite, axis, tolerance, largest_offset);

    // Until matched, every off-plane vertex has no mirror in the table of its own side.
    for (int32_t vertex = 0; vertex < vertex_count; vertex++) {
        if (!finite[vertex])
            continue;
        const float offset = positions[3 * vertex + axis];
        if (offset > tolerance) {
            Tables[Mirror_ToPositive][vertex] = -1;
            if (vertex < static_cast<int32_t>(vertex_flags.size()))
                vertex_flags[vertex] |= VertexFlag_MirrorPositive;
        } else if (offset < -tolerance) {
            Tables[Mirror_ToNegative][vertex] = -1;
        }
    }
    std::vector<uint8_t> matched(vertex_count, 0);
    for (int32_t vertex = 0; vertex < vertex_count; vertex++) {
        const float* position = &positions[3 * vertex];
        if (!finite[vertex] || position[axis] <= tolerance)
            continue;
        int32_t best = -1;
        double best_distance = tolerance;
        const int32_t last_bucket = buckets.Of(position[axis] + tolerance);
        for (int32_t bucket = buckets.Of(position[axis] - tolerance); bucket <= last_bucket; bucket++) {
            for (int32_t slot = buckets.Start[bucket]; slot < buckets.Start[bucket + 1]; slot++) {
                const int32_t candidate = buckets.Vertices[slot];
                if (matched[candidate])
                    continue;
                float mirrored[3] = {positions[3 * candidate], positions[3 * candidate + 1],
                                     positions[3 * candidate + 2]};
                mirrored[axis] = -mirrored[axis];
                const float distance = std::hypot(mirrored[0] - position[0], mirrored[1] - position[1],
                                                  mirrored[2] - position[2]);
                if (distance <= best_distance) {
                    best_distance = distance;
                    best = candidate;
                }
            }
        }
        if (best < 0)
            continue;
        matched[best] = 1;
        Tables[Mirror_ToPositive][vertex] = best;
        Tables[Mirror_ToNegative][best] = vertex;
    }
}

void TTarnwick_MirrorTables::CopyDisplacements(std::span<float> values, TTarnwick_MirrorDirection direction,
                                               std::span<const int32_t> vertices,
                                               const TContext& context) const
{
    const std::vector<int32_t>& table = Tables[direction];
    const int32_t axis = context.Axis;
    for (int32_t vertex : vertices) {
        if (vertex < 0 || vertex >= VertexCount() || (context.VertexFlags[vertex] & UntouchableVertex))
            continue;
        float* value = &values[3 * static_cast<size_t>(vertex)];
        if (std::fabs(context.BasePositions[3 * static_cast<size_t>(vertex) + axis]) <= OnPlaneDistance) {
            value[axis] = 0;
            continue;
        }
        const int32_t source = table[vertex];
        if (source < 0 || source == vertex)
            continue;
        const float* source_value = &values[3 * static_cast<size_t>(source)];
        std::copy_n(source_value, 3, value);
        value[axis] = -value[axis];
    }
}

void TTarnwick_MirrorTables::ExchangeDisplacements(std::span<float> values, std::span<const int32_t> vertices,
                                                   const TContext& context) const
{
    const int32_t axis = context.Axis;
    // Each pair once, however many of its two vertices are listed.
    std::vector<std::pair<int32_t, int32_t>> pairs;
    pairs.reserve(vertices.size());
    for (int32_t vertex : vertices) {
        if (vertex < 0 || vertex >= VertexCount())
            continue;
        const int32_t mirror = Mirror(vertex);
        if (mirror >= 0)
            pairs.emplace_back(std::min(vertex, mirror), std::max(vertex, mirror));
    }
    std::sort(pairs.begin(), pairs.end());
    pairs.erase(std::unique(pairs.begin(), pairs.end()), pairs.end());
    for (auto [first, second] : pairs) {
        const bool first_free = !(context.VertexFlags[first] & UntouchableVertex);
        const bool second_free = !(context.VertexFlags[second] & UntouchableVertex);
        float* first_value = &values[3 * static_cast<size_t>(first)];
        float* second_value = &values[3 * static_cast<size_t>(second)];
        if (first == second) {
            if (first_free &&
                std::fabs(context.BasePositions[3 * static_cast<size_t>(first) + axis]) <= OnPlaneDistance)
                first_value[axis] = -first_value[axis];
            continue;
        }
        // A pair with one side left alone would lose that side's shape; both stay as they are.
        if (!first_free || !second_free)
            continue;
        std::swap_ranges(first_value, first_value + 3, second_value);
        first_value[axis] = -first_value[axis];
        second_value[axis] = -second_value[axis];
    }
}

void TTarnwick_MirrorTables::CopyWeights(std::span<float> weights, TTarnwick_MirrorDirection direction,
                                         std::span<const int32_t> vertices, const TContext& context) const
{
    const std::vector<int32_t>& table = Tables[direction];
    for (int32_t vertex : vertices) {
        if (vertex < 0 || vertex >= VertexCount() || (context.VertexFlags[vertex] & UntouchableVertex))
            continue;
        const int32_t source = table[vertex];
        if (source >= 0 && source != vertex)
            weights[vertex] = weights[source];
    }
}

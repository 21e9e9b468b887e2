// Mirror tables of a mesh: for each direction of mirroring, the vertex whose value each vertex
// receives. Vertices are matched by their base positions across the plane through the origin
// that is normal to the symmetry axis.
//
// Table[direction][v] is v's mirror vertex when v lies on the side that direction copies towards
// (-1 when no vertex matches it), and v itself otherwise; vertices on the plane are their own
// mirror in both tables. The vertex flag bit 0x100 marks the positive side.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

enum TTarnwick_MirrorDirection : int32_t
{
    // Copies from the negative side onto the positive side.
    Mirror_ToPositive = 0,
    Mirror_ToNegative = 1,
};

inline constexpr uint32_t VertexFlag_MirrorPositive = 0x100;

class TTarnwick_MirrorTables
{
public:
    // Every vertex its own mirror.
    void Reset(int32_t vertex_count);
    // Matches vertices within 10^-precision of the bounding box diagonal, sorting them into
    // vertex count / 10 + 1 buckets along the axis first. Rewrites bit 0x100 of vertex_flags.
    void Build(std::span<const float> positions, int32_t axis, int32_t precision,
               std::span<uint32_t> vertex_flags);

    int32_t VertexCount() const { return static_cast<int32_t>(Tables[0].size()); }
    // The vertex whose value `vertex` receives in `direction`; itself when it receives nothing.
    int32_t Source(TTarnwick_MirrorDirection direction, int32_t vertex) const
    {
        return Tables[direction][vertex];
    }
    // The matched partner on the other side; itself on the plane, -1 when unmatched.
    int32_t Mirror(int32_t vertex) const;

    // The operations skip vertices outside the tables and those with the hidden (0x04) or locked
    // (0x10) bit. Values hold 3 floats per vertex; the axis component is negated on copy and set
    // to 0 for vertices whose base coordinate on the axis is within 1e-30 of zero.
    struct TContext
    {
        std::span<const float> BasePositions;
        std::span<const uint32_t> VertexFlags;
        int32_t Axis = 0;
    };
    void CopyDisplacements(std::span<float> values, TTarnwick_MirrorDirection direction,
                           std::span<const int32_t> vertices, const TContext& context) const;
    // Swaps each vertex's displacement with its mirror vertex's, negating the axis component of
    // both; on-plane vertices have their axis component negated.
    void ExchangeDisplacements(std::span<float> values, std::span<const int32_t> vertices,
                               const TContext& context) const;
    // One weight per vertex, copied unchanged.
    void CopyWeights(std::span<float> weights, TTarnwick_MirrorDirection direction,
                     std::span<const int32_t> vertices, const TContext& context) const;

    std::vector<int32_t> Tables[2];
};

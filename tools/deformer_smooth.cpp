// The smooth deformer: each selected vertex moves towards the average of its polygon neighbours, in
// Jacobi passes (every pass reads the positions the previous one wrote). The drag gives the number
// of passes: whole passes for the whole part, a last pass for the fraction.
//
// Only the selected vertices move, so the passes keep positions for them alone; every other vertex
// is read at its press position.
#include "tools/deformer_smooth.h"

#include <algorithm>
#include <cmath>

#include "core/status.h"
#include "core/two_halves.h"
#include "files/language.h"
#include "mesh/sculpt_mesh.h"

namespace {

constexpr float NegligibleWeight = 1e-30f;
// Below this many selected vertices the press's sums run on one thread.
constexpr size_t ParallelVertices = 100000000;

float Distance(const float* a, const float* b)
{
    const float d[3] = {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
    return std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

} // namespace

TTarnwick_Smooth::TTarnwick_Smooth()
{
    SetNameAndHelp(102, 103);
    NoShrinkParameter = AddCheckBox(NoShrink, 662, 663);
    NormalOnlyParameter = AddCheckBox(NormalOnly, 369, 370);
    AddParameter(TTarnwick_ParameterType::Label, -1, -1);
    TTarnwick_Parameter* multiplier = AddSlider(Multiplier, -1, 755);
    multiplier->SetNameLiteral("Multiplier");
    multiplier->SetRange(&RangeZero, &RangeTen);
}

bool TTarnwick_Smooth::MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button,
                                   int32_t state, float x, float y)
{
    TTarnwick_Deformer::MouseButton(mesh, view, button, state, x, y);
    return true;
}

void TTarnwick_Smooth::ParameterChanged(TTarnwick_Parameter& parameter)
{
    if (&parameter == NormalOnlyParameter && NormalOnly) {
        NoShrink = false;
        DistanceWeighted = false;
    } else if (&parameter == NoShrinkParameter && NoShrink) {
        NormalOnly = false;
    }
}

template <typename TVisit>
void TTarnwick_Smooth::ForEachNeighbour(const TTarnwick_Mesh& mesh, int32_t vertex, TVisit visit) const
{
    // The vertex itself counts once among its corners only in the plain mode; a neighbour counts
    // once per corner.
    const bool plain = !StrokeNoShrink && !StrokeDistanceWeighted;
    const float* base_positions = mesh.Vertices.data();
    const float* base = base_positions + 3 * static_cast<size_t>(vertex);
    const int32_t* polygon_start = mesh.PolygonStart.data();
    const int32_t* corner_vertex = mesh.CornerVertex.data();
    bool self_counted = false;
    for (int32_t polygon : mesh.GetVertexPolygons(vertex))
        for (int32_t corner = polygon_start[polygon]; corner < polygon_start[polygon + 1]; corner++) {
            const int32_t neighbour = mesh.WeldedVertex(corner_vertex[corner]);
            if (neighbour == vertex && (!plain || self_counted))
                continue;
            self_counted |= neighbour == vertex;
            const float distance = neighbour != vertex && StrokeDistanceWeighted
                                       ? Distance(base_positions + 3 * static_cast<size_t>(neighbour), base)
                                       : 0.0f;
            visit(neighbour, StrokeDistanceWeighted && neighbour != vertex ? std::sqrt(distance) : 1.0f, distance);
        }
}

void TTarnwick_Smooth::StrokeStarted(const TTarnwick_Mesh& mesh)
{
    // The first pass of every drag reads only press positions, so its weighted sums are the same
    // all stroke long: they are taken now, while the display shows the press shape, with the
    // neighbours' normals, which the stroke's movement changes.
    StrokeNoShrink = NoShrink;
    StrokeDistanceWeighted = DistanceWeighted;
    const size_t selected = SelectedVertices.size();
    // Both ways of taking the sums write every entry.
    PressSums.resize(3 * selected);
    Totals.resize(selected);
    DistanceSums.assign(selected, 0.0f);
    NeighbourNormals.resize(3 * selected);
    NeighbourCounts.resize(selected);
    FirstSteps.resize(3 * selected);
    MovingStart.clear();
    FirstPass = true;
    const bool has_normals = mesh.Normals.size() == 3 * static_cast<size_t>(mesh.GetVertexCount());
    if (!StrokeDistanceWeighted) {
        TakePolygonSums(mesh, has_normals);
    } else {
        TakeWeightedSums(mesh, has_normals);
        // Distance weights need the longest edge around the selection before any vertex's step.
        const float longest_edge = LongestEdge(mesh, 0);
        RunInTwoHalves(selected, ParallelVertices, [&](size_t first, size_t end) {
            for (size_t i = first; i < end; i++)
                TakeFirstStep(mesh, i, longest_edge);
        });
    }
    FirstPass = false;
}

void TTarnwick_Smooth::TakeFirstStep(const TTarnwick_Mesh& mesh, size_t index, float longest_edge)
{
    // A first pass moves each vertex along a line: by t · (where a whole pass takes it - press),
    // so a drag of less than one pass only scales these.
    float position[3];
    const bool moves = SmoothVertex(mesh, index, 0, 1.0f, longest_edge, position);
    for (int32_t k = 0; k < 3; k++)
        FirstSteps[3 * index + k] = moves ? position[k] - PressPositions[3 * index + k] : 0.0f;
}

void TTarnwick_Smooth::TakeWeightedSums(const TTarnwick_Mesh& mesh, bool has_normals)
{
    const float* positions = mesh.DisplayedVertices.data();
    const float* normals = mesh.Normals.data();
    RunInTwoHalves(SelectedVertices.size(), ParallelVertices, [&](size_t first, size_t end) {
        for (size_t i = first; i < end; i++) {
            const int32_t vertex = SelectedVertices[i];
            float sum_x = 0, sum_y = 0, sum_z = 0, normal_x = 0, normal_y = 0, normal_z = 0;
            float total = 0, distance_sum = 0;
            int32_t others = 0;
            ForEachNeighbour(mesh, vertex, [&](int32_t neighbour, float weight, float distance) {
                const size_t offset = 3 * static_cast<size_t>(neighbour);
                sum_x += weight * positions[offset];
                sum_y += weight * positions[offset + 1];
                sum_z += weight * positions[offset + 2];
                total += weight;
                if (neighbour == vertex)
                    return;
                others++;
                distance_sum += distance;
                if (has_normals) {
                    normal_x += normals[offset];
                    normal_y += normals[offset + 1];
                    normal_z += normals[offset + 2];
                }
            });
            const float sums[3] = {sum_x, sum_y, sum_z};
            const float normal[3] = {normal_x, normal_y, normal_z};
            for (int32_t k = 0; k < 3; k++) {
                PressSums[3 * i + k] = sums[k];
                NeighbourNormals[3 * i + k] = others > 0 ? normal[k] / float(others) : 0.0f;
            }
            Totals[i] = total;
            DistanceSums[i] = distance_sum;
            NeighbourCounts[i] = others;
        }
    });
}

void TTarnwick_Smooth::TakePolygonSums(const TTarnwick_Mesh& mesh, bool has_normals)
{
    // With every corner weighing 1, a vertex's sum is the sum over its polygons of their corner
    // sums, less its own corners: each polygon is read once instead of once per corner. Doubles
    // keep the subtraction from losing the small differences smoothing works on.
    const int32_t polygon_count = mesh.GetPolygonCount();
    if (PolygonSlot.size() != static_cast<size_t>(polygon_count))
        PolygonSlot.assign(polygon_count, -1);
    StrokePolygons.clear();
    for (int32_t vertex : SelectedVertices)
        for (int32_t polygon : mesh.GetVertexPolygons(vertex))
            if (PolygonSlot[polygon] < 0) {
                PolygonSlot[polygon] = static_cast<int32_t>(StrokePolygons.size());
                StrokePolygons.push_back(polygon);
            }
    const float* positions = mesh.DisplayedVertices.data();
    const float* normals = mesh.Normals.data();
    PolygonSums.resize(6 * StrokePolygons.size());
    RunInTwoHalves(StrokePolygons.size(), ParallelVertices, [&](size_t first, size_t end) {
        for (size_t slot = first; slot < end; slot++) {
            const int32_t polygon = StrokePolygons[slot];
            double sums[6] = {0, 0, 0, 0, 0, 0};
            for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
                const size_t offset = 3 * static_cast<size_t>(mesh.WeldedVertex(mesh.CornerVertex[corner]));
                for (int32_t k = 0; k < 3; k++) {
                    sums[k] += positions[offset + k];
                    sums[3 + k] += has_normals ? normals[offset + k] : 0.0f;
                }
            }
            std::copy_n(sums, 6, &PolygonSums[6 * slot]);
        }
    });
    const bool plain = !StrokeNoShrink;
    RunInTwoHalves(SelectedVertices.size(), ParallelVertices, [&](size_t first, size_t end) {
        for (size_t i = first; i < end; i++) {
            const int32_t vertex = SelectedVertices[i];
            double sums[6] = {0, 0, 0, 0, 0, 0};
            int32_t corners = 0, own = 0;
            for (int32_t polygon : mesh.GetVertexPolygons(vertex)) {
                const double* polygon_sums = &PolygonSums[6 * static_cast<size_t>(PolygonSlot[polygon])];
                for (int32_t k = 0; k < 6; k++)
                    sums[k] += polygon_sums[k];
                for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1];
                     corner++)
                    own += mesh.WeldedVertex(mesh.CornerVertex[corner]) == vertex;
                corners += mesh.PolygonStart[polygon + 1] - mesh.PolygonStart[polygon];
            }
            const size_t offset = 3 * static_cast<size_t>(vertex);
            const int32_t others = corners - own;
            // The plain mode counts the vertex itself once.
            const int32_t kept = plain && own > 0 ? 1 : 0;
            for (int32_t k = 0; k < 3; k++) {
                PressSums[3 * i + k] = float(sums[k] - double(own - kept) * positions[offset + k]);
                const double normal = sums[3 + k] - (has_normals ? double(own) * normals[offset + k] : 0.0);
                NeighbourNormals[3 * i + k] = others > 0 ? float(normal / others) : 0.0f;
            }
            Totals[i] = float(others + kept);
            NeighbourCounts[i] = others;
            TakeFirstStep(mesh, i, 0.0f);
        }
    });
    for (int32_t polygon : StrokePolygons)
        PolygonSlot[polygon] = -1;
}

void TTarnwick_Smooth::BuildPassLists(const TTarnwick_Mesh& mesh)
{
    // Later passes read the selected neighbours from the pass buffers; the others stay at their
    // press positions, so their share of each sum is fixed.
    const size_t selected = SelectedVertices.size();
    MovingStart.assign(selected + 1, 0);
    MovingSlots.clear();
    MovingWeights.clear();
    FixedSums.assign(3 * selected, 0.0f);
    for (size_t i = 0; i < selected; i++) {
        float* fixed = &FixedSums[3 * i];
        ForEachNeighbour(mesh, SelectedVertices[i], [&](int32_t neighbour, float weight, float) {
            const int32_t slot = PressSlot[neighbour];
            if (slot >= 0 && static_cast<size_t>(slot) < selected) {
                MovingSlots.push_back(slot);
                MovingWeights.push_back(weight);
                return;
            }
            const float* position = PressPosition(mesh, neighbour);
            for (int32_t k = 0; k < 3; k++)
                fixed[k] += weight * position[k];
        });
        MovingStart[i + 1] = static_cast<int32_t>(MovingSlots.size());
    }
}

float TTarnwick_Smooth::LongestEdge(const TTarnwick_Mesh& mesh, int32_t source) const
{
    float longest = 0;
    for (int32_t vertex : SelectedVertices)
        for (int32_t polygon : mesh.GetVertexPolygons(vertex)) {
            const int32_t start = mesh.PolygonStart[polygon];
            const int32_t count = mesh.PolygonStart[polygon + 1] - start;
            for (int32_t corner = 0; corner < count; corner++) {
                const int32_t from = mesh.WeldedVertex(mesh.CornerVertex[start + corner]);
                const int32_t to = mesh.WeldedVertex(mesh.CornerVertex[start + (corner + 1) % count]);
                longest = std::max(
                    longest, Distance(PassPosition(mesh, source, from), PassPosition(mesh, source, to)));
            }
        }
    return longest;
}

bool TTarnwick_Smooth::SmoothVertex(const TTarnwick_Mesh& mesh, size_t index, int32_t source, float t,
                                    float longest_edge, float out_position[3]) const
{
    const float total = Totals[index];
    if (!(total > NegligibleWeight))
        return false;
    const int32_t vertex = SelectedVertices[index];
    float sum[3];
    const float* current;
    if (FirstPass) {
        std::copy_n(&PressSums[3 * index], 3, sum);
        current = &PressPositions[3 * index];
    } else {
        std::copy_n(&FixedSums[3 * index], 3, sum);
        const float* positions = Buffers[source].data();
        for (int32_t entry = MovingStart[index]; entry < MovingStart[index + 1]; entry++) {
            const float* position = positions + 3 * static_cast<size_t>(MovingSlots[entry]);
            for (int32_t k = 0; k < 3; k++)
                sum[k] += MovingWeights[entry] * position[k];
        }
        current = positions + 3 * index;
    }

    const int32_t others = NeighbourCounts[index];
    float average[3];
    for (int32_t k = 0; k < 3; k++)
        average[k] = TarnwickDeformerOptions.LockAxis[k] ? current[k] : sum[k] / total;
    if (StrokeDistanceWeighted && others > 0 && longest_edge > 0)
        t *= 1.0f - DistanceSums[index] / float(others) / longest_edge;
    const float* normal = PressNormal(mesh, vertex);

    if (NormalOnly) {
        float height = 0;
        for (int32_t k = 0; k < 3; k++)
            height += normal[k] * (average[k] - current[k]);
        if (StrokeNoShrink && !(height > 0))
            height = 0;
        for (int32_t k = 0; k < 3; k++)
            out_position[k] = current[k] + normal[k] * (height * t);
        return true;
    }
    if (StrokeNoShrink && others > 0) {
        // The vertex keeps its height above the neighbours' average; hollows are still filled.
        const float* press = &PressPositions[3 * index];
        const float* mean_normal = &NeighbourNormals[3 * index];
        float height = 0;
        for (int32_t k = 0; k < 3; k++)
            height += mean_normal[k] * (press[k] - average[k]);
        if (height > 0)
            for (int32_t k = 0; k < 3; k++)
                average[k] += mean_normal[k] * height;
    }
    for (int32_t k = 0; k < 3; k++)
        out_position[k] = t * average[k] + (1.0f - t) * current[k];
    return true;
}

void TTarnwick_Smooth::SmoothPass(TTarnwick_Mesh& mesh, int32_t source, float fraction)
{
    const float longest_edge = StrokeDistanceWeighted ? LongestEdge(mesh, source) : 0.0f;
    std::vector<float>& destination = Buffers[1 - source];
    for (size_t i = 0; i < SelectedVertices.size(); i++) {
        const int32_t vertex = SelectedVertices[i];
        const float weight = SelectedWeights[i];
        if (IsExcluded(mesh, vertex) || !(weight > NegligibleWeight))
            continue;
        const float t = std::clamp(weight * fraction, 0.0f, 1.0f);
        float* position = &destination[3 * i];
        if (!SmoothVertex(mesh, i, source, t, longest_edge, position))
            std::copy_n(PassPosition(mesh, source, vertex), 3, position);
    }
}

void TTarnwick_Smooth::ComputeStep(TTarnwick_Mesh& mesh, float dx, float)
{
    const float amount = std::max(dx * Multiplier, 0.0f);
    AddStatus("Strength = %.4f", double(amount));
    const size_t selected = SelectedVertices.size();
    const int32_t whole_passes = int32_t(std::floor(amount));
    if (whole_passes == 0) {
        for (size_t i = 0; i < selected; i++) {
            const int32_t vertex = SelectedVertices[i];
            if (IsExcluded(mesh, vertex) || !(SelectedWeights[i] > NegligibleWeight))
                continue;
            const float t = std::clamp(SelectedWeights[i] * amount, 0.0f, 1.0f);
            float* slot = NewSlot(vertex);
            for (int32_t k = 0; k < 3; k++)
                slot[k] = t * FirstSteps[3 * i + k];
        }
        return;
    }
    for (std::vector<float>& buffer : Buffers)
        buffer.resize(3 * selected);
    for (size_t i = 0; i < selected; i++) {
        const float* press = PressPosition(mesh, SelectedVertices[i]);
        std::copy_n(press, 3, &Buffers[0][3 * i]);
        std::copy_n(press, 3, &Buffers[1][3 * i]);
    }
    if (MovingStart.size() != selected + 1)
        BuildPassLists(mesh);
    int32_t source = 0;
    for (int32_t pass = 0; pass <= whole_passes; pass++) {
        FirstPass = pass == 0;
        SmoothPass(mesh, source, pass < whole_passes ? 1.0f : amount - float(whole_passes));
        source = 1 - source;
    }
    FirstPass = false;
    for (size_t i = 0; i < selected; i++) {
        const int32_t vertex = SelectedVertices[i];
        if (IsExcluded(mesh, vertex) || !(SelectedWeights[i] > NegligibleWeight))
            continue;
        const float* press = PressPosition(mesh, vertex);
        float* slot = NewSlot(vertex);
        for (int32_t k = 0; k < 3; k++)
            slot[k] = Buffers[source][3 * i + k] - press[k];
    }
}

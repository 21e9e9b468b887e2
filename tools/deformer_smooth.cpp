// The smooth deformer: each selected vertex moves towards the average of its polygon neighbours, in
// Jacobi passes (every pass reads the positions the previous one wrote). The drag gives the number
// of passes: whole passes for the whole part, a last pass for the fraction.
//
// Only the selected vertices move, so the passes keep positions for them alone; every other vertex
// is read at its press position.
#include "tools/deformer.h"

#include <algorithm>
#include <cmath>
#include <thread>

#include "core/status.h"
#include "files/language.h"
#include "mesh/sculpt_mesh.h"

namespace {

constexpr float NegligibleWeight = 1e-30f;
// Below this many selected vertices a second thread costs more than it saves.
constexpr size_t ParallelPassVertices = 20000;

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

void TTarnwick_Smooth::StrokeStarted(const TTarnwick_Mesh& mesh)
{
    // The neighbours' normals change as the stroke moves the selection; the passes use the press's.
    const size_t selected = SelectedVertices.size();
    NeighbourNormals.assign(3 * selected, 0.0f);
    NeighbourCounts.assign(selected, 0);
    if (mesh.Normals.size() != 3 * static_cast<size_t>(mesh.GetVertexCount()))
        return;
    for (size_t i = 0; i < selected; i++) {
        const int32_t vertex = SelectedVertices[i];
        float* sum = &NeighbourNormals[3 * i];
        for (int32_t polygon : mesh.GetVertexPolygons(vertex))
            for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
                const int32_t neighbour = mesh.WeldedVertex(mesh.CornerVertex[corner]);
                if (neighbour == vertex)
                    continue;
                NeighbourCounts[i]++;
                for (int32_t k = 0; k < 3; k++)
                    sum[k] += mesh.Normals[3 * static_cast<size_t>(neighbour) + k];
            }
        if (NeighbourCounts[i] > 0)
            for (int32_t k = 0; k < 3; k++)
                sum[k] /= float(NeighbourCounts[i]);
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
    const int32_t vertex = SelectedVertices[index];
    // The vertex itself counts once among its corners only in the plain mode.
    const bool distance_weighted = DistanceWeighted;
    const bool plain = !NoShrink && !distance_weighted;
    // Raw arrays: the gather below is the hot loop of the stroke.
    const float* base_positions = mesh.Vertices.data();
    const int32_t* polygon_start = mesh.PolygonStart.data();
    const int32_t* corner_vertex = mesh.CornerVertex.data();
    const float* base = base_positions + 3 * static_cast<size_t>(vertex);
    // Scalars, not arrays: the compiler keeps them in registers across the loop.
    float sum_x = 0, sum_y = 0, sum_z = 0;
    float total = 0;
    float distance_sum = 0;
    bool self_counted = false;
    for (int32_t polygon : mesh.GetVertexPolygons(vertex))
        for (int32_t corner = polygon_start[polygon]; corner < polygon_start[polygon + 1]; corner++) {
            const int32_t neighbour = mesh.WeldedVertex(corner_vertex[corner]);
            if (neighbour == vertex && (!plain || self_counted))
                continue;
            self_counted |= neighbour == vertex;
            float weight = 1;
            if (neighbour != vertex && distance_weighted) {
                const float distance = Distance(base_positions + 3 * static_cast<size_t>(neighbour), base);
                distance_sum += distance;
                weight = std::sqrt(distance);
            }
            const float* position = PassPosition(mesh, source, neighbour);
            sum_x += weight * position[0];
            sum_y += weight * position[1];
            sum_z += weight * position[2];
            total += weight;
        }
    if (!(total > NegligibleWeight))
        return false;

    const int32_t others = NeighbourCounts[index];
    const float* current = PassPosition(mesh, source, vertex);
    float average[3];
    const float sum[3] = {sum_x, sum_y, sum_z};
    for (int32_t k = 0; k < 3; k++)
        average[k] = TarnwickDeformerOptions.LockAxis[k] ? current[k] : sum[k] / total;
    if (DistanceWeighted && others > 0 && longest_edge > 0)
        t *= 1.0f - distance_sum / float(others) / longest_edge;
    const float* normal = PressNormal(mesh, vertex);

    if (NormalOnly) {
        float height = 0;
        for (int32_t k = 0; k < 3; k++)
            height += normal[k] * (average[k] - current[k]);
        if (NoShrink && !(height > 0))
            height = 0;
        for (int32_t k = 0; k < 3; k++)
            out_position[k] = current[k] + normal[k] * (height * t);
        return true;
    }
    if (NoShrink && others > 0) {
        // The vertex keeps its height above the neighbours' average; hollows are still filled.
        const float* press = PressPosition(mesh, vertex);
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
    const float longest_edge = DistanceWeighted ? LongestEdge(mesh, source) : 0.0f;
    std::vector<float>& destination = Buffers[1 - source];
    auto smooth_range = [&](size_t first, size_t end) {
        for (size_t i = first; i < end; i++) {
            const int32_t vertex = SelectedVertices[i];
            const float weight = SelectedWeights[i];
            if (IsExcluded(mesh, vertex) || !(weight > NegligibleWeight))
                continue;
            const float t = std::clamp(weight * fraction, 0.0f, 1.0f);
            float* position = &destination[3 * i];
            if (!SmoothVertex(mesh, i, source, t, longest_edge, position))
                std::copy_n(PassPosition(mesh, source, vertex), 3, position);
        }
    };
    // Every vertex reads the pass's source and writes its own slot, so halves run side by side.
    const size_t count = SelectedVertices.size();
    if (count < ParallelPassVertices) {
        smooth_range(0, count);
        return;
    }
    std::thread side([&] { smooth_range(count / 2, count); });
    smooth_range(0, count / 2);
    side.join();
}

void TTarnwick_Smooth::ComputeStep(TTarnwick_Mesh& mesh, float dx, float)
{
    const float amount = std::max(dx * Multiplier, 0.0f);
    AddStatus("Strength = %.4f", double(amount));
    const size_t selected = SelectedVertices.size();
    for (std::vector<float>& buffer : Buffers)
        buffer.resize(3 * selected);
    for (size_t i = 0; i < selected; i++) {
        const float* press = PressPosition(mesh, SelectedVertices[i]);
        std::copy_n(press, 3, &Buffers[0][3 * i]);
        std::copy_n(press, 3, &Buffers[1][3 * i]);
    }
    const int32_t whole_passes = int32_t(std::floor(amount));
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

// TTarnwick_Smooth: the deformer that moves each selected vertex towards the average of its
// polygon neighbours, in Jacobi passes whose number the drag gives.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/deformer.h"

class TTarnwick_Smooth : public TTarnwick_Deformer
{
public:
    TTarnwick_Smooth();
    // A press refused for want of a morph is still taken as handled.
    bool MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button, int32_t state, float x,
                     float y) override;
    // NormalOnly excludes NoShrink and DistanceWeighted.
    void ParameterChanged(TTarnwick_Parameter& parameter) override;

    bool NormalOnly = false;
    bool NoShrink = true;
    bool DistanceWeighted = false;
    float Multiplier = 1.0f;

protected:
    void ComputeStep(TTarnwick_Mesh& mesh, float dx, float dy) override;

    void StrokeStarted(const TTarnwick_Mesh& mesh) override;

private:
    // visit(neighbour, weight, base distance) for each corner that counts towards the vertex's
    // average, in the stroke's mode.
    template <typename TVisit> void ForEachNeighbour(const TTarnwick_Mesh& mesh, int32_t vertex, TVisit visit) const;
    // The press sums of the selected vertices: corner by corner with distance weights, else from
    // the sums of their polygons.
    void TakeWeightedSums(const TTarnwick_Mesh& mesh, bool has_normals);
    void TakePolygonSums(const TTarnwick_Mesh& mesh, bool has_normals);
    // FirstSteps of one selected vertex, from its press sums (in a first pass).
    void TakeFirstStep(const TTarnwick_Mesh& mesh, size_t index, float longest_edge);
    // The moving and fixed parts of each vertex's sum, for the passes after the first.
    void BuildPassLists(const TTarnwick_Mesh& mesh);
    // One Jacobi pass of the given fraction, from buffer `source` into the other.
    void SmoothPass(TTarnwick_Mesh& mesh, int32_t source, float fraction);
    // The new position of selected vertex `index` from the positions of pass source; false when it
    // stays.
    bool SmoothVertex(const TTarnwick_Mesh& mesh, size_t index, int32_t source, float t, float longest_edge,
                      float out_position[3]) const;
    float LongestEdge(const TTarnwick_Mesh& mesh, int32_t source) const;
    // A vertex's position as pass source sees it: its own slot when selected, else the press position.
    const float* PassPosition(const TTarnwick_Mesh& mesh, int32_t source, int32_t vertex) const
    {
        const int32_t slot = PressSlot[vertex];
        if (slot < 0)
            return mesh.GetDisplayedPosition(vertex).data();
        const size_t offset = 3 * static_cast<size_t>(slot);
        return !FirstPass && static_cast<size_t>(slot) < SelectedVertices.size() ? &Buffers[source][offset]
                                                                                 : &PressPositions[offset];
    }

    // Positions of the selected vertices, 3 floats per slot: the two sides of the Jacobi passes.
    std::vector<float> Buffers[2];
    // Per selected vertex, from the press: the weighted sum of the positions its average takes and
    // the total weight, the sum of its neighbours' base distances, and the mean normal of its
    // neighbours with their count (each counted once per polygon corner).
    std::vector<float> PressSums;
    std::vector<float> Totals;
    std::vector<float> DistanceSums;
    std::vector<float> NeighbourNormals;
    std::vector<int32_t> NeighbourCounts;
    // The polygons around the selection, each one's slot (-1 for the others, kept so between
    // strokes) and its corners' summed positions and normals.
    std::vector<int32_t> StrokePolygons;
    std::vector<int32_t> PolygonSlot;
    std::vector<double> PolygonSums;
    // Per selected vertex, where one whole first pass moves it from its press position.
    std::vector<float> FirstSteps;
    // For the later passes: the selected neighbours of each vertex (pass slots and weights, from
    // MovingStart[i] to MovingStart[i + 1]) and the fixed sum of the others.
    std::vector<int32_t> MovingStart;
    std::vector<int32_t> MovingSlots;
    std::vector<float> MovingWeights;
    std::vector<float> FixedSums;
    // The modes the sums were taken in.
    bool StrokeNoShrink = true;
    bool StrokeDistanceWeighted = false;
    bool FirstPass = false;
    TTarnwick_Parameter* NormalOnlyParameter = nullptr;
    TTarnwick_Parameter* NoShrinkParameter = nullptr;
};

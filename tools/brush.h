// TTarnwick_Brush: the base of the tools with a round cursor (selection and paint brushes). It
// holds the brush circle and the rules every brush shares: which vertices a stroke step looks at,
// which of them it must leave alone, and how strongly the rest are affected (the falloff).
//
// A stroke step of a brush, as the brushes built on this one run it:
//   FindCandidateVertices -> for each candidate: IsVertexExcluded, distance, BrushFalloff
//   -> the brush's own change -> MarkChangedPolygons when partial redraw is on.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "tools/local_surface.h"
#include "tools/tool.h"

// Whether IsVertexExcluded asks the view about geometry in front of the vertex.
enum class TTarnwick_Occlusion
{
    Ignore,
    Test,
};

class TTarnwick_Brush : public TTarnwick_Tool
{
public:
    // Adds the Radius, Strength and Hardness sliders, bounded 0 to 1.
    TTarnwick_Brush();

    // A press also starts the stroke points and, with "Affect Local Surface Only", marks the
    // local surface under the cursor.
    bool MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button, int32_t state, float x,
                     float y) override;
    // With "Affect Local Surface Only" the nearest depth follows the cursor; the marks stay.
    bool MouseDrag(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y) override;

    // Virtual operations added after ToolEvent, in slot order.
    virtual void DrawRoundOutline(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y, float rx,
                                  float ry);
    virtual void DrawSquareOutline(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y, float rx,
                                   float ry);
    // True here; brushes narrow it to their own shape. screen is the vertex's x, y and depth.
    virtual bool IsUnderBrush(const TTarnwick_Mesh& mesh, const TTarnwick_ToolView& view, float x, float y,
                              std::span<const float> screen);

    // The weight of a vertex at screen distance `distance` from the centre of a brush of `radius`
    // and `hardness`: cos((d / r) · π/2) to the power (1 − h) · 2, within 0 to 1.
    static float BrushFalloff(float distance, float radius, float hardness);
    // The factor of the facing-attenuation option: the fourth power of the cosine between the
    // vertex normal and the view direction.
    static float ViewAttenuation(const float normal[3], const float view_direction[3]);

    // Visibility is respected unless the user sees through and the tool may act on what is hidden.
    TTarnwick_Visibility GetVisibility() const;
    // True when the stroke must leave the vertex alone: hidden or locked by a layer, off the local
    // surface (counted in the skip counter), facing away or, when asked, occluded.
    bool IsVertexExcluded(const TTarnwick_Mesh& mesh, const TTarnwick_ToolView& view, int32_t vertex,
                          TTarnwick_Occlusion occlusion);
    // The brush circle reaches Radius across and Radius / aspect up the view.
    float VerticalRadius(const TTarnwick_ToolView& view) const { return Radius / view.Aspect(); }
    // Every vertex that may lie within the brush circle at (x, y): the octree's nodes whose screen
    // rectangle meets the circle's box, or every visible vertex without an octree or with brush
    // symmetry on. A superset: callers still test the distance.
    void FindCandidateVertices(const TTarnwick_Mesh& mesh, const TTarnwick_ToolView& view, float x, float y,
                               std::vector<int32_t>& out_vertices) const;
    // Gives the polygons around the vertex the changed mark, for partial redraw.
    static void MarkChangedPolygons(TTarnwick_Mesh& mesh, int32_t vertex);

    float Radius = 0.1f;
    float Hardness = 0.1f;
    float Strength = 1.0f;
    // The cursor shows the outline only (brushes whose effect ignores the falloff).
    bool NoFalloffPreview = false;
    // The falloff preview in one colour instead of the weight colours.
    bool PlainPreview = false;
    float NearestDepth = 1e30f;
    // x, y, 0 per press and drag event of the current stroke.
    std::vector<float> StrokePoints;
    TTarnwick_LocalSurfaceSearch LocalSurface;
};

// The selection brushes whose effect ignores the falloff's shape: whole connected elements,
// whole polygon groups and materials, the vertices picked by their angles (sharp points and
// sculpting artifacts) or by being open, and the layer brush, which paints polygon layer
// membership instead of weights.
//
// The group and material brushes test every vertex of the mesh, not only the candidates under
// the brush, and then select (left button) or clear (right button) every vertex of each group or
// material that an affected vertex belongs to.
#pragma once

#include <cstdint>
#include <vector>

#include "tools/selection_brush.h"

class TTarnwick_LayerList;

class TTarnwick_SelectElementBrush : public TTarnwick_DefaultBrush
{
public:
    TTarnwick_SelectElementBrush();
    // A press first clears the element marks of the visible polygons and vertices.
    bool MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button, int32_t state, float x,
                     float y) override;
    bool PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex, float x, float y,
                     int32_t mode) override;

private:
    std::vector<int32_t> Pending;
};

// What the group and material brushes share: a mark per item for the stroke, set by the items of
// the polygons around each vertex the brush reaches.
class TTarnwick_SelectItemBrush : public TTarnwick_DefaultBrush
{
public:
    TTarnwick_SelectItemBrush();
    bool MouseButton(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t button, int32_t state, float x,
                     float y) override;
    bool PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex, float x, float y,
                     int32_t mode) override;
    // Every vertex of the mesh is tested; then the marked items are applied.
    void StrokeStep(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, float x, float y) override;

    // The item the drop-down shows as current; -1 for "<None>".
    int32_t CurrentItem = -1;

protected:
    virtual int32_t ItemCount(const TTarnwick_Mesh& mesh) const = 0;
    virtual int32_t ItemOfPolygon(const TTarnwick_Mesh& mesh, int32_t polygon) const = 0;
    virtual const char* ItemName(const TTarnwick_Mesh& mesh, int32_t item) const = 0;
    // The raw weight the right button gives the vertices of the marked items (the left gives 1).
    virtual float ErasedWeight() const = 0;
    // Gives every vertex of the marked items the weight of the stroke's button.
    void ApplyMarkedItems(TTarnwick_Mesh& mesh);
    // The drop-down of the items with "<None>" first, and the two push buttons.
    void AddItemParameters(int32_t first_button, int32_t second_button, int32_t first_help,
                           int32_t second_help, int32_t first_event, int32_t second_event);
    static void AnswerList(TTarnwick_Tool& tool, TZAVEvent& event);
    void Selected(TTarnwick_Mesh* mesh) override;

    std::vector<uint8_t> Marked;
    // The mesh the drop-down lists; set while the brush is current.
    TTarnwick_Mesh* ListedMesh = nullptr;
};

class TTarnwick_SelectGroupBrush : public TTarnwick_SelectItemBrush
{
public:
    TTarnwick_SelectGroupBrush();

protected:
    int32_t ItemCount(const TTarnwick_Mesh& mesh) const override;
    int32_t ItemOfPolygon(const TTarnwick_Mesh& mesh, int32_t polygon) const override;
    const char* ItemName(const TTarnwick_Mesh& mesh, int32_t item) const override;
    float ErasedWeight() const override { return -1.0f; }
};

class TTarnwick_SelectMaterialBrush : public TTarnwick_SelectItemBrush
{
public:
    TTarnwick_SelectMaterialBrush();

protected:
    int32_t ItemCount(const TTarnwick_Mesh& mesh) const override;
    int32_t ItemOfPolygon(const TTarnwick_Mesh& mesh, int32_t polygon) const override;
    const char* ItemName(const TTarnwick_Mesh& mesh, int32_t item) const override;
    float ErasedWeight() const override { return 0.0f; }
};

class TTarnwick_SelectSharpPointsBrush : public TTarnwick_DefaultBrush
{
public:
    TTarnwick_SelectSharpPointsBrush();
    bool PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex, float x, float y,
                     int32_t mode) override;

    // The largest angle, in radians, between a vertex normal and the normals of the polygons at
    // the vertex whose cosine with it is below 1 in magnitude; 0 without such a polygon.
    static float LargestAngle(const TTarnwick_Mesh& mesh, std::span<const float> vertex_normals,
                              std::span<const float> polygon_normals, int32_t vertex);

protected:
    // What the brush selects by, in radians: the vertex's largest angle.
    virtual float Sharpness(const TTarnwick_Mesh& mesh, int32_t vertex) const;
};

class TTarnwick_SelectArtifactsBrush : public TTarnwick_SelectSharpPointsBrush
{
public:
    TTarnwick_SelectArtifactsBrush();
    // After the undo copy, the normals of the base shape are kept for comparison.
    void Activate(TTarnwick_Mesh& mesh) override;

    std::vector<float> BaseVertexNormals;
    std::vector<float> BasePolygonNormals;

protected:
    // How much the largest angle changed from the base shape, within 0 to 1.
    float Sharpness(const TTarnwick_Mesh& mesh, int32_t vertex) const override;
};

class TTarnwick_SelectOpenVerticesBrush : public TTarnwick_DefaultBrush
{
public:
    TTarnwick_SelectOpenVerticesBrush();
    bool PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex, float x, float y,
                     int32_t mode) override;

    // Select where the polygons around a vertex give it more than one texture vertex, instead of
    // the open vertices.
    bool TextureSeams = false;
};

class TTarnwick_LayerBrush : public TTarnwick_DefaultBrush
{
public:
    static constexpr const char* NoLayerMessage = "You cannot add or subtract polygons from this layer";
    static constexpr const char* LockedLayerMessage = "The selected layer is locked";

    TTarnwick_LayerBrush();
    bool PaintVertex(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view, int32_t vertex, float x, float y,
                     int32_t mode) override;
    void BeginStep(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view) override;
    // Adds the polygons with a marked corner to the current layer (right button: removes them).
    void EndStep(TTarnwick_Mesh& mesh, TTarnwick_ToolView& view) override;

    // The project's layers; set by the application.
    TTarnwick_LayerList* Layers = nullptr;
    bool Armed = false;

protected:
    bool PaintsWeights() const override { return false; }
};

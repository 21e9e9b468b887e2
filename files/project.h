// TTarnwick_Project: what one project file holds — the options, the saved state of the four
// viewports, the 32 polygon layers, the brush images and the tree of objects — and the process-wide
// current project.
//
// Files: the text form is written and read (project_text.cpp); the older binary form of tagged
// chunks is only read (project_binary.cpp). OpenProjectFile tells them apart by the first line.
// A project is always read into a fresh object: opening replaces the current project only once the
// whole file has been read, so a failed open leaves the project that was open before as it was.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/file_handle.h"
#include "core/list.h"
#include "core/thingy.h"
#include "core/tree_group.h"
#include "mesh/layer.h"
#include "paint/brush_image.h"
#include "paint/map_export.h"
#include "paint/undo_buffer.h"

class TTarnwick_Object;

constexpr int32_t ViewportCount = 4;

// What a viewport keeps in the project file; the viewports themselves belong to the main window.
struct TTarnwick_ViewportState
{
    float RotationMatrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    float LookAt[3] = {0, 0, 0};
    float Zoom = 1.0f;
    bool Current = false;
    bool Maximized = false;
    int32_t CameraID = -1;
};

class TTarnwick_Project
{
public:
    // A new project: the options a fresh project starts with, layers with their built-in names,
    // an empty object tree.
    TTarnwick_Project();
    ~TTarnwick_Project();
    TTarnwick_Project(const TTarnwick_Project&) = delete;
    TTarnwick_Project& operator=(const TTarnwick_Project&) = delete;

    // Writes the text form through a temporary file renamed over path when complete. False, with
    // Error() saying why, when it could not be written; an older file at path is then untouched.
    // With remember the project's file name becomes path. A write restarts the autosave stopwatch.
    [[nodiscard]] bool SaveProject(const std::string& path, bool remember);
    // Reads path into this project, which should be fresh: text or binary by the first line.
    // False, with Error() saying why, when the file cannot be used; warnings about parts that were
    // dropped go to the message panel.
    [[nodiscard]] bool OpenProjectFile(const std::string& path);
    // The binary reader; OpenProjectFile hands it the files that are not text.
    [[nodiscard]] bool LoadProject(const std::string& path);
    // Reads a CR2 figure, its geometry and (with ImportMorphs) its morph targets into object,
    // which the caller then adds to the project. False, with Error() saying why, when the figure
    // cannot be used; object is then as it was.
    [[nodiscard]] bool ImportCR2File(const std::string& path, TTarnwick_Object& object);

    const std::string& Error() const { return ErrorText; }
    // The item sizes of every binary chunk skipped by the last binary load (unknown or maps).
    int32_t SkippedChunkCount() const { return SkippedChunks; }
    int64_t SkippedChunkBytes() const { return SkippedBytes; }

    // Sets the options the binary reader starts from before it reads its options record.
    void SetBinaryDefaults();
    // Every object, camera and light of the tree, hidden and collapsed groups included: each
    // group's items before those of its child groups.
    std::vector<TTarnwick_Object*> Objects() const;
    // The first of Objects() with that name, or null.
    TTarnwick_Object* FindObject(std::string_view name) const;
    // Brush images by name; null when none has it.
    TTarnwick_TextureBrushImage* FindBrushImage(std::string_view name) const;
    // Makes the first object with a mesh current (null when there is none); opening a project
    // ends with it.
    void ChooseCurrentObject();
    // Appends object (owned by the tree from now on) to the root of the object tree and makes it
    // current.
    void AddObject(TTarnwick_Object* object);
    // The sum of the squared half-extents of the current object's bounding box (1 without one);
    // zooming a view scales by its root, so a drag zooms alike on any size of figure.
    float SceneSize() const;

    std::string FileName;
    // The object the commands act on; owned by the tree.
    TTarnwick_Object* CurrentObject = nullptr;
    // What changed since the viewports last settled: geometry, visibility, the current object.
    bool SceneChanged = false;
    // The viewports' cached images no longer show the scene.
    bool ViewportImagesStale = true;

    // Options.
    bool MirrorX = false;
    bool MirrorY = false;
    bool MirrorInViewport = true;
    bool PaintOnBackFaces = false;
    bool AngleFade = false;
    bool ExtraSoftBrushStrokes = false;
    float TileSize = 0.5f;
    bool ExportVerticesOnly = false;
    bool ExportGroups = true;
    bool ExportGroupsAsSeparateFiles = false;
    bool ExportChangedGroups = true;
    bool ExportMaps = true;
    bool ExportMorphs = true;
    bool ScaleOnImport = false;
    float ScaleFactor = 1.0f;
    bool CenterOnImport = false;
    float WeldThreshold = 8.0f;
    bool ImportMaps = true;
    bool ImportMorphs = false;
    int32_t ViewportConfiguration = 0;
    float Time = 0.0f;
    float BackgroundColor[3] = {0.3f, 0.3f, 0.35f};
    float WireframeColor[3] = {0.0f, 0.0f, 0.0f};
    float GlobalDisplacementStrength = 1.0f;
    float GlobalBumpStrength = 1.0f;
    float RenderQuality = 1.0f;
    bool RenderMixColors = true;
    bool RenderColorMaps = true;
    bool RenderBumpMaps = true;
    bool RenderSpecularMaps = true;
    bool RenderAmbientMaps = true;
    bool RenderDoubleSided = false;
    bool RenderTransparencyMaps = true;
    bool RenderDisplacementMaps = true;
    bool DeformerLockX = false;
    bool DeformerLockY = false;
    bool DeformerLockZ = false;
    bool CR2AutoRig = false;
    bool CR2SetupFullBodyMorphs = false;
    bool CR2SaveNewOBJ = true;
    bool AutoFixSeams = true;
    bool BrushSymmetry = false;
    bool DeformSymmetry = false;
    bool FlipSymmetry = false;
    bool AdvancedPanelCollapsed = true;
    bool TexturePanelCollapsed = true;
    bool SymmetryPanelCollapsed = true;
    bool ChooseRandomTexture = false;
    bool TileBrushTexture = false;
    bool FlipBrushTextureX = false;
    bool FlipBrushTextureY = false;
    bool FastPainting = false;
    bool FastSelectionAndDeformation = false;
    bool FadeToSecondaryColor = false;
    bool PaintOnSelectionOnly = false;
    // The image types a map can be exported as, the current one first offered. Not saved.
    TTarnwick_ImageTypeList ExportImageFileTypes{{"png", "tga", "bmp", "jpg", "tif"}, 0};
    // Kept from the binary options record (byte 25) and chunk 83; their meaning is not known.
    uint8_t UnnamedOptionFlag = 0;
    uint8_t ProjectFlag = 0;

    std::array<TTarnwick_ViewportState, ViewportCount> Viewports;
    TTarnwick_LayerList Layers;
    TZAVMultiList<TTarnwick_TextureBrushImagePtr> BrushImages;
    std::unique_ptr<TTarnwick_ObjectTreeGroup> ObjectTree;
    // The undo and redo records and the action counter; they go with the project.
    TTarnwick_UndoBuffer UndoBuffer;

private:
    friend class TProjectBinaryReader;

    // The file opened for reading and taken as the project's file name; null, with the reason in
    // Error(), when it cannot be opened.
    TZAVFileHandle OpenToRead(const std::string& path);
    // The text reader, after the first line has been read from file.
    bool ReadTextProject(FILE* file, const std::string& path);
    // One key of the project's block: an option, or a block that a member reads.
    void ReadTextKey(TZAVTextReader& reader, const std::string& key, const std::string& value,
                     int32_t& layer_counter);
    // A "BrushImage" block, with the pixels read from its file; a name taken already drops it.
    void ReadBrushImage(TZAVTextReader& reader);
    bool WriteTextProject(FILE* file);
    // A hidden group writes nothing, so a root read as hidden would lose its whole tree at the
    // next save: the roots of the object tree and of the meshes' trees are always shown.
    void ShowRootGroups();
    // An empty object tree labelled "objects".
    static std::unique_ptr<TTarnwick_ObjectTreeGroup> NewObjectTree();

    std::string ErrorText;
    int32_t SkippedChunks = 0;
    int64_t SkippedBytes = 0;
};

using TTarnwick_ProjectPtr = TTarnwick_Project*;

// The current project; null until start-up makes one.
extern TTarnwick_Project* TarnwickProject;

// Reads path into a new project. On success it replaces TarnwickProject (the old one is
// destroyed) and true is returned; on failure the current project stays current and untouched,
// and the reason is shown in an error box.
bool OpenProject(const std::string& path);
// Makes project (read already) the current one; the old one is destroyed.
void ReplaceProject(std::unique_ptr<TTarnwick_Project> project);
// Writes the current project to this run's autosave file (TarnwickSettings->AutoSavePath); the
// earlier autosave is replaced only by a complete one. False, with a warning in the message
// panel, when it could not be written.
bool AutoSaveProject();
// Makes a new, empty current project, destroying the old one.
void NewProject();

// Sculpted work goes back to a figure by rewriting its CR2 file: the source file is parsed into a
// tree, the morph targets, texture maps and (for a new character) a new geometry file and refitted
// joints are written into the tree, and the tree is written to the output through the safe writer,
// so that every line the export does not touch is kept and an old output survives a failed write.
// The morph injection file adds one full-body morph to a figure already loaded in the figure
// program, or takes it away again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class TTarnwick_Project;
class TTarnwick_Mesh;
class TTarnwick_Morph;
class TZAVCR2TreeNode;

// The wizard's three kinds of export, each standing for a setting of CR2AutoRig, CR2SaveNewOBJ
// and CR2SetupFullBodyMorphs.
enum class TTarnwick_CR2ExportKind : int32_t
{
    // Morphs on a single body part.
    SimpleMorphs,
    // Morphs spanning several parts, each also gets a master dial on the body.
    FullBodyMorphs,
    // A new OBJ of the shape as it is, with the joints moved to fit it.
    NewCharacter,
};

// The name of the picture beside an exported CR2, in the data folder.
inline constexpr const char* CR2ThumbnailName = "CR2Thumbnail.png";
// Copied beside the output only when the data folder holds one.
inline constexpr const char* CR2ResourceName = "BigB.rsr";

// Sets the project's three options that the kind stands for.
void ApplyCR2ExportKind(TTarnwick_Project& project, TTarnwick_CR2ExportKind kind);

struct TTarnwick_CR2ExportFiles
{
    // The figure's original CR2 (the one it was imported from).
    std::string Source;
    std::string Output;
    // Holds the thumbnail and the resource file (ends with a separator); nothing is copied when
    // empty.
    std::string DataFolder;
    // The new character's OBJ when CR2SaveNewOBJ is set; a save dialog asks when it is empty.
    std::string NewOBJ;
};

// Exports the project's current object by its export options. False, with out_error saying why,
// when nothing or not everything was written: no current object, a source that cannot be read, a
// cancelled OBJ dialog, an output (CR2, OBJ, map, thumbnail) that cannot be created. A CR2 that
// cannot be written leaves any old output as it was.
[[nodiscard]] bool ExportCR2(TTarnwick_Project& project, const TTarnwick_CR2ExportFiles& files,
                             std::string& out_error);

// The morph as a CR2 injection file (with remove, the file that takes it away again), and the
// resource file of data_folder beside it when there is one. False, with out_error, when either
// cannot be written.
[[nodiscard]] bool WriteMorphInjectionFile(const std::string& path, TTarnwick_Mesh& mesh,
                                           TTarnwick_Morph& morph, bool remove,
                                           const std::string& data_folder, std::string& out_error);

// A path as a CR2 names it: from its "Runtime" folder on, with ':' for every separator
// (":Runtime:textures:skin.jpg"); a path outside any Runtime folder is kept as it is.
std::string ToCR2Path(std::string_view path);

// The joints of the actors in tree (as parsed flat) refitted to the mesh's current shape: the
// CR2AutoRig step of ExportCR2.
void RefitCR2Joints(TZAVCR2TreeNode& root, const TTarnwick_Mesh& mesh);

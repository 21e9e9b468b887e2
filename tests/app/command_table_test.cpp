// Every command number posted to a small project with two objects, morphs and selections in
// groups, and a painted map; dialogs answer Yes, pick a colour, cancel opening and save into the
// test's folder. No number may crash or leak; those that change the project must change what
// they are for, and record undo first where they change the figure or its maps.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/dispatcher.h"
#include "app/main_window.h"
#include "app/map_commands.h"
#include "app/object_commands.h"
#include "app/viewport_panel.h"
#include "core/dialogs.h"
#include "core/event.h"
#include "core/event_queue.h"
#include "core/status.h"
#include "files/language.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/scene_object.h"
#include "paint/image_file.h"
#include "paint/map_assignments.h"
#include "paint/material_map.h"
#include "support/temp_folder.h"
#include "support/texture_limits.h"
#include "support/test_main_window.h"

namespace {

// Three triangles on four vertices, in two groups and two materials that the twin splits
// differently.
constexpr const char* FigureObj =
    "v 0 0 0\nv 1 0 0\nv 1 2 0\nv 0 1 3\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "g a\nusemtl m1\nf 1/1 2/2 3/3\nf 1/1 3/3 4/4\ng b\nusemtl m2\nf 2/2 3/3 4/4\n";
constexpr const char* TwinObj =
    "v 0 0 0\nv 1 0 0\nv 1 2.5 0\nv 0 1 3\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
    "g a\nusemtl m1\nf 1/1 2/2 3/3\ng b\nusemtl m2\nf 1/1 3/3 4/4\nf 2/2 3/3 4/4\n";

// Yes to every question, a colour, no file to open, and a fresh name in the folder to save.
class AnsweringDialogs : public TZAVDialogPresenter
{
public:
    explicit AnsweringDialogs(std::string folder) : Folder(std::move(folder))
    {
        Previous = SetDialogPresenter(this);
    }
    ~AnsweringDialogs() override { SetDialogPresenter(Previous); }

    TZAVDialogAnswer Present(const TZAVDialogRequest& request) override
    {
        TZAVDialogAnswer answer;
        answer.Accepted = request.Kind != TZAVDialogKind::OpenFile;
        answer.Colour[0] = 200;
        if (request.Kind == TZAVDialogKind::SaveFile)
            answer.Path = Folder + "saved_" + std::to_string(Saves++) + "." +
                          (request.DefaultExtension.empty() ? "txt" : request.DefaultExtension);
        return answer;
    }

private:
    std::string Folder;
    int32_t Saves = 0;
    TZAVDialogPresenter* Previous = nullptr;
};

enum TAspect : uint32_t
{
    Objects = 1 << 0,
    Current = 1 << 1,
    Morphs = 1 << 2,
    MorphValues = 1 << 3,
    Selections = 1 << 4,
    Weights = 1 << 5,
    Maps = 1 << 6,
    Pixels = 1 << 7,
    Materials = 1 << 8,
    Options = 1 << 9,
    Views = 1 << 10,
    Layers = 1 << 11,
    Files = 1 << 12,
    Figure = 1 << 13,
    Held = 1 << 14,
    // A record more on the undo list.
    Undo = 1 << 15,
    // The views' display switches, cameras and colours.
    Display = 1 << 16,
};

void Tree(std::ostream& out, TTarnwick_TreeGroup* group)
{
    for (; group != nullptr; group = group->NextGroup()) {
        out << "[" << group->Label;
        for (TTarnwick_Thingy* item : group->List)
            out << " " << item->GetName();
        Tree(out, group->FirstChildGroup());
        out << "]";
    }
}

// What each aspect looks like now, as text.
std::map<TAspect, std::string> Snapshot(const std::string& folder)
{
    std::map<TAspect, std::ostringstream> out;
    for (uint32_t aspect = Objects; aspect <= Display; aspect <<= 1)
        out[TAspect(aspect)];
    TTarnwick_Project& project = *TarnwickProject;
    Tree(out[Objects], project.ObjectTree.get());
    out[Objects] << ObjectDisplay.ShowAll << ObjectDisplay.DimUnselected;
    out[Current] << project.CurrentObject;
    out[Options] << project.MirrorX << project.MirrorY << project.MirrorInViewport << project.PaintOnBackFaces
                 << project.AngleFade << project.ExtraSoftBrushStrokes << project.ExportVerticesOnly
                 << project.ExportGroups << project.ExportGroupsAsSeparateFiles << project.ExportChangedGroups
                 << project.ExportMaps << project.ExportMorphs << project.ScaleOnImport
                 << project.CenterOnImport << project.ImportMaps << project.ImportMorphs
                 << project.AutoFixSeams << project.BrushSymmetry << project.DeformSymmetry
                 << project.FlipSymmetry << project.PaintOnSelectionOnly;
    for (int32_t index = 0; index < ViewportCount; index++) {
        TTarnwick_ViewportPanel* panel = TarnwickMainWindow->ViewportPanel(index);
        out[Views] << int32_t(panel->GetDisplayMode()) << panel->Shown << panel->Width
                   << panel->Viewport.Perspective << ":";
        for (float value : panel->Viewport.Rotation)
            out[Views] << value << ",";
        const TTarnwick_ViewOptions& options = panel->Options;
        out[Display] << options.Wireframe << options.BackFaces << options.ShowSelection << options.Lighting
                     << panel->Viewport.Zoom << panel->Viewport.LookAt[1] << ":";
    }
    for (int32_t channel = 0; channel < 3; channel++)
        out[Display] << project.BackgroundColor[channel] << "," << project.WireframeColor[channel] << ",";
    out[Layers] << project.Layers.GetCurrentLayerIndex();
    for (const std::string& name : TemporaryFolder::Names(folder))
        out[Files] << name << " ";
    out[Held] << HeldTextureCount();
    out[Undo] << project.UndoBuffer.UndoCount();
    if (TTarnwick_Mesh* mesh =
            project.CurrentObject != nullptr ? project.CurrentObject->Mesh.get() : nullptr) {
        Tree(out[Morphs], mesh->MorphTree.get());
        out[Morphs] << mesh->CurrentMorph << mesh->MixMorphs;
        Tree(out[Selections], mesh->SelectionTree.get());
        out[Selections] << mesh->CurrentSelection;
        for (int32_t vertex = 0; mesh->CurrentMorph != nullptr && vertex < mesh->GetVertexCount(); vertex++)
            out[MorphValues] << mesh->CurrentMorph->GetVertex(vertex)[1] << ",";
        out[MorphValues] << (mesh->CurrentMorph != nullptr ? mesh->CurrentMorph->Strength : -1);
        for (float value : mesh->DisplayedVertices)
            out[Figure] << value << ",";
        for (int16_t value : mesh->PolygonGroup)
            out[Figure] << value;
        for (int16_t value : mesh->PolygonMaterial)
            out[Figure] << value;
        for (int32_t vertex = 0; mesh->CurrentSelection != nullptr && vertex < mesh->GetVertexCount();
             vertex++)
            out[Weights] << mesh->CurrentSelection->GetVSelect(vertex) << ",";
        for (uint32_t flags : mesh->PolygonLayerFlags)
            out[Layers] << "," << flags;
        for (int32_t index = 0; index < mesh->MaterialMaps.Count(); index++)
            if (TZAVMaterialMap* map = MaterialMapAt(*mesh, index)) {
                out[Maps] << map->GetName() << map->FileFormat << map->Width << "x" << map->Height << " ";
                uint64_t sum = 0;
                for (uint8_t value : map->Pixels)
                    sum = sum * 31 + value;
                out[Pixels] << sum << " ";
            }
        for (TZAVMaterial* material : mesh->Materials)
            for (TZAVMaterialChannel* channel : material->ArbChannels)
                out[Materials] << channel->TextureIndex << int32_t(channel->Enabled) << channel->Colors[0][0]
                               << ",";
    }
    std::map<TAspect, std::string> text;
    for (auto& [aspect, stream] : out)
        text[aspect] = stream.str();
    return text;
}

struct TCommandCase
{
    int32_t ID;
    uint32_t Changes;
    int32_t Index = -1;
    const char* Text0 = nullptr;
    const char* Text1 = nullptr;
    int32_t Integer0 = 0;
    int32_t Integer1 = 0;
    int32_t Mode = 0;
    int32_t Integer2 = 0;
};

// What the commands that change something change, with the arguments their posters give.
const TCommandCase ChangingCommands[] = {
    {2, Morphs, -1, "Smile", "Faces"},
    {3, Morphs, -1, "Faces", "Bodies"},
    {4, Selections, -1, "Mouth", "Parts"},
    {5, Objects, -1, "twin", "Props"},
    {6, Held},
    {7, Figure},
    {12, Maps, 0, "TGA"},
    {13, Maps | Pixels | Undo, 0, nullptr, nullptr, 16, 4},
    {15, Pixels | Undo, 0},
    {21, Options, -1, nullptr, nullptr, 1, 0, 1},
    {37, Options, -1, nullptr, nullptr, 0, 0, 1},
    {53, Options, -1, nullptr, nullptr, 1, 0, 1},
    {48, Figure, -1, "twin", "figure"},
    {49, Figure, -1, "twin", "figure"},
    {54, Views},
    {56, Views},
    {57, Views},
    {68, Weights},
    {72, Maps | Materials | Undo, 0},
    {73, Maps | Undo, -1, "Bump", nullptr, 0, 1, 0, 8},
    {85, Selections, -1, "Selection"},
    {85, Morphs, -1, "Morph"},
    {85, Objects | Current, -1, "Object"},
    {86, Materials | Undo, 0, "Color"},
    {87, Materials},
    {88, Materials | Undo, -1, "Bump"},
    {89, Views},
    {90, Views},
    {96, Weights | Undo, -1, "m2"},
    {97, Weights | Undo, -1, "m1"},
    {98, Materials, -1, "Color"},
    {99, Weights | Undo, -1, "b"},
    {100, Weights | Undo, -1, "a"},
    {113, Objects},
    {114, Objects, -1, "renamed"},
    {115, Current, 0},
    {116, Objects | Current},
    {117, Objects},
    {118, Objects},
    {123, Morphs},
    {124, Morphs, 1},
    {125, Morphs, -1, "renamed"},
    {126, Morphs},
    {127, MorphValues | Figure, -1, nullptr, nullptr, 25},
    {128, MorphValues | Undo},
    {131, Morphs},
    {132, Morphs},
    {135, Selections},
    {136, Selections, 1},
    {137, Selections, -1, "renamed"},
    {138, Weights | Undo},
    {139, Weights | Undo},
    {140, Selections},
    {141, Weights | Undo},
    {142, Weights | Undo},
    {144, Layers},
    {146, Layers},
    {148, Selections},
    {149, Weights | Undo},
    {155, Views},
    {161, Views},
    {162, Views},
    {177, Layers, 5},
    {178, Layers, 5},
    {207, Objects | Current},
    {211, Files},
    {212, Files},
    {213, Files},
    {215, Files, 0},
    {221, Files},
    {234, Files},
    // Side panels: the column hidden gives its width to the views.
    {246, Views},
    {255, Views},
    // Viewport display options
    {164, Display},
    {165, Display},
    {166, Display},
    {167, Display},
    {169, Display},
    {170, Display},
    {171, Display},
    // Subdividing the current object.
    {119, Figure | MorphValues | Weights | Undo},
    // Imports of the files that SetSources writes ("@" names a file in the sets folder).
    {208, Maps | Undo, -1, "@red.png"},
    {210, Pixels | Undo, 0, "@red.png"},
    {223, Weights | Undo, -1, "@selections.txt"},
    {225, MorphValues | Undo, -1, "@morphs.txt"},
    {227, Layers, -1, "@layers.LaySet"},
    {236, Layers, 0},
    // Set and injection files, exported into the save dialog's folder.
    {222, Files},
    {224, Files},
    {226, Files},
    {228, Files},
    {230, Files},
};

// What the import rows read back, written from the test project after the changes they must
// bring: the whole object selected, the morph cleared, the selected surface hidden.
const TCommandCase SetSources[] = {
    {141, 0},
    {128, 0},
    {144, 0},
    {224, 0, -1, "@selections.txt"},
    {226, 0, -1, "@morphs.txt"},
    {228, 0, -1, "@layers.LaySet"},
    {229, 0},
};

// Posted and worked off with every follow-up, as the main window's frames would. A text starting
// with "@" names a file in sets_folder.
void RunCommand(const TCommandCase& command, const std::string& sets_folder = "")
{
    auto* event = new TZAVEvent(command.ID);
    event->SetIndex(command.Index);
    const std::string text0 = command.Text0 != nullptr && command.Text0[0] == '@'
                                  ? sets_folder + (command.Text0 + 1)
                                  : std::string(command.Text0 != nullptr ? command.Text0 : "");
    event->AddStringParameter(command.Text0 != nullptr ? text0.c_str() : nullptr, 0);
    event->AddStringParameter(command.Text1, 1);
    event->IntegerParameters[0] = command.Integer0;
    event->IntegerParameters[1] = command.Integer1;
    event->IntegerParameters[2] = event->IntegerParameters[3] = command.Integer2;
    event->Mode = command.Mode;
    TarnwickProject->UndoBuffer.ActionCounter++;
    PostEvent(event);
    for (int32_t pass = 0; pass < 8 && QueuedEventCount() > 0; pass++)
        TarnwickEvents_ProcessEvents();
}

class CommandTable : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        std::string error;
        WindowId = StartTestMainWindow("app_command_table_test", 800, 600, error);
        ASSERT_NE(WindowId, 0) << error;
        InstallMaterialMapReader();
    }

    static void TearDownTestSuite() { StopTestMainWindow(WindowId); }

    void SetUp() override
    {
        ASSERT_TRUE(Folders.Made);
        Settings = std::make_unique<TTarnwick_Settings>(GetLanguageString(418));
        TarnwickSettings = Settings.get();
        TarnwickSettings->AutoSavePath = Saved() + "AutoSave.Tarnwick";
        TarnwickSettings->LoadDefaultProject = false;
        FigurePath = Folders.Root.Write("figure.obj", FigureObj);
        TwinPath = Folders.Root.Write("twin.obj", TwinObj);
        ASSERT_TRUE(EnsureFolder(Saved()));
    }

    void TearDown() override
    {
        TarnwickEvents_ProcessEvents();
        delete TarnwickProject;
        TarnwickProject = nullptr;
        TarnwickSettings = nullptr;
        ForgetHeldTextures();
    }

    std::string Saved() const { return Folders.Root.Path() + "saved/"; }

    // A fresh project: the twin, then the figure current with a painted map on its bump channel,
    // a second morph and selection in groups of their own, a raised strength not shown yet, and
    // a change of weights that undo can take back.
    void BuildProject()
    {
        delete TarnwickProject;
        TarnwickProject = new TTarnwick_Project;
        ObjectDisplay = TTarnwick_ObjectDisplay();
        ImportObj(TwinPath);
        ImportObj(FigurePath);
        TTarnwick_Object* figure = TarnwickProject->CurrentObject;
        ASSERT_NE(figure, nullptr);
        TTarnwick_Mesh& mesh = *figure->Mesh;
        std::unique_ptr<TZAVMaterialMap> map = CreateMap("Bump", 8, 8);
        ASSERT_TRUE(map);
        map->PixelAt(2, 3)[0] = 7;
        ASSERT_GT(AttachMap(mesh, map.release(), "Bump", ""), 0);

        auto* faces = new TTarnwick_MorphTreeGroup;
        faces->Label = "Faces";
        mesh.MorphTree->AddChild(faces);
        auto* bodies = new TTarnwick_MorphTreeGroup;
        bodies->Label = "Bodies";
        mesh.MorphTree->AddChild(bodies);
        mesh.NewMorph(-1)->SetName("Smile");
        mesh.CurrentMorph->GetVertex(2)[1] = 0.5f;
        mesh.CurrentMorph->Strength = 0.5f;
        mesh.MixMorphs = false;
        for (TZAVMaterial* material : mesh.Materials)
            material->FindChannel("Color")->Colors[0][0] = 0.25f;

        auto* parts = new TTarnwick_SelectionTreeGroup;
        parts->Label = "Parts";
        mesh.SelectionTree->AddChild(parts);
        mesh.NewSelection(-1)->SetName("Mouth");
        auto* props = new TTarnwick_ObjectTreeGroup(CreateSceneObject);
        props->Label = "Props";
        TarnwickProject->ObjectTree->AddChild(props);

        TTarnwick_UndoBuffer& undo = TarnwickProject->UndoBuffer;
        undo.AddUndoNode(undo.CreateUndoNode(UndoType_Selection, -1));
        for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
            mesh.CurrentSelection->SetVSelect(vertex, vertex == 1 ? 0.5f : float(vertex == 2));

        const TTarnwick_DisplayMode modes[] = {TTarnwick_DisplayMode::Flat, TTarnwick_DisplayMode::Smooth,
                                               TTarnwick_DisplayMode::Smooth, TTarnwick_DisplayMode::Flat};
        TarnwickMainWindow->ResetViewports();
        for (int32_t index = 0; index < ViewportCount; index++) {
            TarnwickMainWindow->ViewportPanel(index)->SetDisplayMode(modes[index]);
            TarnwickMainWindow->ViewportPanel(index)->Options = TTarnwick_ViewOptions();
        }
        TarnwickMainWindow->MakeViewportCurrent(TarnwickMainWindow->ViewportPanel(1));
        TakeStatusLines();
    }

    void ImportObj(const std::string& path)
    {
        TZAVEvent event(205);
        event.AddStringParameter(path.c_str(), 0);
        ASSERT_TRUE(DispatchCommand(&event));
        TarnwickEvents_ProcessEvents();
    }

    UserFoldersInTemp Folders;
    std::unique_ptr<TTarnwick_Settings> Settings;
    std::string FigurePath;
    std::string TwinPath;
    static inline int WindowId = 0;
};

TEST_F(CommandTable, EveryNumberRunsAndTheChangingOnesChangeWhatTheyAreFor)
{
    AnsweringDialogs dialogs(Saved());
    // The test's maps are smaller than a texture may be.
    TextureLimits limits(1, 8192);
    const std::string sets = Folders.Root.Path() + "sets/";
    ASSERT_TRUE(EnsureFolder(sets));
    const uint8_t red[4 * 4 * 3] = {255, 0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0};
    std::string error;
    ASSERT_TRUE(SaveImageFile(sets + "red.png", red, 4, 4, TZAVImageChannels::RGB, error)) << error;
    BuildProject();
    for (const TCommandCase& step : SetSources)
        RunCommand(step, sets);
    std::map<int32_t, std::vector<const TCommandCase*>> changing;
    for (const TCommandCase& command : ChangingCommands)
        changing[command.ID].push_back(&command);
    for (int32_t id = 0; id < CommandCount; id++) {
        std::vector<const TCommandCase*> cases = changing[id];
        const TCommandCase plain{id, 0};
        if (cases.empty())
            cases.push_back(&plain);
        for (const TCommandCase* command : cases) {
            BuildProject();
            if (HasFatalFailure())
                return;
            const std::map<TAspect, std::string> before = Snapshot(Saved());
            RunCommand(*command, sets);
            ASSERT_NE(TarnwickProject, nullptr) << id;
            const std::map<TAspect, std::string> after = Snapshot(Saved());
            for (auto& [aspect, text] : before) {
                if (command->Changes & aspect) {
                    EXPECT_NE(after.at(aspect), text) << "command " << id << " left aspect " << aspect;
                } else if (InertCommandReason(id) != nullptr) {
                    EXPECT_EQ(after.at(aspect), text)
                        << "inert command " << id << " changed aspect " << aspect;
                }
            }
        }
    }
}

// Option commands report their value with Mode 0 and set it with Mode 1.
TEST_F(CommandTable, OptionCommandsReportAndSetTheirValue)
{
    BuildProject();
    TarnwickProject->MirrorX = true;
    TZAVEvent ask(21);
    ASSERT_TRUE(DispatchCommand(&ask));
    EXPECT_EQ(ask.IntegerParameters[0], 1);
    TZAVEvent set(21);
    set.Mode = 1;
    ASSERT_TRUE(DispatchCommand(&set));
    EXPECT_FALSE(TarnwickProject->MirrorX);
}

// A map name that is taken gets the first free number; the user is asked before it goes to
// every material.
TEST_F(CommandTable, NewMapTakesAFreeNameAndDeletingItClearsTheChannels)
{
    AnsweringDialogs dialogs(Saved());
    BuildProject();
    TTarnwick_Mesh& mesh = *TarnwickProject->CurrentObject->Mesh;
    for (int32_t round = 1; round <= 2; round++) {
        TZAVEvent create(73);
        create.AddStringParameter("bump", 0);
        create.IntegerParameters[2] = create.IntegerParameters[3] = 4;
        ASSERT_TRUE(DispatchCommand(&create));
        EXPECT_STREQ(MaterialMapAt(mesh, round)->GetName(), ("BumpMap_" + std::to_string(round)).c_str());
    }
    TZAVEvent remove(72);
    remove.SetIndex(0);
    ASSERT_TRUE(DispatchCommand(&remove));
    for (TZAVMaterial* material : mesh.Materials)
        EXPECT_EQ(material->FindChannel("Bump")->TextureIndex, -1);
    EXPECT_STREQ(MaterialMapAt(mesh, 0)->GetName(), "BumpMap_1");
}

// A map copied to the clipboard comes back as a new map, and stretched into another one.
TEST_F(CommandTable, CopiedMapPastesAsANewMapAndIntoAnother)
{
    AnsweringDialogs dialogs(Saved());
    BuildProject();
    TTarnwick_Mesh& mesh = *TarnwickProject->CurrentObject->Mesh;
    TZAVEvent copy(217);
    copy.SetIndex(0);
    ASSERT_TRUE(DispatchCommand(&copy));
    TZAVEvent paste_new(218);
    ASSERT_TRUE(DispatchCommand(&paste_new));
    TZAVMaterialMap* pasted = MaterialMapAt(mesh, 1);
    ASSERT_NE(pasted, nullptr);
    EXPECT_STREQ(pasted->GetName(), "Pasted_Map");
    EXPECT_EQ(pasted->Pixels, MaterialMapAt(mesh, 0)->Pixels);

    TZAVEvent resize(13);
    resize.SetIndex(1);
    resize.IntegerParameters[0] = resize.IntegerParameters[1] = 16;
    ASSERT_TRUE(DispatchCommand(&resize));
    TZAVEvent clear(15);
    clear.SetIndex(0);
    ASSERT_TRUE(DispatchCommand(&clear));
    TZAVEvent paste_into(216);
    paste_into.SetIndex(0);
    ASSERT_TRUE(DispatchCommand(&paste_into));
    // Every second pixel of the doubled copy is the original's.
    EXPECT_EQ(MaterialMapAt(mesh, 0)->PixelAt(2, 3)[0], 7);
    EXPECT_EQ(MaterialMapAt(mesh, 1)->PixelAt(5, 7)[0], 7);
}

// An OBJ of the same vertices becomes a morph moving the figure onto its shape.
TEST_F(CommandTable, ImportedMorphTargetHoldsTheDifferenceToTheBase)
{
    BuildProject();
    TTarnwick_Mesh& mesh = *TarnwickProject->CurrentObject->Mesh;
    TZAVEvent import(206);
    import.AddStringParameter(TwinPath.c_str(), 0);
    ASSERT_TRUE(DispatchCommand(&import));
    EXPECT_STREQ(mesh.CurrentMorph->GetName(), "twin");
    EXPECT_FLOAT_EQ(mesh.CurrentMorph->GetVertex(2)[1], 0.5f);
    EXPECT_FLOAT_EQ(mesh.CurrentMorph->GetVertex(1)[1], 0.0f);
}

// Moving a group into its own child is refused, with the message.
TEST_F(CommandTable, TreeMovesRefuseAGroupIntoItsOwnChild)
{
    BuildProject();
    TTarnwick_Mesh& mesh = *TarnwickProject->CurrentObject->Mesh;
    TZAVEvent into(3);
    into.AddStringParameter("Faces", 0);
    into.AddStringParameter("Bodies", 1);
    ASSERT_TRUE(DispatchCommand(&into));
    TZAVEvent back(3);
    back.AddStringParameter("Bodies", 0);
    back.AddStringParameter("Faces", 1);
    EXPECT_FALSE(DispatchCommand(&back));
    EXPECT_EQ(TakeStatusLines().back().Text, "Cannot move this group into a child group");
    std::ostringstream tree;
    Tree(tree, mesh.MorphTree.get());
    EXPECT_NE(tree.str().find("[Bodies[Faces]]"), std::string::npos) << tree.str();
}

} // namespace

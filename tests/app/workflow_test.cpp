// An artist's session on the real main window (run under xvfb-run), from the default project to
// the quit: every step goes through queued input records, tool-bar clicks and posted commands,
// with the dialogs answered by script; every file written is read back. Writes
// screenshots/workflow_import.png, workflow_selection.png, workflow_sculpt.png and
// workflow_paint.png.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <typeinfo>
#include <vector>

#include "app/cr2_export_window.h"
#include "app/main_menu.h"
#include "app/main_window.h"
#include "app/tool_bar.h"
#include "app/toolbox.h"
#include "app/viewport_panel.h"
#include "core/event_queue.h"
#include "core/paths.h"
#include "files/project.h"
#include "files/settings.h"
#include "mesh/scene_object.h"
#include "paint/map_assignments.h"
#include "paint/material_map.h"
#include "paint/paint_brush.h"
#include "support/screenshot.h"
#include "support/scripted_dialogs.h"
#include "support/sculpt_meshes.h"
#include "support/temp_folder.h"
#include "support/test_main_window.h"
#include "tools/deformer.h"
#include "tools/selection_brush.h"
#include "widgets/message_box.h"

namespace {

constexpr int32_t WindowWidth = 1024;
constexpr int32_t WindowHeight = 768;
// The figure lies well apart from the default project's, so that only it fills its fitted view.
constexpr float FigureLeft = 9.5f;
constexpr int32_t Cells = 8;

// A square of Cells × Cells quads in the plane z = 0, facing the front view, from x = FigureLeft
// and y = 0, one unit across, its texture space the square itself. The lower half is the part
// "hip", the upper "chest"; one material.
std::string FigureOBJ()
{
    std::string text = "mtllib figure.mtl\n";
    for (int32_t row = 0; row <= Cells; row++)
        for (int32_t column = 0; column <= Cells; column++) {
            const float u = float(column) / Cells, v = float(row) / Cells;
            text += "v " + std::to_string(FigureLeft + u) + " " + std::to_string(v) + " 0\nvt " +
                    std::to_string(u) + " " + std::to_string(v) + "\n";
        }
    for (int32_t row = 0; row < Cells; row++) {
        if (row == 0 || row == Cells / 2)
            text += row == 0 ? "g hip\nusemtl Skin\n" : "g chest\n";
        for (int32_t column = 0; column < Cells; column++) {
            const int32_t first = row * (Cells + 1) + column + 1;
            text += "f";
            for (int32_t corner : {first, first + 1, first + Cells + 2, first + Cells + 1})
                text += " " + std::to_string(corner) + "/" + std::to_string(corner);
            text += "\n";
        }
    }
    return text;
}

// The figure's CR2: both descriptions of BODY, hip and chest, and the figure block.
std::string FigureCR2(const std::string& obj_path)
{
    std::string text = "{\nversion\n\t{\n\tnumber 4.01\n\t}\nfigureResFile " + obj_path + "\n";
    for (const char* actor : {"BODY", "hip", "chest"})
        text += "actor " + std::string(actor) + ":1\n\t{\n\tstorageOffset 0 0 0\n\tgeomHandlerGeom 13 " +
                actor + "\n\t}\n";
    text += "figureResFile " + obj_path + "\n";
    for (const char* actor : {"BODY", "hip", "chest"})
        text +=
            "actor " + std::string(actor) + ":1\n\t{\n\tname " + actor + "\n\tchannels\n\t\t{\n\t\t}\n\t}\n";
    text += "figure\n\t{\n\tname Figure 1\n\troot BODY\n\tmaterial Skin\n\t\t{\n\t\tKdColor 0.8 0.6 0.5 1\n"
            "\t\ttextureMap NO_MAP\n\t\t}\n\t}\n}\n";
    return text;
}

void RunFrames()
{
    do
        TarnwickMainWindow->DisplayFrame();
    while (!TarnwickMainWindow->PendingInput().empty());
    TarnwickEvents_ProcessEvents();
    TarnwickMainWindow->DisplayFrame();
}

void Queue(TTarnwick_InputKind kind, int32_t button, int32_t state, int32_t x, int32_t y)
{
    TarnwickMainWindow->QueueInput({int32_t(kind), button, state, x, y}, 0);
}

void Click(const TZAVglutWigits_Node* node)
{
    ASSERT_NE(node, nullptr);
    const TZAVglutWigits_Rect rect = node->AbsoluteRect();
    const int32_t x = rect.X + rect.Width / 2, y = rect.Y + rect.Height / 2;
    Queue(TTarnwick_InputKind::PassiveMotion, 0, 0, x, y);
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseDown, x, y);
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseUp, x, y);
    RunFrames();
}

void Command(int32_t id, const char* text = nullptr)
{
    auto* event = new TZAVEvent(id);
    event->AddStringParameter(text, 0);
    PostEvent(event);
    RunFrames();
}

template <typename TTool> TTool* FindTool()
{
    TTarnwick_Toolbox& toolbox = ApplicationToolbox();
    for (const TZAVMultiList<TTarnwick_Tool*>* list :
         {&toolbox.Brushes, &toolbox.Transforms, &toolbox.PaintBrushes})
        for (TTarnwick_Tool* tool : *list)
            if (tool != nullptr && typeid(*tool) == typeid(TTool))
                return static_cast<TTool*>(tool);
    return nullptr;
}

// The tool's button on the tool bar, as the artist picks it.
template <typename TTool> TTool* ChooseOnToolBar()
{
    TTool* tool = FindTool<TTool>();
    EXPECT_NE(tool, nullptr);
    Click(TarnwickMainWindow->ToolBar()->ButtonFor(tool));
    EXPECT_EQ(ApplicationToolbox().CurrentTool, tool) << typeid(TTool).name();
    return tool;
}

// The window pixel of a figure point in the current view, which looks from the front.
struct TPixel
{
    int32_t X;
    int32_t Y;
};

TPixel PixelAt(float x, float y)
{
    const TTarnwick_ViewportPanel& panel = *TarnwickMainWindow->CurrentViewportPanel();
    const TTarnwick_ViewRect rect = panel.GetViewRect();
    const float half_width = panel.Viewport.GetHalfWidth(),
                half_height = half_width * rect.Height / rect.Width;
    return {rect.Left + int32_t(std::lround((x - panel.Viewport.LookAt[0]) / half_width * rect.Width / 2 +
                                            rect.Width / 2.0)),
            rect.Top + int32_t(std::lround(rect.Height / 2.0 -
                                           (y - panel.Viewport.LookAt[1]) / half_height * rect.Height / 2))};
}

// A press, a drag through each point and a release at the last, over the figure.
void Stroke(const std::vector<std::pair<float, float>>& points)
{
    const TPixel first = PixelAt(points.front().first, points.front().second);
    Queue(TTarnwick_InputKind::PassiveMotion, 0, 0, first.X, first.Y);
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseDown, first.X, first.Y);
    for (const auto& [x, y] : points) {
        const TPixel at = PixelAt(x, y);
        Queue(TTarnwick_InputKind::Motion, 0, 0, at.X, at.Y);
    }
    const TPixel last = PixelAt(points.back().first, points.back().second);
    Queue(TTarnwick_InputKind::MouseButton, MouseLeft, MouseUp, last.X, last.Y);
    RunFrames();
}

void Screenshot(const char* name)
{
    TarnwickMainWindow->DisplayFrame();
    std::string error;
    EXPECT_TRUE(SaveScreenshot(name, TWidgetFrame::ReadBack(WindowWidth, WindowHeight).Rgb.data(),
                               WindowWidth, WindowHeight, 3, error))
        << error;
}

// The warnings of a step: none unless the step earned them. Returns the step's lines.
std::string ExpectNoWarnings(const char* step)
{
    std::string lines;
    for (const TZAVStatusLine& line : TakeStatusLines()) {
        EXPECT_NE(line.Kind, TZAVStatusKind::Warning) << step << ": " << line.Text;
        lines += line.Text + "\n";
    }
    return lines;
}

// Depth first, hidden and collapsed groups included.
TTarnwick_Morph* FindMorph(TTarnwick_TreeGroup* group, const std::string& name)
{
    for (TTarnwick_Thingy* item : group->List)
        if (auto* morph = dynamic_cast<TTarnwick_Morph*>(item); morph != nullptr && morph->Name == name)
            return morph;
    for (TTarnwick_TreeGroup* child = group->FirstChildGroup(); child != nullptr; child = child->NextGroup())
        if (TTarnwick_Morph* morph = FindMorph(child, name))
            return morph;
    return nullptr;
}

// A figure's part groups are named after its actors, "hip:1" for the part "hip".
TTarnwick_TreeGroup* FindPartGroup(TTarnwick_TreeGroup* group, const std::string& name)
{
    if (group->Name.substr(0, group->Name.find(':')) == name)
        return group;
    for (TTarnwick_TreeGroup* child = group->FirstChildGroup(); child != nullptr; child = child->NextGroup())
        if (TTarnwick_TreeGroup* found = FindPartGroup(child, name))
            return found;
    return nullptr;
}

TZAVMaterialMap* ColorMapOf(TTarnwick_Mesh& mesh)
{
    TZAVMaterial* material = nullptr;
    const TZAVMaterialChannel* channel =
        mesh.Materials.Get(material, 0) ? material->FindChannel("Color") : nullptr;
    TTarnwick_Thingy* map = nullptr;
    if (channel == nullptr || !mesh.MaterialMaps.Get(map, channel->TextureIndex))
        return nullptr;
    return dynamic_cast<TZAVMaterialMap*>(map);
}

// What a save must keep of the figure.
struct TFigureState
{
    std::map<std::string, std::vector<float>> Deltas;
    std::vector<float> Weights;
    std::vector<uint8_t> Pixels;
    bool operator==(const TFigureState&) const = default;
};

const char* const MorphNames[2] = {"Bulged", "Moved"};

TFigureState Capture(TTarnwick_Mesh& mesh)
{
    TFigureState state;
    for (const char* name : MorphNames)
        if (TTarnwick_Morph* morph = FindMorph(mesh.MorphTree.get(), name))
            state.Deltas[name] = DenseDeltas(*morph);
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        state.Weights.push_back(mesh.CurrentSelection->GetVSelect(vertex));
    if (const TZAVMaterialMap* map = ColorMapOf(mesh))
        state.Pixels = map->Pixels;
    return state;
}

int32_t Moved(const std::vector<float>& deltas)
{
    int32_t count = 0;
    for (size_t vertex = 0; vertex < deltas.size() / 3; vertex++)
        count += deltas[3 * vertex] != 0 || deltas[3 * vertex + 1] != 0 || deltas[3 * vertex + 2] != 0;
    return count;
}

// A new current morph by the morph command, named in the morph panel.
TTarnwick_Morph* NewMorph(TTarnwick_Mesh& mesh, const char* name)
{
    Command(123);
    TTarnwick_Morph* morph = FindMorph(mesh.MorphTree.get(), "New Morph");
    EXPECT_NE(morph, nullptr) << "command 123 made no \"New Morph\"";
    if (morph == nullptr)
        return nullptr;
    EXPECT_EQ(mesh.CurrentMorph, morph) << "the new morph is current";
    morph->SetNameLiteral(name);
    return morph;
}

void ExpectImage(const std::string& path, const std::vector<uint8_t>& pixels)
{
    std::string error;
    const std::unique_ptr<TZAVMaterialMap> image = LoadMapFile(path, error);
    ASSERT_NE(image, nullptr) << error;
    EXPECT_EQ(image->Pixels, pixels) << path;
}

// Set in the child that quits, for its exit handler.
std::string QuitSettingsFile;
std::string QuitProjectsLine;

// The settings file holds the folder the project dialogs remembered.
void ReportSettingsAtExit()
{
    std::ifstream file(QuitSettingsFile);
    const std::string text{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (text.find(QuitProjectsLine) != std::string::npos)
        std::fputs("the settings were written\n", stderr);
}

TEST(Workflow, AnArtistsSessionFromTheDefaultProjectToTheQuit)
{
    TemporaryFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string obj_path = folder.Write("figure.obj", FigureOBJ());
    folder.Write("figure.mtl", "newmtl Skin\nKd 0.8 0.6 0.5\n");
    const std::string cr2_path = folder.Write("figure.cr2", FigureCR2(obj_path));

    // Start-up: the main window, the settings, an empty project, the environment; the first frame
    // opens the default project of the build.
    std::string error;
    const int window_id = StartTestMainWindow("app_workflow_test", WindowWidth, WindowHeight, error);
    ASSERT_NE(window_id, 0) << error;
    auto* settings = new TTarnwick_Settings(GetLanguageString(418));
    TarnwickSettings = settings;
    TarnwickProject = new TTarnwick_Project;
    TarnwickApp.StartupProject = std::string(TARNWICK_BUILD_DATA) + "Default.Tarnwick";
    TarnwickMainWindow->SwapAfterFrame = false;
    PostCommand(46);
    RunFrames();
    TarnwickMainWindow->CloseSplash();
    RunFrames();
    ASSERT_TRUE(TarnwickApp.Ready);
    const size_t default_objects = TarnwickProject->Objects().size();
    EXPECT_GE(default_objects, 1u) << "the default project holds a figure";
    ExpectNoWarnings("start-up");

    // Import the OBJ figure: it becomes the current object, in a view fitted to it, seen from the
    // front in the maximised view.
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectFile(TZAVDialogKind::OpenFile, obj_path);
        Command(205);
    }
    ASSERT_EQ(TarnwickProject->Objects().size(), default_objects + 1);
    TTarnwick_Object* figure = TarnwickProject->CurrentObject;
    ASSERT_TRUE(figure != nullptr && figure->Mesh);
    TTarnwick_Mesh* mesh = figure->Mesh.get();
    ASSERT_EQ(mesh->GetVertexCount(), (Cells + 1) * (Cells + 1));
    Command(162);
    Command(int32_t(TTarnwick_StandardView::Front));
    EXPECT_TRUE(TarnwickMainWindow->CurrentViewportPanel()->FitToObject());
    RunFrames();
    Screenshot("workflow_import.png");
    ExpectNoWarnings("import");

    // Paint a selection across the middle with the selection brush chosen on the tool bar: the
    // vertices under the stroke get weights, the corners none.
    // The radius as the tool bar's slider sets it: a band across the middle, the corners well out.
    ChooseOnToolBar<TTarnwick_DefaultBrush>()->Radius = 0.25f;
    const float middle = FigureLeft + 0.5f;
    Stroke({{middle - 0.3f, 0.5f}, {middle, 0.5f}, {middle + 0.3f, 0.5f}});
    const int32_t centre = Cells / 2 * (Cells + 1) + Cells / 2;
    EXPECT_GT(mesh->CurrentSelection->GetVSelect(centre), 0.0f);
    for (int32_t corner : {0, Cells, Cells * (Cells + 1), (Cells + 1) * (Cells + 1) - 1})
        EXPECT_EQ(mesh->CurrentSelection->GetVSelect(corner), 0.0f) << "corner " << corner;
    Screenshot("workflow_selection.png");
    ExpectNoWarnings("selection");

    // Two morphs, each sculpted by another deformer over the selection: a morph moves only selected
    // vertices, and the second stroke leaves the first morph alone.
    std::vector<float> weights;
    for (int32_t vertex = 0; vertex < mesh->GetVertexCount(); vertex++)
        weights.push_back(mesh->CurrentSelection->GetVSelect(vertex));
    TTarnwick_Morph* bulged = NewMorph(*mesh, MorphNames[0]);
    ASSERT_NE(bulged, nullptr);
    ChooseOnToolBar<TTarnwick_Bulge>();
    Stroke({{middle, 0.5f}, {middle + 0.15f, 0.5f}, {middle + 0.3f, 0.5f}});
    const std::vector<float> bulge = DenseDeltas(*bulged);
    TTarnwick_Morph* moved = NewMorph(*mesh, MorphNames[1]);
    ASSERT_NE(moved, nullptr);
    ChooseOnToolBar<TTarnwick_MoveInPlane>();
    Stroke({{middle, 0.5f}, {middle + 0.1f, 0.5f}, {middle + 0.2f, 0.55f}});
    EXPECT_EQ(DenseDeltas(*bulged), bulge) << "the second stroke went to the current morph only";
    for (TTarnwick_Morph* morph : {bulged, moved}) {
        const std::vector<float> deltas = DenseDeltas(*morph);
        EXPECT_GT(Moved(deltas), 0) << morph->Name;
        for (size_t vertex = 0; vertex < weights.size(); vertex++)
            if (weights[vertex] == 0.0f) {
                EXPECT_EQ(Moved({&deltas[3 * vertex], &deltas[3 * vertex] + 3}), 0)
                    << morph->Name << " moved unselected vertex " << vertex;
            }
    }
    // The bulge stands out of the plane: it shows once a drag without a tool (the Tools menu's
    // "Navigate the view") has turned the view.
    ChooseTool(nullptr);
    Stroke({{middle, 0.5f}, {middle + 0.2f, 0.55f}, {middle + 0.4f, 0.6f}});
    Screenshot("workflow_sculpt.png");
    Command(int32_t(TTarnwick_StandardView::Front));
    EXPECT_TRUE(TarnwickMainWindow->CurrentViewportPanel()->FitToObject());
    ExpectNoWarnings("sculpting");

    // A colour map by the map command, white, for every material, painted red with the round
    // brush along the middle row.
    TZAVMaterialMap* map = nullptr;
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectColour(255, 255, 255).Expect(TZAVDialogKind::YesNo, true);
        auto* create = new TZAVEvent(73);
        create->AddStringParameter("Color", 0);
        create->IntegerParameters[1] = 1;
        PostEvent(create);
        RunFrames();
        map = ColorMapOf(*mesh);
        ASSERT_TRUE(map != nullptr && map->Name == "ColorMap") << "command 73 made no colour map";
    }
    const std::vector<uint8_t> blank = map->Pixels;
    auto* round = ChooseOnToolBar<TTarnwick_RoundBrush>();
    ASSERT_NE(round, nullptr);
    const float red[3] = {0.9f, 0.1f, 0.1f};
    std::copy_n(red, 3, round->PrimaryColor);
    Stroke({{middle - 0.3f, 0.45f}, {middle, 0.45f}, {middle + 0.3f, 0.45f}});
    const std::vector<uint8_t> painted = map->Pixels;
    const uint8_t* stroke_pixel = map->PixelAt(map->Width / 2, map->Height * 45 / 100);
    EXPECT_GT(stroke_pixel[0], 2 * stroke_pixel[1]) << "the stroke's middle is red";
    EXPECT_TRUE(std::equal(map->PixelAt(0, 0), map->PixelAt(0, 0) + 3, blank.begin())) << "a corner is not";
    Screenshot("workflow_paint.png");
    ExpectNoWarnings("painting");

    // Undo takes the stroke back, redo puts it again.
    Command(68);
    EXPECT_EQ(map->Pixels, blank) << "undo";
    Command(82);
    EXPECT_EQ(map->Pixels, painted) << "redo";
    ExpectNoWarnings("undo and redo");

    // Save: the default project keeps no name, so the save asks for one.
    const TFigureState saved = Capture(*mesh);
    ASSERT_EQ(saved.Deltas.size(), 2u);
    const std::string project_path = folder.Path() + "session.Tarnwick";
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectFile(TZAVDialogKind::SaveFile, project_path);
        Command(211);
    }
    EXPECT_EQ(TarnwickProject->FileName, project_path);
    EXPECT_NE(ExpectNoWarnings("save").find("Saving the project"), std::string::npos)
        << "the lines reach the test";

    // Open it again, after the question about the open project: the figure is as it was saved.
    {
        ScriptedDialogs dialogs;
        dialogs.Expect(TZAVDialogKind::YesNo, true).ExpectFile(TZAVDialogKind::OpenFile, project_path);
        Command(202);
    }
    figure = TarnwickProject->FindObject("figure");
    ASSERT_NE(figure, nullptr);
    mesh = figure->Mesh.get();
    EXPECT_TRUE(Capture(*mesh) == saved) << "the reopened figure differs from the saved one";
    ExpectNoWarnings("reopen");

    // Export a CR2 through the wizard's first choice (morphs on single parts), naming the source
    // figure and the output; read back, each part carries each morph's deltas of its vertices, and
    // the map went beside it as an image.
    // The object list that switches objects is not built yet; an open project starts on its first.
    TarnwickProject->CurrentObject = figure;
    const std::string exported = folder.Path() + "exported.cr2";
    Command(233);
    ASSERT_TRUE(CR2ExportWindow().IsShownChain());
    {
        ScriptedDialogs dialogs;
        dialogs.Expect(TZAVDialogKind::Message, true, "original CR2")
            .ExpectFile(TZAVDialogKind::OpenFile, cr2_path)
            .ExpectFile(TZAVDialogKind::SaveFile, exported);
        Click(CR2ExportWindow().Choices[int32_t(TTarnwick_CR2ExportKind::SimpleMorphs)]);
    }
    TTarnwick_Project reimport;
    reimport.ImportMorphs = true;
    TTarnwick_Object reread;
    ASSERT_TRUE(reimport.ImportCR2File(exported, reread)) << reimport.Error();
    for (const TZAVGroup2* part : mesh->Groups2)
        for (const char* name : MorphNames) {
            SCOPED_TRACE(std::string(part->GetName()) + " " + name);
            TTarnwick_TreeGroup* part_group = FindPartGroup(reread.Mesh->MorphTree.get(), part->GetName());
            TTarnwick_Morph* morph = part_group != nullptr ? FindMorph(part_group, name) : nullptr;
            const std::vector<float> read = morph != nullptr
                                                ? DenseDeltas(*morph)
                                                : std::vector<float>(saved.Deltas.at(name).size(), 0.0f);
            for (int32_t vertex : part->Vertices)
                for (int32_t axis = 0; axis < 3; axis++)
                    EXPECT_NEAR(read[3 * size_t(vertex) + axis],
                                saved.Deltas.at(name)[3 * size_t(vertex) + axis], 1e-6)
                        << "vertex " << vertex;
        }
    ExpectImage(ColorMapOf(*mesh)->MapFileName, saved.Pixels);
    ExpectNoWarnings("CR2 export");

    // Export the maps, one save dialog each (the CR2 export wrote its own copy beside the CR2); the
    // image reads back as the map.
    const std::string image_path = folder.Path() + "painted.png";
    {
        ScriptedDialogs dialogs;
        dialogs.ExpectFile(TZAVDialogKind::SaveFile, image_path);
        Command(220);
    }
    ExpectImage(image_path, saved.Pixels);
    ExpectNoWarnings("map export");

    // Quit from the File menu: No keeps the program running, Yes ends it with the settings written.
    auto* menu = static_cast<TTarnwick_MainMenu*>(TarnwickMainWindow->MainMenu());
    const auto quit = [menu] {
        TZAVglutWigits_Node* file = menu->FirstChild;
        while (file != nullptr && dynamic_cast<TZAVglutWigits_MenuText*>(file) == nullptr)
            file = file->NextSibling;
        Click(file);
        Click(menu->QuitEntry);
    };
    {
        ScriptedDialogs dialogs;
        dialogs.Expect(TZAVDialogKind::YesNo, false);
        quit();
    }
    EXPECT_NE(TarnwickProject, nullptr) << "No keeps the session";
    // The quit ends the process: it runs in a child started afresh, since a forked one would wait at
    // the exit for the GL driver's threads, which it does not have. The settings are written at
    // start-up too, so the child deletes them first; its exit handler looks at what the quit wrote.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            QuitSettingsFile = TarnwickSettings->SettingsFilePath();
            QuitProjectsLine = "ProjectsPath\t" + TarnwickSettings->ProjectsPath + "\n";
            DeleteFile(QuitSettingsFile);
            std::atexit(ReportSettingsAtExit);
            ScriptedDialogs dialogs;
            dialogs.Expect(TZAVDialogKind::YesNo, true);
            quit();
        },
        ::testing::ExitedWithCode(0), "the settings were written");
    ExpectNoWarnings("quit");

    ChooseTool(nullptr);
    TarnwickEvents_ProcessEvents();
    delete TarnwickProject;
    TarnwickProject = nullptr;
    StopTestMainWindow(window_id);
    TarnwickSettings = nullptr;
    delete settings;
}

} // namespace

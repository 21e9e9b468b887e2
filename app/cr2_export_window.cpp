// The CR2 export wizard: a prompt and three rows of a picture button beside its label and the
// lines that describe when to choose it.
#include "app/cr2_export_window.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/application.h"
#include "app/main_window.h"
#include "app/texture_registry.h"
#include "core/event_queue.h"
#include "core/report.h"
#include "core/status.h"
#include "files/project.h"
#include "paint/image_file.h"
#include "widgets/message_box.h"
#include "widgets/text.h"

namespace {

constexpr int32_t ChoicePictureWidth = 256;
constexpr int32_t ChoicePictureHeight = 128;
constexpr int32_t Margin = 12;
constexpr int32_t RowGap = 10;
constexpr int32_t TextColumnWidth = 400;

struct TChoice
{
    TTarnwick_CR2ExportKind Kind;
    const char* ButtonName;
    const char* Picture;
    const char* Label;
    const char* Lines[5];
};

const TChoice Choices[] = {
    {TTarnwick_CR2ExportKind::SimpleMorphs,
     "SimpleMorphs",
     "CR2Wizard_SimpleMorphs",
     "Simple Morph(s)",
     {"- Morph target(s) are on a single body part"}},
    {TTarnwick_CR2ExportKind::FullBodyMorphs,
     "BodyMorphs",
     "CR2Wizard_BodyMorphs",
     "Full Body Morph(s)",
     {"- Morph target(s) span over multiple body parts", "- The joints are roughly in the same position",
      "- Especially important that the fingers joint", "  positions are unchanged"}},
    {TTarnwick_CR2ExportKind::NewCharacter,
     "NewCharacter",
     "CR2Wizard_NewCharacter",
     "New Character",
     {"- Creates a new OBJ file that looks EXACTLY like the object",
      "  as it currently appears in the viewport.", "- The joints may have been changed significantly.",
      "- Joint positions and spherically falloff zones will be adjusted",
      "- Joint parameters may need to be tweaked in some cases"}},
};

// The picture registered under name, read from the data folder the first time; 0 when it cannot
// be had (the button then shows its label).
uint32_t WizardPicture(const char* name)
{
    TZAVTextureRegistry* textures = TarnwickApp.Textures;
    if (textures == nullptr)
        return 0;
    if (const TZAVRegisteredTexture found = textures->Find(name); found.Id != 0)
        return found.Id;
    const std::string path = DataFilePath((std::string(name) + ".png").c_str());
    TZAVPixelBuffer pixels;
    int32_t width = ChoicePictureWidth, height = ChoicePictureHeight;
    std::string error;
    if (!LoadImageFile(path, pixels, width, height, ImageLoad_KeepSize | ImageLoad_ForceRGB, nullptr,
                       error)) {
        AddWarning("%s", error.c_str());
        return 0;
    }
    // Files hold the top row first, textures the bottom row.
    const size_t row = size_t(width) * 3;
    std::vector<uint8_t> rows(row * size_t(height));
    for (int32_t y = 0; y < height; y++)
        std::copy_n(pixels.get() + size_t(y) * row, row, rows.data() + size_t(height - 1 - y) * row);
    return textures->Register(name, rows, width, height, TZAVImageChannels::RGB);
}

TZAVglutWigits_Text* AddText(TZAVglutWigits_Node* parent, const char* text, int32_t x, int32_t y,
                             int32_t width)
{
    auto* node = new TZAVglutWigits_Text(parent, text);
    node->LabelAlignment = TZAVglutWigits_Alignment::Left;
    node->DrawFrame = false;
    node->X = x;
    node->Y = y;
    node->Width = width;
    node->Height = node->LineHeight();
    return node;
}

TTarnwick_CR2ExportWindow* Wizard = nullptr;

} // namespace

TTarnwick_CR2ExportWindow::TTarnwick_CR2ExportWindow(TZAVglutWigits_Node* parent)
    : TZAVglutWigits_Window(parent, "CR2 Export Wizard")
{
    StayOnTop = true;
    AddCloseButton();
    const int32_t line = LineHeight();
    int32_t y = Margin;
    AddText(this, "Please click on the image below which best describes your project.", Margin, y,
            ChoicePictureWidth + Margin + TextColumnWidth);
    y += line + RowGap;
    for (int32_t i = 0; i < 3; i++) {
        const TChoice& choice = ::Choices[i];
        auto* button =
            new TZAVglutWigits_DialogButton(this, choice.Label, [this, kind = choice.Kind] { Choose(kind); });
        button->SetNameLiteral(choice.ButtonName);
        button->X = Margin;
        button->Y = y;
        button->Width = ChoicePictureWidth + 4;
        button->Height = ChoicePictureHeight + 4;
        button->Picture = WizardPicture(choice.Picture);
        button->PictureWidth = ChoicePictureWidth;
        button->PictureHeight = ChoicePictureHeight;
        button->ShowLabel = button->Picture == 0;
        Choices[i] = button;
        const int32_t text_x = Margin + button->Width + Margin;
        int32_t text_y = y + 4;
        AddText(this, choice.Label, text_x, text_y, TextColumnWidth);
        text_y += line + 4;
        for (const char* text : choice.Lines) {
            if (text == nullptr)
                break;
            AddText(this, text, text_x, text_y, TextColumnWidth);
            text_y += line;
        }
        y += button->Height + RowGap;
    }
    Width = Margin + ChoicePictureWidth + 4 + Margin + TextColumnWidth + Margin;
    Height = y + Margin - RowGap;
    Shown = false;
}

void TTarnwick_CR2ExportWindow::Open()
{
    Centre();
    Show();
    BringToFront();
}

void TTarnwick_CR2ExportWindow::Choose(TTarnwick_CR2ExportKind kind)
{
    if (TarnwickProject != nullptr)
        ApplyCR2ExportKind(*TarnwickProject, kind);
    PostCommand(ContinueCR2ExportCommand);
    Hide();
}

TTarnwick_CR2ExportWindow& CR2ExportWindow()
{
    // The main window owns its children; a new main window (tests make several) gets a new wizard.
    if (Wizard == nullptr || TarnwickMainWindow == nullptr || !TarnwickMainWindow->Contains(Wizard))
        Wizard = new TTarnwick_CR2ExportWindow(TarnwickMainWindow);
    return *Wizard;
}

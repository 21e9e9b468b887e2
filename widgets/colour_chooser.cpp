// The colour chooser: channel gauges and fields, preview, custom colours.
//
// [SECTION] Colour scales
// [SECTION] Parts
// [SECTION] Chooser
#include "widgets/colour_chooser.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "widgets/control_look.h"
#include "widgets/draw.h"
#include "widgets/edit_field.h"
#include "widgets/gauge.h"
#include "widgets/master.h"
#include "widgets/text.h"

namespace {

constexpr int32_t Margin = 12;
constexpr int32_t Gap = 6;
constexpr int32_t GaugeWidth = 200;
constexpr int32_t FieldWidth = 50;
constexpr int32_t PreviewWidth = 110;
constexpr int32_t SwatchSize = 24;
constexpr int32_t SwatchGap = 5;
constexpr int32_t SwatchesPerRow = 8;
constexpr const char* ChannelNames[ChannelCount] = {"Red", "Green", "Blue", "Hue", "Saturation", "Value"};
// What a channel's field counts up to: bytes, degrees, percent.
constexpr int32_t ChannelScale[ChannelCount] = {255, 255, 255, 360, 100, 100};

uint8_t ByteOf(float value)
{
    return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

// [SECTION] Parts

class TChannelGauge : public TZAVglutWigits_Gauge
{
public:
    TChannelGauge(TZAVglutWigits_ColourChooser* chooser, int32_t channel)
        : TZAVglutWigits_Gauge(chooser), Chooser(chooser), Channel(channel)
    {
        ShowLabel = false;
        KeyStep = 1.0f / static_cast<float>(ChannelScale[channel]);
    }
    void OnMouseButton(int32_t button, int32_t state, int32_t x, int32_t y) override
    {
        const float before = Value;
        TZAVglutWigits_Gauge::OnMouseButton(button, state, x, y);
        Report(before);
    }
    void OnMouseDrag(int32_t x, int32_t y) override
    {
        const float before = Value;
        TZAVglutWigits_Gauge::OnMouseDrag(x, y);
        Report(before);
    }
    bool OnSpecialKey(int32_t key) override
    {
        const float before = Value;
        const bool handled = TZAVglutWigits_Gauge::OnSpecialKey(key);
        Report(before);
        return handled;
    }

private:
    void Report(float before)
    {
        if (Value == before)
            return;
        Chooser->SetChannel(Channel, Channel <= ChannelBlue ? Value * 255.0f : Value);
    }

    TZAVglutWigits_ColourChooser* Chooser;
    int32_t Channel;
};

// Enter takes the number without closing the chooser; Escape over untouched text cancels it.
class TChannelField : public TZAVglutWigits_EditField
{
public:
    TChannelField(TZAVglutWigits_ColourChooser* chooser, int32_t channel)
        : TZAVglutWigits_EditField(chooser), Chooser(chooser), Channel(channel)
    {
    }
    bool OnKey(int32_t key) override
    {
        if (key == DialogKeyEnter) {
            Edited = false;
            Chooser->SetChannelFromText(Channel, GetText());
            return true;
        }
        if (key == DialogKeyEscape && !Edited)
            return false;
        return TZAVglutWigits_EditField::OnKey(key);
    }
    void OnLoseFocus() override
    {
        const bool edited = Edited;
        TZAVglutWigits_EditField::OnLoseFocus();
        if (edited)
            Chooser->SetChannelFromText(Channel, GetText());
    }

private:
    TZAVglutWigits_ColourChooser* Chooser;
    int32_t Channel;
};

// A colour square; a custom-colour slot is framed in the focus colour while selected.
class TSwatch : public TZAVglutWigits_Node
{
public:
    TSwatch(TZAVglutWigits_ColourChooser* chooser, const uint8_t* colour, int32_t slot)
        : TZAVglutWigits_Node(chooser), Chooser(chooser), Colour(colour), Slot(slot)
    {
        ShowLabel = false;
        Clickable = slot >= 0;
        AcceptsDoubleClick = false;
    }
    bool OnClick(int32_t, int32_t) override
    {
        ClickDelivered = true;
        Chooser->PickCustomColour(Slot);
        return true;
    }
    void Draw() override
    {
        const float width = static_cast<float>(Width), height = static_cast<float>(Height);
        SetColor3f(Colour[0] / 255.0f, Colour[1] / 255.0f, Colour[2] / 255.0f);
        DrawFilledRect(0.0f, 0.0f, width, height);
        const bool selected = Slot >= 0 && Chooser->SelectedSlot() == Slot;
        SetColor3fv(selected ? ControlLook::BorderFocused : ControlLook::Border);
        DrawFrameRect(0.0f, 0.0f, width, height, selected ? 2.0f : 1.0f);
    }

private:
    TZAVglutWigits_ColourChooser* Chooser;
    const uint8_t* Colour;
    int32_t Slot;
};

} // namespace

// [SECTION] Colour scales

void RgbToHsv(const uint8_t* rgb, float* in_out_hsv)
{
    const float red = rgb[0] / 255.0f, green = rgb[1] / 255.0f, blue = rgb[2] / 255.0f;
    const float highest = std::max({red, green, blue}), lowest = std::min({red, green, blue});
    const float range = highest - lowest;
    in_out_hsv[2] = highest;
    if (highest <= 0.0f)
        return;
    in_out_hsv[1] = range / highest;
    if (range <= 0.0f)
        return;
    float hue = highest == red     ? (green - blue) / range
                : highest == green ? 2.0f + (blue - red) / range
                                   : 4.0f + (red - green) / range;
    hue /= 6.0f;
    in_out_hsv[0] = hue < 0.0f ? hue + 1.0f : hue;
}

void HsvToRgb(const float* hsv, uint8_t* out_rgb)
{
    const float hue = std::clamp(hsv[0], 0.0f, 1.0f) * 6.0f;
    const float saturation = std::clamp(hsv[1], 0.0f, 1.0f), value = std::clamp(hsv[2], 0.0f, 1.0f);
    const int32_t sector = std::min(static_cast<int32_t>(hue), 5);
    const float fraction = hue - static_cast<float>(sector);
    const float low = value * (1.0f - saturation);
    const float falling = value * (1.0f - saturation * fraction);
    const float rising = value * (1.0f - saturation * (1.0f - fraction));
    const float table[6][3] = {{value, rising, low},  {falling, value, low}, {low, value, rising},
                               {low, falling, value}, {rising, low, value},  {value, low, falling}};
    for (int32_t i = 0; i < 3; i++)
        out_rgb[i] = ByteOf(table[sector][i]);
}

// [SECTION] Chooser

TZAVglutWigits_ColourChooser::TZAVglutWigits_ColourChooser(TZAVglutWigits_Node* parent,
                                                           const TZAVDialogRequest& request)
    : TZAVglutWigits_DialogWindow(parent, request.Title.c_str()),
      CustomColours(request.CustomColours != nullptr ? request.CustomColours : OwnCustomColours)
{
    std::copy(std::begin(request.InitialColour), std::end(request.InitialColour), Rgb);
    RgbToHsv(Rgb, Hsv);
    const int32_t label_width = TextWidth("Saturation") + 2 * HorizontalPadding;
    BuildChannelRows(Margin, label_width);
    const int32_t right = Margin + label_width + GaugeWidth + FieldWidth + 2 * Gap;
    const int32_t row_height = ButtonHeight();
    Preview = PlaceNode(new TSwatch(this, Rgb, -1), right + 2 * Gap, Margin, PreviewWidth, 3 * row_height);
    const int32_t custom_top = Margin + ChannelCount * (row_height + 4) + 2 * Gap;
    BuildCustomColours(Margin, custom_top);

    const int32_t buttons_top = custom_top + LineHeight() + 4 + 2 * (SwatchSize + SwatchGap) + Gap;
    AddCustomButton = AddButton(this, "Add to custom colours", [this] { StoreCustomColour(); });
    AddCustomButton->Width = std::max(AddCustomButton->Width, AddCustomButton->LabelWidth + 8);
    AddCustomButton->X = Margin;
    AddCustomButton->Y = buttons_top;
    Width = right + 2 * Gap + PreviewWidth + Margin;
    Height = buttons_top + ButtonHeight() + Margin;
    OkButton = AddButton(this, "OK", [this] {
        std::copy(std::begin(Rgb), std::end(Rgb), Answer.Colour);
        Accept();
    });
    CancelButton = AddButton(this, "Cancel", [this] { Decline(); });
    CancelButton->X = Width - Margin - CancelButton->Width;
    OkButton->X = CancelButton->X - Gap - OkButton->Width;
    OkButton->Y = CancelButton->Y = buttons_top;
    OkButton->HotKey = DialogKeyEnter;
    CancelButton->HotKey = DialogKeyEscape;
    OkButton->HotKeyIgnoreModifiers = CancelButton->HotKeyIgnoreModifiers = true;
    ShowColour();
}

void TZAVglutWigits_ColourChooser::BuildChannelRows(int32_t top, int32_t label_width)
{
    const int32_t row_height = ButtonHeight();
    for (int32_t channel = 0; channel < ChannelCount; channel++) {
        // A gap parts the red, green and blue rows from hue, saturation and value.
        const int32_t y = top + channel * (row_height + 4) + (channel >= ChannelHue ? 2 * Gap : 0);
        PlaceNode(new TZAVglutWigits_Text(this, ChannelNames[channel]), Margin, y, label_width, row_height)
            ->AutoSize = false;
        const int32_t gauge_x = Margin + label_width;
        Gauges[channel] = PlaceNode(new TChannelGauge(this, channel), gauge_x, y + 2, GaugeWidth, row_height - 4);
        Fields[channel] =
            PlaceNode(new TChannelField(this, channel), gauge_x + GaugeWidth + Gap, y, FieldWidth, row_height);
    }
}

void TZAVglutWigits_ColourChooser::BuildCustomColours(int32_t left, int32_t top)
{
    auto* label = new TZAVglutWigits_Text(this, "Custom colours");
    label->X = left;
    label->Y = top;
    const int32_t swatches_top = top + LineHeight() + 4;
    for (int32_t slot = 0; slot < CustomColourSlots; slot++) {
        const int32_t column = slot % SwatchesPerRow, row = slot / SwatchesPerRow;
        Swatches[slot] =
            PlaceNode(new TSwatch(this, CustomColours + 3 * slot, slot), left + column * (SwatchSize + SwatchGap),
                  swatches_top + row * (SwatchSize + SwatchGap), SwatchSize, SwatchSize);
    }
}

void TZAVglutWigits_ColourChooser::Opened()
{
    if (TZAVglutWigits_Master* master = GetMaster())
        master->SetFocus(Gauges[ChannelRed]);
}

int32_t TZAVglutWigits_ColourChooser::ChannelNumber(int32_t channel) const
{
    if (channel <= ChannelBlue)
        return Rgb[channel];
    return static_cast<int32_t>(
        std::lround(Hsv[channel - ChannelHue] * static_cast<float>(ChannelScale[channel])));
}

void TZAVglutWigits_ColourChooser::SetChannel(int32_t channel, float value)
{
    if (channel < 0 || channel >= ChannelCount)
        return;
    if (channel <= ChannelBlue) {
        Rgb[channel] = static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 255.0f)));
        RgbToHsv(Rgb, Hsv);
    } else {
        Hsv[channel - ChannelHue] = std::clamp(value, 0.0f, 1.0f);
        HsvToRgb(Hsv, Rgb);
    }
    ShowColour();
}

bool TZAVglutWigits_ColourChooser::SetChannelFromText(int32_t channel, const std::string& text)
{
    float number = 0.0f;
    const bool parsed = ParseFieldFloat(text, number);
    if (parsed) {
        const float scale = static_cast<float>(ChannelScale[channel]);
        number = std::clamp(number, 0.0f, scale);
        SetChannel(channel, channel <= ChannelBlue ? number : number / scale);
    }
    // The field shows the number the channel took, or its old one back.
    ShowColour();
    return parsed;
}

void TZAVglutWigits_ColourChooser::PickCustomColour(int32_t slot)
{
    if (slot < 0 || slot >= CustomColourSlots)
        return;
    Slot = slot;
    std::copy(CustomColours + 3 * slot, CustomColours + 3 * slot + 3, Rgb);
    RgbToHsv(Rgb, Hsv);
    ShowColour();
}

void TZAVglutWigits_ColourChooser::StoreCustomColour()
{
    std::copy(std::begin(Rgb), std::end(Rgb), CustomColours + 3 * Slot);
    Slot = (Slot + 1) % CustomColourSlots;
    Invalidate();
}

// Gauges, fields and the preview follow the colour.
void TZAVglutWigits_ColourChooser::ShowColour()
{
    for (int32_t channel = 0; channel < ChannelCount; channel++) {
        Gauges[channel]->Value = channel <= ChannelBlue ? Rgb[channel] / 255.0f : Hsv[channel - ChannelHue];
        Gauges[channel]->Invalidate();
        Fields[channel]->SetText(std::to_string(ChannelNumber(channel)), false);
    }
    Invalidate();
}

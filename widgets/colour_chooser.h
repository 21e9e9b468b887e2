// The drawn colour chooser: red, green and blue gauges and hue, saturation and value gauges kept
// in step, each with a field for typing the number (0..255; hue in degrees, saturation and value
// in percent), a preview swatch and the sixteen custom colours of the request.
//
//   gauge press, drag, arrows -> that channel changes; the other scale follows
//   field Enter, focus lost   -> the typed number sets the channel (other text is put back)
//   custom swatch click       -> the swatch's slot is selected and its colour taken
//   "Add to custom colours"   -> the colour goes into the selected slot; the next slot is selected
//   OK / Enter                -> accepted with the colour; Cancel / Escape / close -> declined
#pragma once

#include <cstdint>

#include "widgets/message_box.h"

class TZAVglutWigits_Gauge;
class TZAVglutWigits_EditField;
class TZAVglutWigits_Node;

// The channels of the chooser, in row order.
enum TZAVglutWigits_ColourChannel : int32_t
{
    ChannelRed = 0,
    ChannelGreen = 1,
    ChannelBlue = 2,
    ChannelHue = 3,
    ChannelSaturation = 4,
    ChannelValue = 5,
    ChannelCount = 6,
};

constexpr int32_t CustomColourSlots = 16;

// RGB bytes to hue, saturation and value in 0..1; a grey keeps the given hue, black keeps the
// saturation too, so that the gauges do not jump while passing through them.
void RgbToHsv(const uint8_t* rgb, float* in_out_hsv);
void HsvToRgb(const float* hsv, uint8_t* out_rgb);

class TZAVglutWigits_ColourChooser : public TZAVglutWigits_DialogWindow
{
public:
    // Starts with the request's initial colour; the custom colours are read and written in the
    // request's table (a table of the chooser's own when the request has none).
    TZAVglutWigits_ColourChooser(TZAVglutWigits_Node* parent, const TZAVDialogRequest& request);

    void Opened() override;

    // Sets one channel (bytes for red, green, blue; 0..1 for the others) and brings the rest in step.
    void SetChannel(int32_t channel, float value);
    // The channel's number as its field shows it.
    int32_t ChannelNumber(int32_t channel) const;
    // Takes the typed number of a channel's field; false (text put back) when it is no number.
    bool SetChannelFromText(int32_t channel, const std::string& text);
    void PickCustomColour(int32_t slot);
    void StoreCustomColour();
    const uint8_t* Colour() const { return Rgb; }
    int32_t SelectedSlot() const { return Slot; }

    TZAVglutWigits_Gauge* Gauges[ChannelCount] = {};
    TZAVglutWigits_EditField* Fields[ChannelCount] = {};
    TZAVglutWigits_Node* Preview = nullptr;
    TZAVglutWigits_Node* Swatches[CustomColourSlots] = {};
    TZAVglutWigits_DialogButton* AddCustomButton = nullptr;
    TZAVglutWigits_DialogButton* OkButton = nullptr;
    TZAVglutWigits_DialogButton* CancelButton = nullptr;

private:
    void BuildChannelRows(int32_t top, int32_t label_width);
    void BuildCustomColours(int32_t left, int32_t top);
    void ShowColour();

    uint8_t Rgb[3] = {0, 0, 0};
    float Hsv[3] = {0.0f, 0.0f, 0.0f};
    uint8_t* CustomColours = nullptr;
    uint8_t OwnCustomColours[CustomColourSlots * 3] = {};
    int32_t Slot = 0;
};

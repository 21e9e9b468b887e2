// Materials: the standard channels and their defaults, channel lookup, and the "material" and
// "channel" text blocks of the application's materials.
#include "mesh/material.h"

#include <charconv>

#include "core/text_block.h"
#include "core/text_scan.h"

namespace {

struct TChannelDefaults
{
    const char* Name;
    bool UseColor;
    bool UseStrength;
    bool TakesMap;
    bool Paintable;
    float Strength;
    float Color;
    float MapFill;
};

constexpr TChannelDefaults StandardChannels[] = {
    {"Color", true, false, true, true, 1.0f, 1.0f, 1.0f},
    {"Bump", false, true, true, true, 1.0f, 1.0f, 0.5f},
    {"Transparency", false, true, true, true, 0.0f, 1.0f, 1.0f},
    {"Displacement", false, true, true, true, 0.1f, 1.0f, 0.0f},
    {"Specular", true, false, false, false, 1.0f, 1.0f, 1.0f},
    {"Ambient", true, false, false, false, 1.0f, 0.1f, 1.0f},
    {"Glossy", false, true, false, false, 0.1f, 1.0f, 1.0f},
};

} // namespace

TZAVMaterialChannel::TZAVMaterialChannel()
{
    for (auto& color : Colors)
        color[0] = color[1] = color[2] = 1.0f;
}

TZAVMaterial::~TZAVMaterial()
{
    ArbChannels.Clear();
}

TZAVMaterialChannel* TZAVMaterial::CreateChannel() const
{
    return new TZAVMaterialChannel;
}

void TZAVMaterial::AddDefaultChannels()
{
    for (const TChannelDefaults& defaults : StandardChannels) {
        TZAVMaterialChannel* channel = CreateChannel();
        channel->SetNameLiteral(defaults.Name);
        channel->UseColor = defaults.UseColor;
        channel->UseStrength = defaults.UseStrength;
        channel->TakesMap = defaults.TakesMap;
        channel->Paintable = defaults.Paintable;
        channel->Strength = defaults.Strength;
        for (int32_t k = 0; k < 3; k++) {
            channel->Colors[0][k] = defaults.Color;
            channel->Colors[1][k] = defaults.MapFill;
        }
        ArbChannels.Add(channel);
    }
}

TZAVMaterialChannel* TZAVMaterial::FindChannel(std::string_view name) const
{
    for (TZAVMaterialChannel* channel : ArbChannels)
        if (SameTextNoCase(channel->Name, name))
            return channel;
    return nullptr;
}

bool TTarnwick_MaterialChannel::SaveToStream_Text(FILE* file)
{
    TStartTextFileBlock block(file, "channel", Name);
    bool written =
        TTarnwick_Thingy::SaveToStream_Text(file) && WriteTextLine(file, "MapFileName", MapFileName) &&
        WriteTextFloat(file, "Strength", Strength) && WriteTextFloat3(file, "Color", Colors[0]) &&
        WriteTextInt(file, "TextureIndex", TextureIndex) && WriteTextFlag(file, "UseColor", UseColor) &&
        WriteTextFlag(file, "UseStrength", UseStrength);
    return block.Close() && written;
}

bool TTarnwick_MaterialChannel::LoadFromStream_Text_ConsiderCommand(TZAVTextReader&, std::string_view key,
                                                                    std::string_view value)
{
    if (SameTextNoCase(key, "MapFileName"))
        MapFileName.assign(value);
    else if (SameTextNoCase(key, "Strength"))
        Strength = TextValueFloat(value);
    else if (SameTextNoCase(key, "Color"))
        TextValueFloat3(value, Colors[0]);
    else if (SameTextNoCase(key, "TextureIndex"))
        TextureIndex = TextValueInt(value);
    else if (SameTextNoCase(key, "UseColor"))
        UseColor = TextValueInt(value) != 0;
    else if (SameTextNoCase(key, "UseStrength"))
        UseStrength = TextValueInt(value) != 0;
    else
        return false;
    return true;
}

TZAVMaterialChannel* TTarnwick_Material::CreateChannel() const
{
    return new TTarnwick_MaterialChannel;
}

bool TTarnwick_Material::SaveToStream_Text(FILE* file)
{
    TStartTextFileBlock block(file, "material", Name);
    bool written = TTarnwick_Thingy::SaveToStream_Text(file);
    for (TZAVMaterialChannel* channel : ArbChannels) {
        if (!written)
            break;
        if (auto* saving = dynamic_cast<TTarnwick_MaterialChannel*>(channel))
            written = saving->SaveToStream_Text(file);
    }
    return block.Close() && written;
}

bool TTarnwick_Material::LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                                             std::string_view value)
{
    if (!SameTextNoCase(key, "channel"))
        return false;
    auto* channel = dynamic_cast<TTarnwick_MaterialChannel*>(FindChannel(value));
    if (channel == nullptr) {
        channel = new TTarnwick_MaterialChannel;
        channel->SetNameLiteral(value);
        ArbChannels.Add(channel);
    }
    // Channels are found by the header's name, so a "Name" line must not rename one away from it.
    const std::string header_name(value);
    const bool read = channel->LoadFromStream_Text(reader);
    channel->SetNameLiteral(header_name);
    return read;
}

// Materials and their channels. A material owns a list of channels; a new material receives the
// seven standard ones ("Color", "Bump", "Transparency", "Displacement", "Specular", "Ambient",
// "Glossy"). TTarnwick_Material and TTarnwick_MaterialChannel add the application object's ID
// and text persistence ("material" and "channel" blocks).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/list.h"
#include "core/thingy.h"

class TZAVMaterialChannel : public virtual TZAVThingy
{
public:
    static constexpr int32_t ColorCount = 5;

    TZAVMaterialChannel();

    uint8_t Enabled = 1;
    std::string MapFileName;
    float Strength = 1.0f;
    // Colors[0] is the channel colour, Colors[1] the fill of an empty map.
    float Colors[ColorCount][3];
    bool UseColor = false;
    bool UseStrength = false;
    bool TakesMap = false;
    bool Paintable = false;
    // Index of the channel's texture map in the mesh's map list; -1 = none.
    int32_t TextureIndex = -1;
};

class TZAVMaterial : public virtual TZAVThingy
{
public:
    TZAVMaterial() = default;
    // Deletes the channels.
    ~TZAVMaterial() override;

    // Appends the seven standard channels with their defaults.
    void AddDefaultChannels();
    // The first channel of that name (any case); null when there is none.
    TZAVMaterialChannel* FindChannel(std::string_view name) const;

    int32_t Index = -1;
    TZAVMultiList<TZAVMaterialChannel*> ArbChannels;
    std::string Name2;
    int32_t Counter1 = 0;
    int32_t Counter2 = 0;
    bool Flag1 = true;
    bool Flag2 = true;
    bool Flag3 = true;

protected:
    // The application material makes channels that can save themselves.
    virtual TZAVMaterialChannel* CreateChannel() const;
};

class TTarnwick_MaterialChannel : public TZAVMaterialChannel, public TTarnwick_Thingy
{
public:
    bool SaveToStream_Text(FILE* file) override;
    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override;
};

class TTarnwick_Material : public TZAVMaterial, public TTarnwick_Thingy
{
public:
    bool SaveToStream_Text(FILE* file) override;
    // A "channel" block loads into the channel of that name, or into a new one.
    bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                             std::string_view value) override;

protected:
    TZAVMaterialChannel* CreateChannel() const override;
};

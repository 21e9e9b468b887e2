// Materials: the standard channels and the text blocks of materials, channels and polygon groups.
#include <gtest/gtest.h>

#include <string>

#include "core/text_block.h"
#include "mesh/group.h"
#include "mesh/material.h"
#include "support/stream_file.h"

TEST(Material, NewMaterialsGetTheSevenStandardChannelsInOrder)
{
    TZAVMaterial material;
    material.AddDefaultChannels();
    std::string order;
    for (TZAVMaterialChannel* channel : material.ArbChannels)
        order += channel->Name + " ";
    EXPECT_EQ(order, "Color Bump Transparency Displacement Specular Ambient Glossy ");
    // Names are found in any case.
    EXPECT_EQ(material.FindChannel("bump"), material.FindChannel("Bump"));
    EXPECT_NE(material.FindChannel("bump"), nullptr);
    EXPECT_EQ(material.FindChannel("Sheen"), nullptr);
}

TEST(MaterialText, MaterialBlockRoundTripsItsChannels)
{
    TTarnwick_Material material;
    material.SetNameLiteral("skin 100%");
    material.AddDefaultChannels();
    TZAVMaterialChannel* color = material.FindChannel("Color");
    color->MapFileName = "maps/skin color.png";
    color->Colors[0][1] = 0.25f;
    color->TextureIndex = 3;
    material.FindChannel("Bump")->Strength = 0.75f;
    material.FindChannel("Glossy")->UseStrength = false;

    StreamFile file(std::tmpfile());
    ASSERT_TRUE(material.SaveToStream_Text(file.get()));
    const std::string text = ContentsOf(file.get());
    EXPECT_EQ(text.rfind("material\tskin 100%\n{\n", 0), 0u) << text;
    EXPECT_NE(text.find("\tchannel\tColor\n\t{\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\t\tMapFileName\tmaps/skin color.png\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\t\tColor\t1.00000000 0.25000000 1.00000000\n"), std::string::npos) << text;

    TZAVTextReader reader(file.get(), "project.Tarnwick");
    std::string_view header;
    ASSERT_TRUE(reader.ReadTrimmedLine(header));
    TTarnwick_Material loaded;
    loaded.AddDefaultChannels();
    ASSERT_TRUE(loaded.LoadFromStream_Text(reader)) << reader.Error();
    EXPECT_EQ(loaded.Name, "skin 100%");
    EXPECT_EQ(loaded.ArbChannels.Count(), 7);
    const TZAVMaterialChannel* loaded_color = loaded.FindChannel("Color");
    EXPECT_EQ(loaded_color->MapFileName, "maps/skin color.png");
    EXPECT_FLOAT_EQ(loaded_color->Colors[0][1], 0.25f);
    EXPECT_EQ(loaded_color->TextureIndex, 3);
    EXPECT_FLOAT_EQ(loaded.FindChannel("Bump")->Strength, 0.75f);
    EXPECT_FALSE(loaded.FindChannel("Glossy")->UseStrength);
    EXPECT_TRUE(loaded.FindChannel("Specular")->UseColor);
}

TEST(MaterialText, UnknownChannelsAreKeptAndShortColoursChangeNothingElse)
{
    StreamFile file = FileHolding("material\tx\n{\n\tName\tx\n\tchannel\tSheen\n\t{\n\t\tStrength\t0.5\n"
                                  "\t\tColor\t0.5 0.25\n\t}\n}\n");
    TZAVTextReader reader(file.get(), "project.Tarnwick");
    std::string_view header;
    ASSERT_TRUE(reader.ReadTrimmedLine(header));
    TTarnwick_Material material;
    ASSERT_TRUE(material.LoadFromStream_Text(reader));
    const TZAVMaterialChannel* sheen = material.FindChannel("Sheen");
    ASSERT_NE(sheen, nullptr);
    EXPECT_FLOAT_EQ(sheen->Strength, 0.5f);
    EXPECT_FLOAT_EQ(sheen->Colors[0][0], 0.5f);
    EXPECT_FLOAT_EQ(sheen->Colors[0][1], 0.25f);
    EXPECT_FLOAT_EQ(sheen->Colors[0][2], 1.0f);
}

TEST(MaterialText, PolygonGroupBlockHoldsItsHeader)
{
    TTarnwick_Group group;
    group.SetNameLiteral("left arm");
    StreamFile file(std::tmpfile());
    ASSERT_TRUE(group.SaveToStream_Text(file.get()));
    const std::string text = ContentsOf(file.get());
    EXPECT_EQ(text.rfind("polygroup\tleft arm\n{\n\tName\tleft arm\n", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.size() - 2), "}\n");
}

// A small posable figure written the way figure libraries lay one out: the CR2 in
// Runtime/Libraries/Character/Tarnwick/, its OBJ in Runtime/Geometries/Tarnwick/, textures in
// Runtime/Textures/Tarnwick/.
//
//     TestFigure figure = WriteTestFigure(folder.Path(), {.Geometry = TestPathStyle::Windows});
//
// The geometry is a column of three quads (rows y = 0..3, two vertices a row, vertex 2r and 2r + 1
// on row r): hip (vertices 0-3), chest (2-5) and head (4-7), materials Skin (hip, chest) and Eyes.
// The CR2 describes the actors BODY, hip, chest, head and lShldr (no geometry) twice, the second
// time with their morph targets:
//   hip   "Wide" (FBM_Wide, factor 1): local 0 -> (0.5, 0, 0), local 2 -> (3, 0, 0)
//         "Tiny": a delta below the compression threshold
//   chest "Wide" (FBM_Wide, factor 1): local 0 -> (0, 2, 0), local 3 -> (0, 0, 1)
//         "Lift": local 1 -> (0, 0.25, 0) and BadDeltaLines lines that are malformed or out of range
//   head  "Wide" (FBM_Wide, factor 0.5): local 3 -> (0, 0, 4)
//         "Blink" kept in a binary morph file when BinaryMorph is set
//   lShldr "Shrug": deltas for a part the geometry does not have
// Its materials name their maps in Windows, Mac and POSIX forms and as an empty quoted name.
#pragma once

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>

enum class TestPathStyle
{
    Mac,
    Windows,
    Posix,
    // Mac form, the names in another case than on disk.
    MixedCase,
};

struct TestFigureOptions
{
    TestPathStyle Geometry = TestPathStyle::Mac;
    bool GzipFigure = false;
    // The geometry is stored as ".obz"; the CR2 still names the ".obj".
    bool GzipGeometry = false;
    bool BinaryMorph = false;
    bool CrLf = true;
};

struct TestFigure
{
    std::string Root;
    std::string CR2Path;
    std::string OBJPath;
    std::string SkinTexture;
    std::string BumpTexture;
};

constexpr int TestFigureBadDeltaLines = 4;

inline bool WriteGzip(const std::string& path, const std::string& contents)
{
    gzFile file = gzopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = contents.empty() || gzwrite(file, contents.data(), unsigned(contents.size())) > 0;
    return gzclose(file) == Z_OK && written;
}

inline bool WriteTestFile(const std::string& path, const std::string& contents, bool gzip)
{
    if (gzip)
        return WriteGzip(path, contents);
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    return std::fclose(file) == 0 && written;
}

inline void MakeTestFolders(const std::string& root, const std::string& relative)
{
    std::string path = root;
    for (size_t start = 0, slash; (slash = relative.find('/', start)) != std::string::npos;
         start = slash + 1) {
        path = root + relative.substr(0, slash);
        mkdir(path.c_str(), 0755);
    }
}

// Writes the figure into root (ending in '/'), returns its paths.
inline TestFigure WriteTestFigure(const std::string& root, const TestFigureOptions& options = {})
{
    TestFigure figure;
    figure.Root = root;
    const std::string character = "Runtime/Libraries/Character/Tarnwick/";
    const std::string geometries = "Runtime/Geometries/Tarnwick/";
    const std::string textures = "Runtime/Textures/Tarnwick/";
    for (const std::string& folder : {character, geometries, textures})
        MakeTestFolders(root, folder);
    figure.CR2Path = root + character + (options.GzipFigure ? "TestFigure.crz" : "TestFigure.cr2");
    figure.OBJPath = root + geometries + (options.GzipGeometry ? "TestFigure.obz" : "TestFigure.obj");
    figure.SkinTexture = root + textures + "Skin.jpg";
    figure.BumpTexture = root + textures + "Bump.jpg";
    WriteTestFile(figure.SkinTexture, "not a picture", false);
    WriteTestFile(figure.BumpTexture, "not a picture", false);

    std::string obj = "# test figure\n";
    for (int row = 0; row < 4; row++)
        obj += "v 0 " + std::to_string(row) + " 0\nv 1 " + std::to_string(row) + " 0\n";
    obj += "g hip\nusemtl Skin\nf 1 2 4 3\ng chest\nf 3 4 6 5\ng head\nusemtl Eyes\nf 5 6 8 7\n";
    WriteTestFile(figure.OBJPath, obj, options.GzipGeometry);

    std::string geometry;
    switch (options.Geometry) {
    case TestPathStyle::Mac:
        geometry = ":Runtime:Geometries:Tarnwick:TestFigure.obj";
        break;
    case TestPathStyle::Windows:
        geometry = "\"C:\\Program Files\\Poser\\Runtime\\Geometries\\Tarnwick\\TestFigure.obj\"";
        break;
    case TestPathStyle::Posix:
        geometry = root + geometries + "TestFigure.obj";
        break;
    case TestPathStyle::MixedCase:
        geometry = ":runtime:GEOMETRIES:tarnwick:testfigure.OBJ";
        break;
    }

    const char* const actors[] = {"BODY", "hip", "chest", "head", "lShldr"};
    std::string text = "{\nversion\n\t{\n\tnumber 4.01\n\t}\n";
    text += "figureResFile " + geometry + "\n";
    if (options.BinaryMorph)
        text += "morphBinaryFile :Runtime:Geometries:Tarnwick:TestFigure.pmd\n";
    for (const char* actor : actors)
        text += "actor " + std::string(actor) + ":1\n\t{\n\tstorageOffset 0 0 0\n\tgeomHandlerGeom 13 " +
                actor + "\n\t}\n";
    text += "figureResFile " + geometry + "\n";

    // A morph target block of the second description.
    auto target = [](const std::string& name, const std::string& dial, const char* factor,
                     const std::string& deltas, int count) {
        std::string block = "\t\ttargetGeom " + name + "\n\t\t\t{\n\t\t\tname " + name +
                            "\n\t\t\tinitValue 0\n\t\t\tkeys\n\t\t\t\t{\n\t\t\t\tk 0 0\n\t\t\t\t}\n";
        if (!dial.empty())
            block += "\t\t\tvalueOpDeltaAdd\n\t\t\t\tFigure 1\n\t\t\t\tBODY:1\n\t\t\t\t" + dial +
                     "\n\t\t\tdeltaAddDelta " + factor + "\n";
        block += "\t\t\tindexes " + std::to_string(count) + "\n\t\t\tnumbDeltas " + std::to_string(count) +
                 "\n\t\t\tdeltas\n\t\t\t\t{\n" + deltas + "\t\t\t\t}\n\t\t\t}\n";
        return block;
    };
    auto actor_block = [](const char* actor, const std::string& channels) {
        return "actor " + std::string(actor) + ":1\n\t{\n\tname " + actor + "\n\tchannels\n\t\t{\n" +
               channels + "\t\t}\n\t}\n";
    };
    text += actor_block("BODY", "\t\tvalueParm FBM_Wide\n\t\t\t{\n\t\t\tname Wide\n\t\t\t}\n");
    text += actor_block(
        "hip", target("Wide", "FBM_Wide", "1.000000", "\t\t\t\td 0 0.5 0 0\n\t\t\t\td 2 3 0 0\n", 2) +
                   target("Tiny", "", "", "\t\t\t\td 1 1e-35 0 0\n", 1));
    std::string lift = "\t\t\t\td 1 0 0.25 0\n\t\t\t\td 2 0.5\n\t\t\t\td 99 0 0 1\n\t\t\t\td -1 0 0 1\n"
                       "\t\t\t\td x 1 2 3\n";
    text += actor_block("chest",
                        target("Wide", "FBM_Wide", "1.000000", "\t\t\t\td 0 0 2 0\n\t\t\t\td 3 0 0 1\n", 2) +
                            target("Lift", "", "", lift, 5));
    std::string head = target("Wide", "FBM_Wide", "0.500000", "\t\t\t\td 3 0 0 4\n", 1);
    if (options.BinaryMorph)
        head += "\t\ttargetGeom Blink\n\t\t\t{\n\t\t\tname Blink\n\t\t\tuseBinaryMorph 1\n"
                "\t\t\tindexes 2\n\t\t\tnumbDeltas 8\n\t\t\t}\n";
    text += actor_block("head", head);
    text += actor_block("lShldr", target("Shrug", "", "", "\t\t\t\td 0 0 1 0\n", 1));

    text += "figure\n\t{\n\tname TestFigure\n\troot BODY\n\taddChild hip:1\n\t\tBODY:1\n";
    text += "\tmaterial Skin\n\t\t{\n\t\tKdColor 0.8 0.6 0.5 1\n";
    text += "\t\ttextureMap \"C:\\Program Files\\Poser\\Runtime\\Textures\\Tarnwick\\skin.JPG\"\n";
    text += "\t\tbumpMap :Runtime:Textures:Tarnwick:Bump.jpg\n";
    text += "\t\ttransparencyMap " + root + "Elsewhere/Trans.png\n";
    text += "\t\treflectionMap NO_MAP\n\t\ttMax 0.5\n\t\t}\n";
    text += "\tmaterial Eyes\n\t\t{\n\t\ttextureMap \"\"\n\t\tKdColor 0.1 0.2 0.3 1\n\t\t}\n";
    text += "\t}\n}\n";

    if (options.CrLf) {
        std::string crlf;
        for (char c : text) {
            if (c == '\n')
                crlf += '\r';
            crlf += c;
        }
        text = crlf;
    }
    WriteTestFile(figure.CR2Path, text, options.GzipFigure);
    return figure;
}

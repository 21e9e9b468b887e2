// A two-part figure for the CR2 export tests: an OBJ of two quads ("hip" and "chest", sharing an
// edge), its CR2 with CR LF line ends (two descriptions of the actors, an imported morph target on
// the hip, joints, two materials), and a project whose object carries three morphs: "Sculpted"
// (moves the hip and the shared edge), "HipOnly" (one vertex of the hip only) and, in a read-only
// group as an import leaves it, "Imported".
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "files/project.h"
#include "mesh/morph.h"
#include "mesh/obj_file.h"
#include "mesh/scene_object.h"
#include "mesh/sculpt_mesh.h"
#include "support/temp_folder.h"

inline const char* const CR2ExportOBJText =
    "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 1 2 0\nv 0 2 0\n"
    "g hip\nusemtl Skin\nf 1 2 3 4\ng chest\nusemtl Skin\nf 4 3 5 6\n";

inline const char* const CR2ExportFigureText = R"({
version
	{
	number 4.01
	}
figureResFile :Runtime:geometries:old.obj
actor BODY:1
	{
	storageOffset 0 0.3487 0
	}
actor hip:1
	{
	storageOffset 0 0 0
	geomHandlerGeom 13 hip
	}
actor chest:1
	{
	storageOffset 0 0 0
	}
figureResFile :Runtime:geometries:old.obj
actor BODY:1
	{
	name Body
	channels
		{
		propagatingScale Scale
			{
			initValue 1
			}
		}
	}
actor hip:1
	{
	name Hip
	channels
		{
		targetGeom Imported
			{
			name Imported
			numbDeltas 4
			deltas
				{
				d 0 0.1 0 0
				}
			}
		}
	endPoint 0.5 1 0
	origin 0.5 0 0
	orientation 0 0 0
	}
actor chest:1
	{
	name Chest
	channels
		{
		}
	origin 0.5 1 0
	endPoint 0.5 2 0
	}
figure
	{
	name Figure 1
	root BODY
	material Skin
		{
		KdColor 1 1 1 1
		TextureColor 0.5 0.5 0.5 1
		textureMap NO_MAP
		bumpMap NO_MAP
		bumpStrength 1
		transparencyMap NO_MAP
		tMax 0
		tMin 0
		}
	material Eyes
		{
		KdColor 1 1 1 1
		}
	}
}
)";

// The CR2 text with CR LF line ends.
inline std::string CR2ExportFigureWithCRLF()
{
    std::string text;
    for (const char* c = CR2ExportFigureText; *c != '\0'; c++) {
        if (*c == '\n')
            text += '\r';
        text += *c;
    }
    return text;
}

struct TCR2ExportFigure
{
    TemporaryFolder Folder;
    std::string Source;
    std::unique_ptr<TTarnwick_Project> Project;
    TTarnwick_Mesh* Mesh = nullptr;
    TTarnwick_Morph* Sculpted = nullptr;
    TTarnwick_Morph* HipOnly = nullptr;
    TTarnwick_Morph* Imported = nullptr;

    // False, with the reason, when the figure could not be made.
    bool Make(std::string& out_error)
    {
        const std::string obj = Folder.Write("figure.obj", CR2ExportOBJText);
        Source = Folder.Write("figure.cr2", CR2ExportFigureWithCRLF());
        auto mesh = std::make_unique<TTarnwick_Mesh>();
        if (!ReadOBJ(obj, *mesh, ObjRead_None, out_error))
            return false;
        Mesh = mesh.get();
        auto set = [](TTarnwick_Morph* morph, int32_t vertex, float x, float y, float z) {
            float* delta = morph->GetVertex(vertex);
            delta[0] = x;
            delta[1] = y;
            delta[2] = z;
        };
        Sculpted = Mesh->NewMorph(-1);
        Sculpted->SetNameLiteral("Sculpted");
        set(Sculpted, 0, 0.25f, -0.5f, 0.125f);
        set(Sculpted, 1, 0.0f, 0.0f, 1e-3f);
        set(Sculpted, 2, 0.1f, 0.2f, 0.3f);
        Sculpted->Compress();
        HipOnly = Mesh->NewMorph(-1);
        HipOnly->SetNameLiteral("HipOnly");
        set(HipOnly, 0, 0.0f, -0.5f, 0.125f);
        auto* imported_group = new TTarnwick_MorphTreeGroup();
        imported_group->SetNameLiteral("figure");
        imported_group->ReadOnly = true;
        Mesh->MorphTree->AddChild(imported_group);
        Imported = new TTarnwick_Morph(Mesh->GetVertexCount());
        Imported->SetNameLiteral("Imported");
        Imported->ReadOnly = true;
        set(Imported, 0, 0.1f, 0.0f, 0.0f);
        imported_group->List.Add(Imported);

        auto object = std::make_unique<TTarnwick_Object>();
        object->SetNameLiteral("figure");
        object->FileName = Source;
        object->SetMesh(std::move(mesh));
        Project = std::make_unique<TTarnwick_Project>();
        Project->AddObject(object.release());
        return true;
    }
};

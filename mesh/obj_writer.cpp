// Wavefront OBJ writing: the whole mesh to one file, or each polygon group to a file of its own,
// with the MTL beside them. Numbers are written "%.8f".
#include "mesh/obj_file.h"

#include <algorithm>
#include <string_view>

#include "core/dialogs.h"
#include "core/output_buffer.h"
#include "core/paths.h"
#include "core/safe_file.h"
#include "mesh/mtl_file.h"

namespace {

constexpr int32_t FloatDigits = 8;

void AppendFloats(TZAVOutputBuffer& out, std::string_view keyword, const float* values, int32_t count)
{
    out.Append(keyword);
    for (int32_t i = 0; i < count; i++) {
        out.Append(' ');
        out.AppendFixed(static_cast<double>(values[i]), FloatDigits);
    }
    out.Append('\n');
}

void WriteHeader(TZAVOutputBuffer& out, const std::string& mtl_path, int32_t vertex_count)
{
    out.Append("# This OBJ file was exported from Tarnwick\n");
    out.Append("# Tarnwick " TARNWICK_VERSION "\n");
    if (!mtl_path.empty()) {
        out.Append("mtllib ");
        out.Append(NameOf(mtl_path));
        out.Append('\n');
    }
    out.Append("# Vertex Count ");
    out.AppendInt(vertex_count);
    out.Append('\n');
}

// Displayed positions, then normals (zero where the mesh has none), of vertex_at(0 .. count - 1).
template <typename TIndex>
void WriteVertices(TZAVOutputBuffer& out, const TZAVPolyMesh& mesh, int32_t count, TIndex vertex_at)
{
    for (int32_t i = 0; i < count; i++) {
        const int32_t vertex = vertex_at(i);
        float position[3];
        mesh.GetVertex(vertex, position);
        AppendFloats(out, "v", position, 3);
    }
    static constexpr float None[3] = {0, 0, 0};
    for (int32_t i = 0; i < count; i++) {
        const int32_t vertex = vertex_at(i);
        const bool has_normal = mesh.Normals.size() >= 3 * (static_cast<size_t>(vertex) + 1);
        AppendFloats(out, "vn", has_normal ? &mesh.Normals[3 * static_cast<size_t>(vertex)] : None, 3);
    }
}

template <typename TIndex>
void WriteTexVertices(TZAVOutputBuffer& out, const TZAVPolyMesh& mesh, int32_t count, TIndex tex_vertex_at)
{
    for (int32_t i = 0; i < count; i++)
        AppendFloats(out, "vt", &mesh.TexVertices[2 * static_cast<size_t>(tex_vertex_at(i))], 2);
}

int32_t Itself(int32_t index)
{
    return index;
}

// What the "f" lines of one file share: the material and group switched to so far and, in a
// group's own file, the renumbering of its vertices and texture vertices.
struct TFaceWriter
{
    uint32_t Flags;
    const TZAVGroup2* Renumber = nullptr;
    const std::vector<int32_t>* TexMap = nullptr;
    int32_t PreviousMaterial = -1;
    int32_t PreviousGroup = -1;
};

// "usemtl" and "g" lines where the polygon's material or group differs from the last written.
void WriteSwitches(TZAVOutputBuffer& out, const TZAVPolyMesh& mesh, int32_t polygon, TFaceWriter& faces)
{
    const int32_t material = mesh.PolygonMaterial[polygon];
    TZAVMaterial* material_item = nullptr;
    if (material != faces.PreviousMaterial && mesh.Materials.Get(material_item, material)) {
        out.Append("usemtl ");
        out.Append(material_item->Name);
        out.Append('\n');
    }
    faces.PreviousMaterial = material;
    const int32_t group = mesh.PolygonGroup[polygon];
    TZAVGroup2* group_item = nullptr;
    if ((faces.Flags & ObjWrite_Groups) && group != faces.PreviousGroup &&
        mesh.Groups2.Get(group_item, group)) {
        std::string_view name = group_item->Name;
        out.Append("g ");
        out.Append(name.substr(0, name.find(':')));
        out.Append('\n');
    }
    faces.PreviousGroup = group;
}

// The switches and the "f" line of one polygon. False when a corner's vertex is not in the
// renumbering group.
bool WritePolygon(TZAVOutputBuffer& out, const TZAVPolyMesh& mesh, int32_t polygon, TFaceWriter& faces)
{
    // Empty slots (faces that could not be read) have no line a reader would take.
    const auto first = mesh.CornerVertex.begin() + mesh.PolygonStart[polygon];
    const auto last = mesh.CornerVertex.begin() + mesh.PolygonStart[polygon + 1];
    if (std::count_if(first, last, [](int32_t vertex) { return vertex >= 0; }) < 3)
        return true;
    WriteSwitches(out, mesh, polygon, faces);
    out.Append('f');
    for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
        int32_t vertex = mesh.CornerVertex[corner];
        int32_t tex_vertex = mesh.CornerTexVertex[corner];
        if (vertex < 0)
            continue;
        if (faces.Renumber != nullptr) {
            vertex = faces.Renumber->FindVertex(vertex);
            if (vertex < 0)
                return false;
            tex_vertex = tex_vertex >= 0 ? (*faces.TexMap)[tex_vertex] : -1;
        }
        out.Append(' ');
        out.AppendInt(vertex + 1);
        if (tex_vertex >= 0) {
            out.Append('/');
            out.AppendInt(tex_vertex + 1);
            out.Append('/');
        } else {
            out.Append("//");
        }
        out.AppendInt(vertex + 1);
    }
    out.Append('\n');
    return true;
}

void WritePolylines(TZAVOutputBuffer& out, const TZAVPolyMesh& mesh)
{
    for (int32_t line = 0; line < mesh.GetLineCount(); line++) {
        if (mesh.LineStart[line + 1] - mesh.LineStart[line] < 2)
            continue;
        out.Append('l');
        for (int32_t corner = mesh.LineStart[line]; corner < mesh.LineStart[line + 1]; corner++) {
            out.Append(' ');
            out.AppendInt(mesh.LineVertex[corner] + 1);
            if (mesh.LineTexVertex[corner] >= 0) {
                out.Append('/');
                out.AppendInt(mesh.LineTexVertex[corner] + 1);
            }
        }
        out.Append('\n');
    }
}

// Writes through the safe writer, so that the old file survives a failure; `write` fills the
// buffer and returns false (with out_error set) to give up. The writer's reason names the file
// and the cause (no space, file too large, read-only).
template <typename TWrite> bool WriteFile(const std::string& path, std::string& out_error, TWrite write)
{
    TZAVSafeFileWriter writer(path);
    if (writer.Open() == nullptr) {
        out_error = "Error creating the file " + path + ": " + writer.Error();
        return false;
    }
    TZAVOutputBuffer out(writer.File());
    if (!write(out))
        return false;
    const bool written = out.Finish();
    if (writer.Commit() && written)
        return true;
    out_error = writer.Error().empty() ? "Error writing the file " + path : writer.Error();
    return false;
}

// The group's texture vertices in the order its polygons first use them; out_map gives each
// mesh texture vertex its number in that order (-1 for those the group does not use).
std::vector<int32_t> GroupTexVertices(const TZAVPolyMesh& mesh, const TZAVGroup2& group,
                                      std::vector<int32_t>& out_map)
{
    std::vector<int32_t> order;
    out_map.assign(mesh.GetTexVertexCount(), -1);
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
        if (mesh.PolygonGroup[polygon] != group.Index)
            continue;
        for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
            const int32_t tex_vertex = mesh.CornerTexVertex[corner];
            if (tex_vertex >= 0 && out_map[tex_vertex] < 0) {
                out_map[tex_vertex] = static_cast<int32_t>(order.size());
                order.push_back(tex_vertex);
            }
        }
    }
    return order;
}

// The group's polygons, their vertices renumbered in the group's order.
bool WriteGroupPolygons(TZAVOutputBuffer& out, const TZAVPolyMesh& mesh, const TZAVGroup2& group,
                        uint32_t flags, const std::vector<int32_t>& tex_map, std::string& out_error)
{
    TFaceWriter faces{flags, &group, &tex_map};
    for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
        if (mesh.PolygonGroup[polygon] == group.Index && !WritePolygon(out, mesh, polygon, faces)) {
            out_error = "The group \"" + group.Name + "\" contains an invalid vertex index";
            return false;
        }
    }
    return true;
}

} // namespace

bool WriteOBJ(const TZAVPolyMesh& mesh, const std::string& path, uint32_t flags, std::string& out_error)
{
    const bool vertices_only = flags & ObjWrite_VerticesOnly;
    const std::string mtl_path = vertices_only ? std::string() : MtlPathFor(path);
    const bool written = WriteFile(path, out_error, [&](TZAVOutputBuffer& out) {
        WriteHeader(out, mtl_path, mesh.GetVertexCount());
        WriteVertices(out, mesh, mesh.GetVertexCount(), Itself);
        if (vertices_only)
            return true;
        WriteTexVertices(out, mesh, mesh.GetTexVertexCount(), Itself);
        TFaceWriter faces{flags};
        for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++)
            WritePolygon(out, mesh, polygon, faces);
        WritePolylines(out, mesh);
        return true;
    });
    return written && (vertices_only || WriteMTL(mesh, mtl_path, out_error));
}

bool WriteOBJGroups(const TZAVPolyMesh& mesh, const std::string& path, uint32_t flags, std::string& out_error)
{
    const bool vertices_only = flags & ObjWrite_VerticesOnly;
    const std::string mtl_path = vertices_only ? std::string() : MtlPathFor(path);
    const std::string base = WithoutExtension(path);
    std::vector<int32_t> tex_map;
    for (const TZAVGroup2* group : mesh.Groups2) {
        const std::vector<int32_t> tex_order = GroupTexVertices(mesh, *group, tex_map);
        const std::string file_path = base + "_" + CleanFileName(group->Name.c_str()) + ".OBJ";
        const bool written = WriteFile(file_path, out_error, [&](TZAVOutputBuffer& out) {
            WriteHeader(out, mtl_path, group->GetVertexCount());
            WriteVertices(out, mesh, group->GetVertexCount(), [&](int32_t i) { return group->Vertices[i]; });
            if (vertices_only)
                return true;
            WriteTexVertices(out, mesh, static_cast<int32_t>(tex_order.size()),
                             [&](int32_t i) { return tex_order[i]; });
            return WriteGroupPolygons(out, mesh, *group, flags, tex_map, out_error);
        });
        if (!written)
            return false;
    }
    return vertices_only || WriteMTL(mesh, mtl_path, out_error);
}

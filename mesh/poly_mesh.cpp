// TZAVPolyMesh: allocation, the polygon cursor, the normal entry points, quad/triangle conversion,
// welding and the binary polygon records. Prepare and the derived tables it builds are in
// poly_mesh_prepare.cpp; the normal arithmetic is in normals.cpp.
//
// [SECTION] Allocation and hand-over
// [SECTION] Polygon cursor
// [SECTION] Normals
// [SECTION] Topology changes and welding
// [SECTION] Binary polygon records
#include "mesh/poly_mesh.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <utility>

#include "core/binary_chunk.h"
#include "core/dialogs.h"
#include "core/report.h"
#include "mesh/normals.h"

namespace {

template <typename T> void TakeList(TZAVMultiList<T>& target, TZAVMultiList<T>& source)
{
    target.Clear();
    for (T element : source)
        target.Add(element);
    while (source.Count() > 0)
        source.RemoveAt(source.Count() - 1);
}

} // namespace

// [SECTION] Allocation and hand-over

TZAVPolyMesh::TZAVPolyMesh()
{
    PolygonStart.assign(1, 0);
    LineStart.assign(1, 0);
}

TZAVPolyMesh::~TZAVPolyMesh()
{
    Groups.Clear();
    Groups2.Clear();
    Materials.Clear();
}

void TZAVPolyMesh::Allocate(int32_t vertex_count, int32_t tex_vertex_count, int32_t normal_count,
                            int32_t polygon_count)
{
    if (vertex_count < 0 || tex_vertex_count < 0 || normal_count < 0 || polygon_count < 0)
        ReportError("Negative count in TZAVPolyMesh::Allocate()");
    if (PolygonCount > 0)
        ShowMessage(GlobalDialogHost, "Polygons already exist!");
    VertexCount = vertex_count;
    TexVertexCount = tex_vertex_count;
    NormalCount = normal_count;
    PolygonCount = polygon_count;
    CurrentPolygon = -1;
    Vertices.assign(3 * static_cast<size_t>(vertex_count), 0.0f);
    TexVertices.assign(2 * static_cast<size_t>(tex_vertex_count), 0.0f);
    Normals.assign(3 * static_cast<size_t>(normal_count), 0.0f);
    PolygonStart.assign(static_cast<size_t>(polygon_count) + 1, 0);
    PolygonMaterial.assign(polygon_count, -1);
    PolygonGroup.assign(polygon_count, -1);
    PolygonPart.assign(polygon_count, -1);
    CornerVertex.clear();
    CornerTexVertex.clear();
    CornerNormal.clear();
    CornerVisible.clear();
    VertexFlags.assign(vertex_count, 0);
    PolygonFlags.assign(polygon_count, 0);
    PolygonNormals.clear();
    PolygonAreas.clear();
    WeldMap.clear();
    VertexPolygonStart.clear();
    VertexPolygons.clear();
    TexVertexPolygonStart.clear();
    TexVertexPolygons.clear();
    DirtyPolygons.clear();
    DirtyVertices.clear();
}

void TZAVPolyMesh::AllocateCorners(int32_t corner_count)
{
    CornerVertex.assign(corner_count, -1);
    CornerTexVertex.assign(corner_count, -1);
    CornerNormal.assign(corner_count, -1);
    CornerVisible.assign(corner_count, 1);
}

void TZAVPolyMesh::AllocateLines(int32_t line_count, int32_t corner_count)
{
    LineStart.assign(static_cast<size_t>(line_count) + 1, 0);
    LineVertex.assign(corner_count, -1);
    LineTexVertex.assign(corner_count, -1);
}

void TZAVPolyMesh::AdoptContents(TZAVPolyMesh& source)
{
    std::swap(VertexCount, source.VertexCount);
    std::swap(TexVertexCount, source.TexVertexCount);
    std::swap(NormalCount, source.NormalCount);
    std::swap(PolygonCount, source.PolygonCount);
    for (auto member : {&TZAVPolyMesh::Vertices, &TZAVPolyMesh::TexVertices, &TZAVPolyMesh::Normals,
                        &TZAVPolyMesh::PolygonNormals, &TZAVPolyMesh::PolygonAreas})
        (this->*member).swap(source.*member);
    for (auto member :
         {&TZAVPolyMesh::PolygonStart, &TZAVPolyMesh::CornerVertex, &TZAVPolyMesh::CornerTexVertex,
          &TZAVPolyMesh::CornerNormal, &TZAVPolyMesh::LineStart, &TZAVPolyMesh::LineVertex,
          &TZAVPolyMesh::LineTexVertex, &TZAVPolyMesh::WeldMap, &TZAVPolyMesh::VertexPolygonStart,
          &TZAVPolyMesh::VertexPolygons, &TZAVPolyMesh::TexVertexPolygonStart,
          &TZAVPolyMesh::TexVertexPolygons, &TZAVPolyMesh::DirtyPolygons, &TZAVPolyMesh::DirtyVertices,
          &TZAVPolyMesh::VisiblePolygons, &TZAVPolyMesh::VisibleVertices})
        (this->*member).swap(source.*member);
    PolygonMaterial.swap(source.PolygonMaterial);
    PolygonGroup.swap(source.PolygonGroup);
    PolygonPart.swap(source.PolygonPart);
    CornerVisible.swap(source.CornerVisible);
    VertexFlags.swap(source.VertexFlags);
    PolygonFlags.swap(source.PolygonFlags);
    std::swap(Welded, source.Welded);
    MtlLibName.swap(source.MtlLibName);
    TakeList(Groups, source.Groups);
    TakeList(Groups2, source.Groups2);
    TakeList(Materials, source.Materials);
    CurrentPolygon = -1;
    source.CurrentPolygon = -1;
}

TZAVMaterial* TZAVPolyMesh::CreateMaterial() const
{
    auto* material = new TZAVMaterial;
    material->AddDefaultChannels();
    return material;
}

TZAVGroup2* TZAVPolyMesh::CreateGroup2() const
{
    return new TZAVGroup2;
}

int64_t TZAVPolyMesh::GetArrayBytes() const
{
    auto bytes = [](const auto& array) { return static_cast<int64_t>(array.capacity() * sizeof(array[0])); };
    return bytes(Vertices) + bytes(TexVertices) + bytes(Normals) + bytes(PolygonNormals) +
           bytes(PolygonAreas) + bytes(PolygonStart) + bytes(PolygonMaterial) + bytes(PolygonGroup) +
           bytes(PolygonPart) + bytes(CornerVertex) + bytes(CornerTexVertex) + bytes(CornerNormal) +
           bytes(CornerVisible) + bytes(LineStart) + bytes(LineVertex) + bytes(LineTexVertex) +
           bytes(VertexFlags) + bytes(PolygonFlags) + bytes(WeldMap) + bytes(VertexPolygonStart) +
           bytes(VertexPolygons) + bytes(TexVertexPolygonStart) + bytes(TexVertexPolygons) +
           bytes(DirtyPolygons) + bytes(DirtyVertices) + bytes(VisiblePolygons) + bytes(VisibleVertices);
}

std::span<const int32_t> TZAVPolyMesh::GetVertexPolygons(int32_t vertex) const
{
    if (VertexPolygonStart.empty())
        return {};
    return {VertexPolygons.data() + VertexPolygonStart[vertex],
            static_cast<size_t>(VertexPolygonStart[vertex + 1] - VertexPolygonStart[vertex])};
}

std::span<const int32_t> TZAVPolyMesh::GetTexVertexPolygons(int32_t tex_vertex) const
{
    if (TexVertexPolygonStart.empty())
        return {};
    return {TexVertexPolygons.data() + TexVertexPolygonStart[tex_vertex],
            static_cast<size_t>(TexVertexPolygonStart[tex_vertex + 1] - TexVertexPolygonStart[tex_vertex])};
}

void TZAVPolyMesh::GetVertex(int32_t vertex, float out_position[3]) const
{
    const float* position = &Vertices[3 * static_cast<size_t>(vertex)];
    out_position[0] = position[0];
    out_position[1] = position[1];
    out_position[2] = position[2];
}

// [SECTION] Polygon cursor

void TZAVPolyMesh::SelectPolygon(int32_t polygon)
{
    if (polygon < 0 || polygon >= PolygonCount)
        ReportError("Polygon %d out of range in TZAVPolyMesh::SelectPolygon()", polygon);
    CurrentPolygon = polygon;
}

int32_t TZAVPolyMesh::GetCornerCount() const
{
    assert(CurrentPolygon >= 0);
    return GetPolygonCornerCount(CurrentPolygon);
}

int32_t TZAVPolyMesh::GetCornerVertex(int32_t corner) const
{
    assert(CurrentPolygon >= 0 && corner >= 0 && corner < GetCornerCount());
    return WeldedVertex(CornerVertex[PolygonStart[CurrentPolygon] + corner]);
}

int32_t TZAVPolyMesh::GetCornerTexVertex(int32_t corner) const
{
    assert(CurrentPolygon >= 0 && corner >= 0 && corner < GetCornerCount());
    return CornerTexVertex[PolygonStart[CurrentPolygon] + corner];
}

void TZAVPolyMesh::SetCornerTexVertex(int32_t corner, int32_t tex_vertex)
{
    assert(CurrentPolygon >= 0 && corner >= 0 && corner < GetCornerCount());
    CornerTexVertex[PolygonStart[CurrentPolygon] + corner] = tex_vertex;
}

int32_t TZAVPolyMesh::GetCornerNormal(int32_t corner) const
{
    assert(CurrentPolygon >= 0 && corner >= 0 && corner < GetCornerCount());
    return CornerNormal[PolygonStart[CurrentPolygon] + corner];
}

void TZAVPolyMesh::SetCornerNormal(int32_t corner, int32_t normal)
{
    assert(CurrentPolygon >= 0 && corner >= 0 && corner < GetCornerCount());
    CornerNormal[PolygonStart[CurrentPolygon] + corner] = normal;
}

int32_t TZAVPolyMesh::GetMaterial() const
{
    assert(CurrentPolygon >= 0);
    return PolygonMaterial[CurrentPolygon];
}

void TZAVPolyMesh::SetMaterial(int32_t material)
{
    assert(CurrentPolygon >= 0);
    PolygonMaterial[CurrentPolygon] = static_cast<int16_t>(material);
}

int32_t TZAVPolyMesh::GetGroup() const
{
    assert(CurrentPolygon >= 0);
    return PolygonGroup[CurrentPolygon];
}

// [SECTION] Normals

TNormalInput TZAVPolyMesh::NormalInput(std::span<const float> positions) const
{
    TNormalInput input;
    input.Positions = positions;
    input.PolygonStart = PolygonStart;
    input.CornerVertex = CornerVertex;
    if (Welded && !IgnoreWeld)
        input.WeldMap = WeldMap;
    input.VertexPolygonStart = VertexPolygonStart;
    input.VertexPolygons = VertexPolygons;
    return input;
}

TNormalOutput TZAVPolyMesh::NormalOutput()
{
    TNormalOutput output;
    output.PolygonNormals = PolygonNormals;
    output.PolygonAreas = PolygonAreas;
    output.Normals = Normals;
    return output;
}

void TZAVPolyMesh::ComputePolygonNormal(int32_t polygon)
{
    ComputeTablePolygonNormal(NormalInput(Vertices), NormalOutput(), polygon);
}

void TZAVPolyMesh::ComputePolygonNormals(TZAVNormalScope scope)
{
    if (PolygonNormals.size() != 3 * static_cast<size_t>(PolygonCount) ||
        PolygonAreas.size() != static_cast<size_t>(PolygonCount)) {
        PolygonNormals.assign(3 * static_cast<size_t>(PolygonCount), 0.0f);
        PolygonAreas.assign(PolygonCount, 0.0f);
        scope = TZAVNormalScope::All;
    }
    const TNormalInput input = NormalInput(Vertices);
    const TNormalOutput output = NormalOutput();
    if (scope == TZAVNormalScope::DirtyOnly && !DirtyPolygons.empty()) {
        for (int32_t polygon : DirtyPolygons)
            ComputeTablePolygonNormal(input, output, polygon);
        return;
    }
    ComputeTablePolygonNormals(input, output, 0, PolygonCount);
}

void TZAVPolyMesh::ComputeVertexNormal(int32_t vertex)
{
    ComputeTableVertexNormal(NormalInput(Vertices), NormalOutput(), vertex);
}

void TZAVPolyMesh::ComputeVertexNormals(TZAVNormalScope scope)
{
    if (Normals.size() != 3 * static_cast<size_t>(VertexCount) || NormalCount != VertexCount) {
        MakeNormalsFollowVertices();
        scope = TZAVNormalScope::All;
    }
    const TNormalInput input = NormalInput(Vertices);
    const TNormalOutput output = NormalOutput();
    if (scope == TZAVNormalScope::DirtyOnly && !DirtyVertices.empty()) {
        for (int32_t vertex : DirtyVertices)
            ComputeTableVertexNormal(input, output, vertex);
        return;
    }
    ComputeTableVertexNormals(input, output, 0, VertexCount);
}

void TZAVPolyMesh::ComputeNormals(TZAVNormalScope scope)
{
    ComputePolygonNormals(scope);
    ComputeVertexNormals(TZAVNormalScope::All);
}

void TZAVPolyMesh::MakeNormalsFollowVertices()
{
    Normals.assign(3 * static_cast<size_t>(VertexCount), 0.0f);
    NormalCount = VertexCount;
    for (TZAVGroup* group : Groups)
        group->NormalRange = group->VertexRange;
    for (size_t corner = 0; corner < CornerVertex.size(); corner++)
        CornerNormal[corner] = WeldedVertex(CornerVertex[corner]);
}

// [SECTION] Topology changes and welding

void TZAVPolyMesh::MakeQuadsAndTrisOnly()
{
    int32_t expected_polygons = 0;
    int32_t new_corner_total = 0;
    bool has_large = false;
    for (int32_t polygon = 0; polygon < PolygonCount; polygon++) {
        int32_t count = GetPolygonCornerCount(polygon);
        if (count < 5) {
            expected_polygons++;
            new_corner_total += count;
            continue;
        }
        has_large = true;
        expected_polygons += (count - 2) / 2 + count % 2;
        new_corner_total += 4 * ((count - 2) / 2) + 3 * (count % 2);
    }
    if (!has_large)
        return;

    std::vector<int32_t> start(static_cast<size_t>(expected_polygons) + 1, 0);
    std::vector<int16_t> material(expected_polygons), group(expected_polygons), part(expected_polygons);
    std::vector<int32_t> vertex(new_corner_total), tex_vertex(new_corner_total), normal(new_corner_total);
    std::vector<uint8_t> visible(new_corner_total);
    int32_t produced = 0;
    int32_t corner_cursor = 0;
    auto emit = [&](int32_t polygon, std::initializer_list<int32_t> corners) {
        material[produced] = PolygonMaterial[polygon];
        group[produced] = PolygonGroup[polygon];
        part[produced] = PolygonPart[polygon];
        for (int32_t corner : corners) {
            int32_t from = PolygonStart[polygon] + corner;
            vertex[corner_cursor] = CornerVertex[from];
            tex_vertex[corner_cursor] = CornerTexVertex[from];
            normal[corner_cursor] = CornerNormal[from];
            visible[corner_cursor] = CornerVisible[from];
            corner_cursor++;
        }
        start[++produced] = corner_cursor;
    };
    for (int32_t polygon = 0; polygon < PolygonCount && produced < expected_polygons; polygon++) {
        int32_t count = GetPolygonCornerCount(polygon);
        if (count < 5) {
            material[produced] = PolygonMaterial[polygon];
            group[produced] = PolygonGroup[polygon];
            part[produced] = PolygonPart[polygon];
            int32_t from = PolygonStart[polygon];
            std::copy_n(CornerVertex.begin() + from, count, vertex.begin() + corner_cursor);
            std::copy_n(CornerTexVertex.begin() + from, count, tex_vertex.begin() + corner_cursor);
            std::copy_n(CornerNormal.begin() + from, count, normal.begin() + corner_cursor);
            std::copy_n(CornerVisible.begin() + from, count, visible.begin() + corner_cursor);
            corner_cursor += count;
            start[++produced] = corner_cursor;
            continue;
        }
        for (int32_t k = 0; k < (count - 2) / 2; k++)
            emit(polygon, {0, 2 * k + 1, 2 * k + 2, 2 * k + 3});
        if (count % 2 == 1)
            emit(polygon, {0, count - 2, count - 1});
    }
    if (produced != expected_polygons || corner_cursor != new_corner_total)
        ReportError("(inp != npcount) in MakeQuadsAndTrisOnly()");

    PolygonStart.swap(start);
    PolygonMaterial.swap(material);
    PolygonGroup.swap(group);
    PolygonPart.swap(part);
    CornerVertex.swap(vertex);
    CornerTexVertex.swap(tex_vertex);
    CornerNormal.swap(normal);
    CornerVisible.swap(visible);
    PolygonCount = expected_polygons;
    CurrentPolygon = -1;
    Prepare();
}

namespace {

// The vertices by their key, equal keys by vertex: a stable radix sort of the keys' bits, which
// order as the keys do for the distances (never negative) that the weld sweeps by.
std::vector<int32_t> SweepOrder(const std::vector<float>& keys)
{
    constexpr int32_t DigitBits = 11;
    constexpr uint32_t DigitMask = (1u << DigitBits) - 1;
    const size_t count = keys.size();
    std::vector<std::pair<uint32_t, int32_t>> items(count), sorted(count);
    for (size_t v = 0; v < count; v++)
        items[v] = {std::bit_cast<uint32_t>(keys[v]), int32_t(v)};
    for (int32_t shift = 0; shift < 32; shift += DigitBits) {
        std::vector<size_t> start((size_t(1) << DigitBits) + 1, 0);
        for (const auto& item : items)
            start[((item.first >> shift) & DigitMask) + 1]++;
        for (size_t digit = 1; digit < start.size(); digit++)
            start[digit] += start[digit - 1];
        for (const auto& item : items)
            sorted[start[(item.first >> shift) & DigitMask]++] = item;
        items.swap(sorted);
    }
    std::vector<int32_t> order(count);
    for (size_t i = 0; i < count; i++)
        order[i] = items[i].second;
    return order;
}

} // namespace

void TZAVPolyMesh::WeldByThreshold(float threshold)
{
    BuildVertexAdjacency();
    if (WeldMap.size() != static_cast<size_t>(VertexCount))
        WeldMap.assign(VertexCount, -1);
    float extent = 0;
    for (int32_t axis = 0; axis < 3; axis++)
        extent = std::max(extent, BoundingMax[axis] - BoundingMin[axis]);
    const float distance = threshold * extent;

    std::vector<float> keys(VertexCount);
    for (int32_t v = 0; v < VertexCount; v++) {
        const float* p = &Vertices[3 * static_cast<size_t>(v)];
        float d[3] = {p[0] - BoundingMin[0], p[1] - BoundingMin[1], p[2] - BoundingMin[2]};
        keys[v] = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    }
    const std::vector<int32_t> order = SweepOrder(keys);

    std::vector<uint8_t> done(VertexCount, 0);
    for (int32_t i = 0; i < VertexCount; i++) {
        const int32_t v = order[i];
        if (done[v])
            continue;
        const float* pv = &Vertices[3 * static_cast<size_t>(v)];
        for (int32_t j = i + 1; j < VertexCount && std::fabs(keys[order[j]] - keys[v]) < distance; j++) {
            const int32_t w = order[j];
            const float* pw = &Vertices[3 * static_cast<size_t>(w)];
            float d[3] = {pw[0] - pv[0], pw[1] - pv[1], pw[2] - pv[2]};
            if (std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]) >= distance)
                continue;
            bool welded = false;
            for (int32_t polygon : GetVertexPolygons(w)) {
                auto first = CornerVertex.begin() + PolygonStart[polygon];
                auto last = CornerVertex.begin() + PolygonStart[polygon + 1];
                // Welding would fold a polygon that already holds v onto itself.
                if (std::find(first, last, v) != last || std::find(first, last, w) == last)
                    continue;
                WeldMap[w] = v;
                welded = true;
            }
            if (welded)
                done[w] = 1;
        }
    }
    Welded = 1;
}

void TZAVPolyMesh::Unweld()
{
    WeldMap.assign(VertexCount, -1);
    Welded = 0;
    BuildVertexAdjacency();
    BuildTexVertexAdjacency();
    BuildVisiblePolygons();
}

// [SECTION] Binary polygon records

namespace {

constexpr size_t PolygonHeaderSize = 6;
constexpr size_t BinaryCornerSize = 13;

void PutInt16(uint8_t* out, int16_t value)
{
    out[0] = static_cast<uint8_t>(value & 0xFF);
    out[1] = static_cast<uint8_t>((static_cast<uint16_t>(value) >> 8) & 0xFF);
}

int16_t GetInt16(const uint8_t* bytes)
{
    return static_cast<int16_t>(static_cast<uint16_t>(bytes[0] | (bytes[1] << 8)));
}

} // namespace

bool TZAVPolyMesh::SavePolygonsToStream(FILE* file) const
{
    std::vector<uint8_t> record;
    for (int32_t polygon = 0; polygon < PolygonCount; polygon++) {
        const int32_t start = PolygonStart[polygon];
        const int32_t count = GetPolygonCornerCount(polygon);
        record.resize(PolygonHeaderSize + BinaryCornerSize * count);
        PutInt16(&record[0], PolygonMaterial[polygon]);
        PutInt16(&record[2], PolygonGroup[polygon]);
        PutInt16(&record[4], static_cast<int16_t>(count));
        uint8_t* out = &record[PolygonHeaderSize];
        for (int32_t k = 0; k < count; k++, out += BinaryCornerSize) {
            EncodeInt32LE(out, CornerVertex[start + k]);
            EncodeInt32LE(out + 4, CornerTexVertex[start + k]);
            EncodeInt32LE(out + 8, CornerNormal[start + k]);
            out[12] = CornerVisible[start + k];
        }
        if (!WriteBytes(file, record.data(), record.size()))
            return false;
    }
    return true;
}

bool TZAVPolyMesh::LoadPolygonsFromStream(FILE* file, const std::string& file_name, std::string& out_error)
{
    std::vector<int32_t> start(static_cast<size_t>(PolygonCount) + 1, 0);
    std::vector<int16_t> material(PolygonCount), group(PolygonCount);
    std::vector<int32_t> vertex, tex_vertex, normal;
    std::vector<uint8_t> visible;
    std::vector<uint8_t> record(BinaryCornerSize * 0x8000);
    auto fail = [&](int32_t polygon, const char* what) {
        out_error = FormatText("Invalid polygon %d in %s: %s", polygon, file_name.c_str(), what);
        return false;
    };
    for (int32_t polygon = 0; polygon < PolygonCount; polygon++) {
        if (!ReadBytes(file, record.data(), PolygonHeaderSize))
            return fail(polygon, "the file ends early");
        material[polygon] = GetInt16(&record[0]);
        group[polygon] = GetInt16(&record[2]);
        const int16_t count = GetInt16(&record[4]);
        // -1 is "none" for both.
        if (material[polygon] < -1 || material[polygon] >= Materials.Count())
            return fail(polygon, "material index out of range");
        if (group[polygon] < -1 || group[polygon] >= Groups2.Count())
            return fail(polygon, "polygon group index out of range");
        if (count < 0)
            return fail(polygon, "negative corner count");
        if (!ReadBytes(file, record.data(), BinaryCornerSize * count))
            return fail(polygon, "the file ends early");
        for (int32_t k = 0; k < count; k++) {
            const uint8_t* in = &record[BinaryCornerSize * k];
            int32_t corner_vertex = DecodeInt32LE(in);
            int32_t corner_tex_vertex = DecodeInt32LE(in + 4);
            int32_t corner_normal = DecodeInt32LE(in + 8);
            if (corner_vertex < 0 || corner_vertex >= VertexCount)
                return fail(polygon, "vertex index out of range");
            if (corner_tex_vertex < -1 || corner_tex_vertex >= TexVertexCount)
                return fail(polygon, "texture vertex index out of range");
            if (corner_normal < -1 || corner_normal >= std::max(NormalCount, VertexCount))
                return fail(polygon, "normal index out of range");
            vertex.push_back(corner_vertex);
            tex_vertex.push_back(corner_tex_vertex);
            normal.push_back(corner_normal);
            visible.push_back(in[12]);
        }
        start[polygon + 1] = static_cast<int32_t>(vertex.size());
    }
    PolygonStart.swap(start);
    PolygonMaterial.swap(material);
    PolygonGroup.swap(group);
    PolygonPart.assign(PolygonCount, -1);
    CornerVertex.swap(vertex);
    CornerTexVertex.swap(tex_vertex);
    CornerNormal.swap(normal);
    CornerVisible.swap(visible);
    CurrentPolygon = -1;
    return true;
}

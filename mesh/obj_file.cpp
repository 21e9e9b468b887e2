// Wavefront OBJ reading and writing.
//
// [SECTION] Line reading
// [SECTION] Number and corner parsing
// [SECTION] ReadOBJ
// [SECTION] Writing
#include "mesh/obj_file.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <climits>
#include <cstring>
#include <memory>
#include <string_view>

#include <strings.h>
#include <sys/stat.h>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/dialogs.h"
#include "core/hash_table.h"
#include "core/paths.h"
#include "core/report.h"
#include "core/safe_file.h"
#include "core/status.h"
#include "core/text_block.h"
#include "mesh/mtl_file.h"

namespace {

// [SECTION] Line reading

constexpr size_t ChunkSize = size_t{1} << 20;
// Bytes past the data of the line buffer; they belong to no line.
constexpr size_t LinePadding = 16;
constexpr int32_t NameTableBuckets = 100;

struct TFileCloser
{
    void operator()(FILE* file) const { std::fclose(file); }
};
using TFileHandle = std::unique_ptr<FILE, TFileCloser>;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Hands out the lines of a file read in large chunks. A line longer than the buffer grows it, so
// lines of any length arrive whole. Lines end at LF (CR LF) or, in files without LF, at CR.
// Every line is followed by a separator byte (never a digit) and at least LinePadding readable
// bytes, so that parsers may stop at the first non-digit and load whole vectors.
class TChunkedLineReader
{
public:
    explicit TChunkedLineReader(FILE* file) : File(file), Buffer(BufferSizeFor(file)) {}

    // A line whose last byte is "\\" goes on in the next one. LineNumber is that of the line's
    // first part.
    bool NextLine(std::string_view& out_line)
    {
        // Most lines are whole in the buffer and not continued.
        char* start = Buffer.data() + Begin;
        const char* found = FindSeparator(start, Buffer.data() + End);
        if (found != nullptr) [[likely]] {
            const size_t length = static_cast<size_t>(found - start);
            const size_t content = length - (length > 0 && start[length - 1] == '\r');
            if (content == 0 || start[content - 1] != '\\') [[likely]] {
                Begin += length + 1;
                LineNumber = ++PhysicalLines;
                out_line = std::string_view(start, content);
                return true;
            }
        }
        return NextLineSlowly(out_line);
    }

    void Rewind()
    {
        std::rewind(File);
        Begin = End = 0;
        AtEnd = false;
        LineNumber = PhysicalLines = 0;
    }

    bool Failed() const { return ReadFailed; }

    int64_t LineNumber = 0;

private:
    // A chunk, or less for a small file, so that loading one allocates no more than it holds.
    static size_t BufferSizeFor(FILE* file)
    {
        struct stat status;
        if (fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode) && status.st_size >= 0 &&
            static_cast<uint64_t>(status.st_size) < ChunkSize)
            return static_cast<size_t>(status.st_size) + 1 + LinePadding;
        return ChunkSize + LinePadding;
    }

    // Refills the buffer as needed, joins continued lines (the joint becomes blanks in place) and
    // ends the last line at the end of the file.
    [[gnu::noinline]] bool NextLineSlowly(std::string_view& out_line)
    {
        size_t scan = Begin;
        LineNumber = PhysicalLines + 1;
        for (;;) {
            char* start = Buffer.data() + Begin;
            const char* found = FindSeparator(Buffer.data() + scan, Buffer.data() + End);
            if (found == nullptr && AtEnd && Begin < End)
                found = Buffer.data() + End;
            if (found != nullptr) {
                const size_t length = static_cast<size_t>(found - start);
                const size_t content = length - (length > 0 && start[length - 1] == '\r');
                PhysicalLines++;
                if (content > 0 && start[content - 1] == '\\' && JoinsNextLine(start, content)) {
                    std::fill(start + content - 1, start + length, ' ');
                    if (found < Buffer.data() + End) {
                        start[length] = ' ';
                        scan = Begin + length + 1;
                        continue;
                    }
                }
                Begin = std::min(End, Begin + length + 1);
                out_line = std::string_view(start, content);
                return true;
            }
            if (AtEnd)
                return false;
            const size_t scanned = scan - Begin;
            Refill();
            scan = Begin + scanned;
        }
    }

    // Comments keep a trailing "\\": it ends many a Windows path.
    static bool JoinsNextLine(const char* line, size_t length)
    {
        size_t first = 0;
        while (first < length && IsBlank(line[first]))
            first++;
        return first < length && line[first] != '#';
    }

    void Refill()
    {
        std::memmove(Buffer.data(), Buffer.data() + Begin, End - Begin);
        End -= Begin;
        Begin = 0;
        if (End == Capacity())
            Buffer.resize(Capacity() * 2 + LinePadding);
        size_t read = std::fread(Buffer.data() + End, 1, Capacity() - End, File);
        if (!SeparatorKnown)
            DetectSeparator(End, End + read);
        End += read;
        if (read == 0) {
            AtEnd = true;
            ReadFailed = std::ferror(File) != 0;
            // The last line may lack its separator; it gets one in the padding.
            Buffer[End] = '\n';
        }
    }

    size_t Capacity() const { return Buffer.size() - LinePadding; }

    // Most lines are short: an inline search beats a call to memchr. Loads may reach into the padding.
    const char* FindSeparator(const char* from, const char* end) const
    {
#ifdef __SSE2__
        const __m128i separator = _mm_set1_epi8(Separator);
        for (const char* block = from; block < end; block += 16) {
            __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
            uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, separator)));
            if (mask != 0) {
                const char* found = block + std::countr_zero(mask);
                return found < end ? found : nullptr;
            }
        }
        return nullptr;
#else
        return static_cast<const char*>(std::memchr(from, Separator, end - from));
#endif
    }

    void DetectSeparator(size_t from, size_t to)
    {
        for (size_t i = from; i < to; i++) {
            if (Buffer[i] == '\n') {
                SeparatorKnown = true;
                return;
            }
            if (Buffer[i] == '\r' && i + 1 < to) {
                Separator = Buffer[i + 1] == '\n' ? '\n' : '\r';
                SeparatorKnown = true;
                return;
            }
        }
    }

    FILE* File;
    std::vector<char> Buffer;
    size_t Begin = 0;
    size_t End = 0;
    int64_t PhysicalLines = 0;
    bool AtEnd = false;
    bool ReadFailed = false;
    bool SeparatorKnown = false;
    char Separator = '\n';
};

enum class ObjLine : int32_t
{
    Empty,
    Other,
    Comment,
    Vertex,
    Normal,
    TexVertex,
    Face,
    Polyline,
    Group,
    UseMaterial,
    MaterialLibrary,
};

// Splits off the keyword; out_rest is the text after it, without leading blanks (and trimmed at
// the end for the kinds whose rest is a name).
ObjLine ClassifyOtherLine(std::string_view line, std::string_view& out_rest);

inline ObjLine ClassifyLine(std::string_view line, std::string_view& out_rest)
{
    // The bulk of a file: "v ", "vt ", "vn " and "f " at the start of the line.
    if (line.size() >= 3 && line[1] == ' ' && (line[0] == 'v' || line[0] == 'f')) {
        out_rest = line.substr(2);
        return line[0] == 'v' ? ObjLine::Vertex : ObjLine::Face;
    }
    if (line.size() >= 4 && line[0] == 'v' && line[2] == ' ' && (line[1] == 't' || line[1] == 'n')) {
        out_rest = line.substr(3);
        return line[1] == 't' ? ObjLine::TexVertex : ObjLine::Normal;
    }
    return ClassifyOtherLine(line, out_rest);
}

ObjLine ClassifyOtherLine(std::string_view line, std::string_view& out_rest)
{
    size_t begin = 0;
    while (begin < line.size() && IsBlank(line[begin]))
        begin++;
    line.remove_prefix(begin);
    if (line.empty())
        return ObjLine::Empty;
    if (line[0] == '#') {
        out_rest = line;
        return ObjLine::Comment;
    }
    if (line.starts_with("mtllib")) {
        out_rest = TrimText(line.substr(6));
        return ObjLine::MaterialLibrary;
    }
    size_t keyword_end = 0;
    while (keyword_end < line.size() && !IsBlank(line[keyword_end]))
        keyword_end++;
    std::string_view keyword = line.substr(0, keyword_end);
    out_rest = line.substr(keyword_end);
    while (!out_rest.empty() && IsBlank(out_rest.front()))
        out_rest.remove_prefix(1);
    // "v" and "vn" match in any case, every other keyword exactly.
    if (keyword.size() == 1) {
        switch (keyword[0]) {
        case 'v':
        case 'V':
            return ObjLine::Vertex;
        case 'f':
            return ObjLine::Face;
        case 'l':
            return ObjLine::Polyline;
        case 'g':
            out_rest = TrimText(out_rest);
            return ObjLine::Group;
        default:
            return ObjLine::Other;
        }
    }
    if (keyword.size() == 2) {
        if ((keyword[0] | 0x20) == 'v' && (keyword[1] | 0x20) == 'n')
            return ObjLine::Normal;
        if (keyword == "vt")
            return ObjLine::TexVertex;
        if (keyword == "fo")
            return ObjLine::Face;
        return ObjLine::Other;
    }
    if (keyword == "usemtl") {
        out_rest = TrimText(out_rest);
        return ObjLine::UseMaterial;
    }
    return ObjLine::Other;
}

// A token starts at each non-blank whose predecessor is blank (or the start).
int32_t CountTokens(std::string_view rest)
{
    const char* text = rest.data();
    const size_t size = rest.size();
    int64_t tokens = 0;
#ifdef __SSE2__
    // Sixteen bytes at a time, the last load reaching into the line padding; its bytes past the
    // line count as blanks. Token starts are summed per lane by a sum of absolute differences.
    const __m128i space = _mm_set1_epi8(' ');
    const __m128i tab = _mm_set1_epi8('\t');
    const __m128i one = _mm_set1_epi8(1);
    const __m128i lanes = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    __m128i previous_blank = _mm_set1_epi8(-1);
    __m128i sums = _mm_setzero_si128();
    for (size_t i = 0; i < size; i += 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i));
        __m128i blank = _mm_or_si128(_mm_cmpeq_epi8(bytes, space), _mm_cmpeq_epi8(bytes, tab));
        if (size - i < 16)
            blank =
                _mm_or_si128(blank, _mm_cmpgt_epi8(lanes, _mm_set1_epi8(static_cast<char>(size - i - 1))));
        __m128i blank_before = _mm_or_si128(_mm_slli_si128(blank, 1), _mm_srli_si128(previous_blank, 15));
        __m128i starts = _mm_and_si128(_mm_andnot_si128(blank, blank_before), one);
        sums = _mm_add_epi64(sums, _mm_sad_epu8(starts, _mm_setzero_si128()));
        previous_blank = blank;
    }
    tokens = _mm_cvtsi128_si64(sums) + _mm_cvtsi128_si64(_mm_unpackhi_epi64(sums, sums));
#else
    bool previous_blank = true;
    for (size_t i = 0; i < size; i++) {
        bool blank = IsBlank(text[i]);
        tokens += previous_blank && !blank;
        previous_blank = blank;
    }
#endif
    return static_cast<int32_t>(std::min<int64_t>(tokens, TZAVPolyMesh::MaxCornerCount));
}

// [SECTION] Number and corner parsing

// Reads a run of digits, moving the cursor past it; the count of digits. The value wraps when the
// run is long, so callers bound the count. No end check: a line is followed by a non-digit.
inline int32_t ReadDigits(const char*& cursor, uint64_t& out_value)
{
    const auto* scan = reinterpret_cast<const unsigned char*>(cursor);
    uint64_t value = 0;
    for (uint64_t digit; (digit = *scan - uint64_t{'0'}) < 10; scan++)
        value = value * 10 + digit;
    out_value = value;
    const ptrdiff_t count = reinterpret_cast<const char*>(scan) - cursor;
    cursor = reinterpret_cast<const char*>(scan);
    return static_cast<int32_t>(std::min<ptrdiff_t>(count, INT32_MAX));
}

constexpr uint64_t PowersOfTen[] = {1,      10,      100,      1000,      10000,
                                    100000, 1000000, 10000000, 100000000, 1000000000};
// 10^-k rounded to double.
constexpr double InversePowersOfTen[] = {1e0, 1e-1, 1e-2, 1e-3, 1e-4, 1e-5, 1e-6, 1e-7, 1e-8, 1e-9};
// Nine digits cannot overflow the mantissa's 64 bits whatever their split.
constexpr int32_t MaxFastDigits = 9;

// Reads blanks then one number, as "%f" does; null when there is no number. Plain decimals of at
// most nine digits take a fast path: mantissa × 10^-k in double lies within two units of the last
// place of the exact quotient, so unless it falls near the midpoint between two floats it rounds
// to the float that from_chars gives. Near a midpoint, and for every other form, from_chars reads.
inline const char* ParseFloat(const char* cursor, const char* end, float& out_value)
{
    while (cursor < end && IsBlank(*cursor))
        cursor++;
    if (cursor < end && *cursor == '+')
        cursor++;
    const char* scan = cursor;
    const bool negative = scan < end && *scan == '-';
    scan += negative;
    uint64_t whole = 0;
    uint64_t fraction = 0;
    const int32_t whole_digits = ReadDigits(scan, whole);
    int32_t fraction_digits = 0;
    if (scan < end && *scan == '.') {
        scan++;
        fraction_digits = ReadDigits(scan, fraction);
    }
    const int64_t digits = int64_t{whole_digits} + fraction_digits;
    const bool ends_plainly = scan == end || (*scan != 'e' && *scan != 'E' && *scan != '.');
    if (digits > 0 && digits <= MaxFastDigits && ends_plainly) {
        const uint64_t mantissa = whole * PowersOfTen[fraction_digits] + fraction;
        const double quotient = static_cast<double>(mantissa) * InversePowersOfTen[fraction_digits];
        // The 29 bits that the float drops: the midpoint is 1 << 28.
        const uint64_t dropped = std::bit_cast<uint64_t>(quotient) & ((uint64_t{1} << 29) - 1);
        if (dropped - ((uint64_t{1} << 28) - 8) > 16) {
            const float value = static_cast<float>(quotient);
            out_value = negative ? -value : value;
            return scan;
        }
    }
    auto [next, error] = std::from_chars(cursor, end, out_value);
    return error == std::errc() ? next : nullptr;
}

// Fills `count` floats; those after the first that fails keep their value. False on a failure.
bool ParseFloats(std::string_view rest, float* out_values, int32_t count)
{
    const char* cursor = rest.data();
    const char* end = rest.data() + rest.size();
    for (int32_t i = 0; i < count; i++) {
        cursor = ParseFloat(cursor, end, out_values[i]);
        if (cursor == nullptr)
            return false;
    }
    return true;
}

constexpr int32_t MaxIndexDigits = 12;

// A decimal integer with an optional sign; null when there are no digits, or more of them than
// any index needs (which also keeps the value from overflowing).
inline const char* ParseIndex(const char* cursor, const char* end, int64_t& out_value)
{
    bool negative = false;
    if (cursor < end && (*cursor == '-' || *cursor == '+'))
        negative = *cursor++ == '-';
    uint64_t value = 0;
    const int32_t digits = ReadDigits(cursor, value);
    if (digits == 0 || digits > MaxIndexDigits)
        return nullptr;
    out_value = negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
    return cursor;
}

// One corner token in the forms v, v/t, v//n and v/t/n; t and n may be left empty ("7/3/", "7//",
// "7/"). 0 stands for a missing index. Null when the token is not wholly one of them.
inline const char* ParseCornerToken(const char* cursor, const char* end, int64_t out_indices[3])
{
    out_indices[0] = out_indices[1] = out_indices[2] = 0;
    cursor = ParseIndex(cursor, end, out_indices[0]);
    for (int32_t field = 1; field < 3 && cursor != nullptr && cursor < end && *cursor == '/'; field++) {
        cursor++;
        if (cursor < end && *cursor != '/' && !IsBlank(*cursor))
            cursor = ParseIndex(cursor, end, out_indices[field]);
    }
    return cursor != nullptr && (cursor == end || IsBlank(*cursor)) ? cursor : nullptr;
}

// OBJ indices are 1-based; negative ones count back from the last element read so far.
// -1 when the index names no element.
int32_t ResolveIndex(int64_t index, int64_t read_so_far, int64_t total)
{
    if (index > 0 && index <= total)
        return static_cast<int32_t>(index - 1);
    if (index < 0 && read_so_far + index >= 0)
        return static_cast<int32_t>(read_so_far + index);
    return -1;
}

// [SECTION] ReadOBJ

struct TObjCounts
{
    int64_t Vertices = 0;
    int64_t TexVertices = 0;
    int64_t Normals = 0;
    int64_t Faces = 0;
    int64_t Corners = 0;
    int64_t Lines = 0;
    int64_t LineCorners = 0;
};

// Lines that lost something: how many, and the first of them.
struct TLossTally
{
    int64_t Count = 0;
    int64_t First = 0;

    void Note(int64_t line)
    {
        if (Count++ == 0)
            First = line;
    }
};

std::string BaseName(const std::string& path)
{
    std::string name = NameOf(path);
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return name;
    return name.substr(0, dot);
}

enum class CornerRead : int32_t
{
    Read,
    // A token is malformed or names no vertex: the face keeps its slot, empty.
    Unreadable,
    // More corners than the first pass counted.
    FileChanged,
};

// The second pass: fills a mesh sized by the first.
class TObjFiller
{
public:
    TObjFiller(TZAVPolyMesh& staging, const TZAVPolyMesh& target, const TObjCounts& counts, uint32_t flags)
        : Mesh(staging), Target(target), Counts(counts), Flags(flags), GroupTable(NameTableBuckets),
          MaterialTable(NameTableBuckets)
    {
    }

    // False when the file no longer matches the counts of the first pass.
    bool Line(ObjLine kind, std::string_view rest, int64_t line_number);
    void StartSingleGroup(const std::string& name) { CurrentGroup = FindOrAddGroup(name, 0); }
    bool Complete() const
    {
        return VerticesRead == Counts.Vertices && TexVerticesRead == Counts.TexVertices &&
               NormalsRead == Counts.Normals && FacesRead == Counts.Faces && LinesRead == Counts.Lines;
    }
    // The load's one warning, empty when nothing was lost.
    std::string Losses(const std::string& path) const;

    bool MaterialSeen = false;

private:
    int32_t FindOrAddGroup(std::string_view name, int64_t line_number);
    int32_t FindOrAddMaterial(std::string_view name, int64_t line_number);
    CornerRead ParseCorners(std::string_view rest, int64_t line_number, int32_t* vertices,
                            int32_t* tex_vertices, int32_t* normals, int64_t room, int32_t& out_count);

    TZAVPolyMesh& Mesh;
    const TZAVPolyMesh& Target;
    const TObjCounts& Counts;
    uint32_t Flags;
    THashTable<int32_t> GroupTable;
    THashTable<int32_t> MaterialTable;
    TLossTally Unreadable;
    TLossTally LostIndices;
    TLossTally CutFaces;
    int32_t CurrentGroup = -1;
    int32_t CurrentMaterial = -1;
    bool InternalNames = false;
    int64_t VerticesRead = 0;
    int64_t TexVerticesRead = 0;
    int64_t NormalsRead = 0;
    int64_t FacesRead = 0;
    int64_t LinesRead = 0;
    int32_t CornerCursor = 0;
    int32_t LineCornerCursor = 0;
};

// The index of the named element, made on first use. Polygons keep 16-bit indices: once the list
// is full, the name falls to its last element and the line counts as unreadable.
template <typename TItem, typename TCreate>
int32_t FindOrAdd(THashTable<int32_t>& table, TZAVMultiList<TItem*>& list, std::string_view name,
                  TCreate create, TLossTally& unreadable, int64_t line_number)
{
    std::string key(name);
    int32_t index = -1;
    if (table.Find(key.c_str(), &index))
        return index;
    index = list.Count();
    if (index > INT16_MAX) {
        unreadable.Note(line_number);
        return index - 1;
    }
    TItem* item = create();
    item->SetNameLiteral(name);
    item->Index = index;
    list.Add(item);
    table.Insert(key.c_str(), index);
    return index;
}

int32_t TObjFiller::FindOrAddGroup(std::string_view name, int64_t line_number)
{
    return FindOrAdd(GroupTable, Mesh.Groups2, name, [this] { return Target.CreateGroup2(); }, Unreadable,
                     line_number);
}

int32_t TObjFiller::FindOrAddMaterial(std::string_view name, int64_t line_number)
{
    return FindOrAdd(MaterialTable, Mesh.Materials, name, [this] { return Target.CreateMaterial(); },
                     Unreadable, line_number);
}

// A texture or normal index that names no element is dropped (the corner keeps its vertex); a
// face of more corners than a polygon holds keeps the first of them.
CornerRead TObjFiller::ParseCorners(std::string_view rest, int64_t line_number, int32_t* vertices,
                                    int32_t* tex_vertices, int32_t* normals, int64_t room, int32_t& out_count)
{
    const char* cursor = rest.data();
    const char* end = rest.data() + rest.size();
    const bool load_normals = Flags & ObjRead_LoadNormals;
    bool lost_index = false;
    int32_t count = 0;
    for (;;) {
        while (cursor < end && IsBlank(*cursor))
            cursor++;
        if (cursor == end)
            break;
        if (count == TZAVPolyMesh::MaxCornerCount) {
            CutFaces.Note(line_number);
            break;
        }
        if (count == room)
            return CornerRead::FileChanged;
        int64_t indices[3];
        cursor = ParseCornerToken(cursor, end, indices);
        if (cursor == nullptr)
            return CornerRead::Unreadable;
        const int32_t vertex = ResolveIndex(indices[0], VerticesRead, Counts.Vertices);
        if (vertex < 0)
            return CornerRead::Unreadable;
        int32_t tex_vertex = -1;
        if (indices[1] != 0) {
            tex_vertex = ResolveIndex(indices[1], TexVerticesRead, Counts.TexVertices);
            lost_index |= tex_vertex < 0;
        }
        if (normals != nullptr) {
            int32_t normal = -1;
            if (load_normals && indices[2] != 0) {
                normal = ResolveIndex(indices[2], NormalsRead, Counts.Normals);
                lost_index |= normal < 0;
            }
            normals[count] = normal;
        }
        vertices[count] = vertex;
        tex_vertices[count] = tex_vertex;
        count++;
    }
    if (lost_index)
        LostIndices.Note(line_number);
    out_count = count;
    return CornerRead::Read;
}

std::string TObjFiller::Losses(const std::string& path) const
{
    std::string text;
    auto add = [&](const TLossTally& tally, const std::string& what) {
        if (tally.Count == 0)
            return;
        text += text.empty() ? path + ": " : "; ";
        text += std::to_string(tally.Count) + what + std::to_string(tally.First);
    };
    add(Unreadable, " line(s) could not be read; the first is line ");
    add(LostIndices, " face(s) or line(s) lost texture or normal indices that name nothing; the first is line ");
    add(CutFaces, " face(s) of more than " + std::to_string(TZAVPolyMesh::MaxCornerCount) +
                      " corners kept only their first; the first is line ");
    return text;
}

bool TObjFiller::Line(ObjLine kind, std::string_view rest, int64_t line_number)
{
    switch (kind) {
    case ObjLine::Vertex:
        if (VerticesRead == Counts.Vertices)
            return false;
        if (!ParseFloats(rest, &Mesh.Vertices[3 * VerticesRead], 3))
            Unreadable.Note(line_number);
        VerticesRead++;
        return true;
    case ObjLine::Normal:
        if (!(Flags & ObjRead_LoadNormals))
            return true;
        if (NormalsRead == Counts.Normals)
            return false;
        if (!ParseFloats(rest, &Mesh.Normals[3 * NormalsRead], 3))
            Unreadable.Note(line_number);
        NormalsRead++;
        return true;
    case ObjLine::TexVertex:
        if (TexVerticesRead == Counts.TexVertices)
            return false;
        if (!ParseFloats(rest, &Mesh.TexVertices[2 * TexVerticesRead], 2))
            Unreadable.Note(line_number);
        TexVerticesRead++;
        return true;
    case ObjLine::Face: {
        if (FacesRead == Counts.Faces)
            return false;
        const int32_t polygon = static_cast<int32_t>(FacesRead++);
        Mesh.PolygonMaterial[polygon] = static_cast<int16_t>(CurrentMaterial);
        Mesh.PolygonGroup[polygon] = static_cast<int16_t>(CurrentGroup);
        int32_t count = 0;
        const CornerRead read = ParseCorners(
            rest, line_number, Mesh.CornerVertex.data() + CornerCursor, Mesh.CornerTexVertex.data() + CornerCursor,
            Mesh.CornerNormal.data() + CornerCursor, Counts.Corners - CornerCursor, count);
        if (read == CornerRead::FileChanged)
            return false;
        // A face that cannot be read, or has fewer than three corners, keeps its slot empty.
        if (read == CornerRead::Unreadable || count < 3)
            Unreadable.Note(line_number);
        else
            CornerCursor += count;
        Mesh.EndPolygon(polygon, CornerCursor);
        return true;
    }
    case ObjLine::Polyline: {
        if (LinesRead == Counts.Lines)
            return false;
        const int32_t line = static_cast<int32_t>(LinesRead++);
        int32_t count = 0;
        const CornerRead read = ParseCorners(rest, line_number, Mesh.LineVertex.data() + LineCornerCursor,
                                             Mesh.LineTexVertex.data() + LineCornerCursor, nullptr,
                                             Counts.LineCorners - LineCornerCursor, count);
        if (read == CornerRead::FileChanged)
            return false;
        // A polyline needs two points.
        if (read == CornerRead::Unreadable || count < 2)
            Unreadable.Note(line_number);
        else
            LineCornerCursor += count;
        Mesh.LineStart[line + 1] = LineCornerCursor;
        return true;
    }
    case ObjLine::Group:
        if (!(Flags & ObjRead_SingleGroup) && !InternalNames)
            CurrentGroup = FindOrAddGroup(rest, line_number);
        return true;
    case ObjLine::Comment: {
        if (!(Flags & ObjRead_UseInternalNames) || rest.size() < 2)
            return true;
        std::string_view text = TrimText(rest.substr(2));
        size_t keyword_end = std::min(text.size(), text.find_first_of(" \t"));
        if (!(keyword_end == 13 && strncasecmp(text.data(), "InternalName:", 13) == 0))
            return true;
        InternalNames = true;
        if (!(Flags & ObjRead_SingleGroup))
            CurrentGroup = FindOrAddGroup(TrimText(text.substr(keyword_end)), line_number);
        return true;
    }
    case ObjLine::UseMaterial:
        MaterialSeen = true;
        CurrentMaterial = FindOrAddMaterial(rest, line_number);
        return true;
    case ObjLine::MaterialLibrary:
        Mesh.MtlLibName.assign(rest);
        return true;
    case ObjLine::Empty:
    case ObjLine::Other:
        return true;
    }
    return true;
}

bool CountLines(TChunkedLineReader& reader, uint32_t flags, TObjCounts& out_counts)
{
    std::string_view line;
    std::string_view rest;
    while (reader.NextLine(line)) {
        switch (ClassifyLine(line, rest)) {
        case ObjLine::Vertex:
            out_counts.Vertices++;
            break;
        case ObjLine::Normal:
            out_counts.Normals += (flags & ObjRead_LoadNormals) ? 1 : 0;
            break;
        case ObjLine::TexVertex:
            out_counts.TexVertices++;
            break;
        case ObjLine::Face:
            out_counts.Faces++;
            out_counts.Corners += CountTokens(rest);
            break;
        case ObjLine::Polyline:
            out_counts.Lines++;
            out_counts.LineCorners += CountTokens(rest);
            break;
        default:
            break;
        }
    }
    return !reader.Failed();
}

} // namespace

bool ReadOBJ(const std::string& path, TZAVPolyMesh& mesh, uint32_t flags, std::string& out_error)
{
    TFileHandle file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        out_error = FormatReportTextf("Cannot open the OBJ file %s", path.c_str());
        return false;
    }
    TChunkedLineReader reader(file.get());
    TObjCounts counts;
    if (!CountLines(reader, flags, counts)) {
        out_error = FormatReportTextf("Error reading the OBJ file %s", path.c_str());
        return false;
    }
    if (counts.Vertices == 0) {
        out_error = FormatReportTextf("This OBJ file has no vertices! (%s)", path.c_str());
        return false;
    }
    for (int64_t count : {counts.Vertices, counts.TexVertices, counts.Normals, counts.Faces, counts.Corners,
                          counts.Lines, counts.LineCorners}) {
        if (count > INT32_MAX) {
            out_error = FormatReportTextf("The OBJ file %s is too large to load", path.c_str());
            return false;
        }
    }

    TZAVPolyMesh staging;
    staging.Allocate(static_cast<int32_t>(counts.Vertices), static_cast<int32_t>(counts.TexVertices),
                     static_cast<int32_t>(counts.Normals), static_cast<int32_t>(counts.Faces));
    staging.AllocateCorners(static_cast<int32_t>(counts.Corners));
    staging.AllocateLines(static_cast<int32_t>(counts.Lines), static_cast<int32_t>(counts.LineCorners));

    TObjFiller filler(staging, mesh, counts, flags);
    if (flags & ObjRead_SingleGroup)
        filler.StartSingleGroup(NameOf(path));
    reader.Rewind();
    std::string_view line;
    std::string_view rest;
    bool consistent = true;
    while (consistent && reader.NextLine(line))
        consistent = filler.Line(ClassifyLine(line, rest), rest, reader.LineNumber);
    if (reader.Failed() || !consistent || !filler.Complete()) {
        out_error =
            FormatReportTextf("The OBJ file %s changed or could not be read while loading (line %lld)",
                              path.c_str(), static_cast<long long>(reader.LineNumber));
        return false;
    }
    file.reset();
    // Faces that could not be read gave back the corners counted for them.
    const int32_t corners_used = staging.PolygonStart[staging.GetPolygonCount()];
    staging.CornerVertex.resize(corners_used);
    staging.CornerTexVertex.resize(corners_used);
    staging.CornerNormal.resize(corners_used);
    staging.CornerVisible.resize(corners_used);
    const int32_t line_corners_used = staging.LineStart.back();
    staging.LineVertex.resize(line_corners_used);
    staging.LineTexVertex.resize(line_corners_used);

    if (std::string losses = filler.Losses(path); !losses.empty())
        AddWarning("%s", losses.c_str());

    // One sub-object covers everything the file held.
    std::string name = BaseName(path);
    auto* group = new TZAVGroup;
    group->SetNameLiteral(name);
    group->Index = 0;
    auto whole = [](int64_t count) { return TZAVIndexRange{0, static_cast<int32_t>(count) - 1}; };
    group->VertexRange = whole(counts.Vertices);
    group->TexVertexRange = whole(counts.TexVertices);
    group->NormalRange = whole(counts.Normals);
    group->PolygonRange = whole(counts.Faces);
    group->LineRange = whole(counts.Lines);
    staging.Groups.Add(group);
    std::fill(staging.PolygonPart.begin(), staging.PolygonPart.end(), 0);

    if (!filler.MaterialSeen) {
        TZAVMaterial* material = mesh.CreateMaterial();
        material->SetNameLiteral(name);
        material->Index = 0;
        staging.Materials.Add(material);
        std::fill(staging.PolygonMaterial.begin(), staging.PolygonMaterial.end(), 0);
    }

    ReadMTL(staging, path, (flags & ObjRead_MtlVariant) ? MtlReadForm::EveryMatch : MtlReadForm::FirstMatch);
    mesh.AdoptContents(staging);
    mesh.Prepare();
    return true;
}

// [SECTION] Writing

namespace {

// Collects output in a large buffer; the file sees few, large writes.
class TOutputBuffer
{
public:
    explicit TOutputBuffer(FILE* file) : File(file) { Text.reserve(ChunkSize + 4096); }

    void Append(std::string_view text)
    {
        Text.append(text);
        FlushIfFull();
    }
    // "%.8f"
    void AppendFloat(float value)
    {
        char digits[64];
        auto result = std::to_chars(digits, digits + sizeof digits, static_cast<double>(value),
                                    std::chars_format::fixed, 8);
        Text.append(digits, result.ptr);
    }
    void AppendInt(int64_t value)
    {
        char digits[24];
        auto result = std::to_chars(digits, digits + sizeof digits, value);
        Text.append(digits, result.ptr);
    }
    void AppendFloats(const char* keyword, const float* values, int32_t count)
    {
        Text.append(keyword);
        for (int32_t i = 0; i < count; i++) {
            Text.push_back(' ');
            AppendFloat(values[i]);
        }
        Text.push_back('\n');
        FlushIfFull();
    }
    // Writes what is left; false when any write failed.
    bool Finish()
    {
        Flush();
        return Good;
    }

private:
    void FlushIfFull()
    {
        if (Text.size() >= ChunkSize)
            Flush();
    }
    void Flush()
    {
        if (!Text.empty() && std::fwrite(Text.data(), 1, Text.size(), File) != Text.size())
            Good = false;
        Text.clear();
    }

    FILE* File;
    std::string Text;
    bool Good = true;
};

void WriteHeader(TOutputBuffer& out, const std::string& mtl_path, int32_t vertex_count)
{
    out.Append("# This OBJ file was exported from Tarnwick\n");
    out.Append("# Tarnwick " TARNWICK_VERSION "\n");
    if (!mtl_path.empty()) {
        out.Append("mtllib ");
        out.Append(NameOf(mtl_path));
        out.Append("\n");
    }
    out.Append("# Vertex Count ");
    out.AppendInt(vertex_count);
    out.Append("\n");
}

void WriteVertex(TOutputBuffer& out, const TZAVPolyMesh& mesh, int32_t vertex)
{
    float position[3];
    mesh.GetVertex(vertex, position);
    out.AppendFloats("v", position, 3);
}

void WriteNormal(TOutputBuffer& out, const TZAVPolyMesh& mesh, int32_t vertex)
{
    static constexpr float None[3] = {0, 0, 0};
    const bool has_normal = mesh.Normals.size() >= 3 * (static_cast<size_t>(vertex) + 1);
    out.AppendFloats("vn", has_normal ? &mesh.Normals[3 * static_cast<size_t>(vertex)] : None, 3);
}

// The switches and the "f" line of one polygon; vertex_map and tex_map renumber indices (an
// empty map keeps them). False when a corner's vertex is not in vertex_map.
bool WritePolygon(TOutputBuffer& out, const TZAVPolyMesh& mesh, int32_t polygon, uint32_t flags,
                  int32_t& previous_material, int32_t& previous_group, const TZAVGroup2* renumber,
                  const std::vector<int32_t>& tex_map)
{
    // Empty slots (faces that could not be read) have no line a reader would take.
    const auto first = mesh.CornerVertex.begin() + mesh.PolygonStart[polygon];
    const auto last = mesh.CornerVertex.begin() + mesh.PolygonStart[polygon + 1];
    if (std::count_if(first, last, [](int32_t vertex) { return vertex >= 0; }) < 3)
        return true;
    const int32_t material = mesh.PolygonMaterial[polygon];
    TZAVMaterial* material_item = nullptr;
    if (material != previous_material && mesh.Materials.Get(material_item, material)) {
        out.Append("usemtl ");
        out.Append(material_item->Name);
        out.Append("\n");
    }
    previous_material = material;
    const int32_t group = mesh.PolygonGroup[polygon];
    TZAVGroup2* group_item = nullptr;
    if ((flags & ObjWrite_Groups) && group != previous_group && mesh.Groups2.Get(group_item, group)) {
        std::string_view name = group_item->Name;
        out.Append("g ");
        out.Append(name.substr(0, name.find(':')));
        out.Append("\n");
    }
    previous_group = group;
    out.Append("f");
    for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1]; corner++) {
        int32_t vertex = mesh.CornerVertex[corner];
        int32_t tex_vertex = mesh.CornerTexVertex[corner];
        if (vertex < 0)
            continue;
        if (renumber != nullptr) {
            vertex = renumber->FindVertex(vertex);
            if (vertex < 0)
                return false;
            tex_vertex = tex_vertex >= 0 ? tex_map[tex_vertex] : -1;
        }
        out.Append(" ");
        out.AppendInt(vertex + 1);
        if (tex_vertex >= 0) {
            out.Append("/");
            out.AppendInt(tex_vertex + 1);
            out.Append("/");
        } else {
            out.Append("//");
        }
        out.AppendInt(vertex + 1);
    }
    out.Append("\n");
    return true;
}

void WritePolylines(TOutputBuffer& out, const TZAVPolyMesh& mesh)
{
    for (int32_t line = 0; line < mesh.GetLineCount(); line++) {
        if (mesh.LineStart[line + 1] - mesh.LineStart[line] < 2)
            continue;
        out.Append("l");
        for (int32_t corner = mesh.LineStart[line]; corner < mesh.LineStart[line + 1]; corner++) {
            out.Append(" ");
            out.AppendInt(mesh.LineVertex[corner] + 1);
            if (mesh.LineTexVertex[corner] >= 0) {
                out.Append("/");
                out.AppendInt(mesh.LineTexVertex[corner] + 1);
            }
        }
        out.Append("\n");
    }
}

// The writer's reason names the file and the cause (no space, file too large, read-only).
bool CommitFile(TZAVSafeFileWriter& writer, TOutputBuffer& out, const std::string& path,
                std::string& out_error)
{
    const bool written = out.Finish();
    if (writer.Commit() && written)
        return true;
    out_error = writer.Error().empty() ? "Error writing the file " + path : writer.Error();
    return false;
}

} // namespace

bool WriteOBJ(const TZAVPolyMesh& mesh, const std::string& path, uint32_t flags, std::string& out_error)
{
    const bool vertices_only = flags & ObjWrite_VerticesOnly;
    const std::string mtl_path = vertices_only ? std::string() : MtlPathFor(path);
    TZAVSafeFileWriter writer(path);
    if (writer.Open() == nullptr) {
        out_error = "Error creating the file " + path + ": " + writer.Error();
        return false;
    }
    TOutputBuffer out(writer.File());
    WriteHeader(out, mtl_path, mesh.GetVertexCount());
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        WriteVertex(out, mesh, vertex);
    for (int32_t vertex = 0; vertex < mesh.GetVertexCount(); vertex++)
        WriteNormal(out, mesh, vertex);
    if (!vertices_only) {
        for (int32_t tex_vertex = 0; tex_vertex < mesh.GetTexVertexCount(); tex_vertex++)
            out.AppendFloats("vt", &mesh.TexVertices[2 * static_cast<size_t>(tex_vertex)], 2);
        int32_t previous_material = -1;
        int32_t previous_group = -1;
        for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++)
            WritePolygon(out, mesh, polygon, flags, previous_material, previous_group, nullptr, {});
        WritePolylines(out, mesh);
    }
    if (!CommitFile(writer, out, path, out_error))
        return false;
    return vertices_only || WriteMTL(mesh, mtl_path, out_error);
}

bool WriteOBJGroups(const TZAVPolyMesh& mesh, const std::string& path, uint32_t flags, std::string& out_error)
{
    const bool vertices_only = flags & ObjWrite_VerticesOnly;
    const std::string mtl_path = vertices_only ? std::string() : MtlPathFor(path);
    std::string base = path.substr(0, path.size() - NameOf(path).size()) + BaseName(path);
    std::vector<int32_t> tex_map(mesh.GetTexVertexCount(), -1);
    std::vector<int32_t> tex_order;
    for (const TZAVGroup2* group : mesh.Groups2) {
        // Texture vertices are renumbered in the order the group's polygons first use them.
        std::fill(tex_map.begin(), tex_map.end(), -1);
        tex_order.clear();
        for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
            if (mesh.PolygonGroup[polygon] != group->Index)
                continue;
            for (int32_t corner = mesh.PolygonStart[polygon]; corner < mesh.PolygonStart[polygon + 1];
                 corner++) {
                int32_t tex_vertex = mesh.CornerTexVertex[corner];
                if (tex_vertex >= 0 && tex_map[tex_vertex] < 0) {
                    tex_map[tex_vertex] = static_cast<int32_t>(tex_order.size());
                    tex_order.push_back(tex_vertex);
                }
            }
        }
        const std::string file_path = base + "_" + CleanFileName(group->Name.c_str()) + ".OBJ";
        TZAVSafeFileWriter writer(file_path);
        if (writer.Open() == nullptr) {
            out_error = "Error creating the file " + file_path + ": " + writer.Error();
            return false;
        }
        TOutputBuffer out(writer.File());
        WriteHeader(out, mtl_path, group->GetVertexCount());
        for (int32_t vertex : group->Vertices)
            WriteVertex(out, mesh, vertex);
        for (int32_t vertex : group->Vertices)
            WriteNormal(out, mesh, vertex);
        if (!vertices_only) {
            for (int32_t tex_vertex : tex_order)
                out.AppendFloats("vt", &mesh.TexVertices[2 * static_cast<size_t>(tex_vertex)], 2);
            int32_t previous_material = -1;
            int32_t previous_group = -1;
            for (int32_t polygon = 0; polygon < mesh.GetPolygonCount(); polygon++) {
                if (mesh.PolygonGroup[polygon] != group->Index)
                    continue;
                if (!WritePolygon(out, mesh, polygon, flags, previous_material, previous_group, group,
                                  tex_map)) {
                    out_error = FormatReportTextf("The group \"%s\" contains an invalid vertex index",
                                                  group->Name.c_str());
                    return false;
                }
            }
        }
        if (!CommitFile(writer, out, file_path, out_error))
            return false;
    }
    return vertices_only || WriteMTL(mesh, mtl_path, out_error);
}

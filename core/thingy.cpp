#include "core/thingy.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <atomic>
#include <map>
#include <mutex>

#include "core/binary_chunk.h"
#include "core/report.h"
#include "core/text_block.h"
#include "core/text_scan.h"

namespace {

// IDs start at 1: an ID of 0 means "none" and is not written to the text form. A project may be
// read on a side thread while the window's thread makes objects, so both the counter and the
// registry are shared safely.
std::atomic<int32_t> next_thingy_id = 1;
std::recursive_mutex registry_mutex;

// Never destroyed, so that objects outliving static destruction can still unregister.
std::map<int32_t, TTarnwick_Thingy*>& Registry()
{
    static auto* registry = new std::map<int32_t, TTarnwick_Thingy*>();
    return *registry;
}

void AssignFormatted(std::string& target, const char* format, va_list arguments)
{
    if (format != nullptr)
        target = FormatReportText(format, arguments);
}

} // namespace

// [SECTION] TZAVThingy

const char* TZAVThingy::GetName() const
{
    return Name.c_str();
}

void TZAVThingy::SetName(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    AssignFormatted(Name, format, arguments);
    va_end(arguments);
}

void TZAVThingy::SetCaption(const char* format, ...)
{
    va_list arguments;
    va_start(arguments, format);
    AssignFormatted(Caption, format, arguments);
    va_end(arguments);
}

const char* TZAVThingy::GetCaption() const
{
    return Caption.c_str();
}

// [SECTION] TTarnwick_Thingy

TTarnwick_Thingy::TTarnwick_Thingy() : ID(next_thingy_id++) {}

TTarnwick_Thingy::~TTarnwick_Thingy()
{
    Unregister();
}

void TTarnwick_Thingy::Unregister()
{
    if (!Registered)
        return;
    std::lock_guard<std::recursive_mutex> hold(registry_mutex);
    auto found = Registry().find(ID);
    if (found != Registry().end() && found->second == this)
        Registry().erase(found);
    Registered = false;
}

bool TTarnwick_Thingy::Register()
{
    if (Registered)
        return true;
    if (ID == 0)
        return false;
    // Taking over another object's entry would leave it to erase ours when it is destroyed.
    std::lock_guard<std::recursive_mutex> hold(registry_mutex);
    auto [entry, inserted] = Registry().try_emplace(ID, this);
    if (!inserted)
        return false;
    Registered = true;
    return true;
}

bool TTarnwick_Thingy::SetID(int32_t id)
{
    if (id == 0) {
        Unregister();
        ID = 0;
        return true;
    }
    std::lock_guard<std::recursive_mutex> hold(registry_mutex);
    auto found = Registry().find(id);
    if (found != Registry().end())
        return found->second == this;
    // The old entry goes, or FindByID would hand out this object under its old ID after it is gone.
    Unregister();
    ID = id;
    return Register();
}

void TTarnwick_Thingy::AdoptLoadedID(int32_t id)
{
    LoadedID = id;
    // Large IDs stay unadopted so that the counter handing out new ones never overflows.
    constexpr int32_t MaxAdoptedID = 1 << 30;
    std::lock_guard<std::recursive_mutex> hold(registry_mutex);
    if (id <= 0 || id > MaxAdoptedID || id == ID || Registry().contains(id))
        return;
    const bool registered = Registered;
    Unregister();
    ID = id;
    if (registered)
        Register();
    // New items must not be handed an ID that a loaded one now holds.
    int32_t next = next_thingy_id.load();
    while (next <= id && !next_thingy_id.compare_exchange_weak(next, id + 1)) {
    }
}

TTarnwick_Thingy* TTarnwick_Thingy::FindByID(int32_t id)
{
    std::lock_guard<std::recursive_mutex> hold(registry_mutex);
    auto found = Registry().find(id);
    return found == Registry().end() ? nullptr : found->second;
}

bool TTarnwick_Thingy::WriteThingyRecord(FILE* file) const
{
    uint8_t record[TTarnwick_ThingyRecord::Size] = {};
    std::memcpy(record, Name.data(), std::min(Name.size(), TTarnwick_ThingyRecord::NameSize - 1));
    record[TTarnwick_ThingyRecord::NameSize] = ReadOnly ? 1 : 0;
    EncodeInt32LE(record + TTarnwick_ThingyRecord::NameSize + 1, ID);
    return WriteBytes(file, record, sizeof(record));
}

bool TTarnwick_Thingy::ReadThingyRecord(FILE* file, TTarnwick_ThingyRecord& out_record)
{
    uint8_t record[TTarnwick_ThingyRecord::Size];
    if (!ReadBytes(file, record, sizeof(record)))
        return false;
    const char* name = reinterpret_cast<const char*>(record);
    out_record.Name.assign(name, strnlen(name, TTarnwick_ThingyRecord::NameSize));
    out_record.ReadOnly = record[TTarnwick_ThingyRecord::NameSize] != 0;
    out_record.ID = DecodeInt32LE(record + TTarnwick_ThingyRecord::NameSize + 1);
    return true;
}

void TTarnwick_Thingy::ApplyThingyRecord(const TTarnwick_ThingyRecord& record)
{
    SetNameLiteral(record.Name);
    ReadOnly = record.ReadOnly;
    LoadedID = record.ID;
}

bool TTarnwick_Thingy::SaveToStream(FILE* file)
{
    int64_t size_position = 0;
    return OpenChunk(file, ChunkType, size_position) && WriteThingyRecord(file) &&
           CloseChunk(file, size_position);
}

bool TTarnwick_Thingy::SaveToStream_Alt(FILE* file)
{
    return SaveToStream(file);
}

bool TTarnwick_Thingy::SaveToStream_Text(FILE* file)
{
    bool written = WriteTextLine(file, "Name", Name) && WriteTextFlag(file, "ReadOnly", ReadOnly);
    if (written && ID != 0)
        written = WriteTextInt(file, "ID", ID);
    if (written && Current)
        written = WriteTextFlag(file, "Current", true);
    return written;
}

bool TTarnwick_Thingy::LoadFromStream_Text_ConsiderCommand(TZAVTextReader&, std::string_view,
                                                           std::string_view)
{
    return false;
}

bool TTarnwick_Thingy::ConsiderThingyKey(std::string_view key, std::string_view value)
{
    if (SameTextNoCase(key, "name")) {
        SetNameLiteral(value);
        return true;
    }
    if (key == "ReadOnly") {
        ReadOnly = TextValueInt(value) != 0;
        return true;
    }
    if (key == "Current") {
        Current = TextValueInt(value) != 0;
        return true;
    }
    if (key == "ID") {
        AdoptLoadedID(TextValueInt(value));
        return true;
    }
    return false;
}

bool TTarnwick_Thingy::LoadFromStream_Text(TZAVTextReader& reader)
{
    std::string_view line;
    for (;;) {
        // A block cut off by the end of the file counts as read.
        if (!reader.ReadTrimmedLine(line))
            return true;
        if (line == "{")
            break;
        if (line == "}") {
            // No block of its own: the "}" closes the enclosing one.
            reader.UnreadLine();
            return true;
        }
    }
    if (!reader.EnterBlock()) {
        SkipTextBlock(reader);
        return false;
    }
    const bool read = ReadBlockLines(reader);
    reader.LeaveBlock();
    return read;
}

bool TTarnwick_Thingy::ReadBlockLines(TZAVTextReader& reader)
{
    std::string_view line;
    std::string_view key;
    std::string_view value;
    // Copies, because the views point into the reader's buffer, which a handler reading on replaces.
    std::string key_text;
    std::string value_text;
    while (reader.ReadTrimmedLine(line)) {
        if (line == "}")
            return true;
        if (line == "{") {
            // The header line before it was claimed by no one.
            if (!SkipTextBlock(reader))
                return true;
            continue;
        }
        SplitKeyValue(line, key, value);
        if (key.empty())
            continue;
        key_text.assign(key);
        value_text.assign(value);
        if (!ConsiderThingyKey(key_text, value_text))
            LoadFromStream_Text_ConsiderCommand(reader, key_text, value_text);
        if (reader.Failed()) {
            // Handlers leave the reader at this block's level; the rest of the block goes, so that
            // an owner that drops this item alone reads on in step.
            SkipTextBlock(reader);
            return false;
        }
    }
    return true;
}

bool TTarnwick_Thingy::LoadFromStream(FILE* file)
{
    TTarnwick_ThingyRecord record;
    if (!ReadThingyRecord(file, record))
        return false;
    ApplyThingyRecord(record);
    return true;
}

int32_t TTarnwick_Thingy::GetMemorySize()
{
    return 0;
}

bool LoadItemOrDropIt(TZAVTextReader& reader, TTarnwick_Thingy& item, std::string_view kind)
{
    const bool held = reader.HoldFailures(true);
    const bool read = item.LoadFromStream_Text(reader);
    reader.HoldFailures(held);
    std::string problem;
    int32_t line = 0;
    if (!reader.TakeFailure(problem, line))
        return read;
    reader.Warn(line, "the %.*s \"%s\" was dropped: %s", int(kind.size()), kind.data(), item.GetName(),
                problem.c_str());
    return false;
}

// The bases of every named item: TZAV_Atom, TZAVThingy (name and caption) and TTarnwick_Thingy
// (unique ID, read-only flag, binary and text persistence), with the process-wide ID registry.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

class TZAVTextReader;

class TZAV_Atom
{
};

class TZAVThingy : public virtual TZAV_Atom
{
public:
    TZAVThingy() = default;
    TZAVThingy(const TZAVThingy&) = delete;
    TZAVThingy& operator=(const TZAVThingy&) = delete;

    virtual const char* GetName() const;
    // A text holding '%' is formatted printf-style (at most 999 characters); a null text changes
    // nothing. Only for formats written in the code: texts from files go to SetNameLiteral.
    virtual void SetName(const char* format, ...) __attribute__((format(printf, 2, 3)));
    virtual void SetCaption(const char* format, ...) __attribute__((format(printf, 2, 3)));
    virtual const char* GetCaption() const;
    virtual ~TZAVThingy() = default;

    void SetNameLiteral(std::string_view name) { Name.assign(name); }
    void SetCaptionLiteral(std::string_view caption) { Caption.assign(caption); }

    std::string Name;
    std::string Caption;
};

// The common binary record: name (256 bytes, NUL-terminated), read-only (1 byte), ID (4 bytes).
struct TTarnwick_ThingyRecord
{
    static constexpr size_t NameSize = 256;
    static constexpr size_t Size = NameSize + 1 + 4;

    std::string Name;
    bool ReadOnly = false;
    int32_t ID = 0;
};

class TTarnwick_Thingy : public virtual TZAVThingy
{
public:
    TTarnwick_Thingy();
    ~TTarnwick_Thingy() override;

    // Opens a chunk of ChunkType, writes the binary record, closes the chunk.
    virtual bool SaveToStream(FILE* file);
    virtual bool SaveToStream_Alt(FILE* file);
    // Writes the item header lines ("Name", "ReadOnly", "ID", "Current"); items call this inside
    // their own block.
    virtual bool SaveToStream_Text(FILE* file);
    // One key/value line of the item's block; true when the key was handled. A handler may read
    // a nested block from the reader before returning.
    virtual bool LoadFromStream_Text_ConsiderCommand(TZAVTextReader& reader, std::string_view key,
                                                     std::string_view value);
    // Reads the item's block: up to "{", then each line up to the matching "}". Nested blocks that
    // no key claims are skipped. False when a handler failed or the block nests too deeply: the
    // reader holds the message and the rest of the block has been skipped.
    virtual bool LoadFromStream_Text(TZAVTextReader& reader);
    // Reads the binary record; the stored ID goes to LoadedID.
    virtual bool LoadFromStream(FILE* file);
    virtual int32_t GetMemorySize();

    // Puts the object in the registry under its ID. False for ID 0 or an ID another object holds.
    bool Register();
    // 0 clears the ID; an ID that another registered object holds is refused.
    bool SetID(int32_t id);
    static TTarnwick_Thingy* FindByID(int32_t id);
    // Takes back an ID read from a file (kept in LoadedID), unless a registered object holds it:
    // references saved by ID then still find the item, and saving again writes the same file.
    void AdoptLoadedID(int32_t id);

    int32_t ID;
    bool ReadOnly = false;
    int32_t LoadedID = -1;
    bool Registered = false;
    int32_t ChunkType = 0;
    bool Current = false;

protected:
    bool WriteThingyRecord(FILE* file) const;
    static bool ReadThingyRecord(FILE* file, TTarnwick_ThingyRecord& out_record);
    void ApplyThingyRecord(const TTarnwick_ThingyRecord& record);

private:
    // The keys every item takes: "name" (any case), "ReadOnly", "ID" and "Current".
    bool ConsiderThingyKey(std::string_view key, std::string_view value);
    // The lines after the block's "{", up to and including its "}".
    bool ReadBlockLines(TZAVTextReader& reader);
    void Unregister();
};

// Reads the item's block with the reader's failures held, so that a damaged item costs its block
// alone: its failure becomes a warning naming the kind and the item ("the morph \"Smile\" was
// dropped: ..."). True when the item was read whole and may be kept.
bool LoadItemOrDropIt(TZAVTextReader& reader, TTarnwick_Thingy& item, std::string_view kind);

using TZAVThingyPtr = TZAVThingy*;
using TTarnwick_ThingyPtr = TTarnwick_Thingy*;

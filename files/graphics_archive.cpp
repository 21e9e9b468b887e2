#include "files/graphics_archive.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/file_handle.h"
#include "core/report.h"
#include "core/safe_file.h"
#include "core/status.h"

namespace {

uint32_t Little32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

bool WriteRecord(FILE* file, const TZAVGraphicsRecord& record)
{
    char name[GraphicsNameFieldSize] = {};
    std::memcpy(name, record.Name.data(), record.Name.size());
    const uint32_t length = uint32_t(record.Bytes.size());
    const uint8_t length_bytes[4] = {uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16),
                                     uint8_t(length >> 24)};
    return std::fwrite(name, 1, sizeof(name), file) == sizeof(name) &&
           std::fwrite(length_bytes, 1, 4, file) == 4 &&
           (record.Bytes.empty() || std::fwrite(record.Bytes.data(), 1, record.Bytes.size(), file) == record.Bytes.size());
}

} // namespace

void ReadGraphicsArchive(std::span<const uint8_t> bytes, std::string_view source_name,
                         std::vector<TZAVGraphicsRecord>& out_records)
{
    const int name_length = int(source_name.size());
    size_t at = 0;
    for (int32_t number = 1; at < bytes.size(); ++number) {
        const size_t left = bytes.size() - at;
        if (left < GraphicsRecordHeaderSize) {
            AddWarning("%.*s: record %d is cut short (%zu bytes, its header needs %zu); the pictures after "
                       "it are missing",
                       name_length, source_name.data(), number, left, GraphicsRecordHeaderSize);
            return;
        }
        const char* name = reinterpret_cast<const char*>(&bytes[at]);
        const void* name_end = std::memchr(name, '\0', GraphicsNameFieldSize);
        if (name_end == nullptr) {
            AddWarning("%.*s: record %d has no end to its name; the pictures after it are missing",
                       name_length, source_name.data(), number);
            return;
        }
        const uint32_t length = Little32(&bytes[at + GraphicsNameFieldSize]);
        const size_t body_left = left - GraphicsRecordHeaderSize;
        const std::string_view record_name(name, static_cast<const char*>(name_end) - name);
        if (length > body_left) {
            AddWarning("%.*s: record %d (\"%.*s\") claims %u bytes but only %zu are left; the pictures "
                       "after it are missing",
                       name_length, source_name.data(), number, int(record_name.size()), record_name.data(),
                       length, body_left);
            return;
        }
        at += GraphicsRecordHeaderSize;
        TZAVGraphicsRecord& record = out_records.emplace_back();
        record.Name = record_name;
        record.Bytes.assign(bytes.begin() + at, bytes.begin() + at + length);
        at += length;
    }
}

bool ReadGraphicsArchive(const std::string& path, std::vector<TZAVGraphicsRecord>& out_records,
                         std::string& out_error)
{
    TZAVFileHandle file(std::fopen(path.c_str(), "rb"));
    struct stat status;
    if (!file || fstat(fileno(file.get()), &status) != 0 || !S_ISREG(status.st_mode)) {
        out_error = FormatText("Cannot open the file %s", path.c_str());
        return false;
    }
    std::vector<uint8_t> bytes(size_t(status.st_size));
    if (std::fread(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) {
        out_error = FormatText("Cannot read the file %s", path.c_str());
        return false;
    }
    std::vector<TZAVGraphicsRecord> records;
    ReadGraphicsArchive(bytes, path, records);
    out_records = std::move(records);
    return true;
}

bool WriteGraphicsArchive(std::span<const TZAVGraphicsRecord> records, const std::string& path,
                          std::string& out_error)
{
    for (const TZAVGraphicsRecord& record : records) {
        if (record.Name.size() >= GraphicsNameFieldSize || record.Name.find('\0') != std::string::npos) {
            out_error =
                FormatText("Cannot write the file %s: the picture name \"%s\" does not fit its %zu-byte "
                           "field",
                           path.c_str(), record.Name.c_str(), GraphicsNameFieldSize);
            return false;
        }
        if (record.Bytes.size() > UINT32_MAX) {
            out_error = FormatText("Cannot write the file %s: the picture \"%s\" has %zu bytes, more than a "
                                   "record holds",
                                   path.c_str(), record.Name.c_str(), record.Bytes.size());
            return false;
        }
    }
    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    if (file == nullptr) {
        out_error = writer.Error();
        return false;
    }
    bool written = true;
    for (const TZAVGraphicsRecord& record : records)
        written = written && WriteRecord(file, record);
    // Commit even after a failed write: it refuses, naming the cause.
    if (!writer.Commit()) {
        out_error = writer.Error();
        return false;
    }
    if (!written) {
        out_error = FormatText("Cannot write the file %s", path.c_str());
        return false;
    }
    return true;
}

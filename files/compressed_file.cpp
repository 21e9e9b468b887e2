// Whole-file reading through zlib, and the names of the packed and plain forms of figure files.
#include "files/compressed_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <new>

#include "core/file_handle.h"
#include "core/text_scan.h"

namespace {

constexpr uint8_t GzipMagic[2] = {0x1F, 0x8B};
// Deflate packs at most about 1032 bytes into one, so the stream's size bounds what it can hold.
constexpr size_t MostDeflateRatio = 1032;
constexpr size_t FirstReadSize = 64 * 1024;

bool StartsWithGzipMagic(const uint8_t* data, size_t size)
{
    return size >= 2 && data[0] == GzipMagic[0] && data[1] == GzipMagic[1];
}

std::string FileProblem(const std::string& path, const std::string& problem)
{
    return "Error reading the file " + path + ": " + problem;
}

// A buffer of `capacity` bytes plus padding; null when memory is short.
std::unique_ptr<char[]> NewBuffer(size_t capacity, size_t padding)
{
    return std::unique_ptr<char[]>(new (std::nothrow) char[capacity + padding]);
}

bool Grow(std::unique_ptr<char[]>& buffer, size_t used, size_t& capacity, size_t padding, size_t limit)
{
    const size_t wanted = std::min(limit, capacity > limit / 2 ? limit : capacity * 2 + FirstReadSize);
    if (wanted <= capacity)
        return false;
    std::unique_ptr<char[]> larger = NewBuffer(wanted, padding);
    if (larger == nullptr)
        return false;
    std::memcpy(larger.get(), buffer.get(), used);
    buffer = std::move(larger);
    capacity = wanted;
    return true;
}

// Unpacks every gzip member of data into a growing buffer; bytes after the last member that do
// not start another one are ignored, as gzip itself does.
bool Gunzip(const uint8_t* data, size_t size, const std::string& path, size_t padding, size_t max_bytes,
            std::unique_ptr<char[]>& out_bytes, size_t& out_size, std::string& out_error)
{
    // The trailer's size field is the length modulo 2^32: a hint for a single member, no more.
    size_t capacity = FirstReadSize;
    if (size >= 4) {
        uint32_t stated = 0;
        std::memcpy(&stated, data + size - 4, 4);
        capacity = std::max(capacity, size_t(stated));
    }
    const size_t limit = max_bytes == SIZE_MAX ? max_bytes : max_bytes + 1;
    const size_t most =
        size > SIZE_MAX / MostDeflateRatio ? SIZE_MAX : size * MostDeflateRatio + FirstReadSize;
    capacity = std::min({capacity, most, limit});
    std::unique_ptr<char[]> buffer = NewBuffer(capacity, padding);
    if (buffer == nullptr) {
        out_error = "Not enough memory to read the file " + path;
        return false;
    }

    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) {
        out_error = FileProblem(path, "the decompressor could not start");
        return false;
    }
    struct TStreamEnd
    {
        z_stream* Stream;
        ~TStreamEnd() { inflateEnd(Stream); }
    } stream_end{&stream};

    size_t consumed = 0;
    size_t produced = 0;
    for (;;) {
        if (produced == capacity && !Grow(buffer, produced, capacity, padding, limit)) {
            out_error =
                produced >= max_bytes
                    ? FileProblem(path, "it unpacks to more than " + std::to_string(max_bytes) + " bytes")
                    : "Not enough memory to read the file " + path;
            return false;
        }
        const size_t input_left = size - consumed;
        stream.next_in = const_cast<Bytef*>(data + consumed);
        stream.avail_in = static_cast<uInt>(std::min<size_t>(input_left, UINT_MAX));
        stream.next_out = reinterpret_cast<Bytef*>(buffer.get() + produced);
        stream.avail_out = static_cast<uInt>(std::min<size_t>(capacity - produced, UINT_MAX));
        const uInt input_given = stream.avail_in;
        const uInt output_given = stream.avail_out;
        const int result = inflate(&stream, Z_NO_FLUSH);
        consumed += input_given - stream.avail_in;
        produced += output_given - stream.avail_out;
        if (result == Z_STREAM_END) {
            // Another member may follow.
            if (!StartsWithGzipMagic(data + consumed, size - consumed))
                break;
            if (inflateReset(&stream) != Z_OK) {
                out_error = FileProblem(path, "the decompressor could not restart");
                return false;
            }
            continue;
        }
        if (result == Z_MEM_ERROR) {
            out_error = "Not enough memory to read the file " + path;
            return false;
        }
        if (result == Z_DATA_ERROR || result == Z_NEED_DICT || result == Z_STREAM_ERROR) {
            std::string problem = "the compressed data is damaged";
            if (stream.msg != nullptr)
                problem += std::string(" (") + stream.msg + ")";
            out_error = FileProblem(path, problem);
            return false;
        }
        // Z_OK or Z_BUF_ERROR: more room is found above; no input left means the stream is cut.
        if (consumed == size && produced < capacity) {
            out_error = FileProblem(path, "the compressed data ends early (the file may be cut short)");
            return false;
        }
    }
    if (produced > max_bytes) {
        out_error = FileProblem(path, "it unpacks to more than " + std::to_string(max_bytes) + " bytes");
        return false;
    }
    std::memset(buffer.get() + produced, 0, padding);
    out_bytes = std::move(buffer);
    out_size = produced;
    return true;
}

// The file's bytes as they lie on disk, followed by padding zero bytes.
bool ReadRawFile(const std::string& path, size_t padding, size_t max_bytes,
                 std::unique_ptr<char[]>& out_bytes, size_t& out_size, std::string& out_error)
{
    TZAVFileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status;
    if (!file.IsOpen() || fstat(file.Get(), &status) != 0) {
        out_error = "Error opening the file " + path + ": " + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(status.st_mode)) {
        out_error = "Error opening the file " + path + ": it is a folder";
        return false;
    }
    const size_t limit = max_bytes == SIZE_MAX ? max_bytes : max_bytes + 1;
    const size_t stated = S_ISREG(status.st_mode) ? static_cast<size_t>(status.st_size) : 0;
    if (stated > max_bytes) {
        out_error = FileProblem(path, "it is larger than " + std::to_string(max_bytes) + " bytes");
        return false;
    }
    // One byte more than the size, so that the end shows as a read of 0 without growing.
    size_t capacity = std::min(stated + 1, limit);
    std::unique_ptr<char[]> buffer = NewBuffer(capacity, padding);
    size_t size = 0;
    for (;;) {
        if (buffer == nullptr) {
            out_error = "Not enough memory to read the file " + path;
            return false;
        }
        if (size == capacity) {
            // The file grew while it was read, or is not a regular file.
            if (capacity >= limit) {
                out_error = FileProblem(path, "it is larger than " + std::to_string(max_bytes) + " bytes");
                return false;
            }
            if (!Grow(buffer, size, capacity, padding, limit))
                buffer.reset();
            continue;
        }
        const ssize_t count = read(file.Get(), buffer.get() + size, capacity - size);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            out_error = FileProblem(path, std::strerror(errno));
            return false;
        }
        if (count == 0)
            break;
        size += static_cast<size_t>(count);
    }
    std::memset(buffer.get() + size, 0, padding);
    out_bytes = std::move(buffer);
    out_size = size;
    return true;
}

} // namespace

bool IsGzipFile(const std::string& path)
{
    TZAVFileDescriptor file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    uint8_t magic[2];
    return file.IsOpen() && read(file.Get(), magic, 2) == 2 && StartsWithGzipMagic(magic, 2);
}

bool UnpackBytes(const uint8_t* data, size_t size, const std::string& path, size_t padding, size_t max_bytes,
                 std::unique_ptr<char[]>& out_bytes, size_t& out_size, std::string& out_error)
{
    if (StartsWithGzipMagic(data, size))
        return Gunzip(data, size, path, padding, max_bytes, out_bytes, out_size, out_error);
    if (size > max_bytes) {
        out_error = FileProblem(path, "it is larger than " + std::to_string(max_bytes) + " bytes");
        return false;
    }
    std::unique_ptr<char[]> copy = NewBuffer(size, padding);
    if (copy == nullptr) {
        out_error = "Not enough memory to read the file " + path;
        return false;
    }
    if (size > 0)
        std::memcpy(copy.get(), data, size);
    std::memset(copy.get() + size, 0, padding);
    out_bytes = std::move(copy);
    out_size = size;
    return true;
}

bool ReadWholeFile(const std::string& path, size_t padding, size_t max_bytes,
                   std::unique_ptr<char[]>& out_bytes, size_t& out_size, std::string& out_error)
{
    if (!IsGzipFile(path))
        return ReadRawFile(path, padding, max_bytes, out_bytes, out_size, out_error);
    // The packed stream is far smaller than what it holds: read it whole, then unpack. Bytes after
    // the stream are ignored, so only the unpacked size is held to max_bytes.
    std::unique_ptr<char[]> packed;
    size_t packed_size = 0;
    if (!ReadRawFile(path, 0, std::max(max_bytes, DefaultMaxFileBytes), packed, packed_size, out_error))
        return false;
    return Gunzip(reinterpret_cast<const uint8_t*>(packed.get()), packed_size, path, padding, max_bytes,
                  out_bytes, out_size, out_error);
}

std::string CompressedTwinName(const std::string& path)
{
    static constexpr const char* Pairs[][2] = {{"obj", "obz"}, {"cr2", "crz"}, {"pz2", "pzz"}};
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.size() - dot != 4 ||
        path.find_first_of("/\\", dot) != std::string::npos)
        return std::string();
    const std::string_view extension(path.data() + dot + 1, 3);
    for (const auto& pair : Pairs) {
        for (int side = 0; side < 2; side++) {
            if (!SameTextNoCase(extension, pair[side]))
                continue;
            std::string twin = path;
            // The last character differs; an upper-case name keeps upper case.
            const char last = pair[1 - side][2];
            const bool upper = extension[0] >= 'A' && extension[0] <= 'Z';
            twin.back() = upper && last >= 'a' && last <= 'z' ? static_cast<char>(last - 'a' + 'A') : last;
            return twin;
        }
    }
    return std::string();
}

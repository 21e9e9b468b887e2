// The registry of interface textures and the loading of the graphics archive into it.
#include "app/texture_registry.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <vector>

#include "core/dialogs.h"
#include "core/paths.h"
#include "core/status.h"
#include "files/graphics_archive.h"
#include "files/settings.h"

namespace {

// The archive's pictures are small; these limits hold while it loads.
constexpr int32_t ArchiveMinTextureSize = 2;
constexpr int32_t ArchiveMaxTextureSize = 1024;

// Sets the process-wide texture size limits and puts the old ones back when it goes.
class TTextureLimitsGuard
{
public:
    TTextureLimitsGuard(int32_t minimum, int32_t maximum)
        : SavedMinimum(MinTextureSize), SavedMaximum(MaxTextureSize)
    {
        MinTextureSize = minimum;
        MaxTextureSize = maximum;
    }
    ~TTextureLimitsGuard()
    {
        MinTextureSize = SavedMinimum;
        MaxTextureSize = SavedMaximum;
    }
    TTextureLimitsGuard(const TTextureLimitsGuard&) = delete;
    TTextureLimitsGuard& operator=(const TTextureLimitsGuard&) = delete;

private:
    int32_t SavedMinimum;
    int32_t SavedMaximum;
};

int32_t ClampedTextureSide(int32_t side)
{
    return std::max(MinTextureSize, std::min(side, MaxTextureSize));
}

} // namespace

TZAVTextureRegistry::~TZAVTextureRegistry()
{
    Clear();
}

uint32_t TZAVTextureRegistry::Register(std::string_view name, std::span<const uint8_t> pixels, int32_t width,
                                       int32_t height, TZAVImageChannels channels)
{
    const int32_t channel_count = channels == TZAVImageChannels::RGBA ? 4 : 3;
    if (width < 1 || height < 1 || pixels.size() / size_t(channel_count) / size_t(width) < size_t(height))
        return 0;
    const GLenum format = channels == TZAVImageChannels::RGBA ? GL_RGBA : GL_RGB;
    const int32_t texture_width = ClampedTextureSide(width);
    const int32_t texture_height = ClampedTextureSide(height);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    std::vector<uint8_t> scaled;
    const uint8_t* source = pixels.data();
    if (texture_width != width || texture_height != height) {
        scaled.resize(size_t(texture_width) * size_t(texture_height) * size_t(channel_count));
        if (gluScaleImage(format, width, height, GL_UNSIGNED_BYTE, source, texture_width, texture_height,
                          GL_UNSIGNED_BYTE, scaled.data()) != 0)
            return 0;
        source = scaled.data();
    }
    GLuint id = 0;
    glGenTextures(1, &id);
    glBindTexture(GL_TEXTURE_2D, id);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), texture_width, texture_height, 0, format, GL_UNSIGNED_BYTE,
                 source);
    auto [entry, added] = Textures.try_emplace(std::string(name));
    if (!added && entry->second.Id != 0) {
        const GLuint old_id = entry->second.Id;
        glDeleteTextures(1, &old_id);
    }
    entry->second = {id, texture_width, texture_height};
    return id;
}

TZAVRegisteredTexture TZAVTextureRegistry::Find(std::string_view name) const
{
    const auto entry = Textures.find(std::string(name));
    return entry == Textures.end() ? TZAVRegisteredTexture{} : entry->second;
}

void TZAVTextureRegistry::Clear()
{
    for (const auto& [name, texture] : Textures) {
        const GLuint id = texture.Id;
        glDeleteTextures(1, &id);
    }
    Textures.clear();
}

// The archive's records are decoded from memory: no temporary file per picture.
bool LoadGraphicsArchive(TZAVTextureRegistry& registry, const std::string& path)
{
    std::vector<TZAVGraphicsRecord> records;
    std::string error;
    if (!ReadGraphicsArchive(path, records, error)) {
        ShowError(GlobalDialogHost, "Cannot open the file %s", path.c_str());
        return false;
    }
    TTextureLimitsGuard limits(ArchiveMinTextureSize, ArchiveMaxTextureSize);
    for (const TZAVGraphicsRecord& record : records) {
        TZAVPixelBuffer pixels;
        int32_t width = 0;
        int32_t height = 0;
        std::string problem;
        // The pictograms stand on a transparent ground.
        if (!DecodeImageBytes(record.Bytes, pixels, width, height, problem, TZAVImageChannels::RGBA)) {
            AddWarning("%s: the picture %s is skipped: %s", path.c_str(), record.Name.c_str(),
                       problem.c_str());
            continue;
        }
        const size_t size = size_t(width) * size_t(height) * 4;
        registry.Register(WithoutExtension(record.Name), {pixels.get(), size}, width, height,
                          TZAVImageChannels::RGBA);
    }
    return true;
}

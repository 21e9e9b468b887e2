// The OpenGL textures of the interface, registered by name: the pictures of the graphics archive
// (each under its stored file name without the extension) and any other picture made from pixels.
// The registry owns its textures and deletes them when it is cleared or destroyed, which must
// happen while the GL context is current.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>

#include "paint/image_file.h"

struct TZAVRegisteredTexture
{
    uint32_t Id = 0;
    // The texture's size, after clamping to the process-wide texture size limits.
    int32_t Width = 0;
    int32_t Height = 0;
};

class TZAVTextureRegistry
{
public:
    TZAVTextureRegistry() = default;
    ~TZAVTextureRegistry();
    TZAVTextureRegistry(const TZAVTextureRegistry&) = delete;
    TZAVTextureRegistry& operator=(const TZAVTextureRegistry&) = delete;

    // Makes a texture from width × height pixels (rows bottom first, packed) and registers it under
    // name, replacing an earlier one of that name. Each side is clamped between MinTextureSize and
    // MaxTextureSize (files/settings.h), the pixels scaled to fit. The texture's name; 0 when the
    // buffer is smaller than the size says, or the size is not positive.
    uint32_t Register(std::string_view name, std::span<const uint8_t> pixels, int32_t width, int32_t height,
                      TZAVImageChannels channels);
    // The texture registered under name (same case); Id 0 when there is none.
    TZAVRegisteredTexture Find(std::string_view name) const;
    int32_t Count() const { return int32_t(Textures.size()); }
    // Deletes every texture.
    void Clear();

private:
    std::unordered_map<std::string, TZAVRegisteredTexture> Textures;
};

// Registers every picture of the graphics archive at path, with the texture size limits set to
// 2..1024 meanwhile (they are restored). A record whose image does not decode is skipped with a
// warning. When the archive cannot be read: ShowError "Cannot open the file %s" and false; the
// caller exits.
[[nodiscard]] bool LoadGraphicsArchive(TZAVTextureRegistry& registry, const std::string& path);

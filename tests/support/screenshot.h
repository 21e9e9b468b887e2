// Saves a framebuffer read back with glReadPixels as a PNG, through DevIL, for a developer to
// look at. Screenshots go into the build folder's screenshots/ folder.
#pragma once

#include <IL/il.h>
#include <sys/stat.h>

#include <cstdint>
#include <string>

#ifndef TARNWICK_SCREENSHOT_DIR
#define TARNWICK_SCREENSHOT_DIR "screenshots/"
#endif

// pixels: width * height pixels of channels bytes each (3 for RGB, 4 for RGBA), rows tightly
// packed and bottom row first, as glReadPixels gives them with GL_PACK_ALIGNMENT 1. Writes
// TARNWICK_SCREENSHOT_DIR + file_name, replacing an earlier one; false, with the reason, when
// the file cannot be written.
[[nodiscard]] inline bool SaveScreenshot(const std::string& file_name, const uint8_t* pixels, int32_t width,
                                         int32_t height, int32_t channels, std::string& out_error)
{
    const std::string path = TARNWICK_SCREENSHOT_DIR + file_name;
    if (channels != 3 && channels != 4) {
        out_error = path + ": a screenshot has 3 or 4 channels, not " + std::to_string(channels);
        return false;
    }
    mkdir(TARNWICK_SCREENSHOT_DIR, 0755);
    static const bool started = (ilInit(), true);
    (void)started;
    ILuint image = 0;
    ilGenImages(1, &image);
    ilBindImage(image);
    const bool made =
        ilTexImage(ILuint(width), ILuint(height), 1, ILubyte(channels), channels == 4 ? IL_RGBA : IL_RGB,
                   IL_UNSIGNED_BYTE, const_cast<uint8_t*>(pixels)) == IL_TRUE;
    // GL's rows run bottom to top; the PNG writer turns an image with this origin upright.
    ilRegisterOrigin(IL_ORIGIN_LOWER_LEFT);
    ilEnable(IL_FILE_OVERWRITE);
    const bool saved = made && ilSave(IL_PNG, path.c_str()) == IL_TRUE;
    ilDeleteImages(1, &image);
    if (!saved)
        out_error = path + ": DevIL cannot write the screenshot (error " + std::to_string(ilGetError()) + ")";
    return saved;
}

#include "app/driver_check.h"

#include <GL/gl.h>

#include <cstdio>
#include <vector>

#include "app/application.h"
#include "core/dialogs.h"
#include "core/safe_file.h"
#include "files/settings.h"
#include "files/video_cards.h"

namespace {

std::string GLString(GLenum name)
{
    const auto* text = reinterpret_cast<const char*>(glGetString(name));
    return text != nullptr ? text : "";
}

int GLInteger(GLenum name)
{
    GLint values[2] = {0, 0};
    glGetIntegerv(name, values);
    return values[0];
}

} // namespace

TTarnwick_DriverStrings ReadDriverStrings()
{
    return {GLString(GL_VENDOR), GLString(GL_RENDERER), GLString(GL_VERSION), GLString(GL_EXTENSIONS)};
}

bool CheckVideoCard(const TTarnwick_DriverStrings& driver, const std::string& list_path)
{
    TarnwickApp.TextureCompression = driver.Extensions.find("GL_ARB_texture_compression") != std::string::npos;
    std::vector<TTarnwick_VideoCardRecord> records;
    if (!ReadVideoCardList(list_path, records)) {
        ShowMessage(GlobalDialogHost, "Cannot open the file %s", list_path.c_str());
        return true;
    }
    const TTarnwick_VideoCardRecord* record = FindVideoCard(records, driver.Vendor, driver.Renderer, driver.Version);
    if (record == nullptr)
        return true;
    TarnwickApp.PaintingSupported = record->PaintingWorks();
    if (TarnwickSettings != nullptr) {
        TarnwickSettings->DriverWorkarounds[0] = record->Flags[2];
        TarnwickSettings->DriverWorkarounds[1] = record->Flags[3];
    }
    return AskAboutVideoCard(*record);
}

bool WriteOpenGLReport(const TTarnwick_DriverStrings& driver, const std::string& folder)
{
    const std::string path = folder + "Tarnwick_OpenGL_Report.txt";
    TZAVSafeFileWriter writer(path);
    FILE* file = writer.Open();
    GLint viewport[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    GLboolean double_buffer = GL_FALSE;
    glGetBooleanv(GL_DOUBLEBUFFER, &double_buffer);
    const bool written = file != nullptr &&
                         std::fprintf(file, "%s\t%s\t%s\t%d\t%d\t%d\t%d\t%d\n", driver.Vendor.c_str(),
                                      driver.Renderer.c_str(), driver.Version.c_str(), GLInteger(GL_ALPHA_BITS),
                                      double_buffer ? 1 : 0, GLInteger(GL_MAX_CLIP_PLANES),
                                      GLInteger(GL_MAX_TEXTURE_SIZE), viewport[0]) > 0 &&
                         writer.Commit();
    if (!written)
        ShowError(GlobalDialogHost, "Cannot create the file %s", path.c_str());
    return written;
}

// What start-up asks of the OpenGL driver: its strings against the video-card list, and the
// OpenGL report written into the user folder for support.
#pragma once

#include <string>

struct TTarnwick_DriverStrings
{
    std::string Vendor;
    std::string Renderer;
    std::string Version;
    std::string Extensions;
};

// Needs the window's GL context current.
TTarnwick_DriverStrings ReadDriverStrings();

// Compares the driver with the list at list_path and acts on its record: sets whether painting
// works and the settings' driver workarounds, and asks the user about drivers with known
// problems. False when the user chose not to run on a driver the list says cannot run Tarnwick.
bool CheckVideoCard(const TTarnwick_DriverStrings& driver, const std::string& list_path);

// Writes "Tarnwick_OpenGL_Report.txt" into folder (ending with a separator): one line of the
// driver's strings and limits. False, after an error box, when the file cannot be written.
bool WriteOpenGLReport(const TTarnwick_DriverStrings& driver, const std::string& folder);

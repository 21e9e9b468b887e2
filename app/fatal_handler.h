// The fatal-error handler: every failure that escapes a command, a callback or the main loop ends
// here, as an offer to carry on, to save the project under a new name, or to leave at once.
#pragma once

// Installed with SetFatalHook. title "FATAL" comes from ReportFatal: the process ends (with a
// failure status) after saying whether an autosave will be recovered.
void OnFatal(const char* text, const char* title);

// The X11 CLIPBOARD selection behind the process-local clipboard (core/clipboard.h), so that images
// and text copied here can be pasted in other programs and theirs pasted here.
//
// The layer opens a Display connection of its own: freeglut's event loop drops selection events,
// so they could not be served on its connection. An unmapped 1x1 window owns the selection. Copies
// take ownership and are served on request as image/png and image/bmp (a .bmp file) or as
// UTF8_STRING and STRING, plus TARGETS and TIMESTAMP; transfers larger than the server's maximum
// request go through INCR. Pastes use the local clipboard while we own the selection or nobody
// does; when another program owns it, they ask it (PNG before BMP, UTF-8 before Latin-1) and wait
// at most about a second for each answer, polling the connection.
//
// When another program takes the selection, our copy is no longer offered, but the local clipboard
// keeps it: should that program quit and leave the selection without an owner, a paste here gets
// our last copy again rather than nothing.
//
// Requests from other programs arrive only while the connection is pumped: the main window calls
// PumpX11Clipboard from its 17 ms tick, and a paste here serves them while it waits.
#pragma once

// Opens the display (display_name nullptr: $DISPLAY) and installs the layer as the clipboard's
// backend. False, with the local clipboard alone in use, when there is no display. Installing
// again first removes the layer that was installed.
bool InstallX11Clipboard(const char* display_name = nullptr);
// Gives the selection up, closes the connection and leaves the local clipboard alone in use.
void RemoveX11Clipboard();
bool X11ClipboardActive();
// Serves what other programs asked for (conversions, INCR chunks, loss of the selection) without
// blocking.
void PumpX11Clipboard();

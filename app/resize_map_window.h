// TTarnwick_ResizeMapWindow: the "Resize map..." dialog of commands 74 and 75. It holds a width
// and a height field, a switch that keeps each map's proportions (the height then follows the
// width), OK and Cancel. OK posts the resize command (13) once for each map the dialog was opened
// for, so that every resize records its undo and reports like one asked for directly; Cancel and
// the close button leave the maps as they are. The dialog is modal while it shows.
#pragma once

#include <cstdint>
#include <vector>

#include "widgets/window.h"

class TTarnwick_Object;
class TZAVglutWigits_CheckBox;
class TZAVglutWigits_DialogButton;
class TZAVglutWigits_EditField;

class TTarnwick_ResizeMapWindow : public TZAVglutWigits_Window
{
public:
    explicit TTarnwick_ResizeMapWindow(TZAVglutWigits_Node* parent);

    // Opens for the entries maps of object's map list, the fields showing width and height.
    void Open(const TTarnwick_Object* object, std::vector<int32_t> maps, int32_t width, int32_t height);
    // What OK does: false, with a message and the dialog still open, when a field holds no whole
    // number above 0; false, closing, when the object is no longer the current one.
    bool Accept();
    void Cancel();

    TZAVglutWigits_EditField* WidthField = nullptr;
    TZAVglutWigits_EditField* HeightField = nullptr;
    TZAVglutWigits_CheckBox* KeepAspectBox = nullptr;
    TZAVglutWigits_DialogButton* OkButton = nullptr;
    TZAVglutWigits_DialogButton* CancelButton = nullptr;
    // Bound to KeepAspectBox.
    int32_t KeepAspect = 0;

private:
    // Compared with the current object only, never followed.
    const TTarnwick_Object* Object = nullptr;
    std::vector<int32_t> Maps;
};

// The dialog of the current main window, made on first use.
TTarnwick_ResizeMapWindow& ResizeMapWindow();

// TTarnwick_CR2ExportWindow: the wizard that asks which kind of CR2 export is wanted. Each of its
// three picture buttons sets the export options of its kind, posts the command that goes on with
// the export and hides the wizard.
#pragma once

#include <cstdint>

#include "files/cr2_export.h"
#include "widgets/window.h"

class TZAVglutWigits_DialogButton;

// Posted by a choice of the wizard: the export goes on with the options it set.
constexpr int32_t ContinueCR2ExportCommand = 237;

class TTarnwick_CR2ExportWindow : public TZAVglutWigits_Window
{
public:
    // A hidden wizard in parent (the main window); its pictures come from the data folder.
    explicit TTarnwick_CR2ExportWindow(TZAVglutWigits_Node* parent);

    // Keeps the close button at the right end of the title bar.
    // Shows the wizard centred, in front of everything.
    void Open();
    // What a click on the button of kind does.
    void Choose(TTarnwick_CR2ExportKind kind);

    // The buttons in the order of the kinds, named "SimpleMorphs", "BodyMorphs", "NewCharacter".
    TZAVglutWigits_DialogButton* Choices[3] = {nullptr, nullptr, nullptr};
};

// The main window's wizard, made on first use.
TTarnwick_CR2ExportWindow& CR2ExportWindow();

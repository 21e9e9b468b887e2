// TTarnwick_MainMenu: the menu bar along the top of the main window. Its entries post the
// dispatcher's commands; Quit asks the window to close, as its close button does. Undo is
// Ctrl+Z, redo Ctrl+Shift+Z or Ctrl+Y.
#pragma once

#include <cstdint>

#include "widgets/menu.h"

class TZAVglutWigits_Master;

// Commands of the menu entries.
enum TTarnwick_MenuCommand : int32_t
{
    MenuCommand_Undo = 68,
    MenuCommand_Redo = 82,
    MenuCommand_MaximizeView = 162,
    MenuCommand_OpenProject = 202,
    MenuCommand_ImportCR2 = 204,
    MenuCommand_ImportOBJ = 205,
    MenuCommand_NewProject = 207,
    MenuCommand_Save = 211,
    MenuCommand_SaveAs = 212,
    MenuCommand_ExportOBJ = 221,
};

class TTarnwick_MainMenu : public TZAVglutWigits_MenuBar
{
public:
    // window receives OnCloseRequest from the Quit entry; the hot keys of the entries work in it
    // while their menus are closed.
    TTarnwick_MainMenu(TZAVglutWigits_Master* window);

    TZAVglutWigits_Menu* FileMenu = nullptr;
    TZAVglutWigits_Menu* EditMenu = nullptr;
    TZAVglutWigits_Menu* ViewMenu = nullptr;
    TZAVglutWigits_Menu* ToolsMenu = nullptr;
    TZAVglutWigits_MenuText* QuitEntry = nullptr;

private:
    void AddToolsMenu();
};

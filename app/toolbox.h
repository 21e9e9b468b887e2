// The application's tools: the tool lists of the tool bar (selection brushes, deformers, paint
// brushes and grabbers), the current tool, and what the tools ask of the application (undo
// records, redraws, the project's brush images). The viewport panels hand their mouse input to the current tool.
#pragma once

class TTarnwick_Mesh;
class TTarnwick_Tool;
struct TTarnwick_Toolbox;

// Built on first use, with the tools' hooks installed; lives as long as the process.
TTarnwick_Toolbox& ApplicationToolbox();
// The current object's mesh, which the tools work on; null without one.
TTarnwick_Mesh* ToolMesh();
// The one way the tool bar and the Tools menu switch tools: the current mesh goes to Deselected
// and Selected, and the tool panel is refreshed. False, with nothing changed, while the current
// tool is Busy (a grabber that hands control back). Null puts the tool away.
bool ChooseTool(TTarnwick_Tool* tool);
// The project's tool options (symmetry, axis locks) into the tools, before each stroke.
void CopyProjectToolOptions();

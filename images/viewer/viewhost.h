// What the image views share across the process: the one host that the views
// report to (the main image panel) and the current mouse tool that the
// panel's toolbar arms and a view disarms when the tool ends. (The viewer's
// popup menus are tracked through ui/popupmenu.h, as every menu of the
// program.)
#pragma once

#include <windows.h>

class SnimokWnd;

// The window that hosts the image views. Views call it on the process's one
// host; without one they report to nobody.
class SnimokHost {
public:
    // The view was clicked and becomes the active view.
    virtual void SetActiveView(SnimokWnd* view) = 0;
    // The window/level controls take the display offset and width of the
    // view's picture; with setDefault = 1 also as their default values.
    virtual void SetLevelScrolls(SnimokWnd* view, int setDefault) = 0;

protected:
    ~SnimokHost() = default;
};

SnimokHost* GetSnimokHost();
void SetSnimokHost(SnimokHost* host);

// The current mouse tool; a view uses it once per choice and resets it to 0.
enum PanelTool {
    kToolNone = 0,
    kToolWindowMinMax = 1,   // region window/level by minimum and maximum
    kToolWindowMeanSd = 2,   // region window/level by mean and standard deviation
    kToolProfile = 3,        // line profile
    kToolLineStats = 4,      // line statistics
    kToolRectStats = 5,      // region statistics
};
int GetPanelMode();
void SetPanelMode(int mode);

// The archive window's geometry, apart from the window: the metrics taken
// from the screen size, the client size they add up to, and the rectangle of
// every element for a client size.
//
// From the bottom up: the status bar; the row of the four buttons (Start,
// Stop, Remove Disk, Close), centred; the two text boxes side by side
// ("Possible fault reason" left, "Troubleshooting" right), each in its
// frame; the status line in the "Status" frame; the progress bar in the
// "Copying Image" frame; the "Information" frame with four rows of two
// lines. The client height is exactly what these take, so the first
// information row starts at the top space.
#pragma once

#include <windows.h>

struct ArjMetrics {
    int scaledWidth;        // W': the screen width, widened on small screens
    int scaledHeight;       // H'
    int buttonWidth;        // W' / 8
    int buttonHeight;       // 2.4 x the Start button's text height
    int buttonGap;          // W' / 19.69
    int sideMargin;         // W' / 42.5
    int spaceBelowButtons;  // H' / 39.38 + the status bar
    int spaceAboveButtons;  // 1.2 x the space below
    int boxHeight;          // 2 x H' / 30.11
    int gapAboveBoxes;      // H' / 30.11 + the space above the buttons / 1.5
    int statusLineHeight;   // H' / 25.6
    int gapAboveStatus;     // H' / 22.75
    int copyFrameHeight;    // H' / 17
    int gapAboveCopy;       // H' / 20
    int infoLineHeight;     // H' / 30.11
    int infoPitch;          // 1.1 x the line height, between rows
    int topSpace;           // H' / 22.75
    int insetV;             // H' / 51.3
    int insetH;             // W' / 128
    int statusBarHeight;
    int clientWidth;        // 4 buttons, 3 gaps, 2 side margins
    int clientHeight;       // everything above, stacked
};

// The metrics for a screen of width x height pixels.
ArjMetrics ComputeArjMetrics(int screenWidth, int screenHeight, int buttonTextHeight, int statusBarHeight);

enum ArjButtonIndex { kArjStart = 0, kArjStop = 1, kArjRemoveDisk = 2, kArjClose = 3, kArjButtons = 4 };

// Information rows (top to bottom) and columns.
enum ArjInfoLine {
    kInfoHardDiskFree = 0,   // row 1 left
    kInfoRecommended,        // row 1 right
    kInfoRemovableFree,      // row 2 left
    kInfoCopied,             // row 2 right
    kInfoMarked,             // row 3 left
    kInfoNotArchived,        // row 3 right
    kInfoLastBackup,         // row 4 left
    kInfoDiskName,           // row 4 right
    kInfoLines
};

struct ArjLayout {
    RECT statusBar;
    RECT buttons[kArjButtons];
    RECT faultFrame, faultBox;       // "Possible fault reason"
    RECT actionFrame, actionBox;     // "Troubleshooting"
    RECT statusFrame, statusLine;
    RECT copyFrame, progressBar;
    RECT infoFrame;
    RECT info[kInfoLines];
};

ArjLayout LayoutArjWindow(const ArjMetrics& m, int clientWidth, int clientHeight);

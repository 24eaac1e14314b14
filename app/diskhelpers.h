// Folder and disk helpers of the shell: the folder picker, the root of a
// path, the free-space test of the image drive, and the screen-size limits.
#pragma once

#include "foundation/globals.h"

#include <windows.h>

// The folder picker: starts at `path` (a buffer of MAX_PATH characters) and
// writes the chosen folder back into it. FALSE on Cancel (path unchanged).
BOOL BrowseForFolder(HWND owner, wchar_t* path, const wchar_t* title);

// The root of an absolute path: "X:\" for a drive path, "\\server\share\"
// for a network path (the last backslash added when the path ends with the
// share name). FALSE, with an empty root, for anything else: a relative path,
// "X:" without its backslash, a missing server or share name, or a root that
// does not fit in `capacity` characters.
BOOL GetPathRoot(const wchar_t* path, wchar_t* root, int capacity = kFolderChars);

// IsDataDiskSpaceEnough (the drive of ImageFolder has at least SpaceMin MB
// free for this user) is images/datafolders.h's: saving a new image asks it.

// Width and height limits of the screen from "Desktop" below the settings
// key ("WidthLimit", "HeightLimit"); no command uses them.
class ScreenLimits {
public:
    // Reads both limits; each is -1 when its value (or the key) is missing.
    void Load(HKEY root);
    // SM_CXSCREEN, limited to the width limit when that is 0 or more.
    int GetWidth() const;
    // SM_CYSCREEN, limited to the height limit when that is 0 or more.
    int GetMaxScreenHeight() const;
    void GetSize(int* width, int* height) const;

private:
    int widthLimit_ = -1;
    int heightLimit_ = -1;
};

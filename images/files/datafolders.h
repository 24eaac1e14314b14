// The folders of the image files and thumbnails below the data folder, and
// the free-space check made before a new image is written.
//
// The settings loader fills these at each pass of the main cycle; tests and
// the demo-site builder set them directly.
#pragma once

#include "foundation/globals.h"   // ImageFolder, IconFolder, SpaceMin

#include <windows.h>

// True when the space available to the caller on the drive of the image
// folder, in whole megabytes, is at least SpaceMin; false when it is
// below, and false with the last error set when it cannot be read.
bool IsDataDiskSpaceEnough();

// Builds `out` (MAX_PATH characters) from a folder ending with a backslash, a
// file name and an extension with its dot; false when the path does not fit.
bool BuildDataFilePath(wchar_t* out, const wchar_t* folder, const wchar_t* name, const wchar_t* extension);

// Class resources of the profile window, shared by its two source files.
#pragma once

#include <windows.h>

struct ProfileClassResources {
    wchar_t labels[4][32] = {};     // "Start", "End", "Length", "Value"
    HICON autoMaxIcon = nullptr, autoMinIcon = nullptr, closeIcon = nullptr;
    HPEN barPen = nullptr;          // 0x7F7FFF
    HPEN cursorPen = nullptr;       // black
    HPEN backgroundPen = nullptr;   // 0xC0C0C0
    HBRUSH greyBrush = nullptr;     // 0xC0C0C0: columns past the last sample
    bool registered = false;
};
extern ProfileClassResources gProfile;

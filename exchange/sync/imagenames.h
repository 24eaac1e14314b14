// Which files of a scanned folder are image files of the program, and under
// which name the synchronisation knows them.
//
// An image file is "<name>.xmg" where <name> is a name the program gives its
// images: at most 21 characters (the width of [File name] in Snimok,
// Snimok_tmp and the tables derived from them), no dot (so "<name>.xmg" is
// the one file the name stands for), and a name CheckStoredFileName takes
// (no device name such as CON, no trailing blank). The tables keep <name>;
// every path back to the file is <folder> + <name> + ".xmg".
//
// Anything else that a "*.xmg" search finds is not an image file: a folder is
// passed over, and a file with another name (a file manager's
// "<name> - Copy.xmg", "<name>.old.xmg", "CON.xmg") is an odd file that the
// scans report by its name and leave alone.
#pragma once

#include <windows.h>

#include <string>
#include <unordered_set>

const int kImageNameChars = 21;   // the width of [File name]

enum class FolderEntry {
    kImageFile,   // "<name>.xmg" with an image name
    kOddFile,     // a file that the search found but that is not an image file
    kOther,       // a folder, or a name that does not end in ".xmg"
};

// Classifies an entry of a "*.xmg" search; `name` gets <name> for an image file.
FolderEntry ClassifyFolderEntry(const WIN32_FIND_DATAW& found, std::wstring* name);

// The pattern that finds the ".xmg" files of a folder (with or without its
// trailing backslash).
std::wstring ImageFilePattern(const std::wstring& folder);

// The names of the image files of `folder` as they are now, in the form
// FileNameKey gives (upper case). False, with the Win32 error in `error`,
// when the folder cannot be searched; a folder without image files is no
// error.
bool ListImageFiles(const std::wstring& folder, std::unordered_set<std::wstring>* names, DWORD* error);

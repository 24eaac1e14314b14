// The folders of the image files and thumbnails below the data folder, and
// the free-space check made before a new image is written.
//
// The settings loader fills these at each pass of the main cycle; tests and
// the demo-site builder set them directly.
#pragma once

#include "foundation/globals.h"   // ImageFolder, IconFolder, SpaceMin

#include <windows.h>

#include <string>

// True when the space available to the caller on the drive of the image
// folder, in whole megabytes, is at least SpaceMin; false when it is
// below, and false with the last error set when it cannot be read.
bool IsDataDiskSpaceEnough();

// Builds `out` (MAX_PATH characters) from a folder ending with a backslash, a
// file name and an extension with its dot; false when the path does not fit.
bool BuildDataFilePath(wchar_t* out, const wchar_t* folder, const wchar_t* name, const wchar_t* extension);

// A file name read from a database row (Snimok's or DelImage's [File name],
// another workstation's rows) is only a name: it must name a file inside the
// folder it is joined to, never a folder above it, another drive or a device,
// and it must name that file exactly: not a name Windows shortens to
// another ("S1 " is "S1"), nor the short-name alias of another file
// ("L000~AJC" for "L0000000000000001"). Every path built from a stored name
// is built by BuildStoredFilePath, so no job ever reads, copies or deletes a
// file outside the data and archive folders, or another image's file,
// whatever a row holds. The rows are taken as they are read: a name is never
// trimmed before the check, since the trimmed name is another image's.
const int kStoredFileNameChars = 63;   // the longest stored name taken

enum class StoredNameVerdict {
    kOk,
    kEmpty,
    kTooLong,        // more than kStoredFileNameChars characters
    kSeparator,      // "\", "/" or ":" would leave the folder
    kParent,         // ".." names a folder above
    kControl,        // a character below U+0020, or one no file name may hold
    kDevice,         // CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$, CONOUT$, with or without an extension
    kTrailing,       // ends with a dot or a blank, which Windows drops from a name
};

// Whether `name` (`length` characters, -1: up to the terminator) may be used
// below a folder as a file name.
StoredNameVerdict CheckStoredFileName(const wchar_t* name, int length = -1);

// BuildDataFilePath for a stored name: false, with ERROR_INVALID_NAME as the
// last error and `out` empty, when the name fails CheckStoredFileName or, a
// name with "~", the file system finds a file of another long name at the
// path (a short-name alias).
bool BuildStoredFilePath(wchar_t* out, const wchar_t* folder, const wchar_t* name, const wchar_t* extension);

// The form in which the file system tells stored names apart: upper case, as
// the file system compares names without case (Cyrillic letters too: a
// name begins with the patient's initial), and without the trailing blanks
// and dots Windows drops from a name ("s1 " names the file of "S1"). Two
// names of one key name one file of a folder; a short-name alias ("~") is
// told apart only by the file system (LiveImageNames looks it up).
// `length` -1: up to the terminator.
std::wstring StoredNameKey(const wchar_t* name, int length = -1);

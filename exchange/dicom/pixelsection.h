// The pixels of one DICOM send or save: a section named kSectionName
// (dicomclient.h) of width x height x 2 bytes, holding the source raster row
// after row as unsigned 16-bit little-endian values, which the server opens
// by its name during the call.
//
// The section lies on a temporary file that the pixels are written into with
// one write and that is deleted when the section closes (on a thread of its
// own: giving back its cached pages costs as much as writing them): a
// page-file section would take its pages one fault at a time, which under
// Wine (whose page-file sections are files of its server) costs three times
// the write of the same bytes. A section of that name that exists already
// (another sender's, of whatever size) is refused with ERROR_ALREADY_EXISTS
// rather than reused.
//
// A call that the server does not answer in time keeps its section (the
// client's calls own theirs, dicomclient.h) until the server answers: the
// server may still read the pixels then.
#pragma once

#include <windows.h>

#include <stddef.h>

class PixelSection
{
public:
    // Throws the Win32 error code (DWORD) when the file cannot be made or
    // written, or the section cannot be made or is not new.
    PixelSection(const wchar_t* name, const void* pixels, size_t bytes);
    ~PixelSection();
    PixelSection(const PixelSection&) = delete;
    PixelSection& operator=(const PixelSection&) = delete;

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE mapping_ = nullptr;
};

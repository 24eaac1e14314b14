// The two ways an image leaves the system as DICOM: sent to a DICOM target
// through the export server's queue, or saved as a DICOM file by the server.
// Both hand the server the picture's attributes (dicomattrs.h) and its
// pixels in a named section that exists only during the call.
//
// Send: connect (DicomExportClient::Init); read the targets ("Не
// сконфигурированы DICOM Servers" when there is none); with two or more ask
// for one in dialog 253 (Cancel ends quietly, before any section exists);
// make the section with the pixels; fill the attributes; call SendImage.
// Save: the same without the targets and the dialog, with SaveImage and the
// file name; its section is made on a thread of its own while the client
// connects.
//
// A failure thrown on the way (the section, the dialog, the connection, the
// attribute operations) is shown with the system's text for its code; the
// section is closed on every path. The server's own failures are shown by
// the client.
#pragma once

#include "images/pixels/picture.h"

#include <windows.h>

// The pixels of one call: a section named kSectionName of width x height x
// 2 bytes, holding the source raster row after row as unsigned 16-bit
// little-endian values, which the server opens by its name during the call.
// The section lies on a temporary file that the pixels are written into with
// one write and that is deleted when the section closes (on a thread of its
// own: giving back its cached pages costs as much as writing them): a
// page-file section
// would take its pages one fault at a time, which under Wine (whose page-file
// sections are files of its server) costs three times the write of the same
// bytes. A section of that name that exists already (another sender's, of
// whatever size) is refused with ERROR_ALREADY_EXISTS rather than reused.
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

// 1 when the server took the image into a target's queue, else 0.
int SendPictureToDicomServer(const DPicturePtr& picture, HWND owner);
// 1 when the server wrote the file, else 0.
int SaveImageAsDicomFile(const DPicturePtr& picture, HWND owner, const wchar_t* fileName);

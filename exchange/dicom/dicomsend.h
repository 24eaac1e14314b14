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
// file name; its section is made before the client connects.
//
// A failure thrown on the way (the section, the dialog, the connection, the
// attribute operations) is shown with the system's text for its code (or the
// code itself where the system has no text). The section goes with the
// server's call (dicomclient.h): it is closed when the call ends, or, when the
// server did not answer in time, when it answers at last. The server's own
// failures, and a server that does not answer, are shown by the client.
#pragma once

#include "exchange/dicom/pixelsection.h"
#include "images/pixels/picture.h"

#include <windows.h>

// 1 when the server took the image into a target's queue, else 0.
int SendPictureToDicomServer(const DPicturePtr& picture, HWND owner);
// 1 when the server wrote the file, else 0.
int SaveImageAsDicomFile(const DPicturePtr& picture, HWND owner, const wchar_t* fileName);

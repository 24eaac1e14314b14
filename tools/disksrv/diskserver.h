// The disk service: the outside program that owns the workstation's
// removable drives, here as a stand-in that runs under Wine.
//
// Protocol (one request and one reply per connection, little-endian):
//   eject, 10 bytes:   command u32 = 1; reserved u32 = 0; drive letter u16
//   format, 36 bytes:  command u32 = 2; drive letter u16; reserved u32 = 0;
//                      name length u16 (0..12); name 12 x u16, zero-filled
//   reply, 1,028 bytes: result u32 (0 = failed, 1 = done); text 512 x u16,
//                      zero-terminated within the field: the reason of a failure
//
// Under Wine a drive letter is a link in the prefix's "dosdevices" folder,
// whose label and serial the mount manager reads from ".windows-label" and
// ".windows-serial" in the drive's folder and keeps until the drive is
// defined again. Eject removes the drive from the mount manager; format
// writes the new label and defines the drive again, so the new label shows
// at once. Format does not erase the disk: the stand-in only re-labels it.
#pragma once

#include <windows.h>

const DWORD kEjectRequestSize = 10;
const DWORD kFormatRequestSize = 36;
const DWORD kReplySize = 1028;
const int kReplyTextChars = 512;
const int kDiskNameChars = 12;

// The reply to one request of `size` bytes. Malformed requests get result 0
// and a reason; so do drives that cannot be ejected or formatted.
void AnswerRequest(const BYTE* request, DWORD size, BYTE reply[kReplySize]);

// Appends every request the service reads to the file, one line of
// hexadecimal bytes each ("0200450000..."), before it is answered; null
// logs nothing. Call before ServePipe.
void SetRequestLog(const wchar_t* path);

// How long a client may take to send its request and to read its reply.
const DWORD kDefaultReadTimeoutMs = 5000;

// Serves the pipe until the process is ended, keeping one instance always
// listening and each client on a thread of its own, so that a client that
// connects and stays silent (or never reads its reply) holds up nobody else;
// it is disconnected after `readTimeoutMs`. Returns only when a pipe instance
// cannot be created (the Win32 error code).
DWORD ServePipe(const wchar_t* pipeName, DWORD readTimeoutMs = kDefaultReadTimeoutMs);

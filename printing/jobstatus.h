// How a print job's state reads on the screen: the text of its status bits
// and the printed part of the progress bar. Shared by the print-state window
// and the printer status window; no window handles here.
#pragma once

#include <windows.h>

#include <string>

// The status bits in the order their texts are joined (JOB_STATUS_PAUSED
// 0x1 up to JOB_STATUS_RESTART 0x800) and the string ids of their texts.
const int kJobStatusBits = 12;
extern const UINT kJobStatusTextIds[kJobStatusBits];

// The texts of the set bits, lowest bit first, joined by " - ", as they fit
// a buffer of `capacity` characters with its terminator: a separator is added
// only while at least 3 characters remain, a text only when it fits whole.
// `texts` holds the text of each bit in the order above.
std::wstring JoinJobStatus(DWORD status, const std::wstring* texts, size_t capacity);
// The same with the string table's texts in a buffer of 1,024 characters.
std::wstring JobStatusText(DWORD status);

// The width of the printed part of a bar `innerWidth` wide: bytes printed /
// total bytes of it, truncated; the whole bar when the total is 0 or the
// printed bytes have reached it.
int PrintedBarWidth(int innerWidth, DWORD bytesPrinted, DWORD totalBytes);

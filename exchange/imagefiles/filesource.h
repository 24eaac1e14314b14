// An open file as the import readers' input (bytesource.h): exact reads at
// offsets through the file handle, which the caller keeps and closes.
#pragma once

#include "exchange/imagefiles/bytesource.h"
#include "exchange/imagefiles/xmgtext.h"

#include <windows.h>

class FileSource : public ByteSource
{
public:
    // Takes the file's size now; a file whose size cannot be read has size 0
    // and every read fails.
    explicit FileSource(HANDLE file);
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* dst, uint32_t count) override;

private:
    HANDLE file_;
    uint64_t size_;
};

// ANSI names of ".xmg" files through the system's ANSI code page.
int XmgAnsiToUtf16(const uint8_t* bytes, int count, char16_t* out, int capacity);

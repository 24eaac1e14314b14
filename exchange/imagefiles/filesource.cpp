// Files as the import readers' input: see filesource.h.
#include "exchange/imagefiles/filesource.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 texts are wchar_t on Windows");

FileSource::FileSource(HANDLE file) : file_(file), size_(0)
{
    LARGE_INTEGER size;
    if (file != INVALID_HANDLE_VALUE && GetFileSizeEx(file, &size) && size.QuadPart >= 0)
        size_ = (uint64_t)size.QuadPart;
}

bool FileSource::ReadAt(uint64_t offset, void* dst, uint32_t count)
{
    if (offset > size_ || count > size_ - offset)
        return false;
    if (count == 0)
        return true;
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)offset;
    if (!SetFilePointerEx(file_, at, nullptr, FILE_BEGIN))
        return false;
    DWORD done = 0;
    return ReadFile(file_, dst, count, &done, nullptr) && done == count;
}

int XmgAnsiToUtf16(const uint8_t* bytes, int count, char16_t* out, int capacity)
{
    if (count <= 0)
        return 0;
    const int n = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes), count,
                                      reinterpret_cast<wchar_t*>(out), capacity);
    return n > 0 ? n : -1;
}

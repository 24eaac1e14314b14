#include "images/pixels/flatfield.h"

#include "foundation/prompt.h"

#include <windows.h>

#include <new>
#include <string.h>
#include <wchar.h>

namespace {

const uint32_t kMagic = 0x74616C66;     // "flat"
const uint32_t kVersion = 0x10000;
const uint32_t kHeaderSize = 24;

inline uint32_t GetLE32(const uint8_t* p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

inline void PutLE32(uint8_t* p, uint32_t v)
{
    p[0] = (uint8_t)v;
    p[1] = (uint8_t)(v >> 8);
    p[2] = (uint8_t)(v >> 16);
    p[3] = (uint8_t)(v >> 24);
}

// File size of a w x h map, or 0 when it does not fit 32 bits.
uint32_t MapFileSize(int w, int h)
{
    if (w <= 0 || h <= 0)
        return 0;
    uint64_t size = kHeaderSize + (uint64_t)w * (uint64_t)h * 4;
    return size > 0x7FFFFFFF ? 0 : (uint32_t)size;
}

void ApplyGains(uint16_t* __restrict row, const uint8_t* __restrict gains, int n, uint32_t max)
{
    for (int i = 0; i < n; ++i) {
        const uint32_t p = row[i];
        float gain;
        memcpy(&gain, gains + 4 * i, 4);
        if (p >= max || gain == 0.0f)
            continue;
        double q = p * (double)gain;
        // A damaged gain (negative, NaN, huge) must still give a pixel value.
        row[i] = (uint16_t)(q >= (double)max ? max : q > 0 ? (uint32_t)q : 0);
    }
}

class FlatFieldMap : public FlatField
{
public:
    FlatFieldMap() : name(nullptr), file(INVALID_HANDLE_VALUE), mapping(nullptr), view(nullptr), width(0), height(0)
    {
    }
    ~FlatFieldMap() override { Close(); }

    bool SetFileName(const wchar_t* text) override
    {
        if (name)
            return true;
        if (!text)
            return false;
        size_t n = wcslen(text) + 1;
        name = new (std::nothrow) wchar_t[n];
        if (!name)
            return false;
        memcpy(name, text, n * sizeof(wchar_t));
        return true;
    }

    void Close() override
    {
        Unmap();
        delete[] name;
        name = nullptr;
    }

    void Unmap() override
    {
        if (view)
            UnmapViewOfFile(view);
        if (mapping)
            CloseHandle(mapping);
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        view = nullptr;
        mapping = nullptr;
        file = INVALID_HANDLE_VALUE;
        width = height = 0;
    }

    bool Open() override
    {
        Unmap();
        if (!name)
            return false;
        file = CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        LARGE_INTEGER size;
        if (!GetFileSizeEx(file, &size) || size.QuadPart < kHeaderSize || size.QuadPart > 0x7FFFFFFF)
            return Fail();
        mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (!mapping)
            return Fail();
        view = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
        if (!view)
            return Fail();
        const int w = (int)GetLE32(view + 16), h = (int)GetLE32(view + 20);
        const uint32_t expect = MapFileSize(w, h);
        if (GetLE32(view) != kMagic || GetLE32(view + 4) != kVersion || expect == 0 ||
            GetLE32(view + 8) != expect || (uint64_t)size.QuadPart < expect)
            return Fail();
        width = w;
        height = h;
        return true;
    }

    bool Create(const uint16_t* reference, int w, int h, uint32_t level) override
    {
        Unmap();
        const uint32_t size = MapFileSize(w, h);
        if (!name || !reference || size == 0)
            return false;
        file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        mapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE, 0, size, nullptr);
        if (!mapping)
            return Fail();
        view = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, size));
        if (!view)
            return Fail();
        PutLE32(view, kMagic);
        PutLE32(view + 4, kVersion);
        PutLE32(view + 8, size);
        PutLE32(view + 12, 0);
        PutLE32(view + 16, (uint32_t)w);
        PutLE32(view + 20, (uint32_t)h);
        const float l = (float)(level & 0xFFFF);
        uint8_t* gains = view + kHeaderSize;
        for (size_t i = 0; i < (size_t)w * h; ++i) {
            float gain = reference[i] ? l / reference[i] : 0.0f;
            memcpy(gains + 4 * i, &gain, 4);
        }
        if (!FlushViewOfFile(view, size))
            return Fail();
        width = w;
        height = h;
        return true;
    }

    bool Apply(uint16_t* pixels, const PixelRect& r, int bitsPerPixel) override
    {
        if (!IsAvailable() || !pixels || bitsPerPixel < 1 || bitsPerPixel > 16)
            return false;
        if (r.left < 0 || r.top < 0 || r.left > r.right || r.top > r.bottom || r.right > width || r.bottom > height)
            return false;
        const uint32_t max = 65535u >> (16 - bitsPerPixel);
        for (int y = r.top; y < r.bottom; ++y)
            ApplyGains(pixels + (size_t)y * width + r.left, view + kHeaderSize + ((size_t)y * width + r.left) * 4,
                       r.right - r.left, max);
        return true;
    }

    bool IsAvailable() const override { return view && width > 0 && height > 0; }

private:
    bool Fail()
    {
        Unmap();
        return false;
    }

    wchar_t* name;          // heap copy of the file name
    HANDLE file;            // the map's file
    HANDLE mapping;         // its file mapping
    uint8_t* view;          // the mapped file
    int width, height;      // size of the map
};

} // namespace

void FlatField::ShowError(const wchar_t* text)
{
    ShowPrompt(nullptr, text, L"FlatFloat", MB_OK | MB_ICONERROR);
}

FlatField* CreateFlatField()
{
    return new (std::nothrow) FlatFieldMap();
}

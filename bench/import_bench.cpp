// import_bench.exe: the image import's reading of a BMP file (the file from
// the page cache into a new picture, as ImportBmpFile reads it before it
// attaches the patient), as a ratio to a single-threaded memcpy of the file's
// bytes in the same run, for pictures of three shapes and both depths, each
// file of 12 to 16 MB; before each run of either side the processor's caches
// are filled with other bytes (a machine whose last cache holds 32 MB would
// otherwise copy the memcpy's bytes from the cache):
//   - 24 bits (three bytes a pixel: the mean of blue, green and red):
//     wide 4,000,000 x 1, tall 1 x 4,000,000 (rows padded to four bytes),
//     square 2000 x 2000;
//   - 8 bits (one byte a pixel through the palette): wide 16,000,000 x 1,
//     tall 1 x 4,000,000 (rows padded to four bytes), square 4000 x 4000.
// Limit: at most 8x each. The read from the page cache costs about one
// memcpy, the conversion (a look-up, a store of two bytes and the running
// maximum a pixel) three to five on these machines. Reading a row at a time
// made the tall picture cost a microsecond a pixel (3.6 s, about a thousand
// times the memcpy).
// The exit status is 1 when a figure is above its limit.
//
//   build/wine-run.sh build/bench/import_bench.exe
#include "bench/benchutil.h"
#include "exchange/imagefiles/bmpformat.h"
#include "exchange/imagefiles/imageimport.h"

#include <stdio.h>

#include <string>
#include <vector>

namespace {

// A BMP file of the shape, its pixels a ramp that is not the same in every
// row; the file's bytes.
std::vector<uint8_t> MakeBmp(int32_t width, int32_t height, int bits)
{
    const uint32_t rowSize = (uint32_t)(((uint64_t)width * (bits / 8) + 3) / 4 * 4);
    const uint32_t palette = bits == 8 ? 1024 : 0;
    const uint32_t offset = 14 + 40 + palette;
    std::vector<uint8_t> file(offset + (size_t)rowSize * (size_t)height, 0);
    uint8_t* p = file.data();
    StoreLe16(p, 0x4D42);
    StoreLe32(p + 2, (uint32_t)file.size());
    StoreLe32(p + 10, offset);
    StoreLe32(p + 14, 40);
    StoreLe32(p + 18, (uint32_t)width);
    StoreLe32(p + 22, (uint32_t)height);
    StoreLe16(p + 26, 1);
    StoreLe16(p + 28, (uint16_t)bits);
    StoreLe32(p + 34, rowSize * (uint32_t)height);
    for (uint32_t i = 0; bits == 8 && i < 256; ++i) {
        p[54 + 4 * i] = (uint8_t)i;
        p[54 + 4 * i + 1] = (uint8_t)(255 - i);
        p[54 + 4 * i + 2] = (uint8_t)(i / 2);
    }
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = p + offset + (size_t)y * rowSize;
        for (uint32_t b = 0; b < (uint32_t)width * (bits / 8); ++b)
            row[b] = (uint8_t)(b * 7 + y * 3);
    }
    return file;
}

bool WriteAll(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD done = 0;
    const bool ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &done, nullptr) && done == bytes.size();
    CloseHandle(file);
    return ok;
}

}  // namespace

int wmain()
{
    using namespace bench;
    Verdict verdict;
    CacheFlusher flush;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);

    struct Shape {
        const char* name;
        int32_t width;
        int32_t height;
        int bits;
    };
    const double kLimit = 8.0;
    const Shape shapes[] = {
        {"import_bmp24_wide", 4000000, 1, 24},  {"import_bmp24_tall", 1, 4000000, 24},
        {"import_bmp24_square", 2000, 2000, 24}, {"import_bmp8_wide", 16000000, 1, 8},
        {"import_bmp8_tall", 1, 4000000, 8},     {"import_bmp8_square", 4000, 4000, 8},
    };
    for (const Shape& shape : shapes) {
        const std::vector<uint8_t> bytes = MakeBmp(shape.width, shape.height, shape.bits);
        const std::wstring path = std::wstring(temp) + L"import_bench" + std::to_wstring(GetCurrentProcessId()) + L".bmp";
        if (!WriteAll(path, bytes)) {
            verdict.Failed(shape.name, "the BMP file cannot be written");
            continue;
        }
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        unsigned failure = 0;
        // The best of many runs: the figure is the reading, not the machine's
        // other work. Each run, and each memcpy, starts with nothing of the
        // file in the processor's caches.
        const Timing read = MeasureAfter(
            [&] {
                DPicturePtr picture;
                failure |= ReadBmpPicture(file, picture);
            },
            flush, 15);
        CloseHandle(file);
        DeleteFileW(path.c_str());
        if (failure) {
            verdict.Failed(shape.name, "the import refused the file");
            continue;
        }
        const Timing copy = MemcpyOfAfter(bytes.size(), flush);
        char what[160];
        snprintf(what, sizeof what, "reading a %ldx%ld %d-bit BMP of %.1f MB", (long)shape.width, (long)shape.height,
                 shape.bits, bytes.size() / 1e6);
        verdict.Time(shape.name, read, copy.best, kLimit, what);
    }
    return verdict.ExitCode();
}

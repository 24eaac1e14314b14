// xmgfile_bench.exe: opening and writing a 3000 x 3000 14-bit ".xmg", each as
// a ratio to a single-threaded memcpy of the raster's 18 MB in the same run.
// Opening (from the page cache into a picture) must stay within 15 times the
// memcpy, writing the file with its thumbnail within 25 times.
//
//   build/wine-run.sh build/bench/xmgfile_bench.exe
#include "images/files/datafolders.h"
#include "images/pixels/displaylut.h"
#include "images/pixels/pixmem.h"
#include "images/files/thumbnails.h"
#include "images/files/xmgfile.h"
#include "tools/demosite/radiograph.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

double Now()
{
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

template <class F>
double Best(int runs, F body)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        double t0 = Now();
        body();
        best = std::min(best, Now() - t0);
    }
    return best;
}

}  // namespace

int wmain()
{
    const int side = 3000;
    const size_t bytes = (size_t)side * side * 2;
    DPicturePtr picture = MakeRadiograph(side, side, 14, 42, RadiographKind::Chest);
    if (!picture.Get()) {
        fwprintf(stderr, L"no memory for the picture\n");
        return 1;
    }
    picture->patient.SetName(0, L"Иванов", -1);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"xmgbench" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    wcscpy(ImageFolder, folder.c_str());
    wcscpy(IconFolder, folder.c_str());
    const std::wstring path = folder + L"B00000000010000000001.xmg";

    uint16_t* copy = AllocRaster(side, side);
    const double memcpyMs = Best(10, [&]() { memcpy(copy, picture->GetBits(), bytes); });

    std::vector<uint8_t> lut(kLutSize);
    BuildDisplayLut(lut.data(), picture->displayOffset, picture->displayWidth, 0.0);
    bool ok = true;
    const double writeMs = Best(5, [&]() {
        DeleteFileW(path.c_str());
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_SEQUENTIAL_SCAN,
                                  nullptr);
        DWORD error = 0;
        ok = ok && SnimokFile::Save(picture, file, &error, true) == 1;
        CloseHandle(file);
        ok = ok && StoreIcon(L"B00000000010000000001", picture->GetWorkBits(), side, side, side / 2, side / 2,
                             picture->scale, lut.data());
    });

    DPicturePtr loaded;
    const double readMs = Best(5, [&]() {
        loaded.Reset();
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        loaded = SnimokFile::Load(file, true, true);
        CloseHandle(file);
    });
    ok = ok && loaded.Get() && memcmp(loaded->GetBits(), picture->GetBits(), bytes) == 0;

    WIN32_FILE_ATTRIBUTE_DATA info = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info);
    const double bitsPerPixel = info.nFileSizeLow * 8.0 / ((double)side * side);
    wprintf(L"3000x3000 14-bit .xmg, %.2f bits/px\n", bitsPerPixel);
    wprintf(L"memcpy of 18 MB       %8.2f ms\n", memcpyMs);
    wprintf(L"open into a picture   %8.2f ms  %5.1fx memcpy (at most 15x)\n", readMs, readMs / memcpyMs);
    wprintf(L"write with thumbnail  %8.2f ms  %5.1fx memcpy (at most 25x)\n", writeMs, writeMs / memcpyMs);

    DeleteFileW(path.c_str());
    DeleteFileW((folder + L"B00000000010000000001.thb").c_str());
    RemoveDirectoryW(folder.c_str());
    PixelFree(copy);
    if (!ok) {
        fwprintf(stderr, L"the round trip failed\n");
        return 1;
    }
    return readMs / memcpyMs <= 15.0 && writeMs / memcpyMs <= 25.0 ? 0 : 2;
}

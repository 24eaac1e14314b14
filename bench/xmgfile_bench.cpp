// xmgfile_bench.exe: opening and writing a 3000 x 3000 14-bit ".xmg", each as
// a ratio to a single-threaded memcpy of the raster's 18 MB in the same run:
//   - reading the file (from the page cache) into a picture: at most 15x;
//   - opening an image: reading, decoding, the work raster and the first
//     full-frame render (a new table, all 3000 x 3000 pixels to 8 bits), the
//     picture shown before released as the panel releases it: at most 8x.
//     The pages it commits are part of the figure: every open needs them;
//   - writing the file with its thumbnail: at most 25x (the encode, the
//     file's bytes through the system and the thumbnail: about 15x here).
// The exit status is 1 when a figure is above its limit.
//
// With --peer <folder> it measures for bench/dcmtk_peer.sh instead: it writes
// the same picture's pixels to <folder>\picture.raw (16-bit little-endian,
// row by row) and prints, one per line, "peer window <centre> <width>" (the
// picture's window as DICOM gives it), "peer open <ms>" and "peer level <ms>"
// (the full-frame window/level alone, a new table and all pixels to 8 bits),
// medians of several runs.
//
//   build/wine-run.sh build/bench/xmgfile_bench.exe
#include "bench/benchutil.h"
#include "images/files/datafolders.h"
#include "images/files/thumbnails.h"
#include "images/files/xmgfile.h"
#include "images/pixels/displaylut.h"
#include "images/pixels/displayrenderer.h"
#include "images/pixels/pixmem.h"
#include "tools/demosite/radiograph.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

double MedianMs(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* peerFolder = argc > 2 && wcscmp(argv[1], L"--peer") == 0 ? argv[2] : nullptr;
    using namespace bench;
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
    const Timing memcpyFirst = Measure([&]() { memcpy(copy, picture->GetBits(), bytes); }, 15);

    std::vector<uint8_t> lut(kLutSize);
    BuildDisplayLut(lut.data(), picture->displayOffset, picture->displayWidth, 0.0);
    bool ok = true;
    const Timing writeMs = Measure([&]() {
        DeleteFileW(path.c_str());
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_FLAG_SEQUENTIAL_SCAN,
                                  nullptr);
        DWORD error = 0;
        ok = ok && SnimokFile::Save(picture, file, &error, true) == 1;
        CloseHandle(file);
        ok = ok && StoreIcon(L"B00000000010000000001", picture->GetWorkBits(), side, side, side / 2, side / 2,
                             picture->scale, lut.data());
    }, 5);

    auto load = [&]() {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        DPicturePtr loaded;
        try {
            loaded = SnimokFile::Load(file, true, true);
        } catch (...) {
            ok = false;
        }
        CloseHandle(file);
        return loaded;
    };
    DPicturePtr loaded;
    const Timing readMs = Measure([&]() {
        loaded.Reset();
        loaded = load();
    }, 7);
    ok = ok && loaded.Get() && memcmp(loaded->GetBits(), picture->GetBits(), bytes) == 0;
    loaded.Reset();

    // The frame buffer belongs to the view and is kept from one image to the
    // next; the pictures are not.
    DisplayRenderer frame;
    if (!frame.AllocRenderBuffers(side, side)) {
        fwprintf(stderr, L"no memory for the frame\n");
        return 1;
    }
    frame.SetZoomArea(side, side);
    DPicturePtr shown;
    const Timing openMs = Measure([&]() {
        DPicturePtr next = load();
        if (!next.Get())
            return;
        next->displayOffset = picture->displayOffset;
        next->displayWidth = picture->displayWidth;
        next->ApplyOrientation();
        next->RefreshWork();
        frame.SetPicture(next.Get());
        frame.SetScale(1.0, side / 2, side / 2);
        shown = next;
    }, 7);
    ok = ok && shown.Get() && frame.GetBits()[(size_t)1500 * frame.GetStride() + 1500] ==
                                  lut[picture->GetBits()[(size_t)1500 * side + 1500]];
    frame.SetPicture(nullptr);
    shown.Reset();

    if (peerFolder) {
        const std::wstring raw = std::wstring(peerFolder) + L"\\picture.raw";
        HANDLE out = CreateFileW(raw.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        const bool saved = out != INVALID_HANDLE_VALUE && WriteFile(out, picture->GetBits(), (DWORD)bytes, &written,
                                                                   nullptr) && written == bytes;
        if (out != INVALID_HANDLE_VALUE)
            CloseHandle(out);
        if (!saved || !ok) {
            fwprintf(stderr, L"cannot write %ls or open the picture\n", raw.c_str());
            return 1;
        }
        // The window from -offset to -offset + width: DICOM's centre and width.
        printf("peer window %.1f %d\n", -picture->displayOffset + picture->displayWidth / 2.0, picture->displayWidth);
        std::vector<double> open, level;
        auto now = [] { return std::chrono::steady_clock::now(); };
        for (int i = 0; i < 11; ++i) {
            auto t0 = now();
            DPicturePtr next = load();
            if (!next.Get())
                return 1;
            next->displayOffset = picture->displayOffset;
            next->displayWidth = picture->displayWidth;
            next->ApplyOrientation();
            next->RefreshWork();
            frame.SetPicture(next.Get());
            frame.SetScale(1.0, side / 2, side / 2);
            shown = next;
            auto t1 = now();
            shown->displayOffset = picture->displayOffset + (i & 1);
            frame.UpdateLut();
            frame.Render();
            auto t2 = now();
            open.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
            level.push_back(std::chrono::duration<double, std::milli>(t2 - t1).count());
        }
        printf("peer open %.3f\npeer level %.3f\n", MedianMs(open), MedianMs(level));
        frame.SetPicture(nullptr);
        shown.Reset();
        DeleteFileW(path.c_str());
        DeleteFileW((folder + L"B00000000010000000001.thb").c_str());
        RemoveDirectoryW(folder.c_str());
        PixelFree(copy);
        return 0;
    }

    const Timing memcpyLast = Measure([&]() { memcpy(copy, picture->GetBits(), bytes); }, 15);
    const double memcpyMs = memcpyFirst.best < memcpyLast.best ? memcpyFirst.best : memcpyLast.best;

    WIN32_FILE_ATTRIBUTE_DATA info = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &info);
    printf("3000x3000 14-bit .xmg, %.2f bits/px; memcpy of 18 MB %.2f ms\n",
           info.nFileSizeLow * 8.0 / ((double)side * side), memcpyMs);
    Verdict verdict;
    if (!ok)
        verdict.Failed("open_image", "the round trip failed");
    verdict.Time("read_picture", readMs, memcpyMs, 15, "file into a picture");
    verdict.Time("open_image", openMs, memcpyMs, 8, "read, decode, work raster, first full-frame render");
    verdict.Time("write_picture", writeMs, memcpyMs, 25, "file and thumbnail written");

    DeleteFileW(path.c_str());
    DeleteFileW((folder + L"B00000000010000000001.thb").c_str());
    RemoveDirectoryW(folder.c_str());
    PixelFree(copy);
    return verdict.ExitCode();
}

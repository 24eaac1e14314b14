// xmgfile_bench.exe: opening and writing a 3000 x 3000 ".xmg", on a 14-bit
// chest radiograph and on 16-bit white noise (the codec's worst case, whose
// figures are named with "_noise"), each as a ratio to a single-threaded
// memcpy of the raster's 18 MB in the same run:
//   - reading the file (from the page cache) into a picture: at most 15x;
//   - opening an image: reading, decoding, the work raster and the first
//     full-frame render (a new table, all 3000 x 3000 pixels to 8 bits), the
//     picture shown before released as the panel releases it: at most 7x
//     (open_image). The pages it takes from the pixel memory kept by the
//     process are part of the figure;
//   - the same as the first open of the process (open_image_cold): the
//     pixel memory kept by the process given back before each open, so that
//     the stream buffer and the raster are freshly committed pages, each
//     touched for the first time: at most 9x. The helper threads that
//     decode the stream's bands and render the frame beside the opening
//     thread (taking the faults of the rows they write) are the process's
//     own, made at its first large read (before these opens) and kept since;
//   - writing the file with its thumbnail: at most 25x (the encode, the
//     file's bytes through the system and the thumbnail: about 15x here);
//   - opening the radiograph in a process bound to one processor, against
//     opening a radiograph of the same pixel count there whose stream is
//     read on one thread (5472 x 1645: its bands are too wide for the
//     slots), in a child run of this program (--one-cpu) that binds itself
//     before the helper pool is made: at most 1.2 (open_image_one_cpu).
//     Helpers that outnumber the processors, or keep theirs while they wait,
//     take the reader's processor from it.
// The exit status is 1 when a figure is above its limit.
//
// With --peer <folder> it measures for bench/dcmtk_peer.sh instead: it writes
// the radiograph's pixels to <folder>\picture.raw (16-bit little-endian, row
// by row) and prints, one per line, "peer window <centre> <width>" (the
// picture's window as DICOM gives it) and "peer open <ms>", the median of
// several opens.
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
#include <random>
#include <string>
#include <vector>

namespace {

double MedianMs(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

const int kSide = 3000;
const size_t kBytes = (size_t)kSide * kSide * 2;
const wchar_t kName[] = L"B00000000010000000001";
// A picture of about kSide x kSide pixels whose stream is not decoded in bands.
const int kWideWidth = 5472, kWideHeight = 1645;
const wchar_t kWideName[] = L"B00000000010000000002";
const wchar_t kOneCpu[] = L"--one-cpu";

struct Figure
{
    std::string name;
    bench::Timing time;
    double limit;
    std::string what;
};

std::wstring gFolder;

std::wstring PathOf(const wchar_t* extension, const wchar_t* name = kName)
{
    return gFolder + name + extension;
}

DPicturePtr Load(bool& ok, const wchar_t* name = kName)
{
    HANDLE file = CreateFileW(PathOf(L".xmg", name).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    DPicturePtr loaded;
    try {
        loaded = SnimokFile::Load(file, true, true);
    } catch (...) {
        ok = false;
    }
    CloseHandle(file);
    return loaded;
}

// Opens the image as the panel does: read and decode, the work raster, the
// first full-frame render into the view's frame buffer (kept from one image
// to the next), the picture shown before let go.
void Open(const DPicturePtr& original, DisplayRenderer& frame, DPicturePtr& shown, bool& ok,
          const wchar_t* name = kName)
{
    DPicturePtr next = Load(ok, name);
    if (!next.Get())
        return;
    next->displayOffset = original->displayOffset;
    next->displayWidth = original->displayWidth;
    next->ApplyOrientation();
    next->RefreshWork();
    frame.SetPicture(next.Get());
    frame.SetScale(1.0, next->width / 2, next->height / 2);
    shown = next;
}

// Writes the picture's ".xmg" without its thumbnail.
bool Write(const DPicturePtr& picture, const wchar_t* name = kName)
{
    HANDLE file = CreateFileW(PathOf(L".xmg", name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    DWORD error = 0;
    const bool ok = SnimokFile::Save(picture, file, &error, true) == 1;
    CloseHandle(file);
    return ok;
}

// Writes, reads and opens one picture; its figures' names end in `suffix`.
bool MeasurePicture(const DPicturePtr& picture, const char* suffix, std::vector<Figure>& figures)
{
    using namespace bench;
    std::vector<uint8_t> lut(kLutSize);
    BuildDisplayLut(lut.data(), picture->displayOffset, picture->displayWidth, 0.0);
    bool ok = true;
    const Timing writeMs = Measure([&]() {
        DeleteFileW(PathOf(L".xmg").c_str());
        HANDLE file = CreateFileW(PathOf(L".xmg").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        DWORD error = 0;
        ok = ok && SnimokFile::Save(picture, file, &error, true) == 1;
        CloseHandle(file);
        ok = ok && StoreIcon(kName, picture->GetWorkBits(), kSide, kSide, kSide / 2, kSide / 2, picture->scale,
                             lut.data());
    }, 5);

    DPicturePtr loaded;
    const Timing readMs = Measure([&]() {
        loaded.Reset();
        loaded = Load(ok);
    }, 7);
    ok = ok && loaded.Get() && memcmp(loaded->GetBits(), picture->GetBits(), kBytes) == 0;
    loaded.Reset();

    DisplayRenderer frame;
    if (!frame.AllocRenderBuffers(kSide, kSide)) {
        fprintf(stderr, "no memory for the frame\n");
        return false;
    }
    frame.SetZoomArea(kSide, kSide);
    DPicturePtr shown;
    const Timing openMs = Measure([&]() { Open(picture, frame, shown, ok); }, 7);
    // The first open of the process: the picture shown before is let go
    // and the pixel memory the process keeps given back (untimed), so that
    // the open commits fresh pages as it does the first time.
    std::vector<double> cold;
    for (int i = 0; i < 7; ++i) {
        frame.SetPicture(nullptr);
        shown.Reset();
        PixelTrim();
        const auto t0 = std::chrono::steady_clock::now();
        Open(picture, frame, shown, ok);
        cold.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(cold.begin(), cold.end());
    const Timing coldMs = {cold[0], cold[cold.size() / 2]};
    const size_t middle = (size_t)1500 * kSide + 1500;
    ok = ok && shown.Get() && frame.GetBits()[(size_t)1500 * frame.GetStride() + 1500] ==
                                  lut[picture->GetBits()[middle]];
    frame.SetPicture(nullptr);
    shown.Reset();
    frame.FreeRenderBuffers();
    if (!ok) {
        fprintf(stderr, "the round trip failed%s\n", suffix);
        return false;
    }

    WIN32_FILE_ATTRIBUTE_DATA info = {};
    GetFileAttributesExW(PathOf(L".xmg").c_str(), GetFileExInfoStandard, &info);
    printf("3000x3000 %d-bit .xmg%s: %.2f bits/px\n", picture->bitsPerPixel, suffix,
           info.nFileSizeLow * 8.0 / ((double)kSide * kSide));
    const std::string kind = *suffix ? ", 16-bit noise" : ", radiograph";
    auto figure = [&](const char* name, Timing t, double limit, const char* what) {
        figures.push_back(Figure{std::string(name) + suffix, t, limit, what + kind});
    };
    figure("read_picture", readMs, 15, "file into a picture");
    figure("open_image", openMs, 7, "read, decode, work raster, first full-frame render");
    figure("open_image_cold", coldMs, 9, "the same, the first open of the process (fresh pixel memory)");
    figure("write_picture", writeMs, 25, "file and thumbnail written");
    DeleteFileW(PathOf(L".xmg").c_str());
    DeleteFileW(PathOf(L".thb").c_str());
    return true;
}

DPicturePtr Noise()
{
    DPicturePtr picture = MakeRadiograph(kSide, kSide, 16, 43, RadiographKind::Chest);
    if (!picture.Get())
        return picture;
    std::mt19937 rng(5678);
    uint16_t* px = picture->GetBits();
    for (size_t i = 0; i < (size_t)kSide * kSide; ++i)
        px[i] = (uint16_t)(rng() >> 16);
    picture->RefreshWork();
    picture->displayOffset = 0;
    picture->displayWidth = 65535;
    return picture;
}

// The peer's measurement for bench/dcmtk_peer.sh (see the top).
int Peer(const DPicturePtr& picture, const wchar_t* peerFolder)
{
    bool ok = Write(picture);
    const std::wstring raw = std::wstring(peerFolder) + L"\\picture.raw";
    HANDLE out = CreateFileW(raw.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const bool saved = out != INVALID_HANDLE_VALUE &&
                       WriteFile(out, picture->GetBits(), (DWORD)kBytes, &written, nullptr) && written == kBytes;
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    if (!saved || !ok) {
        fwprintf(stderr, L"cannot write %ls or the picture\n", raw.c_str());
        return 1;
    }
    // The window from -offset to -offset + width: DICOM's centre and width.
    printf("peer window %.1f %d\n", -picture->displayOffset + picture->displayWidth / 2.0, picture->displayWidth);
    DisplayRenderer frame;
    if (!frame.AllocRenderBuffers(kSide, kSide))
        return 1;
    frame.SetZoomArea(kSide, kSide);
    DPicturePtr shown;
    std::vector<double> open;
    for (int i = 0; i < 11; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        Open(picture, frame, shown, ok);
        open.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    frame.SetPicture(nullptr);
    shown.Reset();
    DeleteFileW(PathOf(L".xmg").c_str());
    if (!ok)
        return 1;
    printf("peer open %.3f\n", MedianMs(open));
    return 0;
}

// Binds the process to the first processor it may run on.
bool BindToOneProcessor()
{
    DWORD_PTR process = 0, system = 0;
    return GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0 &&
           SetProcessAffinityMask(GetCurrentProcess(), process & (~process + 1));
}

// The child run (--one-cpu), bound already: opens the radiograph and a wide
// radiograph of the same pixel count as Open does, in turns (the machine's
// load falls on both alike), and prints the best and median times of each,
// "one cpu <best> <median> <best> <median>".
int OneCpu(const DPicturePtr& picture)
{
    const DPicturePtr pictures[] = {picture,
                                    MakeRadiograph(kWideWidth, kWideHeight, 14, 42, RadiographKind::Chest)};
    const wchar_t* const names[] = {kName, kWideName};
    DisplayRenderer frames[2];
    DPicturePtr shown[2];
    std::vector<double> ms[2];
    bool ok = pictures[1].Get() != nullptr;
    for (int i = 0; i < 2 && ok; ++i) {
        ok = Write(pictures[i], names[i]) && frames[i].AllocRenderBuffers(pictures[i]->width, pictures[i]->height);
        if (ok)
            frames[i].SetZoomArea(pictures[i]->width, pictures[i]->height);
    }
    // The first round is not timed.
    for (int round = 0; round < 8 && ok; ++round) {
        for (int i = 0; i < 2; ++i) {
            const auto t0 = std::chrono::steady_clock::now();
            Open(pictures[i], frames[i], shown[i], ok, names[i]);
            const auto t1 = std::chrono::steady_clock::now();
            if (round > 0)
                ms[i].push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        }
    }
    for (int i = 0; i < 2; ++i) {
        ok = ok && shown[i].Get() && memcmp(shown[i]->GetBits(), pictures[i]->GetBits(),
                                            (size_t)pictures[i]->width * pictures[i]->height * 2) == 0;
        frames[i].SetPicture(nullptr);
        DeleteFileW(PathOf(L".xmg", names[i]).c_str());
    }
    if (!ok) {
        fprintf(stderr, "the opens bound to one processor failed\n");
        return 1;
    }
    std::sort(ms[0].begin(), ms[0].end());
    std::sort(ms[1].begin(), ms[1].end());
    printf("one cpu %.4f %.4f %.4f %.4f\n", ms[0][0], ms[0][ms[0].size() / 2], ms[1][0], ms[1][ms[1].size() / 2]);
    return 0;
}

// Runs OneCpu in a child run of this program and gives the figure.
void OneCpuFigure(bench::Verdict& verdict)
{
    const char* const name = "open_image_one_cpu";
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) {
        verdict.Failed(name, "no pipe for the child run");
        return;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" " + kOneCpu;
    PROCESS_INFORMATION child = {};
    const bool started =
        CreateProcessW(exe, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &child) != FALSE;
    CloseHandle(writeEnd);
    std::string output;
    char chunk[256];
    DWORD got = 0;
    while (started && ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0)
        output.append(chunk, got);
    CloseHandle(readEnd);
    DWORD exitCode = 1;
    if (started) {
        WaitForSingleObject(child.hProcess, INFINITE);
        GetExitCodeProcess(child.hProcess, &exitCode);
        CloseHandle(child.hProcess);
        CloseHandle(child.hThread);
    }
    bench::Timing square = {}, wide = {};
    if (exitCode != 0 || sscanf(output.c_str(), "one cpu %lf %lf %lf %lf", &square.best, &square.median,
                                &wide.best, &wide.median) != 4) {
        verdict.Failed(name, "the child run bound to one processor failed");
        return;
    }
    char text[256];
    snprintf(text, sizeof text,
             "opening the radiograph bound to one processor / a %dx%d one there, read on one thread "
             "(%.2f ms, median %.2f ms; %.2f ms, median %.2f ms)",
             kWideWidth, kWideHeight, square.best, square.median, wide.best, wide.median);
    verdict.Ratio(name, square.best / wide.best, 1.2, text);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* peerFolder = argc > 2 && wcscmp(argv[1], L"--peer") == 0 ? argv[2] : nullptr;
    // Bound before anything makes the helper pool, which counts the
    // processors once.
    const bool oneCpu = argc > 1 && wcscmp(argv[1], kOneCpu) == 0;
    if (oneCpu && !BindToOneProcessor()) {
        fprintf(stderr, "cannot bind the process to one processor: error %lu\n", GetLastError());
        return 1;
    }
    using namespace bench;
    DPicturePtr picture = MakeRadiograph(kSide, kSide, 14, 42, RadiographKind::Chest);
    DPicturePtr noise = peerFolder || oneCpu ? DPicturePtr() : Noise();
    if (!picture.Get() || (!peerFolder && !oneCpu && !noise.Get())) {
        fwprintf(stderr, L"no memory for the pictures\n");
        return 1;
    }
    picture->patient.SetName(0, L"Иванов", -1);

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    gFolder = std::wstring(temp) + L"xmgbench" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(gFolder.c_str(), nullptr);
    wcscpy(ImageFolder, gFolder.c_str());
    wcscpy(IconFolder, gFolder.c_str());
    if (peerFolder) {
        const int result = Peer(picture, peerFolder);
        RemoveDirectoryW(gFolder.c_str());
        return result;
    }
    if (oneCpu) {
        const int result = OneCpu(picture);
        RemoveDirectoryW(gFolder.c_str());
        return result;
    }

    uint16_t* copy = AllocRaster(kSide, kSide);
    auto reference = [&]() { memcpy(copy, picture->GetBits(), kBytes); };
    const Timing memcpyFirst = Measure(reference, 15);
    std::vector<Figure> figures;
    Verdict verdict;
    if (!MeasurePicture(picture, "", figures) || !MeasurePicture(noise, "_noise", figures))
        verdict.Failed("open_image", "the round trip failed");
    const Timing memcpyLast = Measure(reference, 15);
    const double memcpyMs = std::min(memcpyFirst.best, memcpyLast.best);
    printf("memcpy of 18 MB %.2f ms\n", memcpyMs);
    for (const Figure& f : figures)
        verdict.Time(f.name.c_str(), f.time, memcpyMs, f.limit, f.what.c_str());
    OneCpuFigure(verdict);
    RemoveDirectoryW(gFolder.c_str());
    PixelFree(copy);
    return verdict.ExitCode();
}

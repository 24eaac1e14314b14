// Times the patient workspace's main road on a demo site made in a temp
// folder, each as a ratio to a single-threaded memcpy of 18 MB (one 3000 x
// 3000 picture) measured in the same run (limits: 40x and 30x):
//   - moving to another patient: the name lookup, the strip's image query and
//     the 20 thumbnails of that patient read and drawn;
//   - opening an image: a click on a thumbnail to the first paint of the
//     image in the main image panel;
// and how moving to another patient scales with the patient's images: 5, 20
// and 80 thumbnails, each ratio of costs beside the ratio of sizes (at most
// 1.5 times it: the strip's cost grows no faster than its thumbnails).
// Each figure is the best of several runs, because the machines are shared;
// the exit status is 1 when one is above its limit.
#include "bench/benchutil.h"
#include "app/iconsnimok.h"
#include "app/iconstrip.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "images/files/iconrecord.h"
#include "images/files/xmgfile.h"
#include "images/viewer/mainviewwnd.h"
#include "tools/demosite/sitebuilder.h"
#include "tools/demosite/sitedatabase.h"
#include "ui/init_rows.h"

#include <objbase.h>
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <string>
#include <vector>

namespace {

const int kRuns = 7;
const int kImagesPerPatient = 20;

template <typename F>
double BestMs(F f, int runs = kRuns)
{
    double best = 1e30;
    for (int i = 0; i < runs; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        f();
        GdiFlush();
        auto t1 = std::chrono::steady_clock::now();
        const double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
        best = ms < best ? ms : best;
    }
    return best;
}

void Pump()
{
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

double MemcpyMs()
{
    const size_t bytes = 3000u * 3000u * 2u;
    std::vector<char> a(bytes, 1), b(bytes, 0);
    memcpy(b.data(), a.data(), bytes);   // pages touched before timing
    return BestMs([&] { memcpy(b.data(), a.data(), bytes); }, 15);
}

struct PanelOwner : IconStripOwner {
    int OpenImage(DWORD key, const wchar_t* fileName) override
    {
        DPicturePtr picture = LoadPictureFileEx(key, fileName);
        if (picture.Get())
            ShowMainViewRefresh(picture);
        if (MainViewWnd::Instance())
            UpdateWindow(MainViewWnd::Instance()->GetHandle());
        return 1;
    }
    void ShowNote(DWORD, DWORD) override {}
    int OnKey(WPARAM) override { return 0; }
    void ImagesCounted(int) override {}
};

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int wmain()
{
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"strip_bench_" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"Image").c_str(), nullptr);
    CreateDirectoryW((folder + L"Icon").c_str(), nullptr);
    wcscpy(ImageFolder, (folder + L"Image\\").c_str());
    wcscpy(IconFolder, (folder + L"Icon\\").c_str());
    SpaceMin = 0;
    SetDateTimeFormats(0x409);
    std::wstring error;
    if (!CreateSiteDatabase(folder + L"bench.db", TF_STRIP_BENCH_SCHEMA, error)) {
        fwprintf(stderr, L"no database: %ls\n", error.c_str());
        return 1;
    }
    const std::vector<long> patients = FillSiteTables(error);
    if (patients.size() < 2) {
        fwprintf(stderr, L"no patients: %ls\n", error.c_str());
        return 1;
    }
    // Two patients with 20 images each; the pictures as the demo site makes
    // them. For the scaling, two patients with 5 and two with 80 small ones
    // (a thumbnail costs the same whatever the picture's size).
    if (patients.size() < 6 || !MakeSiteImages({patients[0], patients[1]}, 2 * kImagesPerPatient, 1250, 1500, error) ||
        !MakeSiteImages({patients[2], patients[3]}, 2 * 5, 320, 240, error) ||
        !MakeSiteImages({patients[4], patients[5]}, 2 * 80, 320, 240, error)) {
        fwprintf(stderr, L"no images: %ls\n", error.c_str());
        return 1;
    }
    if (!RunInitRows(ControlLibraryRows, ControlLibraryRowCount, nullptr) || !InitIconBitmapInfo() ||
        !IconSnimok::RegisterClass() || !RegisterViewerClasses()) {
        fprintf(stderr, "cannot register the window classes\n");
        return 1;
    }
    LoadIconStates(nullptr);
    IconSnimok::LoadSettings(nullptr);
    PrepareSettings() = PrepareSnimokSettings{0, 0, 0};
    WNDCLASSW wc = {};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"StripBenchHost";
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    RegisterClassW(&wc);
    const int cell = IconSnimok::CellHeight();
    HWND host = CreateWindowW(L"StripBenchHost", L"strip", WS_POPUP | WS_VISIBLE, 0, 0, 200, 20 + 4 * cell, nullptr,
                              nullptr, wc.hInstance, nullptr);
    CreateMainView(nullptr);
    PanelOwner owner;
    IconStrip strip;
    strip.Create(host, &owner, nullptr);
    strip.Layout(0, 0, 194, 20 + 4 * cell);
    HDC screen = GetDC(host);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP canvas = CreateCompatibleBitmap(screen, 192, 192);
    HGDIOBJ old = SelectObject(memory, canvas);

    int which = 0;
    size_t pair = 0;        // the two patients moved between: 0 and 1, 2 and 3, 4 and 5
    auto movePatient = [&] {
        const long patient = patients[pair + which++ % 2];
        // The name lookup the main window runs for its caption.
        BoundStatement lookup(g_DbSession, L"SELECT Name1, Name2, Name3, Birthday FROM Patient WHERE Patient=?;");
        lookup.Params().SetValI4(1, patient);
        lookup.Execute();
        lookup.Next();
        strip.LoadPatient((DWORD)patient);
        RedrawWindow(host, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        // Every thumbnail of the patient read and drawn (the rows below the
        // visible ones as a scroll would draw them).
        for (int i = 0; i < strip.RecordCount(); ++i)
            strip.Record(i)->Draw(memory, 0, 0, 192, 192, 0x808080);
    };
    movePatient();
    movePatient();
    const double copy = MemcpyMs();
    const double move = BestMs(movePatient);
    if (strip.RecordCount() != kImagesPerPatient)
        fprintf(stderr, "expected %d images, the strip holds %d\n", kImagesPerPatient, strip.RecordCount());

    HWND first = strip.Row(0)->hwnd;
    auto openImage = [&] {
        SendMessageW(first, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 120));
        SendMessageW(first, WM_LBUTTONUP, 0, MAKELPARAM(100, 120));
    };
    openImage();
    Pump();
    const double open = BestMs([&] {
        openImage();
    });

    // The same move between patients with 5, 20 and 80 images.
    std::vector<int> counts;
    std::vector<double> costs;
    for (size_t p : {(size_t)2, (size_t)0, (size_t)4}) {
        pair = p;
        movePatient();
        movePatient();
        costs.push_back(BestMs(movePatient));
        counts.push_back(strip.RecordCount());
    }
    pair = 0;

    const double copyAgain = MemcpyMs();
    const double reference = copy < copyAgain ? copy : copyAgain;
    printf("memcpy of 18 MB: %.2f ms (the faster of the start and the end of the run)\n", reference);
    bench::Verdict verdict;
    char what[160];
    snprintf(what, sizeof what, "moving to another patient: lookup, query, %d thumbnails (%.2f ms; memcpy %.2f ms)",
             kImagesPerPatient, move, reference);
    verdict.Ratio("patient_switch", move / reference, 40, what);
    snprintf(what, sizeof what, "thumbnail click to the image's first paint (%.2f ms; memcpy %.2f ms)", open,
             reference);
    verdict.Ratio("open_from_strip", open / reference, 30, what);
    if (counts[0] != 5 || counts[1] != kImagesPerPatient || counts[2] != 80)
        verdict.Failed("strip_scaling", "the strips do not hold 5, 20 and 80 images");
    else
        bench::Scaling(verdict, "strip_scaling", counts, costs, 1.5);
    SelectObject(memory, old);
    DeleteObject(canvas);
    DeleteDC(memory);
    ReleaseDC(host, screen);
    strip.Destroy();
    DestroyMainView();
    DestroyWindow(host);
    CloseSiteDatabase();
    return verdict.ExitCode();
}

// Times the image panel's interactive steps in a real window (run it under
// Xvfb) on a 3000 x 3000 picture, a smooth 14-bit one and then 16-bit white
// noise (whose figures are named with "_noise"):
//   - a window/level step while the width strip is dragged, the picture shown
//     at fit: a new table, the whole view rendered and painted;
//   - a pan step of a drag at zoom 1.0: the buffer moved, the uncovered strips
//     rendered and the view painted;
//   - the same drag step at zoom 2, interpolated.
// Every step ends with the view painted as the viewer paints it: one
// SetDIBitsToDevice of the 8-bit buffer through the grey palette. Under Wine
// that call alone converts every pixel of the view to the display's format
// and takes several times a memcpy of the picture, the same whatever the
// program does before it. So the paint alone is timed on the same view in
// the same run (after a pass over other data, as a step's render leaves the
// caches), each step's own work (the table and render, or the pan, as the
// panel calls them in the window) is a figure as a ratio to a single-threaded
// memcpy of the picture's 18 MB, with the limits of the same work in
// images_bench (the view at fit 3x, a drag step 1x), and a last figure checks
// that no whole step costs more than 1.5 times its own work and the paint
// together. The whole steps and the paint are printed beside them.
// Each time is the best of several runs, because the machines are shared;
// the exit status is 1 when a figure is above its limit.
#include "bench/benchutil.h"
#include "images/viewer/mainviewwnd.h"
#include "ui/init_rows.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

const int kSide = 3000;
const int kRuns = 61;

// The best time of f, the GDI's batch flushed inside the timing.
template <typename F>
double BestMs(F f)
{
    return bench::Measure([&] { f(); GdiFlush(); }, kRuns).best;
}

// The same, with the caches filled with other data before each run, as a
// step's render leaves them for its paint.
template <typename F>
double BestMsAfter(F evict, F f)
{
    return bench::MeasureAfter([&] { f(); GdiFlush(); }, evict, kRuns).best;
}

void Pump()
{
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
    }
}

}  // namespace

// The steps on one picture (16-bit noise when `noise`); the figures' names
// end in "_noise" then. `whole` takes the costliest whole step against its
// own work and the paint. False when the picture or view could not be had.
bool MeasurePicture(bench::Verdict& verdict, bool noise, double& whole)
{
    const char* suffix = noise ? "_noise" : "";
    MainViewWnd* panel = MainViewWnd::Instance();
    DPicturePtr picture;
    if (!picture.CreateSized(kSide, kSide))
        return false;
    std::mt19937 rng(5678);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            picture->source[(size_t)y * kSide + x] =
                noise ? (uint16_t)(rng() >> 16)
                      : (uint16_t)(2000 + 1500 * sin(x * 0.01) * cos(y * 0.013) + ((x * 7 + y * 13) & 63));
    picture->displayOffset = noise ? 0 : -1000;
    picture->displayWidth = noise ? 65535 : 3000;
    picture->bitsPerPixel = noise ? 16 : 14;
    picture->levels = noise ? 65536 : 16384;
    picture->scale = -3.0;
    picture->viewCentreX = picture->viewCentreY = kSide / 2;
    picture->patient.SetPatientId(1);
    ShowMainViewRefresh(picture);
    Pump();
    SnimokWnd* view = panel->GetActiveView();
    if (!view) {
        fprintf(stderr, "no view\n");
        return false;
    }

    // Half a second of the level step's work, untimed, before anything is
    // measured: measured at once, a figure depended on how far the process
    // had got from its start (up to 2.5 times slower in its first moments).
    for (auto start = std::chrono::steady_clock::now();
         std::chrono::steady_clock::now() - start < std::chrono::milliseconds(500);) {
        view->UpdateLut();
        view->Render();
    }

    const size_t bytes = (size_t)kSide * kSide * 2;
    std::vector<uint8_t> from(bytes, 1), to(bytes, 0);
    const double copyMs = BestMs([&] { memcpy(to.data(), from.data(), bytes); });

    // The platform's part of every step: the view painted, nothing changed,
    // after a pass over other data the size of the picture.
    auto evict = std::function<void()>([&] { memcpy(to.data(), from.data(), bytes); });
    auto redraw = std::function<void()>([&] { view->Redraw(); });
    const double paintFitMs = BestMsAfter(evict, redraw);
    // The step's own work, as the panel does it before its paint.
    int width = 3000;
    const double levelWorkMs = BestMs([&] {
        width = width == 3000 ? 3010 : 3000;
        view->GetPicture()->displayWidth = width;
        view->UpdateLut();
        view->Render();
    });
    const double levelMs = BestMs([&] {
        width = width == 3000 ? 3010 : 3000;
        panel->OnWidthChanged(width, false);
    });
    printf("view at fit: %d x %d, smoothing %d\n", view->GetViewWidth(), view->GetViewHeight(), view->GetSmooth());

    view->SetScale(1.0, kSide / 2, kSide / 2);
    view->Redraw();
    Pump();
    const double paintMs = BestMsAfter(evict, redraw);
    int direction = 1;
    const double panWorkMs = BestMs([&] {
        direction = -direction;
        view->Pan(7 * direction, 5 * direction);
    });
    const double panMs = BestMs([&] {
        direction = -direction;
        if (view->Pan(7 * direction, 5 * direction))
            view->Redraw();
    });
    printf("view at zoom 1: %d x %d\n", view->GetViewWidth(), view->GetViewHeight());

    view->SetScale(2.0, kSide / 2, kSide / 2);
    view->Redraw();
    Pump();
    const double dragWorkMs = BestMs([&] {
        direction = -direction;
        view->Pan(7 * direction, 5 * direction);
    });
    const double dragMs = BestMs([&] {
        direction = -direction;
        if (view->Pan(7 * direction, 5 * direction))
            view->Redraw();
    });
    printf("view at zoom 2: %d x %d, smoothing %d\n", view->GetViewWidth(), view->GetViewHeight(),
           view->GetSmooth());

    printf("memcpy of %u bytes: %.2f ms\n", (unsigned)bytes, copyMs);
    printf("the view painted alone: %.2f ms at fit, %.2f ms at zoom 1 and 2 (%.2f and %.2f x memcpy)\n", paintFitMs,
           paintMs, paintFitMs / copyMs, paintMs / copyMs);
    double overhead = 0;
    auto step = [&](const char* name, double workMs, double stepMs, double paint, double limit, const char* what) {
        char text[200];
        snprintf(text, sizeof text, "%s (%.2f ms; the whole step %.2f ms, %.2f x memcpy)", what, workMs, stepMs,
                 stepMs / copyMs);
        verdict.Ratio((std::string(name) + suffix).c_str(), workMs / copyMs, limit,
                      std::string(text) + (noise ? ", 16-bit noise" : ", smooth picture"));
        overhead = stepMs / (workMs + paint) > overhead ? stepMs / (workMs + paint) : overhead;
    };
    step("level_step_fit", levelWorkMs, levelMs, paintFitMs, 3, "window/level step at fit, table and render");
    step("drag_zoom1_window", panWorkMs, panMs, paintMs, 1, "drag step at zoom 1, buffer moved and strips rendered");
    step("drag_zoom2_window", dragWorkMs, dragMs, paintMs, 1, "drag step at zoom 2, bilinear strips");
    whole = overhead > whole ? overhead : whole;
    return true;
}

int wmain()
{
    if (!RunInitRows(ControlLibraryRows, ControlLibraryRowCount, nullptr) || !RegisterViewerClasses()) {
        fprintf(stderr, "cannot register the window classes\n");
        return 1;
    }
    PrepareSettings() = PrepareSnimokSettings{0, 0, 0};
    if (!CreateMainView(nullptr)) {
        fprintf(stderr, "cannot create the panel\n");
        return 1;
    }
    bench::Verdict verdict;
    double whole = 0;
    if (!MeasurePicture(verdict, false, whole) || !MeasurePicture(verdict, true, whole))
        verdict.Failed("level_step_fit", "no picture or view");
    // Nothing else may run in a step: no second paint, no repaint of the
    // panel's controls.
    verdict.Ratio("window_steps_whole", whole, 1.5,
                  "the costliest whole step against its own work and the paint alone");

    DestroyMainView();
    UnregisterViewerClasses();
    UndoInitRows(ControlLibraryRows, ControlLibraryRowCount);
    return verdict.ExitCode();
}

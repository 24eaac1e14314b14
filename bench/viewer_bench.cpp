// Times the image panel's interactive steps in a real window (run it under
// Xvfb) on a 3000 x 3000 picture, each as a ratio to a single-threaded memcpy
// of the picture's 18 MB measured in the same run:
//   - a window/level step while the width strip is dragged, the picture shown
//     at fit: a new table, the whole view rendered and painted;
//   - a pan step of a drag at zoom 1.0: the buffer moved, the uncovered strips
//     rendered and the view painted;
//   - the same drag step at zoom 2, interpolated.
// Each figure is the best of several runs, because the machines are shared;
// the exit status is 1 when one is above its limit (4x, 2x and 2x).
#include "bench/benchutil.h"
#include "images/viewer/mainviewwnd.h"
#include "ui/init_rows.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

#include <chrono>
#include <vector>

namespace {

const int kSide = 3000;
const int kRuns = 15;

template <typename F>
double BestMs(F f)
{
    double best = 1e30;
    for (int i = 0; i < kRuns; ++i) {
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

}  // namespace

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
    MainViewWnd* panel = MainViewWnd::Instance();
    DPicturePtr picture;
    if (!picture.CreateSized(kSide, kSide))
        return 1;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            picture->source[(size_t)y * kSide + x] =
                (uint16_t)(2000 + 1500 * sin(x * 0.01) * cos(y * 0.013) + ((x * 7 + y * 13) & 63));
    picture->displayOffset = -1000;
    picture->displayWidth = 3000;
    picture->bitsPerPixel = 14;
    picture->levels = 16384;
    picture->scale = -3.0;
    picture->viewCentreX = picture->viewCentreY = kSide / 2;
    picture->patient.SetPatientId(1);
    ShowMainViewRefresh(picture);
    Pump();
    SnimokWnd* view = panel->GetActiveView();
    if (!view) {
        fprintf(stderr, "no view\n");
        return 1;
    }

    const size_t bytes = (size_t)kSide * kSide * 2;
    std::vector<uint8_t> from(bytes, 1), to(bytes, 0);
    const double copyMs = BestMs([&] { memcpy(to.data(), from.data(), bytes); });

    int width = 3000;
    const double levelMs = BestMs([&] {
        width = width == 3000 ? 3010 : 3000;
        panel->OnWidthChanged(width, false);
    });
    printf("view at fit: %d x %d, smoothing %d\n", view->GetViewWidth(), view->GetViewHeight(), view->GetSmooth());

    view->SetScale(1.0, kSide / 2, kSide / 2);
    view->Redraw();
    Pump();
    int direction = 1;
    const double panMs = BestMs([&] {
        direction = -direction;
        if (view->Pan(7 * direction, 5 * direction))
            view->Redraw();
    });
    printf("view at zoom 1: %d x %d\n", view->GetViewWidth(), view->GetViewHeight());

    view->SetScale(2.0, kSide / 2, kSide / 2);
    view->Redraw();
    Pump();
    const double dragMs = BestMs([&] {
        direction = -direction;
        if (view->Pan(7 * direction, 5 * direction))
            view->Redraw();
    });
    printf("view at zoom 2: %d x %d, smoothing %d\n", view->GetViewWidth(), view->GetViewHeight(),
           view->GetSmooth());

    printf("memcpy of %u bytes: %.2f ms\n", (unsigned)bytes, copyMs);
    bench::Verdict verdict;
    char what[128];
    snprintf(what, sizeof what, "window/level step at fit, painted (%.2f ms)", levelMs);
    verdict.Ratio("level_step_fit", levelMs / copyMs, 4, what);
    snprintf(what, sizeof what, "drag step at zoom 1, painted (%.2f ms)", panMs);
    verdict.Ratio("drag_zoom1_window", panMs / copyMs, 2, what);
    snprintf(what, sizeof what, "drag step at zoom 2, bilinear, painted (%.2f ms)", dragMs);
    verdict.Ratio("drag_zoom2_window", dragMs / copyMs, 2, what);

    DestroyMainView();
    UnregisterViewerClasses();
    UndoInitRows(ControlLibraryRows, ControlLibraryRowCount);
    return verdict.ExitCode();
}

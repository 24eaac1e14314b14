// List-view benchmark: appending rows of four text columns and scrolling
// through them page by page must grow linearly. Prints the time for 5,000
// and for 50,000 rows, measured in one run, and their ratio beside the ratio
// of sizes; exits with 1 when 50,000 rows cost more than 12 times 5,000
// (1.2 times the ratio of sizes).
//
// Run with a display, for example:
//   DISPLAY=:1 build/wine-run.sh build/bench/listview_bench.exe
#include "bench/benchutil.h"
#include "foundation/globals.h"
#include "ui/init_rows.h"
#include "ui/listview.h"

#include <stdio.h>
#include <wchar.h>

namespace {

LRESULT CALLBACK HostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Seconds to append `rows` rows (the journal viewer's four columns) and page
// through them from top to bottom.
double Measure(HWND host, int rows)
{
    DListView list;
    DListViewDesc d = {DListViewStyle::kStandard, nullptr, host, 0, 0, 600, 400, hInstance, nullptr, nullptr};
    if (!list.Create(&d))
        return -1;
    static const struct {
        const wchar_t* caption;
        int width, maxLength;
        DWORD kind;
    } kColumns[4] = {{L"Data", 180, 32, 4}, {L"Category", 80, 32, 4}, {L"Cod", 80, 16, 6}, {L"Description", 250, 128, 4}};
    for (const auto& c : kColumns) {
        DListColumn column = {6, c.kind, -1, c.width, c.maxLength, c.caption, 0};
        list.InsertColumn(&column);
    }
    Pump();
    double start = Now();
    wchar_t text[64];
    for (int r = 0; r < rows; ++r) {
        int n = _snwprintf(text, 63, L"01.02.2003 04:05:%02d", r % 60);
        text[n < 0 ? 63 : n] = 0;
        DListItem item = {DListItemMask::kText | DListItemMask::kData, 0, 0, -1, text, -1, 0, r};
        list.InsertItem(&item);
        item.mask = DListItemMask::kText;
        item.column = 1;
        item.text = const_cast<wchar_t*>(L"Application");
        list.SetItem(&item);
        n = _snwprintf(text, 63, L"%d", -r);
        text[n < 0 ? 63 : n] = 0;
        item.column = 2;
        item.text = text;
        list.SetItem(&item);
        item.column = 3;
        item.text = const_cast<wchar_t*>(L"A record of the journal with a text of a usual length");
        list.SetItem(&item);
    }
    UpdateWindow(list.GetHwnd());
    double inserted = Now();
    int page = list.GetVisibleRows();
    for (int first = 0; first + page < rows; first += page) {
        list.VerticalBar().PageDown();
        Pump();
    }
    double seconds = Now() - start;
    printf("  %d rows: appending %.3f s, paging %.3f s\n", rows, inserted - start, Now() - inserted);
    if (list.GetRowCount() != rows)
        return -1;
    return seconds;
}

}  // namespace

int wmain()
{
    hInstance = GetModuleHandleW(nullptr);
    if (!RunInitRows(ControlLibraryRows, ControlLibraryRowCount, nullptr)) {
        fprintf(stderr, "the control library did not start\n");
        return 2;
    }
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = HostProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"ListViewBenchHost";
    RegisterClassExW(&wc);
    HWND host = CreateWindowExW(0, wc.lpszClassName, L"List view benchmark", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                                50, 50, 620, 420, nullptr, nullptr, hInstance, nullptr);
    if (!host) {
        fprintf(stderr, "no host window (is there a display?)\n");
        return 2;
    }
    Pump();
    Measure(host, 1000);   // warm-up: fonts, caches
    double small = Measure(host, 5000);
    double large = Measure(host, 50000);
    DestroyWindow(host);
    UndoInitRows(ControlLibraryRows, ControlLibraryRowCount);
    if (small <= 0 || large <= 0) {
        fprintf(stderr, "a measurement failed\n");
        return 2;
    }
    printf("5000 rows: %.3f s\n50000 rows: %.3f s\n", small, large);
    bench::Verdict verdict;
    bench::Scaling(verdict, "listview_rows", {5000, 50000}, {small * 1000, large * 1000}, 1.2);
    return verdict.ExitCode();
}

// StatisticsWnd: the floating "Statistics window" of the main image panel.
//
// It shows the picture point under the pointer in any view (the point
// readout) and the minimum, maximum, average and standard deviation of a
// region or of the pixels along a line chosen with a view's tool. One object
// exists in the process (StatisticsWnd::Instance); the window comes and goes:
// the panel's Statistics command or a view's statistics tool creates it, the
// panel's Exit or an area outside the picture destroys it.
#pragma once

#include "images/pixels/picture.h"
#include "ui/dwindow.h"

#include <stdint.h>

class StatisticsWnd : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"Statistics window";

    static StatisticsWnd& Instance();

    // 0 when the window exists; else creates it at the bottom left of the
    // screen, shows it and returns 1.
    int Create(HWND owner);
    bool Exists() const { return hwnd != nullptr; }

    // Statistics of a half-open region {x0, y0, x1, y1} (x1 or y1 negative:
    // the picture's width or height); null measures the previous area again.
    // An area that does not lie on the picture closes the window.
    void CalcRect(DPicture* picture, const PixelRect* rect);
    // Statistics of the pixels along a line, its end point excluded.
    void CalcLine(DPicture* picture, int x0, int y0, int x1, int y1);
    // The readout of one picture point; null: no point.
    void SetPoint(int x, int y, DPicture* picture);

    bool HasStatistics() const { return statsPresent; }
    bool HasPoint() const { return pointPresent; }
    int GetMinimum() const { return minimum; }
    int GetMaximum() const { return maximum; }
    double GetAverage() const { return average; }
    double GetDeviation() const { return deviation; }
    int GetPointValue() const { return z; }
    // The texts the window shows: the readout and the statistics.
    void FormatReadout(wchar_t* text, int capacity) const;
    void FormatStatistics(wchar_t* text, int capacity) const;

    static bool RegisterClass();
    static void UnregisterClass();

    DMessageMap* GetMessageMap() override { return &messageMap; }

    // Message handlers (public for the message map).
    LRESULT OnCreate(HWND, LPARAM);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM);
    void OnPaint();
    LRESULT OnNcHitTest(int x, int y);
    void OnWindowPosChanging(LPARAM pos);
    void OnWindowPosChanged(LPARAM pos);

private:
    StatisticsWnd() = default;
    static DMessageMap messageMap;

    void Paint(HDC dc);
    void PaintReadout(HDC dc);
    void FitWindow();

    uint16_t minimum = 0, maximum = 0;
    double average = 0.0, deviation = 0.0;
    int32_t x0 = 0, x1 = 0, y0 = 0, y1 = 0;   // region (half-open) or line
    bool areaKnown = false;         // a region was measured before
    int textWidth = 0, lineHeight = 0;
    bool statsPresent = false, pointPresent = false;
    int x = 0, y = 0, z = 0;        // the point readout
    int clientWidth = 0, clientHeight = 0;
};

// The views' point readout: SetPoint on the one Statistics window object.
void ShowPointReadout(int x, int y, DPicture* picture);

// The class "Statistics window", registered by the panel's registration.
bool RegisterStatisticsWnd();
void UnregisterStatisticsWnd();

// ProfileWnd: the line-profile window of an image view (class "Profile").
//
// The view's line tool opens it for a line in picture coordinates; dragging
// an end of the line in the view computes it again. An administrator sees the
// pixel values along the line as a bar graph with a value scale, a cursor
// readout, the averaging width and the zoom menu; other users get the
// restricted form: start, end and physical length only.
//
// State: no window -> Create (settings read, samples taken; the window is
// destroyed again when the line gives no profile) -> shown -> Compute for
// each new line -> WM_DESTROY (settings and placement written, samples freed,
// then ProfileOwner::OnProfileClosed, after the handle is cleared so that the
// owner no longer sees the window).
//
// Samples: one committed block holds the points (two 32-bit coordinates each,
// so that pictures wider than 32,767 pixels keep their coordinates) followed
// by the values; it is reused while it is large enough.
#pragma once

#include "images/pixels/picture.h"
#include "ui/updown.h"
#include "ui/button.h"
#include "ui/dwindow.h"
#include "ui/scroll.h"

#include <stdint.h>

class ProfileWnd;

// A line {x0, y0, x1, y1} in picture coordinates.
struct ProfileLine {
    int32_t x0, y0, x1, y1;
};

class ProfileOwner {
public:
    // The profile window is gone (its handle already cleared).
    virtual void OnProfileClosed(ProfileWnd* profile) = 0;

protected:
    ~ProfileOwner() = default;
};

class ProfileWnd : public DWindow {
public:
    static constexpr const wchar_t* kClassName = L"Profile";
    static constexpr int kMaxAveraging = 256;

    ProfileWnd() = default;
    ~ProfileWnd() override;

    // Opens the window for the line over `ownerWindow`; 1, or 0 when the line
    // gives no profile (the window is not left behind). An existing window
    // takes the new line and is redrawn.
    int Create(HWND ownerWindow, ProfileOwner* owner, const DPicturePtr& picture, const ProfileLine& line,
               bool restricted);
    // Takes the picture and the line and samples it; 1 on success.
    int Compute(const DPicturePtr& picture, const ProfileLine& line);
    const ProfileLine& GetLine() const { return line; }
    bool Exists() const { return hwnd != nullptr; }
    // Paints the info panel, the readout, the scale and the bars.
    void DrawGraph(HDC dc);

    // The averaging width across a vertical or horizontal line (1..256).
    void SetAveraging(int width);
    int GetAveraging() const { return averaging; }
    // Horizontal zoom: pixels per sample, 1..5.
    void SetZoom(int z);
    int GetZoom() const { return zoom; }

    int SampleCount() const { return count; }
    POINT SamplePoint(int i) const;
    int SampleValue(int i) const;
    int Minimum() const { return minimum; }
    int Maximum() const { return maximum; }
    double Length() const { return length; }
    bool IsRestricted() const { return restricted; }
    int GetCursor() const { return cursor; }
    RECT GraphRect() const { return graph; }
    // The value span that the bars fill: top and bottom of the scale.
    void ValueRange(int* bottom, int* top) const;

    // The class row of the initialization table.
    static bool RegisterClass();
    static void UnregisterClass();

    DMessageMap* GetMessageMap() override { return &messageMap; }

    // Message handlers (public for the message map).
    LRESULT OnCreate(HWND, LPARAM);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM);
    void OnPaint();
    void OnMouseMove(int x, int y, WPARAM keys);
    void OnLButtonDown(int x, int y, WPARAM keys);
    void OnRButtonDown(int x, int y, WPARAM keys);
    void OnGetMinMaxInfo(LPARAM info);

private:
    static DMessageMap messageMap;

    bool ReserveSamples(int n);
    void FreeSamples();
    void TakeSamples();
    void ReadSettings();
    void WriteSettings();
    void Layout();
    void RangeScroll();
    void MoveCursor(int x);
    void DrawInfo(HDC dc);
    void DrawReadout(HDC dc);
    void DrawScale(HDC dc, int bottom, int top);
    void DrawBars(HDC dc, int from, int to);
    int PixelAt(int x, int y) const;
    int SampleAtColumn(int x) const;

    static void OnScrollSettled(void* cookie, DScroll* bar, int position);
    static void OnCheckClicked(void* cookie, DButton* button);
    static void OnCloseClicked(void* cookie, DButton* button);
    static void OnAveragingSet(void* cookie, DUpDown* control, int value);
    DUpDown averagingControl;       // administrators only

    bool restricted = false;        // non-administrators: start, end and length only
    ProfileOwner* owner = nullptr;
    HDC dc = nullptr;               // own DC, control font selected
    DScroll scroll;                 // first sample shown
    DButton autoMaxButton, autoMinButton, closeButton;
    DPicturePtr picture;
    ProfileLine line = {};
    void* block = nullptr;          // points, then values
    size_t blockSize = 0;
    int32_t* points = nullptr;      // x, y per sample
    uint16_t* values = nullptr;
    int count = 0;                  // samples: n + 1
    int minimum = 0, maximum = 0;
    int cursor = 0;                 // the sample under the readout
    int zoom = 1;                   // pixels per sample
    int averaging = 1;
    double length = 0.0;            // physical length of the line
    int charWidth = 0, charHeight = 0, lineHeight = 0, labelWidth = 0;
    RECT graph = {};
    int clientWidth = 0, clientHeight = 0;
    bool autoMax = true, autoMin = false;
};

// The class row of the initialization table under its own names.
bool RegisterProfileWnd();
void UnregisterProfileWnd();

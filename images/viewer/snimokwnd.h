// SnimokWnd: the child window that shows one picture in the main image panel
// (class "Snimok window").
//
// It owns a DisplayRenderer (table, palettes' buffer, maps) and paints the
// render buffer with one SetDIBitsToDevice through the normal or the inverted
// 8-bit palette. It draws its own caption strip in the non-client area, sizes
// and centres itself in the cell the panel gives it, offers the zoom menu on
// the right button and runs the mouse tools.
//
// Tool states (toolState): 0 none -> 1 drag (no tool armed, no profile end
// grabbed) | 2 rectangle (tools 1, 2, 5) | 3 line (tools 3, 4) | 4 moving an
// end of the profile line. Every state returns to 0 through EndTool: at
// button up, a right click, a second left click, a new picture, and when the
// mouse capture is lost (WM_CAPTURECHANGED, WM_CANCELMODE: a message box,
// Alt-Tab). EndTool shows the cursor again when a line tool hid it, releases
// the capture and disarms the panel's tool.
//
// Picture operations (turns, mirrors, reduction) change the shared picture
// and keep the same picture point in the middle of the view.
#pragma once

#include "images/pixels/displayrenderer.h"
#include "images/pixels/picture.h"
#include "images/viewer/profilewnd.h"
#include "images/viewer/viewerservices.h"
#include "ui/dwindow.h"

#include <stdint.h>

#include <memory>

class SnimokWnd;

// A rectangle {left, top, right, bottom} or a line {x0, y0, x1, y1} in
// picture coordinates, as a tool hands it to its callback.
struct ToolArea {
    int32_t x0, y0, x1, y1;
};
typedef void (*SnimokToolCallback)(void* cookie, SnimokWnd* view, const ToolArea& area);

// 8-bit DIB header with its palette.
struct GreyDibHeader {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

class SnimokWnd : public DWindow, public ProfileOwner {
public:
    static constexpr const wchar_t* kClassName = L"Snimok window";
    enum ToolState { kStateNone = 0, kStateDrag = 1, kStateRect = 2, kStateLine = 3, kStateProfileEnd = 4 };
    static constexpr int kGrabDistance = 16;

    SnimokWnd();
    ~SnimokWnd() override;

    // Creates the view in the cell (x, y, w, h) of `parent` and attaches the
    // picture; 1, or 0 when the view already has a window or creation fails.
    int Create(HWND parent, const DPicturePtr& picture, int x, int y, int w, int h, bool hasCaption);
    // Replaces the picture (which may be empty): ends a tool, closes the
    // profile and note windows, rebuilds table, zoom and buffer. 1.
    int AttachSnimok(const DPicturePtr& picture);
    const DPicturePtr& GetSnimok() const { return picture; }
    // A new handle to the picture (an added reference).
    DPicturePtr GetPicture() const { return picture; }

    void SetActive(bool active);
    bool IsActive() const { return active; }
    // 1, or what SetPosition returns when the view was placed again.
    int SetCaptionMode(bool hasCaption, bool move, int x, int y, int w, int h);
    bool HasCaption() const { return hasCaption; }

    // The cell: buffers for it, then the picture's zoom request and centre
    // again. 0 when the buffers cannot be allocated.
    int SetPosition(int x, int y, int w, int h);
    RECT GetCell() const { return cell; }
    int GetCaptionHeight() const { return captionHeight; }

    // Zoom factor or fit mode (-1 width, -2 height, -3 all) around a centre in
    // picture coordinates; the view is sized and rendered, not painted.
    void SetScale(double scale, int centreX, int centreY);
    void UpdateLut() { renderer.UpdateLut(); }
    void BuildScaleMaps() { renderer.BuildScaleMaps(); }
    void Render() { renderer.Render(); }
    // One rectangle of view coordinates into the buffer, by the zoom's path.
    void RenderRect(int x, int y, int w, int h) { renderer.RenderRect(x, y, w, h); }
    void RenderNearest(int x, int y, int w, int h) { renderer.RenderNearest(x, y, w, h); }
    void RenderBilinear(int x, int y, int w, int h) { renderer.RenderBilinear(x, y, w, h); }
    // Paints the buffer (and the profile line) on the view's own DC.
    void Redraw();
    // Paints into any DC: the buffer through the palette, or the grey
    // background without a picture.
    void Paint(HDC dc);
    int Pan(int dx, int dy) { return renderer.Pan(dx, dy); }
    int ViewToImageX(int x) const { return renderer.ViewToImageX(x); }
    int ViewToImageY(int y) const { return renderer.ViewToImageY(y); }
    void SetSmooth(int on) { renderer.SetSmooth(on); }
    int GetSmooth() const { return renderer.GetSmooth(); }

    const uint8_t* GetBits() const { return renderer.GetBits(); }
    int GetStride() const { return renderer.GetStride(); }
    int GetViewWidth() const { return renderer.GetViewWidth(); }
    int GetViewHeight() const { return renderer.GetViewHeight(); }
    const uint8_t* GetLut() const { return renderer.GetLut(); }
    DisplayRenderer& Renderer() { return renderer; }
    const GreyDibHeader& NormalHeader() const { return normalHeader; }
    const GreyDibHeader& InvertedHeader() const { return invertedHeader; }

    // Window/level from a region of the picture (null: the whole picture), by
    // minimum and maximum or by mean and deviation; table and buffer rebuilt.
    static void AutoWindowLevel(int minMax, SnimokWnd* view, const ToolArea* rect);
    // The Description command: the note window, after saving an unsaved picture.
    void OpenNote();
    // The view's note window object; null when the program has no notes
    // (ViewerServices::newNote empty when the view was made).
    SnimokNote* Note() { return note.get(); }

    int FlipHorizontal();
    int FlipVertical();
    int RotateClockwise();
    int RotateCounterClockwise();
    // 2 or 3: binned by that factor; -1: by 1.5. 1 on success.
    int ReduceResolution(int factor);
    int RestoreResolution();

    ProfileWnd& Profile() { return profile; }
    void OnProfileClosed(ProfileWnd* profile) override;

    // Tools.
    int GetToolState() const { return toolState; }
    bool IsToolActive() const { return toolActive; }
    bool IsCursorHidden() const { return cursorHidden; }
    void EndTool();
    // The zoom menu's items: factors 0.5, 1, 1.5, 2 (and 4 for an
    // administrator), then the three fit modes; the one equal to the picture's
    // scale is checked. The scale of each item comes back in `scales`.
    HMENU BuildZoomMenu(double* scales, int capacity, int* count) const;

    static bool RegisterClass();
    static void UnregisterClass();

    DMessageMap* GetMessageMap() override { return &messageMap; }

    // Message handlers (public for the message map).
    LRESULT OnCreate(HWND, LPARAM);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM);
    void OnPaint();
    LRESULT OnNcCalcSize(WPARAM calcValid, LPARAM params);
    void OnNcPaint(WPARAM region);
    LRESULT OnNcHitTest(int x, int y);
    LRESULT OnMouseActivate(WPARAM topLevel, int hitTest, int message);
    void OnMouseMove(int x, int y, WPARAM keys);
    void OnLButtonDown(int x, int y, WPARAM keys);
    void OnLButtonUp(int x, int y, WPARAM keys);
    void OnRButtonDown(int x, int y, WPARAM keys);
    void OnCaptureChanged(LPARAM newCapture);
    void OnCancelMode();

private:
    static DMessageMap messageMap;
    typedef void (SnimokWnd::*MoveHandler)(WPARAM keys, int x, int y);

    // Mouse-move handlers.
    void MoveIdle(WPARAM keys, int x, int y);
    void MoveReadout(WPARAM keys, int x, int y);
    void MoveDrag(WPARAM keys, int x, int y);
    void MoveRubberBand(WPARAM keys, int x, int y);
    void MoveLine(WPARAM keys, int x, int y);
    void MoveProfileStart(WPARAM keys, int x, int y);
    void MoveProfileEnd(WPARAM keys, int x, int y);
    void MoveProfileEndpoint(WPARAM keys, int x, int y, bool start);

    // Tool callbacks.
    static void ToolWindowMinMax(void* cookie, SnimokWnd* view, const ToolArea& area);
    static void ToolWindowMeanSd(void* cookie, SnimokWnd* view, const ToolArea& area);
    static void ToolProfile(void* cookie, SnimokWnd* view, const ToolArea& area);
    static void ToolLineStats(void* cookie, SnimokWnd* view, const ToolArea& area);
    static void ToolRectStats(void* cookie, SnimokWnd* view, const ToolArea& area);

    void StartTool(int state, SnimokToolCallback callback);
    bool GrabProfileEnd(int x, int y);
    void HideCursor();
    void ShowCursorAgain();
    void ClampToView(int& x, int& y) const;
    void Readout(int x, int y);
    void DrawToolLine(HDC dc, bool markers);
    void EraseToolLine(HDC dc);
    void DrawProfileOverlay(HDC dc);
    void PaintBufferPart(HDC dc, const RECT& area);
    void SizeWindow(int vw, int vh);
    void DrawCaptionStrip();
    void ZoomMenu(int x, int y);
    int AfterTurn(int changed, int cx, int cy, bool redrawOnly);

    DisplayRenderer renderer;
    GreyDibHeader normalHeader;     // entry i = (i, i, i)
    GreyDibHeader invertedHeader;   // entry i = (255 - i, ...)
    RECT cell = {};                 // {x, y, width, height} in the parent
    int captionHeight = 0;          // SM_CYCAPTION with a caption strip, else 0
    bool active = false;            // the panel's active view
    bool hasCaption = false;
    HDC dc = nullptr;               // own DC (CS_OWNDC), from WM_CREATE to WM_DESTROY
    ProfileWnd profile;
    std::unique_ptr<SnimokNote> note;   // made by the shell (ViewerServices::newNote)
    HWND parent = nullptr;
    DPicturePtr picture;
    int toolState = kStateNone;
    bool toolActive = false;        // a tool is in progress and the mouse is captured
    bool cursorHidden = false;      // hidden by a line tool or a profile move
    bool endingTool = false;        // EndTool releases the capture itself
    POINT anchor = {}, current = {};
    MoveHandler moveHandler = &SnimokWnd::MoveIdle;
    SnimokToolCallback toolCallback = nullptr;
    void* toolCookie = nullptr;
};

// The view's row of the initialization table: the class "Snimok window" and
// its cursors, pen and brush; false when the class cannot be registered.
bool RegisterSnimokWnd();
void UnregisterSnimokWnd();

// The tool line shared by all views, in picture coordinates.
ToolArea& SnimokToolLine();

// The caption text of a picture: its file date and time.
void FormatImageCaption(const DPicture* picture, wchar_t* text, int capacity);

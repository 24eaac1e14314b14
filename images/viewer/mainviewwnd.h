// MainViewWnd: the main image panel (class "Main View Snimok Window").
//
// A full-screen popup that shows one to nine image views in one of seven
// layouts, a vertical toolbar of eleven command buttons with the two
// window/level controls, and a caption line with the patient. It is the
// process's view host: views report clicks and new pictures to it. The
// commands act on the active view's picture; without one they do nothing.
//
// Views live in nine owned slots; the first `viewCount` of them belong to the
// current layout. Slot life: empty -> a view object (SetLayout, AddSnimok) ->
// its window (SnimokWnd::Create in its cell) -> deleted (a layout with fewer
// views, ShowMainView, Exit, WM_DESTROY). The active view always points
// into the slots or is null.
//
// Pictures are prepared before they are shown (PrepareSnimokForView): the
// orientation, once per picture; the enhancement filter by the
// "PrepareSnimok" settings; optionally the automatic window.
#pragma once

#include "images/pixels/picture.h"
#include "images/viewer/snimokwnd.h"
#include "ui/updown.h"
#include "images/viewer/viewhost.h"
#include "ui/button.h"
#include "ui/dwindow.h"

#include <stdint.h>

struct FontChangeNotice;

// Image preparation settings (subkey "PrepareSnimok" of the settings key).
struct PrepareSnimokSettings {
    int mFilter;        // enhancement level: 0 none, 2 low, 3 medium, 4 strong
    int autoMFilter;    // 1: only pictures that pass the contrast test
    int equalizeOld;    // kept and written back
};
PrepareSnimokSettings& PrepareSettings();
void LoadPrepareSnimokSettings();
// 1 when the three values were written, 0 (silently) when not.
int SavePrepareSnimokSettings();
// The settings dialog "Processing Image Properties"; the dialog's result.
INT_PTR RunPrepareSnimokDlg(HWND owner);
// The same dialog without its own loop, for callers that drive it.
HWND CreatePrepareSnimokDlg(HWND owner);

// Prepares a picture to be shown; with `equalize` the automatic window over
// the rectangle (none: the central third). Throws the integer 0 for a
// rectangle that does not lie on the picture. 1.
int PrepareSnimokForView(int equalize, const PixelRect* rect, DPicture* picture);
// The state bit that says the orientation has been applied to the rasters.
constexpr uint32_t kOrientationApplied = 0x80000000u;

// The toolbar rows, in order.
enum PanelButton {
    kButtonExit, kButtonSave, kButtonWindows, kButtonPatient, kButtonDescription, kButtonPrint, kButtonProfile,
    kButtonStatistics, kButtonEqualize, kButtonModes, kButtonNegative, kPanelButtonCount
};

class MainViewWnd : public DWindow, public SnimokHost {
public:
    static constexpr const wchar_t* kClassName = L"Main View Snimok Window";
    static constexpr int kMaxViews = 9;
    static constexpr int kLayoutCount = 7;
    static constexpr int kToolbarWidth = 120;
    static constexpr int kLevelRange = 65535;

    struct Layout {
        int views, columns, rows;
    };
    static const Layout kLayouts[kLayoutCount];

    // The panel object, null before CreateMainView.
    static MainViewWnd* Instance();
    // Creates the panel window (hidden) owned by `parent`; 0 when it exists.
    int Create(HWND parent);
    bool IsCreated() const { return hwnd != nullptr; }
    HWND GetHandle() const { return hwnd; }
    ~MainViewWnd() override;

    // ---- views ----
    SnimokWnd* AddSnimok(const DPicturePtr& picture);
    SnimokWnd* GetActiveView() const { return active; }
    void SetActiveView(SnimokWnd* view) override;
    void ClearActiveView() { active = nullptr; }
    void SetLevelScrolls(SnimokWnd* view, int setDefault) override;
    void SetLayout(int mode);
    RECT GetViewRect(int n) const;   // {x, y, width, height}
    void DeleteAllViews();
    int GetViewCount() const { return viewCount; }
    int GetLayoutMode() const { return layoutMode; }
    SnimokWnd* GetView(int n) const { return n >= 0 && n < kMaxViews ? views[n] : nullptr; }
    RECT GetViewArea() const { return viewArea; }

    // ---- patient and caption ----
    uint32_t GetPatientId() const { return patientId; }
    // Looks the patient up for the caption; 0 when the lookup fails.
    int SetPatient(uint32_t id, const PatientInfo* known);
    void ReloadPatient();
    void SetCaption(const wchar_t* text, int length);
    const wchar_t* GetCaption() const { return caption; }
    int GetCaptionHeight() const { return captionHeight; }

    // ---- commands (toolbar rows and keys) ----
    void Command(int button, bool rightClick);
    void OnKey(WPARAM key);
    DButton* GetButton(int row) const { return row >= 0 && row < kPanelButtonCount ? buttons[row] : nullptr; }
    int GetButtonHeight() const { return buttonHeight; }

    // ---- window/level controls ----
    // What the offset and width controls report: a committed value or one
    // while the strip is dragged.
    void OnOffsetChanged(int value, bool committed);
    void OnWidthChanged(int value, bool committed);
    int GetLevelOffset() const { return offsetValue; }
    int GetLevelWidth() const { return widthValue; }
    int GetLevelOffsetDefault() const { return offsetDefault; }
    int GetLevelWidthDefault() const { return widthDefault; }
    int GetLevelStep() const { return levelStep; }
    DUpDown& OffsetControl() { return offsetControl; }
    DUpDown& WidthControl() { return widthControl; }
    RECT GetOffsetControlRect() const { return offsetRect; }
    RECT GetWidthControlRect() const { return widthRect; }
    bool IsShown() const;
    // The toolbar column on the screen (its buttons and controls), empty
    // while the panel is not shown: windows opened over the panel keep off it.
    RECT GetToolbarScreenRect() const;

    DMessageMap* GetMessageMap() override { return &messageMap; }

    // Message handlers (public for the message map).
    LRESULT OnCreate(HWND, LPARAM);
    void OnDestroy();
    void OnSize(int width, int height, WPARAM);
    void OnPaint();
    void OnKeyDown(WPARAM key, LPARAM data);
    void OnLButtonDown(int x, int y, WPARAM keys);
    void OnRButtonDown(int x, int y, WPARAM keys);
    void OnFontChanged(WPARAM notice);

    // Used by the show functions.
    bool shown = false;             // shown for a patient since the last Exit

private:
    friend int CreateMainView(HWND parent);
    MainViewWnd();
    static DMessageMap messageMap;

    bool MakeToolbar();
    void PlaceToolbar();
    void PlaceViews();
    void DeleteView(int n);
    int SlotOf(const SnimokWnd* view) const;
    POINT ButtonMenuPoint(int row) const;
    DPicture* ActivePicture() const;
    void LevelChanged();

    // Commands.
    void Exit();
    void Save();
    void PatientKart();
    void Description(bool rightClick);
    void Print(bool rightClick);
    void Statistics(bool rightClick);
    void Equalize(bool minMax);
    void ImagingModes();
    void Negative();
    // The Negative button's check state and the face that shows it.
    void ShowNegativeCheck(bool checked);
    static constexpr COLORREF kCheckedFace = 0xC0C0C0;
    void LayoutMenu();

    static void ButtonClicked(void* cookie, DButton* button);
    static void ButtonRightClicked(void* cookie, DButton* button);
    static void ButtonHover(void* cookie, DButton* button);
    static void ButtonKey(void* cookie, DButton* button, WPARAM key, LPARAM data);
    static void ControlKey(void* cookie, DUpDown* control, WPARAM key, LPARAM data);
    static void OffsetSet(void* cookie, DUpDown* control, int value);
    static void OffsetChanging(void* cookie, DUpDown* control, int value);
    static void WidthSet(void* cookie, DUpDown* control, int value);
    static void WidthChanging(void* cookie, DUpDown* control, int value);
    DUpDown offsetControl, widthControl;
    HICON offsetIcon = nullptr, widthIcon = nullptr;

    SnimokWnd* views[kMaxViews] = {};   // owned; null when empty
    int viewCount = 1;                  // views of the layout, 1..9
    int layoutMode = 0;                 // 0..6
    SnimokWnd* active = nullptr;        // into views, or null
    RECT viewArea = {};                 // left, top, right, bottom
    int captionHeight = 16;
    int buttonHeight = 0;
    DButton* buttons[kPanelButtonCount] = {};
    int buttonCount = 0;
    RECT offsetRect = {}, widthRect = {};
    int offsetValue = 0, widthValue = kLevelRange;
    int offsetDefault = 0, widthDefault = kLevelRange;
    int levelStep = 1;
    uint32_t patientId = 0;
    PatientInfo knownPatient;           // the record the caption was made from
    wchar_t caption[512] = {};
    HICON captionIcon = nullptr;        // 16 x 16
};

// Registration row: the Statistics class, the settings, then the panel class.
bool RegisterMainViewSnimokWnd();
void UnregisterMainViewSnimokWnd();
// The initialization rows of the viewer: views, profile, panel.
bool RegisterViewerClasses();
void UnregisterViewerClasses();

int CreateMainView(HWND parent);
// Destroys the panel window and its object (the end of a session, and tests).
void DestroyMainView();
// Pictures handed over by the application shell. ShowMainView and
// ShowMainViewRefresh bring the panel to the front, active with the focus;
// ShowMainViewAgain leaves the stacking as it is (the "Pictures" window it
// serves lies over the panel).
void ShowMainView(const DPicturePtr& picture);
void ShowMainViewRefresh(const DPicturePtr& picture);
void ShowMainViewAgain(const DPicturePtr& picture);

// IconSnimok: one thumbnail cell of the patient image strip (window class
// "Icon snimok").
//
// A cell shows one image of its strip: a caption band (the image's number,
// its date and, for an image with a description, the note icon) above the
// 192 x 192 thumbnail or a state caption, inside a one-pixel frame. It takes
// the image's mouse and keyboard input: a click opens the image (a click on
// the note icon of an image with a description opens the note instead),
// Ctrl + right click opens the note, a right click the context menu of image
// commands, Shift + right click the menu of display settings (registry key
// "IconParam"). Every cell of every strip shares one set of settings, pens
// and fonts, and one move state.
//
// States of a cell's press bits (kLeftPressed, kSpacePressed, kRightPressed):
// set by the button or key going down (with the mouse captured), cleared by
// its going up (which acts) or by leaving the cell (which does not); the
// frame is drawn pressed while any is set, red while the cell has the focus.
//
// The cell borrows its record from the strip: the strip binds and unbinds
// records (Bind) and frees them only after unbinding.
#pragma once

#include "images/files/iconrecord.h"
#include "images/pixels/picture.h"
#include "ui/control_base.h"

#include <windows.h>

class IconStrip;

// What the cell's commands reach outside the strip: image maintenance of the
// patient workspace, image import and export, and the main window's current
// patient. The defaults of the maintenance, import and export entries say
// "This command is not available yet."; the main patient window installs its
// own while it exists.
struct IconCellActions {
    BOOL (*restoreFromArchive)(HWND owner, DWORD imageKey);
    BOOL (*deleteImage)(HWND owner, DWORD imageKey);
    BOOL (*deleteImageComplete)(HWND owner, DWORD imageKey);
    BOOL (*moveImage)(HWND owner, DWORD imageKey, DWORD newPatientKey);
    void (*importPicture)(HWND owner);
    void (*exportPicture)(HWND owner, const DPicturePtr& picture);
    // The main patient window's current patient; false when none is current.
    bool (*currentPatient)(DWORD* patientKey);
};
IconCellActions DefaultIconCellActions();
// Returns the previous set.
IconCellActions SetIconCellActions(const IconCellActions& actions);

// Where the strip puts a cell.
struct IconCellPlacement {
    HWND parent;
    IconStrip* strip;
    DWORD flags;    // kVisible and the anchor bits
    int x, y, width, height;
};

// Context menu and settings menu command identifiers.
namespace IconCellCommand {
constexpr UINT kDescription = 1, kRestore = 2, kDelete = 4, kMove = 5, kImport = 6, kExport = 7, kCancelMove = 8;
constexpr UINT kFont = 1, kDateFormat = 2, kFirstColor = 3, kFirstStateCaption = 7;
}  // namespace IconCellCommand

class IconSnimok : public DControlWindow<IconSnimok, DInputRecord<IconSnimok>> {
public:
    static constexpr const wchar_t* kClassName = L"Icon snimok";
    static constexpr int kThumbSide = 192;
    static constexpr int kBorder = 1;

    // Placement flags: the controls' own.
    static constexpr DWORD kVisible = ControlStyle::kVisible;
    static constexpr DWORD kAnchorLeft = ControlStyle::kAnchorLeft, kAnchorRight = ControlStyle::kAnchorRight;
    static constexpr DWORD kAnchorTop = ControlStyle::kAnchorTop, kAnchorBottom = ControlStyle::kAnchorBottom;

    // Press and focus bits.
    static constexpr DWORD kLeftPressed = 2, kSpacePressed = 4, kRightPressed = 8, kFocused = 16;

    IconSnimok() = default;
    ~IconSnimok();
    IconSnimok(const IconSnimok&) = delete;
    IconSnimok& operator=(const IconSnimok&) = delete;

    // Fails when the cell has a window. The cell sizes itself (CellWidth x its
    // own caption height + 194) whatever the placement asks.
    bool Create(const IconCellPlacement& placement, int row);
    void Destroy();

    // Gives the cell a record (or none) and its number in the strip
    // (0-based); unless it had none and gets none, it repaints.
    void Bind(IconRecord* record, int number);
    IconRecord* GetRecord() const { return record_; }
    int GetNumber() const { return number_; }
    int GetRow() const { return row_; }
    DWORD GetState() const { return state_; }
    int GetCaptionHeight() const { return captionHeight_; }
    // The note-icon zone: the caption band's right end, icon size wide.
    bool InNoteZone(int x, int y) const;

    // Paints the client area into any DC (the window's own at WM_PAINT).
    void Draw(HDC dc);
    // The context menu and the settings menu at a screen point.
    void ContextMenu(int x, int y);
    void SettingsMenu(int x, int y);

    // Window class, shared pens, note icon and caption metrics.
    static bool RegisterClass();
    static void UnregisterClass();
    // "IconParam" below the product's settings key: the caption font, the
    // date format, the four colours and the thumbnail states.
    static void LoadSettings(HKEY productKey);

    // Metrics: cell width 194; cell height 194 plus the caption height of the
    // caption font now in force (at least the icon size).
    static int CellWidth();
    static int CellHeight();
    static int CaptionTextHeight();

    // The shared display settings.
    static COLORREF CaptionColor();
    static COLORREF BackgroundColor();
    static COLORREF NumberColor();
    static COLORREF CaptionTextColor();
    static const wchar_t* DateFormat();

    // The move state: while moving, every cell offers "Paste Picture".
    static bool IsMoving();
    static DWORD MovingImage();
    static void CancelMove();

private:
    friend class DControlWindow<IconSnimok, DInputRecord<IconSnimok>>;

    LRESULT OnCreate(HWND hwnd, LPARAM createStruct);
    void OnDestroy();
    LRESULT OnNcCalcSize(WPARAM calcRects, LPARAM params);
    void OnNcPaint(WPARAM region);
    void OnPaint();
    void OnWindowPosChanging(LPARAM pos);
    void OnLButtonDown(int x, int y, WPARAM keys);
    void OnLButtonUp(int x, int y, WPARAM keys);
    void OnRButtonDown(int x, int y, WPARAM keys);
    void OnRButtonUp(int x, int y, WPARAM keys);
    void OnMouseMove(int x, int y, WPARAM keys);
    LRESULT OnMouseActivate(WPARAM top, int hitTest, int message);
    void OnSetFocus(WPARAM previous);
    void OnKillFocus(WPARAM next);
    void OnKeyDown(WPARAM key, LPARAM data);
    void OnKeyUp(WPARAM key, LPARAM data);
    void OnChar(WPARAM key, LPARAM data);

    void DrawFrame();
    void Press(DWORD bit);
    void Open();
    void RunCommand(UINT command);
    void Anchor(int* x, int* y) const;

    int row_ = 0;                   // set by the strip
    DWORD flags_ = 0;               // placement flags
    DWORD state_ = 0;               // press and focus bits
    IconStrip* strip_ = nullptr;    // owner
    IconRecord* record_ = nullptr;  // borrowed from the strip, or none
    int number_ = 0;                // the record's index in the strip
    int width_ = 0, height_ = 0;    // client size
    int captionHeight_ = 0;
    HDC dc_ = nullptr;              // the cell's own DC, creation to destruction
    HGDIOBJ oldFont_ = nullptr;     // what dc_ held before the caption font
};

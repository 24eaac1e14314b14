#include "app/iconsnimok.h"

#include "app/iconstrip.h"
#include "app/inputtext.h"
#include "app/mainmenus.h"
#include "app/reghelpers.h"
#include "forms/patientlookup.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/registry.h"
#include "foundation/textutil.h"
#include "images/files/xmgfile.h"
#include "images/viewer/mainviewwnd.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/control_font.h"
#include "ui/handler_table.h"
#include "ui/placement.h"
#include "ui/popupmenu.h"

#include <commdlg.h>
#include <stdio.h>
#include <string.h>

namespace {

// ---- what every cell shares ---------------------------------------------------

ControlClass gCellClass = {IconSnimok::kClassName, CS_OWNDC | CS_NOCLOSE, nullptr};

HPEN gWhitePen = nullptr, gBlackPen = nullptr, gRedPen = nullptr;
HICON gNoteIcon = nullptr;       // icon 146 at the icon size
HFONT gParamFont = nullptr;      // the "IconParam" font, when one was loaded
int gCaptionTextHeight = 0;      // of the caption font in force

const int kDateChars = 33;       // 32 characters and the terminator
wchar_t gDateFormat[kDateChars] = L"";

struct ColorSetting {
    const wchar_t* valueName;
    UINT stringId;
    COLORREF value;
    COLORREF defaultValue;
};
// In the order of the settings menu.
ColorSetting gColors[4] = {
    {L"CCap", IDS_CAPTION_COLOR, 0xFF0000, 0xFF0000},
    {L"CBack", IDS_BACKGROUND_COLOR, 0x808080, 0x808080},
    {L"CCapNum", IDS_COLOR_NUMBER, 0x0000FF, 0x0000FF},
    {L"CCapTxt", IDS_COLOR_CAPTION_TEXT, 0xFFFFFF, 0xFFFFFF},
};
enum { kColorCaption, kColorBack, kColorNumber, kColorText };

struct MoveState {
    bool moving;
    DWORD imageKey;
    DWORD patientKey;   // the patient the image belongs to
};
MoveState gMove = {false, 0, 0};

// ---- the neighbours' commands ---------------------------------------------------

void NotAvailable(HWND owner)
{
    ShowNotAvailableYet(owner);
}
BOOL RestoreNotAvailable(HWND owner, DWORD)
{
    NotAvailable(owner);
    return FALSE;
}
BOOL MoveNotAvailable(HWND owner, DWORD, DWORD)
{
    NotAvailable(owner);
    return FALSE;
}
void ExportNotAvailable(HWND owner, const DPicturePtr&)
{
    NotAvailable(owner);
}
bool LookupCurrentPatient(DWORD* key);

IconCellActions gActions = DefaultIconCellActions();

HFONT CaptionFont()
{
    return gParamFont ? gParamFont : ControlFont;
}

int MeasureCaptionText()
{
    HDC dc = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr);
    if (!dc)
        return 0;
    HGDIOBJ old = SelectObject(dc, CaptionFont() ? (HGDIOBJ)CaptionFont() : GetStockObject(DEFAULT_GUI_FONT));
    SIZE size = {};
    GetTextExtentPoint32W(dc, L"1", 1, &size);
    SelectObject(dc, old);
    DeleteDC(dc);
    return size.cy;
}

void DefaultDateFormat()
{
    wcsncpy(gDateFormat, DateTimePicture, kDateChars - 1);
    gDateFormat[kDateChars - 1] = 0;
}

void FillRectColor(HDC dc, const RECT& rect, COLORREF color)
{
    HBRUSH brush = CreateSolidBrush(color);
    if (!brush)
        return;
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

}  // namespace

IconCellActions DefaultIconCellActions()
{
    IconCellActions a;
    a.restoreFromArchive = &RestoreNotAvailable;
    a.deleteImage = &RestoreNotAvailable;
    a.deleteImageComplete = &RestoreNotAvailable;
    a.moveImage = &MoveNotAvailable;
    a.importPicture = &NotAvailable;
    a.exportPicture = &ExportNotAvailable;
    a.currentPatient = &LookupCurrentPatient;
    return a;
}

IconCellActions SetIconCellActions(const IconCellActions& actions)
{
    IconCellActions old = gActions;
    gActions = actions;
    return old;
}

// ---- class and shared settings ---------------------------------------------------

bool IconSnimok::RegisterClass()
{
    if (gCellClass.registered)
        return true;
    // One line per concern; the mouse messages the cell does not act on are
    // taken (and only reported, to no record).
    static const HandlerEntry handlers[] = {
        OnMessage<WM_CREATE, &IconSnimok::OnCreate>(), OnMessage<WM_DESTROY, &IconSnimok::OnDestroy>(),
        OnMessage<WM_PAINT, &IconSnimok::OnPaint>(),
        OnMessage<WM_NCCALCSIZE, &IconSnimok::OnNcCalcSize>(), OnMessage<WM_NCPAINT, &IconSnimok::OnNcPaint>(),
        OnMessage<WM_WINDOWPOSCHANGING, &IconSnimok::OnWindowPosChanging>(),
        OnMessage<WM_MOUSEACTIVATE, &IconSnimok::OnMouseActivate>(), OnMessage<WM_MOUSEMOVE, &IconSnimok::OnMouseMove>(),
        OnMessage<WM_LBUTTONDOWN, &IconSnimok::OnLButtonDown>(), OnMessage<WM_LBUTTONUP, &IconSnimok::OnLButtonUp>(),
        OnMessage<WM_RBUTTONDOWN, &IconSnimok::OnRButtonDown>(), OnMessage<WM_RBUTTONUP, &IconSnimok::OnRButtonUp>(),
        OnMessage<WM_SETFOCUS, &IconSnimok::OnSetFocus>(), OnMessage<WM_KILLFOCUS, &IconSnimok::OnKillFocus>(),
        OnMessage<WM_KEYDOWN, &IconSnimok::OnKeyDown>(), OnMessage<WM_KEYUP, &IconSnimok::OnKeyUp>(),
        OnMessage<WM_CHAR, &IconSnimok::OnChar>(),
    };
    if (!RegisterControl(gCellClass, handlers, ReportInput::kMouse))
        return false;
    gWhitePen = CreatePen(PS_SOLID, 1, 0xFFFFFF);
    gBlackPen = CreatePen(PS_SOLID, 1, 0x000000);
    gRedPen = CreatePen(PS_SOLID, 1, 0x0000FF);
    gNoteIcon = LoadIconRes(IDI_VIEWER_DESCRIPTION);
    gCaptionTextHeight = MeasureCaptionText();
    if (!gDateFormat[0])
        DefaultDateFormat();
    return true;
}

void IconSnimok::UnregisterClass()
{
    if (!UnregisterControl(gCellClass))
        return;
    for (HPEN* pen : {&gWhitePen, &gBlackPen, &gRedPen}) {
        if (*pen)
            DeleteObject(*pen);
        *pen = nullptr;
    }
    if (gNoteIcon)
        DestroyIcon(gNoteIcon);
    gNoteIcon = nullptr;
    if (gParamFont)
        DeleteObject(gParamFont);
    gParamFont = nullptr;
}

void IconSnimok::LoadSettings(HKEY productKey)
{
    HKEY key = nullptr;
    if (!productKey || RegOpenKeyExW(productKey, L"IconParam", 0, KEY_READ, &key) != ERROR_SUCCESS) {
        DefaultDateFormat();
        LoadIconStates(nullptr);
        return;
    }
    LOGFONTW font;
    if (RegReadLogFont(font, key, L"Font")) {
        if (HFONT made = CreateFontIndirectW(&font)) {
            if (gParamFont)
                DeleteObject(gParamFont);
            gParamFont = made;
        }
    }
    // The cells and the strip size themselves by this height from now on.
    gCaptionTextHeight = MeasureCaptionText();
    wchar_t format[kDateChars];
    DWORD size = sizeof format;
    if (RegGetString(key, L"DateFormat", format, &size) == ERROR_SUCCESS && format[0]) {
        wcscpy(gDateFormat, format);
    } else {
        DefaultDateFormat();
    }
    for (ColorSetting& color : gColors) {
        DWORD value = 0;
        if (RegGetDword(key, color.valueName, &value) == ERROR_SUCCESS)
            color.value = value;
    }
    LoadIconStates(key);
    RegCloseKey(key);
}

int IconSnimok::CaptionTextHeight()
{
    return gCaptionTextHeight;
}

int IconSnimok::CellWidth()
{
    return kThumbSide + 2 * kBorder;
}

int IconSnimok::CellHeight()
{
    return kThumbSide + 2 * kBorder + (gCaptionTextHeight > IconSize ? gCaptionTextHeight : IconSize);
}

COLORREF IconSnimok::CaptionColor() { return gColors[kColorCaption].value; }
COLORREF IconSnimok::BackgroundColor() { return gColors[kColorBack].value; }
COLORREF IconSnimok::NumberColor() { return gColors[kColorNumber].value; }
COLORREF IconSnimok::CaptionTextColor() { return gColors[kColorText].value; }
const wchar_t* IconSnimok::DateFormat() { return gDateFormat; }
bool IconSnimok::IsMoving() { return gMove.moving; }
DWORD IconSnimok::MovingImage() { return gMove.imageKey; }
void IconSnimok::CancelMove() { gMove = MoveState{false, 0, 0}; }

// ---- the cell window ---------------------------------------------------------------

IconSnimok::~IconSnimok()
{
    Destroy();
}

void IconSnimok::Destroy()
{
    if (hwnd)
        DestroyWindow(hwnd);
}

bool IconSnimok::Create(const IconCellPlacement& placement, int row)
{
    if (hwnd || !gCellClass.registered)
        return false;
    row_ = row;
    flags_ = placement.flags;
    strip_ = placement.strip;
    state_ = 0;
    DWORD visible = (placement.flags & kVisible) ? WS_VISIBLE : 0;
    return CreateControlWindow(0, kClassName, visible, placement.x, placement.y, placement.width, placement.height,
                               placement.parent, hInstance, nullptr, nullptr);
}

void IconSnimok::Anchor(int* x, int* y) const
{
    AnchorToParent(flags_, GetParent(hwnd), CellWidth(), captionHeight_ + kThumbSide + 2 * kBorder, x, y);
}

LRESULT IconSnimok::OnCreate(HWND, LPARAM createStruct)
{
    const CREATESTRUCTW* cs = reinterpret_cast<const CREATESTRUCTW*>(createStruct);
    dc_ = GetDC(hwnd);
    if (!dc_)
        return -1;
    if (HFONT font = CaptionFont())
        oldFont_ = SelectObject(dc_, font);
    SetBkMode(dc_, TRANSPARENT);
    const int textHeight = GetDCFontHeight(dc_);
    captionHeight_ = textHeight > IconSize ? textHeight : IconSize;
    width_ = kThumbSide;
    height_ = captionHeight_ + kThumbSide;
    const int cx = width_ + 2 * kBorder, cy = height_ + 2 * kBorder;
    int x = cs->x, y = cs->y;
    Anchor(&x, &y);
    if (x != cs->x || y != cs->y || cx != cs->cx || cy != cs->cy)
        SetWindowPos(hwnd, nullptr, x, y, cx, cy,
                     SWP_NOZORDER | SWP_NOREDRAW | SWP_NOOWNERZORDER | SWP_NOSENDCHANGING | SWP_NOACTIVATE);
    return 0;
}

void IconSnimok::OnDestroy()
{
    if (dc_) {
        if (oldFont_)
            SelectObject(dc_, oldFont_);
        ReleaseDC(hwnd, dc_);
    }
    dc_ = nullptr;
    oldFont_ = nullptr;
    record_ = nullptr;
    if (GetCapture() == hwnd)
        ReleaseCapture();
}

void IconSnimok::OnWindowPosChanging(LPARAM pos)
{
    WINDOWPOS* wp = reinterpret_cast<WINDOWPOS*>(pos);
    if (!(flags_ & ControlStyle::kAnchorMask) || (wp->flags & SWP_NOMOVE))
        return;
    Anchor(&wp->x, &wp->y);
}

LRESULT IconSnimok::OnNcCalcSize(WPARAM, LPARAM params)
{
    RECT* r = reinterpret_cast<RECT*>(params);
    InflateRect(r, -kBorder, -kBorder);
    return 0;
}

void IconSnimok::OnNcPaint(WPARAM)
{
    DrawFrame();
}

void IconSnimok::DrawFrame()
{
    HDC dc = GetWindowDC(hwnd);
    if (!dc)
        return;
    RECT r;
    GetWindowRect(hwnd, &r);
    const int w = r.right - r.left - 1, h = r.bottom - r.top - 1;
    HPEN first, second;
    if (state_ & (kLeftPressed | kSpacePressed | kRightPressed)) {
        first = gBlackPen;
        second = gWhitePen;
    } else if (state_ & kFocused) {
        first = second = gRedPen;
    } else {
        first = gWhitePen;
        second = gBlackPen;
    }
    HGDIOBJ old = SelectObject(dc, first);
    MoveToEx(dc, 0, h, nullptr);
    LineTo(dc, 0, 0);
    LineTo(dc, w, 0);
    SelectObject(dc, second);
    LineTo(dc, w, h);
    LineTo(dc, 0, h);
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
}

void IconSnimok::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    if (dc)
        Draw(dc);
    EndPaint(hwnd, &ps);
}

void IconSnimok::Draw(HDC dc)
{
    HGDIOBJ oldFont = nullptr;
    if (dc != dc_ && CaptionFont())
        oldFont = SelectObject(dc, CaptionFont());
    const int oldMode = SetBkMode(dc, TRANSPARENT);
    const COLORREF oldColor = GetTextColor(dc);
    RECT band = {0, 0, width_, captionHeight_};
    FillRectColor(dc, band, CaptionColor());
    if (record_) {
        wchar_t number[16];
        const int n = _snwprintf(number, 15, L"%d", number_ + 1);
        number[15] = 0;
        RECT text = {2, 0, width_, captionHeight_};
        SetTextColor(dc, NumberColor());
        DrawTextW(dc, number, n < 0 ? -1 : n, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        SIZE extent = {};
        GetTextExtentPoint32W(dc, number, n < 0 ? 0 : n, &extent);
        text.left += extent.cx + 4;
        wchar_t date[64];
        if (FormatFileTime(date, 64, gDateFormat, &record_->date) >= 0) {
            SetTextColor(dc, CaptionTextColor());
            DrawTextW(dc, date, -1, &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        }
        if (record_->noteLength != 0 && gNoteIcon)
            DrawIconEx(dc, width_ - IconSize, 0, gNoteIcon, IconSize, IconSize, 0, nullptr, DI_NORMAL);
        record_->Draw(dc, 0, captionHeight_, kThumbSide, kThumbSide, BackgroundColor());
    } else {
        DrawIconStateText(dc, 0, captionHeight_, kThumbSide, kThumbSide, BackgroundColor());
    }
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
    if (oldFont)
        SelectObject(dc, oldFont);
}

void IconSnimok::Bind(IconRecord* record, int number)
{
    if (!record_ && !record)
        return;
    record_ = record;
    number_ = number;
    if (hwnd)
        InvalidateRect(hwnd, nullptr, FALSE);
}

bool IconSnimok::InNoteZone(int x, int y) const
{
    return y >= 0 && y < captionHeight_ && x > width_ - IconSize;
}

// ---- mouse and keys ------------------------------------------------------------------

void IconSnimok::Press(DWORD bit)
{
    state_ |= bit;
    ::SetCapture(hwnd);
    DrawFrame();
}

void IconSnimok::OnLButtonDown(int, int, WPARAM)
{
    Press(kLeftPressed);
}

void IconSnimok::OnRButtonDown(int, int, WPARAM)
{
    Press(kRightPressed);
}

void IconSnimok::OnMouseMove(int x, int y, WPARAM keys)
{
    const bool inside = x >= 0 && x <= width_ && y >= 0 && y <= height_;
    if (inside) {
        if (!(state_ & kLeftPressed) && (keys & MK_LBUTTON))
            Press(kLeftPressed);
        else if (state_ & kRightPressed)
            return;
        else if (keys & MK_RBUTTON)
            Press(kRightPressed);
        return;
    }
    if (state_ & (kLeftPressed | kRightPressed)) {
        state_ &= ~(kLeftPressed | kRightPressed);
        if (GetCapture() == hwnd)
            ReleaseCapture();
        DrawFrame();
    }
}

void IconSnimok::OnLButtonUp(int x, int y, WPARAM)
{
    const bool wasPressed = (state_ & kLeftPressed) != 0;
    state_ &= ~kLeftPressed;
    if (GetCapture() == hwnd)
        ReleaseCapture();
    DrawFrame();
    // A press that left the cell was given up there.
    if (!wasPressed)
        return;
    if (InNoteZone(x, y) && record_ && record_->noteLength != 0)
        strip_->CellShowNote((DWORD)record_->key);
    else
        Open();
}

void IconSnimok::OnRButtonUp(int x, int y, WPARAM keys)
{
    const bool wasPressed = (state_ & kRightPressed) != 0;
    state_ &= ~kRightPressed;
    if (GetCapture() == hwnd)
        ReleaseCapture();
    DrawFrame();
    if (!wasPressed)
        return;
    const WPARAM modifiers = keys & (MK_CONTROL | MK_SHIFT | MK_LBUTTON | MK_MBUTTON);
    if (modifiers == MK_CONTROL && record_) {
        strip_->CellShowNote((DWORD)record_->key);
        return;
    }
    POINT p = {x, y};
    ClientToScreen(hwnd, &p);
    if (modifiers == MK_SHIFT)
        SettingsMenu(p.x, p.y);
    else
        ContextMenu(p.x, p.y);
}

LRESULT IconSnimok::OnMouseActivate(WPARAM, int, int)
{
    ::SetFocus(hwnd);
    return MA_ACTIVATE;
}

void IconSnimok::OnSetFocus(WPARAM)
{
    state_ |= kFocused;
    DrawFrame();
}

void IconSnimok::OnKillFocus(WPARAM)
{
    state_ &= ~(kFocused | kSpacePressed);
    DrawFrame();
}

void IconSnimok::OnKeyDown(WPARAM key, LPARAM)
{
    if (key == VK_SPACE) {
        if (!(state_ & kSpacePressed)) {
            state_ |= kSpacePressed;
            DrawFrame();
        }
        return;
    }
    if (strip_)
        strip_->CellKey(row_, key);
}

void IconSnimok::OnKeyUp(WPARAM key, LPARAM)
{
    if (key != VK_SPACE || !(state_ & kSpacePressed))
        return;
    state_ &= ~kSpacePressed;
    DrawFrame();
    Open();
}

void IconSnimok::OnChar(WPARAM, LPARAM)
{
}

void IconSnimok::Open()
{
    if (!record_ || record_->state == kIconStateArchived || record_->state == kIconStateRemoved)
        return;
    strip_->CellOpen((DWORD)record_->key, record_->fileName);
}

// ---- menus -------------------------------------------------------------------------------

namespace {

void AppendString(HMENU menu, UINT id, UINT stringId)
{
    wchar_t text[128];
    if (!LoadStringW(hInstance, stringId, text, 128))
        text[0] = 0;
    AppendMenuW(menu, MF_STRING, id, text);
}

bool LookupCurrentPatient(DWORD* key)
{
    DWORD id = 0;
    if (!gPatientLookup.GetIds(&id))
        return false;
    *key = id;
    return true;
}

}  // namespace

void IconSnimok::ContextMenu(int x, int y)
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    using namespace IconCellCommand;
    DWORD current = 0;
    const bool hasCurrent = gActions.currentPatient && gActions.currentPatient(&current);
    if (gMove.moving && hasCurrent) {
        AppendString(menu, kMove, IDS_PASTE_PICTURE);
        AppendString(menu, kCancelMove, IDS_CANCEL_MOVE);
    }
    if (record_) {
        AppendString(menu, kDescription, IDS_DESCRIPTION);
        if (record_->state == kIconStateArchived)
            AppendString(menu, kRestore, IDS_RESTORE_FROM_ARCHIVE);
        AppendString(menu, kDelete, IDS_DELETE);
        if (!gMove.moving)
            AppendString(menu, kMove, IDS_MOVE_PICTURE);
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        if (record_->state == kIconStateShow)
            AppendString(menu, kExport, IDS_EXPORT_PICTURE);
    }
    if (IsAdministrator)
        AppendString(menu, kImport, IDS_IMPORT_PICTURE);
    UINT command = 0;
    if (GetMenuItemCount(menu) > 0)
        command = (UINT)TrackPopup(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, hwnd);
    DestroyMenu(menu);
    if (command)
        RunCommand(command);
}

void IconSnimok::RunCommand(UINT command)
{
    using namespace IconCellCommand;
    HWND self = hwnd;
    IconStrip* strip = strip_;
    switch (command) {
    case kDescription:
        if (record_)
            strip->CellShowNote((DWORD)record_->key);
        break;
    case kRestore:
        if (record_ && gActions.restoreFromArchive(strip->CellParent(), (DWORD)record_->key) && IsWindow(self) &&
            record_) {
            record_->FreeBits();
            record_->state = kIconStateShow;
            Draw(dc_);
        }
        break;
    case kDelete: {
        if (!record_)
            break;
        if (MessageBoxIdCaption(hwnd, IDS_CONFIRM_DELETE_IMAGE, IDS_DELETING_IMAGE, MB_YESNO | MB_ICONQUESTION) != IDYES ||
            !IsWindow(self) || !record_)
            break;
        const DWORD key = (DWORD)record_->key;
        if (record_->state == kIconStateRemoved) {
            if (gActions.deleteImageComplete(hwnd, key))
                strip->CellReload();
        } else if (gActions.deleteImage(hwnd, key) && IsWindow(self) && record_) {
            record_->FreeBits();
            record_->state = kIconStateRemoved;
            Draw(dc_);
        }
        break;
    }
    case kMove:
        if (gMove.moving) {
            const MoveState moved = gMove;
            CancelMove();
            DWORD current = 0;
            if (!gActions.currentPatient || !gActions.currentPatient(&current))
                break;
            // Pasting onto the image's own patient changes nothing.
            if (current == moved.patientKey)
                break;
            if (gActions.moveImage(strip->CellParent(), moved.imageKey, current))
                strip->CellReload();
        } else if (record_) {
            gMove = MoveState{true, (DWORD)record_->key, strip->PatientKey()};
        }
        break;
    case kCancelMove:
        CancelMove();
        break;
    case kImport:
        gActions.importPicture(strip->CellParent());
        break;
    case kExport: {
        if (!record_)
            break;
        DPicturePtr picture = LoadPictureFileEx((DWORD)record_->key, record_->fileName, hwnd);
        if (!picture.Get()) {
            ShowLastErrorBox();
            break;
        }
        PrepareSnimokForView(0, nullptr, picture.Get());
        gActions.exportPicture(self, picture);
        break;
    }
    default:
        break;
    }
}

void IconSnimok::SettingsMenu(int x, int y)
{
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    using namespace IconCellCommand;
    AppendString(menu, kFont, IDS_FONT);
    AppendString(menu, kDateFormat, IDS_DATE_FORMAT);
    for (int i = 0; i < 4; ++i)
        AppendString(menu, kFirstColor + i, gColors[i].stringId);
    for (int row = 0; row < kIconStateRows; ++row)
        AppendMenuW(menu, MF_STRING, kFirstStateCaption + row, IconStateCaption(row));
    const UINT command = (UINT)TrackPopup(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, hwnd);
    DestroyMenu(menu);
    if (!command)
        return;
    HKEY key = nullptr;
    if (OpenSettingsKey(L"IconParam", KEY_READ | KEY_SET_VALUE, true, &key) != ERROR_SUCCESS)
        return;
    if (command == kFont) {
        LOGFONTW font = {};
        CHOOSEFONTW choose = {};
        choose.lStructSize = sizeof choose;
        choose.hwndOwner = hwnd;
        choose.lpLogFont = &font;
        choose.Flags = CF_SCREENFONTS;
        if (RegReadLogFont(font, key, L"Font"))
            choose.Flags |= CF_INITTOLOGFONTSTRUCT;
        // The caption font in use changes at the next settings load.
        if (ChooseFontW(&choose))
            RegWriteLogFont(font, key, L"Font");
    } else if (command == kDateFormat) {
        wchar_t format[kDateChars];
        wcscpy(format, gDateFormat);
        if (InputText(hwnd, format, kDateChars, IdOrText(IDS_DATE_FORMAT), TRUE) >= 1) {
            wcscpy(gDateFormat, format);
            RegSetString(key, L"DateFormat", gDateFormat);
        }
    } else if (command >= kFirstColor && command < kFirstColor + 4) {
        ColorSetting& color = gColors[command - kFirstColor];
        static COLORREF custom[16];
        CHOOSECOLORW choose = {};
        choose.lStructSize = sizeof choose;
        choose.hwndOwner = hwnd;
        choose.rgbResult = color.value;
        choose.lpCustColors = custom;
        choose.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
        if (ChooseColorW(&choose) && choose.rgbResult != color.value) {
            color.value = choose.rgbResult;
            RegSetDword(key, color.valueName, color.value);
        }
    }
    RegCloseKey(key);
}

// The main image panel's commands: the toolbar rows, their menus and keys.
#include "images/viewer/mainviewwnd.h"

#include "foundation/globals.h"
#include "images/viewer/statwnd.h"
#include "images/viewer/viewerservices.h"
#include "images/viewer/viewerstore.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/popupmenu.h"

namespace {

bool KeyHeld(int vk)
{
    return (GetKeyState(vk) & 0x8000) != 0;
}

}  // namespace

void MainViewWnd::ButtonClicked(void* cookie, DButton* button)
{
    static_cast<MainViewWnd*>(cookie)->Command((int)button->ownerValue, false);
}

void MainViewWnd::ButtonRightClicked(void* cookie, DButton* button)
{
    static_cast<MainViewWnd*>(cookie)->Command((int)button->ownerValue, true);
}

void MainViewWnd::ButtonHover(void*, DButton* button)
{
    static const UINT tips[kPanelButtonCount] = {
        IDS_TIP_QUIT_IMAGE_WINDOW, IDS_TIP_SAVE_PICTURE,  0, IDS_TIP_PICTURE_PATIENT_CARD, IDS_TIP_OPEN_DESCRIPTION,
        IDS_TIP_PRINT_PICTURE,     IDS_TIP_MEASURE_DISTANCE, IDS_TIP_STATISTICS, IDS_TIP_AUTO_BALANCE,
        IDS_TIP_OPERATIONS,        IDS_TIP_POSITIVE_NEGATIVE};
    const int row = (int)button->ownerValue;
    if (row < 0 || row >= kPanelButtonCount || !tips[row])
        return;
    wchar_t text[128];
    const int n = LoadStringW(hInstance, tips[row], text, 128);
    if (n > 0)
        button->SetToolTip(2, text, n);
}

// Up and down walk the toolbar; every other key is the panel's.
void MainViewWnd::ButtonKey(void* cookie, DButton* button, WPARAM key, LPARAM)
{
    MainViewWnd* self = static_cast<MainViewWnd*>(cookie);
    if (key == VK_UP || key == VK_DOWN) {
        const int row = (int)button->ownerValue;
        const int step = key == VK_UP ? -1 : 1;
        for (int r = row + step; r >= 0 && r < kPanelButtonCount; r += step) {
            if (self->buttons[r]) {
                SetFocus(self->buttons[r]->GetHwnd());
                return;
            }
        }
        return;
    }
    self->OnKey(key);
}

POINT MainViewWnd::ButtonMenuPoint(int row) const
{
    POINT p = {kToolbarWidth, 0};
    if (buttons[row]) {
        RECT r;
        ::GetWindowRect(buttons[row]->GetHwnd(), &r);
        p = POINT{r.right, (r.top + r.bottom) / 2};
    }
    return p;
}

void MainViewWnd::Command(int button, bool rightClick)
{
    switch (button) {
    case kButtonExit: if (!rightClick) Exit(); break;
    case kButtonSave: if (!rightClick) Save(); break;
    case kButtonWindows: if (!rightClick) LayoutMenu(); break;
    case kButtonPatient: if (!rightClick) PatientKart(); break;
    case kButtonDescription: Description(rightClick); break;
    case kButtonPrint: Print(rightClick); break;
    case kButtonProfile: if (!rightClick) SetPanelMode(kToolProfile); break;
    case kButtonStatistics: Statistics(rightClick); break;
    case kButtonEqualize: Equalize(rightClick); break;
    case kButtonModes: if (!rightClick) ImagingModes(); break;
    case kButtonNegative: if (!rightClick) Negative(); break;
    }
}

void MainViewWnd::OnKey(WPARAM key)
{
    const bool shift = KeyHeld(VK_SHIFT), control = KeyHeld(VK_CONTROL);
    switch (key) {
    case VK_RETURN: shift ? PatientKart() : Description(false); break;
    case VK_ESCAPE: Exit(); break;
    case 'A': Equalize(true); break;
    case 'E': Equalize(false); break;
    case 'N': Negative(); break;
    case 'P': control ? Print(false) : SetPanelMode(kToolProfile); break;
    case 'S': Statistics(false); break;
    case VK_ADD:
    case VK_SUBTRACT:
        if (control && ActivePicture()) {
            DPicture* p = ActivePicture();
            if (key == VK_ADD)
                p->Sharpen(PrepareSettings().mFilter ? PrepareSettings().mFilter : 3);
            else
                p->RefreshWork();
            active->Render();
            active->Redraw();
        }
        break;
    }
}

void MainViewWnd::Exit()
{
    StatisticsWnd::Instance().Destroy();
    DeleteAllViews();
    patientId = 0;
    knownPatient = PatientInfo();
    caption[0] = 0;
    ShowWindow(hwnd, SW_HIDE);
    shown = false;
    if (GetViewerServices().showMainPatientWindow)
        GetViewerServices().showMainPatientWindow();
}

void MainViewWnd::Save()
{
    DPicture* p = ActivePicture();
    if (!p)
        return;
    if (p->stored)
        GetViewerStore().saveViewSettings(p, active->GetLut());
    else
        GetViewerStore().saveNewImage(p, active->GetLut());
}

void MainViewWnd::PatientKart()
{
    // The card of the panel's patient; the panel re-reads him afterwards.
    DWORD key = patientId;
    if (key && GetViewerServices().openPatientCard)
        GetViewerServices().openPatientCard(hwnd, &key, 1);
    ReloadPatient();
}

void MainViewWnd::Description(bool rightClick)
{
    DPicture* p = ActivePicture();
    if (!p)
        return;
    if (!rightClick) {
        active->OpenNote();
        return;
    }
    const POINT at = ButtonMenuPoint(kButtonDescription);
    if (GetViewerServices().setNoteFromTemplateMenu)
        GetViewerServices().setNoteFromTemplateMenu(hwnd, p->imageId, at.x, at.y);
}

void MainViewWnd::Print(bool rightClick)
{
    DPicture* p = ActivePicture();
    if (!p)
        return;
    const ViewerServices& services = GetViewerServices();
    PrintSnimokRequest request = {active, active->GetBits(), active->GetViewWidth(), active->GetViewHeight(), 0, p};
    if (!rightClick) {
        if (services.printSnimokWithCfg)
            services.printSnimokWithCfg(hwnd, &request);
        return;
    }
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    wchar_t text[128];
    LoadStringW(hInstance, IDS_SET_PRINTER_SETTINGS, text, 128);
    AppendMenuW(menu, MF_STRING, 1, text);
    LoadStringW(hInstance, IDS_PRINT_IMAGE, text, 128);
    AppendMenuW(menu, MF_STRING, 2, text);
    const POINT at = ButtonMenuPoint(kButtonPrint);
    const int choice = TrackPopup(menu, TPM_LEFTALIGN | TPM_VCENTERALIGN, at.x, at.y, hwnd);
    DestroyMenu(menu);
    if (choice == 1) {
        if (services.chooseSnimokProfile)
            services.chooseSnimokProfile(hwnd);
    } else if (choice == 2) {
        request.ask = 1;
        if (services.printSnimokWithCfg)
            services.printSnimokWithCfg(hwnd, &request);
    }
}

void MainViewWnd::Statistics(bool rightClick)
{
    DPicture* p = ActivePicture();
    if (!p)
        return;
    if (rightClick) {
        SetPanelMode(kToolLineStats);
        return;
    }
    StatisticsWnd& stats = StatisticsWnd::Instance();
    if (!stats.Exists()) {
        stats.Create(hwnd);
        return;
    }
    if (!IsAdministrator)
        return;
    if (KeyHeld(VK_CONTROL)) {
        const PixelRect whole = {0, 0, -1, -1};
        stats.CalcRect(p, &whole);
    } else {
        SetPanelMode(kToolRectStats);
    }
}

void MainViewWnd::Equalize(bool minMax)
{
    DPicture* p = ActivePicture();
    if (!p)
        return;
    if (KeyHeld(VK_CONTROL)) {
        SnimokWnd::AutoWindowLevel(minMax ? 1 : 0, active, nullptr);
    } else if (KeyHeld(VK_SHIFT)) {
        const ToolArea third = {p->width / 3, p->height / 3, 2 * p->width / 3, 2 * p->height / 3};
        SnimokWnd::AutoWindowLevel(minMax ? 1 : 0, active, &third);
    } else {
        SetPanelMode(minMax ? kToolWindowMinMax : kToolWindowMeanSd);
    }
    active->Redraw();
}

void MainViewWnd::Negative()
{
    DPicture* p = ActivePicture();
    if (!p)
        return;
    p->negative = p->negative ? 0 : 1;
    ShowNegativeCheck(p->negative != 0);
    active->Redraw();
}

// The check state alone only turns the button's one-pixel edge grey, which
// nobody sees: a checked Negative button also takes the darker face the note
// window gives its pressed toggle, so the state reads at a glance.
void MainViewWnd::ShowNegativeCheck(bool checked)
{
    DButton* button = buttons[kButtonNegative];
    if (!button || (button->GetCheck() == checked && (button->GetState() & DButtonState::kFaceColorSet)))
        return;
    button->SetCheck(checked);
    button->SetFaceColor(checked ? kCheckedFace : GetSysColor(COLOR_BTNFACE));
}

void MainViewWnd::ImagingModes()
{
    DPicture* p = ActivePicture();
    if (!p)
        return;
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    wchar_t text[128];
    auto add = [&](UINT id, UINT string, UINT flags) {
        if (!LoadStringW(hInstance, string, text, 128))
            text[0] = 0;
        AppendMenuW(menu, MF_STRING | flags, id, text);
    };
    if (IsAdministrator) {
        add(1, IDS_FILTER_NOISE, 0);
        add(3, IDS_INTERPOLATE, active->GetSmooth() ? MF_CHECKED : 0);
        add(2, IDS_RESTORE_PICTURE, 0);
        const UINT levels[3] = {IDS_ENHANCEMENT_LOW, IDS_ENHANCEMENT_MEDIUM, IDS_ENHANCEMENT_STRONG};
        for (int i = 0; i < 3; ++i)
            add(10 + i, levels[i], p->sharpenAmount == i + 2 ? MF_CHECKED | MF_GRAYED : 0);
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        if (p->stateFlags & DPictureBase::kReduced)
            add(20, IDS_RESTORE_ORIGINAL_SIZE, 0);
        const int reductions[3] = {-1, 2, 3};
        const UINT names[3] = {IDS_REDUCE_1_5, IDS_REDUCE_2, IDS_REDUCE_3};
        for (int i = 0; i < 3; ++i) {
            const bool current = (p->stateFlags & DPictureBase::kReduced) && p->reduction == reductions[i];
            add(21 + i, names[i], current ? MF_CHECKED | MF_GRAYED : 0);
        }
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    }
    add(100, IDS_ROTATE_RIGHT, 0);
    add(101, IDS_ROTATE_LEFT, 0);
    add(102, IDS_MIRROR_HORIZONTALLY, 0);
    add(103, IDS_MIRROR_VERTICALLY, 0);
    const POINT at = ButtonMenuPoint(kButtonModes);
    const int choice = TrackPopup(menu, TPM_LEFTALIGN | TPM_VCENTERALIGN, at.x, at.y, hwnd);
    DestroyMenu(menu);
    SnimokWnd* view = active;
    switch (choice) {
    case 1: p->FilterImpulseNoise(); p->ApplySharpen(); break;
    case 2: p->RefreshWork(); break;
    case 3: view->SetSmooth(!view->GetSmooth()); break;
    case 10: case 11: case 12: p->Sharpen(choice - 8); break;
    case 20: view->RestoreResolution(); return;
    case 21: view->ReduceResolution(-1); return;
    case 22: view->ReduceResolution(2); return;
    case 23: view->ReduceResolution(3); return;
    case 100: view->RotateClockwise(); return;
    case 101: view->RotateCounterClockwise(); return;
    case 102: view->FlipHorizontal(); return;
    case 103: view->FlipVertical(); return;
    default: return;
    }
    view->Render();
    view->Redraw();
}

void MainViewWnd::LayoutMenu()
{
    static const struct {
        UINT bitmap;   // 0: a separator
        int mode;
    } kItems[] = {{IDB_LAYOUT_1X1, 0}, {IDB_LAYOUT_2X1, 1}, {IDB_LAYOUT_1X2, 2}, {0, 0},          {IDB_LAYOUT_2X2, 3},
                  {IDB_LAYOUT_3X2, 4}, {0, 0},             {IDB_LAYOUT_2X3, 5}, {IDB_LAYOUT_3X3, 6}};
    HMENU menu = CreatePopupMenu();
    if (!menu)
        return;
    HBITMAP bitmaps[9] = {};
    for (int i = 0; i < 9; ++i) {
        if (!kItems[i].bitmap) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        bitmaps[i] = (HBITMAP)LoadImageW(hInstance, MAKEINTRESOURCEW(kItems[i].bitmap), IMAGE_BITMAP, 0, 0, 0);
        MENUITEMINFOW mi = {};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_ID | MIIM_BITMAP;
        mi.wID = i + 1;
        mi.hbmpItem = bitmaps[i];
        InsertMenuItemW(menu, i, TRUE, &mi);
    }
    const POINT at = ButtonMenuPoint(kButtonWindows);
    const int choice =
        TrackPopup(menu, TPM_RETURNCMD | TPM_VERTICAL | TPM_VCENTERALIGN, at.x, at.y, hwnd);
    DestroyMenu(menu);
    for (HBITMAP b : bitmaps)
        if (b)
            DeleteObject(b);
    if (choice >= 1 && choice <= 9 && kItems[choice - 1].bitmap)
        SetLayout(kItems[choice - 1].mode);
}

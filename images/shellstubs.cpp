#include <wchar.h>
#include "images/shellstubs.h"

#include "foundation/globals.h"
#include "images/mainviewwnd.h"
#include "images/picture.h"
#include "images/viewhost.h"

namespace {

void Note(const char* name, uint32_t a = 0, uint32_t b = 0, int x = 0, int y = 0, int flag = 0)
{
    StandInCalls().push_back(StandInCall{name, a, b, x, y, flag});
}

const wchar_t kNoteClass[] = L"NoteSnimok";

bool RegisterNoteClass()
{
    WNDCLASSEXW wc = {};
    if (GetClassInfoExW(hInstance, kNoteClass, &wc))
        return true;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = kNoteClass;
    return RegisterClassExW(&wc) != 0;
}

// A placement is stored as four 32-bit values {left, top, right, bottom}.
bool OpenPlacementKey(const wchar_t* name, REGSAM access, HKEY* key)
{
    wchar_t path[MAX_PATH];
    _snwprintf(path, MAX_PATH, L"%ls\\%ls", SettingsKeyPath, name);
    path[MAX_PATH - 1] = 0;
    if (access & KEY_WRITE)
        return RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, access, nullptr, key, nullptr) == 0;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, access, key) == 0;
}

}  // namespace

std::vector<StandInCall>& StandInCalls()
{
    static std::vector<StandInCall> calls;
    return calls;
}

NoteSnimokWnd::~NoteSnimokWnd()
{
    Destroy();
}

bool NoteSnimokWnd::Create(HWND owner, bool editable_, uint32_t imageId_, uint32_t patientId_)
{
    if (hwnd && IsWindow(hwnd))
        return false;
    if (!RegisterNoteClass())
        return false;
    editable = editable_;
    imageId = imageId_;
    patientId = patientId_;
    const wchar_t* name = editable ? L"NoteSnimok" : L"NoteView";
    RECT r;
    if (!LoadWindowPlacement(r, name)) {
        CreateDefaultWindowPlacement(RECT{200, 0, 600, 600}, name);
        if (!LoadWindowPlacement(r, name))
            r = RECT{200, 0, 600, 600};
    }
    hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, kNoteClass, name, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME,
                           r.left, r.top, r.right - r.left, r.bottom - r.top, owner, nullptr, hInstance, nullptr);
    Note("NoteSnimokWnd::Create", imageId, patientId, 0, 0, editable ? 1 : 0);
    if (!hwnd)
        return false;
    ShowWindow(hwnd, SW_SHOWNA);
    return true;
}

bool NoteSnimokWnd::ChangeSnimok(uint32_t imageId_, uint32_t patientId_)
{
    imageId = imageId_;
    patientId = patientId_;
    Note("NoteSnimokWnd::ChangeSnimok", imageId, patientId);
    if (hwnd)
        InvalidateRect(hwnd, nullptr, TRUE);
    return true;
}

void NoteSnimokWnd::Destroy()
{
    if (hwnd && IsWindow(hwnd)) {
        SaveWindowPlacement(hwnd, editable ? L"NoteSnimok" : L"NoteView");
        DestroyWindow(hwnd);
    }
    hwnd = nullptr;
}

void CreateDefaultWindowPlacement(const RECT& rect, const wchar_t* name)
{
    HKEY key;
    if (!OpenPlacementKey(name, KEY_WRITE, &key))
        return;
    const DWORD values[4] = {(DWORD)rect.left, (DWORD)rect.top, (DWORD)rect.right, (DWORD)rect.bottom};
    const wchar_t* names[4] = {L"Left", L"Top", L"Right", L"Bottom"};
    for (int i = 0; i < 4; ++i)
        RegSetValueExW(key, names[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&values[i]), sizeof(DWORD));
    RegCloseKey(key);
}

int LoadWindowPlacement(RECT& rect, const wchar_t* name)
{
    HKEY key;
    if (!OpenPlacementKey(name, KEY_READ, &key))
        return 0;
    const wchar_t* names[4] = {L"Left", L"Top", L"Right", L"Bottom"};
    DWORD values[4];
    int found = 1;
    for (int i = 0; i < 4 && found; ++i) {
        DWORD type = 0, size = sizeof(DWORD);
        found = RegQueryValueExW(key, names[i], nullptr, &type, reinterpret_cast<BYTE*>(&values[i]), &size) == 0 &&
                type == REG_DWORD && size == sizeof(DWORD);
    }
    RegCloseKey(key);
    if (!found || (LONG)values[2] <= (LONG)values[0] || (LONG)values[3] <= (LONG)values[1])
        return 0;
    rect = RECT{(LONG)values[0], (LONG)values[1], (LONG)values[2], (LONG)values[3]};
    return 1;
}

void SaveWindowPlacement(HWND window, const wchar_t* name)
{
    RECT r;
    if (window && GetWindowRect(window, &r))
        CreateDefaultWindowPlacement(r, name);
}

int OpenPatientCard(HWND owner, const uint32_t* patientId, int flag)
{
    Note("OpenPatientCard", patientId ? *patientId : 0, 0, 0, 0, flag);
    return -1;
}

void SetNoteFromTemplateMenu(HWND owner, uint32_t imageId, int x, int y)
{
    Note("SetNoteFromTemplateMenu", imageId, 0, x, y);
}

void IconsBar::Run(HWND owner, uint32_t patientId, int x, int y, int flag)
{
    Note("IconsBar::Run", patientId, 0, x, y, flag);
}

void PrintSnimokWithCfg(HWND owner, const PrintSnimokRequest* request)
{
    if (!request)
        return;
    Note("PrintSnimokWithCfg", request->picture ? request->picture->imageId : 0, 0, request->width, request->height,
         request->ask);
}

void ChooseSnimokProfile(HWND owner)
{
    Note("ChooseSnimokProfile");
}

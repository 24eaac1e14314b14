// The dialog "Print Picture Settings" on a SnimokPrintCfg record.
#include "printing/snimokprintcfg.h"

#include "foundation/globals.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/dialogtexts.h"

namespace {

const int kSave = 3;   // the "Save" button

const DialogText kTexts[] = {
    {0, IDS_PICTURE_PRINT_TITLE},
    {IDC_PICTURE_GROUP_MARGINS, IDS_PICTURE_MARGINS},
    {IDC_PICTURE_GROUP_BOX, IDS_PICTURE_BOX},
    {IDC_PICTURE_GROUP_PARTS, IDS_PICTURE_PARTS},
    {IDC_PICTURE_LABEL_LEFT, IDS_MARGIN_LEFT},
    {IDC_PICTURE_LABEL_RIGHT, IDS_MARGIN_RIGHT},
    {IDC_PICTURE_LABEL_TOP, IDS_MARGIN_TOP},
    {IDC_PICTURE_LABEL_BOTTOM, IDS_MARGIN_BOTTOM},
    {IDC_PICTURE_LABEL_WIDTH, IDS_PICTURE_WIDTH},
    {IDC_PICTURE_LABEL_HEIGHT, IDS_PICTURE_HEIGHT},
    {IDC_PICTURE_LABEL_MIN_WIDTH, IDS_PICTURE_MIN_WIDTH},
    {IDC_PICTURE_LABEL_MIN_HEIGHT, IDS_PICTURE_MIN_HEIGHT},
    {IDC_PICTURE_LABEL_ZERO, IDS_PRINT_PART_PICTURE_NOTE},
    {IDC_PICTURE_PRINT_HEADER, IDS_PRINT_PART_HEADER},
    {IDC_PICTURE_PRINT_PATIENT, IDS_PATIENT_INFO},
    {IDC_PICTURE_PRINT_NOTE, IDS_PRINT_PART_NOTE},
    {IDOK, IDS_OK},
    {kSave, IDS_SAVE},
    {IDCANCEL, IDS_CLOSE},
    {0, 0}};

// The edits and the record's lengths, in the order they are read.
struct LengthEdit {
    int control;
    int SnimokPrintCfg::*field;
};
const LengthEdit kLengths[] = {
    {IDC_PICTURE_LEFT, &SnimokPrintCfg::leftField},      {IDC_PICTURE_RIGHT, &SnimokPrintCfg::rightField},
    {IDC_PICTURE_TOP, &SnimokPrintCfg::topField},        {IDC_PICTURE_BOTTOM, &SnimokPrintCfg::bottomField},
    {IDC_PICTURE_WIDTH, &SnimokPrintCfg::width},         {IDC_PICTURE_HEIGHT, &SnimokPrintCfg::height},
    {IDC_PICTURE_MIN_WIDTH, &SnimokPrintCfg::minWidth},  {IDC_PICTURE_MIN_HEIGHT, &SnimokPrintCfg::minHeight},
};
const int kWidthEdit = 4, kHeightEdit = 5, kMinWidthEdit = 6, kMinHeightEdit = 7;

struct FlagBox {
    int control;
    int SnimokPrintCfg::*field;
};
const FlagBox kFlags[] = {{IDC_PICTURE_PRINT_HEADER, &SnimokPrintCfg::printHeader},
                          {IDC_PICTURE_PRINT_PATIENT, &SnimokPrintCfg::printPatient},
                          {IDC_PICTURE_PRINT_NOTE, &SnimokPrintCfg::printNote}};

struct PictureDialog {
    SnimokPrintCfg* cfg;
    HICON bigIcon, smallIcon;
};

void ShowLength(HWND dialog, int control, int value)
{
    wchar_t text[32];
    FormatCentimetres(value, text, 32);
    SetDlgItemTextW(dialog, control, text);
}

void OnInit(HWND dialog, PictureDialog* state)
{
    ApplyDialogTexts(dialog, kTexts);
    state->bigIcon = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_PICTURE_PRINT), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    state->smallIcon = static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_PICTURE_PRINT), IMAGE_ICON,
                                                     GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(state->bigIcon));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(state->smallIcon));
    for (const LengthEdit& e : kLengths)
        ShowLength(dialog, e.control, state->cfg->*e.field);
    for (const FlagBox& f : kFlags)
        CheckDlgButton(dialog, f.control, state->cfg->*f.field ? BST_CHECKED : BST_UNCHECKED);
}

// Reads every control; on success the record takes the values and the
// flags. A text that is not centimetres gets the focus and nothing is stored.
bool ReadControls(HWND dialog, SnimokPrintCfg& cfg)
{
    int values[8];
    for (int i = 0; i < 8; ++i) {
        wchar_t text[33];
        GetDlgItemTextW(dialog, kLengths[i].control, text, 33);
        if (!ParseCentimetres(text, &values[i])) {
            SetFocus(GetDlgItem(dialog, kLengths[i].control));
            SendDlgItemMessageW(dialog, kLengths[i].control, EM_SETSEL, 0, -1);
            return false;
        }
    }
    if (values[kWidthEdit] != 0 && values[kWidthEdit] < values[kMinWidthEdit]) {
        values[kWidthEdit] = values[kMinWidthEdit];
        ShowLength(dialog, kLengths[kWidthEdit].control, values[kWidthEdit]);
    }
    if (values[kHeightEdit] != 0 && values[kHeightEdit] < values[kMinHeightEdit]) {
        values[kHeightEdit] = values[kMinHeightEdit];
        ShowLength(dialog, kLengths[kHeightEdit].control, values[kHeightEdit]);
    }
    for (int i = 0; i < 8; ++i)
        cfg.*kLengths[i].field = values[i];
    for (const FlagBox& f : kFlags)
        cfg.*f.field = IsDlgButtonChecked(dialog, f.control) == BST_CHECKED ? 1 : 0;
    return true;
}

INT_PTR CALLBACK PictureDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        OnInit(dialog, reinterpret_cast<PictureDialog*>(lParam));
        return TRUE;
    }
    auto* state = reinterpret_cast<PictureDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!state)
        return FALSE;
    if (message == WM_DESTROY) {
        if (state->bigIcon)
            DestroyIcon(state->bigIcon);
        if (state->smallIcon)
            DestroyIcon(state->smallIcon);
        state->bigIcon = state->smallIcon = nullptr;
        return FALSE;
    }
    if (message != WM_COMMAND || HIWORD(wParam) != BN_CLICKED)
        return FALSE;
    switch (LOWORD(wParam)) {
    case IDOK:
        if (ReadControls(dialog, *state->cfg))
            EndModal(dialog, 1);
        else
            MessageBeep(MB_ICONEXCLAMATION);
        return TRUE;
    case kSave:
        if (!ReadControls(dialog, *state->cfg) || (state->cfg->keyName && !SaveSnimokPrintCfg(*state->cfg)))
            MessageBeep(MB_ICONEXCLAMATION);
        return TRUE;
    case IDCANCEL:
        EndModal(dialog, 2);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

bool RunSnimokPrintCfgDlg(HWND owner, SnimokPrintCfg& cfg)
{
    PictureDialog state = {&cfg, nullptr, nullptr};
    return DialogBoxParamW(hInstance, MAKEINTRESOURCEW(IDD_PICTURE_PRINT), owner, GuardedDialogProc<PictureDialogProc>,
                           reinterpret_cast<LPARAM>(&state)) == 1;
}

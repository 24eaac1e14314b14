// The synchronisation window and its two dialogs in English and in Russian:
// every control inside its window, every caption within its control, the
// window on a 1280 x 1024 screen; with TF_SHOT_DIR set, a picture of each
// (one per language) for people to look at.
#include "sync_wnd_fixture.h"

#include "exchange/sync/syncformat.h"
#include "exchange/sync/synctables.h"
#include "foundation/textutil.h"
#include "resources/strings.h"
#include "resources/resource.h"
#include "ui/gdi.h"

namespace extest {
namespace {

struct ChildCheck {
    HWND parent;
    std::vector<std::string> problems;
};

std::wstring TextOf(HWND hwnd)
{
    wchar_t text[256] = L"";
    GetWindowTextW(hwnd, text, 256);
    return text;
}

// The width the control's own font gives its text.
int TextWidth(HWND control, const std::wstring& text)
{
    HDC dc = GetDC(control);
    SIZE size = {};
    {
        ScopedSelect select(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    }
    ReleaseDC(control, dc);
    return size.cx;
}

BOOL CALLBACK CheckChild(HWND child, LPARAM param)
{
    ChildCheck* check = reinterpret_cast<ChildCheck*>(param);
    if (GetParent(child) != check->parent || !IsWindowVisible(child))
        return TRUE;
    RECT client, r;
    GetClientRect(check->parent, &client);
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, check->parent, reinterpret_cast<POINT*>(&r), 2);
    const std::wstring text = TextOf(child);
    if (r.left < client.left || r.top < client.top || r.right > client.right || r.bottom > client.bottom)
        check->problems.push_back("outside: " + Narrow(text));
    wchar_t cls[32] = L"";
    GetClassNameW(child, cls, 32);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    // A caption wider than its static, check box or radio button is clipped.
    const bool plainText = wcscmp(cls, L"Static") == 0 || (wcscmp(cls, L"Button") == 0 &&
                                                            ((style & BS_TYPEMASK) == BS_AUTORADIOBUTTON ||
                                                             (style & BS_TYPEMASK) == BS_AUTOCHECKBOX));
    if (plainText && !text.empty()) {
        const int room = (r.right - r.left) - (wcscmp(cls, L"Button") == 0 ? 20 : 0);
        if (TextWidth(child, text) > room)
            check->problems.push_back("clipped: " + Narrow(text));
    }
    return TRUE;
}

std::vector<std::string> LayoutProblems(HWND window)
{
    ChildCheck check = {window, {}};
    EnumChildWindows(window, CheckChild, reinterpret_cast<LPARAM>(&check));
    RECT r;
    GetWindowRect(window, &r);
    if (r.left < 0 || r.top < 0 || r.right > 1280 || r.bottom > 1024)
        check.problems.push_back("the window leaves the screen");
    return check.problems;
}

std::string Join(const std::vector<std::string>& lines)
{
    std::string out;
    for (const std::string& line : lines)
        out += line + "; ";
    return out;
}

class SyncScreens : public SyncWindowTest, public ::testing::WithParamInterface<LANGID> {
protected:
    std::wstring Suffix() const { return GetParam() == MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT) ? L"ru" : L"en"; }
};

TEST_P(SyncScreens, TheWindowAndItsDialogsFitInEitherLanguage)
{
    ScopedLanguage language(GetParam());
    MakeDemoImages(2);
    {
        TestSyncWindow scans;
        ASSERT_EQ(kSyncResultDone, scans.Run(kSyncScanHdd).result);
    }
    CreateSyncTables(g_DbSession);
    Exec(L"INSERT INTO Arj_tmp (arj, Name) VALUES (305419896, 'ARCH_A');");
    Exec(L"INSERT INTO Snimok_dif ([File name], [Disk], [Arj], [nodel]) VALUES ('S1', 1, NULL, 1);");
    Exec(L"INSERT INTO Snimok_dif ([File name], [Disk], [Arj], [nodel]) VALUES ('M1', 0, 305419896, 1);");
    OpenWindow();
    W().SetFieldText(ScanDbWindow::kArchivePath, L"K:\\");
    W().SetFieldText(ScanDbWindow::kLastDisk, L"ARCH_A");
    SendMessageW(W().HddRadio(), BM_CLICK, 0, 0);
    W().SetFieldText(ScanDbWindow::kStatus, L"Процесс сканирования HDD закончен");
    // The worker's message about one file, in the running language, first.
    const std::wstring unreadable = syncfmt::Format(
        LoadText(IDS_SYNC_FILE_UNREADABLE).c_str(),
        {reinterpret_cast<DWORD_PTR>(L"D:\\TobalFluoro\\Data\\Image\\A00000000170000000305.xmg"),
         reinterpret_cast<DWORD_PTR>(LoadText(IDS_SYNC_NO_PATIENT_NAME).c_str())});
    W().Pane().AddMessage(unreadable.c_str(), -1);
    W().Pane().AddMessage(L"Всего на диске Снимков: 2", -1);
    W().Pane().AddMessage(L"Всего на диске(ARCH_A) Снимков: 1", -1);
    harness::Pump(100);
    EXPECT_EQ(L"0(2)", Counts());
    EXPECT_EQ("", Join(LayoutProblems(W().GetHwnd())));
    EXPECT_EQ("", Join(LayoutProblems(W().Pane().GetHwnd())));
    harness::SaveWindowPicture(W().GetHwnd(), (L"sync_window_" + Suffix()).c_str());

    std::vector<std::string> moveProblems, diskProblems;
    DialogDriver driver;
    driver.Then(L"#32770", L"Перемещение снимков", [&](HWND dialog) {
        SetDlgItemTextW(dialog, IDC_MOVE_FOLDER, L"D:\\Suspect");
        moveProblems = LayoutProblems(dialog);
        harness::SaveWindowPicture(dialog, (L"sync_move_" + Suffix()).c_str());
        SendDlgItemMessageW(dialog, IDCANCEL, BM_CLICK, 0, 0);
        return true;
    });
    Command(IDM_SYNC_MOVE_SUSPECT);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ("", Join(moveProblems));

    DialogDriver disks;
    disks.Then(L"#32770", L"Отсканированные диски", [&](HWND dialog) {
        diskProblems = LayoutProblems(dialog);
        harness::SaveWindowPicture(dialog, (L"sync_disks_" + Suffix()).c_str());
        SendDlgItemMessageW(dialog, IDCANCEL, BM_CLICK, 0, 0);
        return true;
    });
    Command(IDM_SYNC_DISKS_SCANNED);
    EXPECT_TRUE(disks.Done());
    EXPECT_EQ("", Join(diskProblems));
}

INSTANTIATE_TEST_SUITE_P(Languages, SyncScreens,
                         ::testing::Values(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                           MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT)),
                         [](const ::testing::TestParamInfo<LANGID>& info) {
                             return info.param == MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT) ? std::string("Russian")
                                                                                            : std::string("English");
                         });

}  // namespace
}  // namespace extest

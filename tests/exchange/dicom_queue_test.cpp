// The DICOM queue window, opened as the service menu opens it: it fills with
// the first target's queue, resets an entry's attempts, deletes one entry
// and all of them, keeps its owner disabled while it runs, and says where its
// initialisation stopped.
#include "exchange/dicom/dicomclient.h"
#include "exchange/dicom/dicomqueue.h"
#include "exchange/dicom/dicomsend.h"
#include "exchange/imagefiles/exchangeservices.h"

#include "app/mainmenus.h"
#include "exchange_fixture.h"
#include "foundation/textutil.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/std_controls.h"

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

using namespace exchtest;

namespace {

struct Row
{
    std::wstring image, attempts, error;
};

std::vector<Row> Rows(HWND dialog)
{
    HWND list = GetDlgItem(dialog, IDC_DICOM_QUEUE_LIST);
    std::vector<Row> rows;
    const int count = (int)SendMessageW(list, LVM_GETITEMCOUNT, 0, 0);
    for (int i = 0; i < count; ++i)
        rows.push_back(Row{ListViewText(list, i, 0), ListViewText(list, i, 1), ListViewText(list, i, 2)});
    return rows;
}

void Select(HWND dialog, int item)
{
    HWND list = GetDlgItem(dialog, IDC_DICOM_QUEUE_LIST);
    LVITEMW lv = {};
    lv.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    lv.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, item, reinterpret_cast<LPARAM>(&lv));
}

void Click(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

// The button's command, as Click posts it; a name of its own, since the
// folder's real-input check goes by names and another Click clicks for real.
void PostButton(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}

std::wstring Text(HWND dialog, int id)
{
    wchar_t text[256] = {};
    GetDlgItemTextW(dialog, id, text, 256);
    return text;
}

class DicomQueueWindowTest : public DicomServerCase
{
protected:
    void SetUp() override
    {
        DicomServerCase::SetUp();
        InstallExchangeServices();
    }
    void TearDown() override
    {
        RemoveExchangeServices();
        DicomServerCase::TearDown();
    }
    // Two images in the queue of a target that cannot be reached.
    void QueueTwoImages()
    {
        settings->AddTarget(L"Radiology", L"Z:\\no\\such\\folder");
        DPicturePtr picture = TestPicture(16, 12, 10);
        ASSERT_EQ(1, SendPictureToDicomServer(picture, host.Hwnd()));
        picture->imageId = 306;
        ASSERT_EQ(1, SendPictureToDicomServer(picture, host.Hwnd()));
    }
    HWND Window() { return FindOwnDialog(L"DICOM"); }
};

}  // namespace

// Drives the real mouse and keyboard: runs alone (see tests.cmake).
using DicomQueueWindowRealInput = DicomQueueWindowTest;

TEST_F(DicomQueueWindowRealInput, FillsResetsAndDeletesTheFirstTargetsQueue)
{
    QueueTwoImages();
    settings->AddTarget(L"Archive", L"");   // sorted first, and empty
    std::vector<std::vector<Row>> seen;
    std::vector<std::wstring> targets, statuses;
    bool ownerEnabled = true;
    DialogDriver driver;
    driver.Then([&] { return Window(); }, [&](HWND dialog) {
        ownerEnabled = IsWindowEnabled(host.Hwnd()) != 0;
        HWND combo = GetDlgItem(dialog, IDC_DICOM_TARGETS);
        for (int i = 0; i < (int)SendMessageW(combo, CB_GETCOUNT, 0, 0); ++i) {
            wchar_t text[64] = {};
            SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            targets.push_back(text);
        }
        statuses.push_back(Text(dialog, IDC_STATUS_LINE));
        seen.push_back(Rows(dialog));
        // The queue of the second target; choosing it fills nothing yet.
        SendMessageW(combo, CB_SETCURSEL, 1, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_DICOM_TARGETS, CBN_SELCHANGE), (LPARAM)combo);
        seen.push_back(Rows(dialog));
        // "Удалить" without a selection does nothing, not even refill.
        Click(dialog, IDC_DICOM_DELETE);
    });
    driver.Then([&] { return Window(); }, [&](HWND dialog) {
        seen.push_back(Rows(dialog));
        // "Удалить все" of the empty list deletes nothing and refills: now
        // with the second target's queue.
        Click(dialog, IDC_DICOM_DELETE_ALL);
    });
    driver.Then([&] { return Window(); }, [&](HWND dialog) {
        seen.push_back(Rows(dialog));
        Select(dialog, 0);
        Click(dialog, IDC_DICOM_RESET);
    });
    driver.Then([&] { return Window(); }, [&](HWND dialog) {
        seen.push_back(Rows(dialog));
        Select(dialog, 1);
        Click(dialog, IDC_DICOM_DELETE);
    });
    driver.Then([&] { return Window(); }, [&](HWND dialog) {
        seen.push_back(Rows(dialog));
        Click(dialog, IDC_DICOM_DELETE_ALL);
    });
    driver.Then([&] { return Window(); }, [&](HWND dialog) {
        seen.push_back(Rows(dialog));
        statuses.push_back(Text(dialog, IDC_STATUS_LINE));
        Click(dialog, IDCANCEL);
    });
    OnServiceCommand(host.Hwnd(), kServiceDicomStatus, 0);

    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(host.Hwnd()));
    EXPECT_FALSE(Window());
    EXPECT_EQ((std::vector<std::wstring>{L"Archive", L"Radiology"}), targets);
    EXPECT_EQ((std::vector<std::wstring>{L"Готов", L"Готов"}), statuses);
    ASSERT_EQ(7u, seen.size());
    EXPECT_TRUE(seen[0].empty()) << "the first target's queue is empty";
    EXPECT_TRUE(seen[1].empty()) << "choosing a target fills nothing";
    EXPECT_TRUE(seen[2].empty());
    ASSERT_EQ(2u, seen[3].size());
    EXPECT_EQ(L"000001_17_305", seen[3][0].image);
    EXPECT_EQ(L"000002_17_306", seen[3][1].image);
    EXPECT_EQ(L"1", seen[3][0].attempts);
    EXPECT_NE(std::wstring::npos, seen[3][0].error.find(L"Z:\\no\\such\\folder"));
    ASSERT_EQ(2u, seen[4].size());
    EXPECT_EQ(L"0", seen[4][0].attempts) << "reset";
    EXPECT_EQ(L"1", seen[4][1].attempts);
    ASSERT_EQ(1u, seen[5].size());
    EXPECT_EQ(L"000001_17_305", seen[5][0].image);
    EXPECT_TRUE(seen[6].empty());
}

TEST_F(DicomQueueWindowRealInput, WithoutTargetsTheWindowIsEmptyAndReady)
{
    std::wstring status;
    int targets = -1, rows = -1;
    DialogDriver driver;
    driver.Then([&] { return Window(); }, [&](HWND dialog) {
        status = Text(dialog, IDC_STATUS_LINE);
        targets = (int)SendDlgItemMessageW(dialog, IDC_DICOM_TARGETS, CB_GETCOUNT, 0, 0);
        rows = (int)Rows(dialog).size();
        Click(dialog, IDCANCEL);
    });
    DicomQueueWindow window;
    EXPECT_EQ(0, window.Run(host.Hwnd()));
    EXPECT_EQ(L"Готов", status);
    EXPECT_EQ(0, targets);
    EXPECT_EQ(0, rows);
}

TEST_F(DicomQueueWindowRealInput, AWindowThatCannotConnectSaysWhereItStopped)
{
    settings->AddTarget(L"Radiology", L"");
    settings->FailWithHresult(L"Instance", E_FAIL);
    std::wstring status;
    int targets = -1;
    DialogDriver driver;
    driver.Then([&] { return Window(); }, [&](HWND dialog) {
        status = Text(dialog, IDC_STATUS_LINE);
        targets = (int)SendDlgItemMessageW(dialog, IDC_DICOM_TARGETS, CB_GETCOUNT, 0, 0);
        Click(dialog, IDCANCEL);
    });
    DicomQueueWindow window;
    EXPECT_EQ(1, window.Run(host.Hwnd()));
    EXPECT_EQ(L"Инициализация", status);
    EXPECT_EQ(0, targets);
}

TEST_F(DicomQueueWindowRealInput, AQueueAnswerOfTheWrongShapeShowsNothingOfIt)
{
    settings->AddTarget(L"Radiology", L"");
    settings->AnswerWithType(L"GetQueueStatus", L"number");
    std::wstring status;
    int rows = -1;
    DialogDriver driver;
    driver.Then([&] { return Window(); }, [&](HWND dialog) {
        status = Text(dialog, IDC_STATUS_LINE);
        rows = (int)Rows(dialog).size();
        Click(dialog, IDCANCEL);
    });
    DicomQueueWindow window;
    EXPECT_EQ(1, window.Run(host.Hwnd()));
    EXPECT_EQ(L"Инициализация", status);
    EXPECT_EQ(0, rows);
}

TEST_F(DicomQueueWindowTest, TheProgramsEndEndsTheWindowToo)
{
    DialogDriver driver;
    driver.Then([&] { return Window(); }, [&](HWND) { PostQuitMessage(3); });
    DicomQueueWindow window;
    window.Run(host.Hwnd());
    EXPECT_FALSE(Window());
    // The WM_QUIT is posted again for the loop outside.
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(3u, msg.wParam);
}

// The queue window in both languages, as the service menu opens it with two
// entries: the window's own Russian texts whole, its columns as wide as
// their titles at least, nothing overlapping.
class DicomQueuePictures : public DicomQueueWindowTest, public ::testing::WithParamInterface<LANGID>
{
};

TEST_P(DicomQueuePictures, TheQueueLooksRight)
{
    harness::ThreadLanguage language(GetParam());
    QueueTwoImages();
    std::wstring faults = L"not opened";
    DialogDriver driver;
    driver.Then([&] { return Window(); }, [&](HWND dialog) {
        Select(dialog, 1);
        // The window's own texts, as it quotes them: Russian in both languages.
        faults = LookFaults(dialog, L"DICOM", {}, true, L"dicom-queue", {L"DICOM"});
        PostButton(dialog, IDCANCEL);
    });
    OnServiceCommand(host.Hwnd(), kServiceDicomStatus, 0);
    EXPECT_EQ(L"", faults);
}

INSTANTIATE_TEST_SUITE_P(DicomBothLanguages, DicomQueuePictures, ::testing::Values(0x409, 0x419));

// A server that stops answering while the window deletes its entries is told
// once: the deletion stops there and the list keeps what it showed; once the
// server answers (and carries out the deletion it was given) the window goes
// on.
TEST_F(DicomQueueWindowTest, AServerThatStopsAnsweringIsToldOnceAndTheWindowGoesOn)
{
    QueueTwoImages();
    DicomExportClient::SetCallLimitMs(1500);
    PromptScript prompts({IDOK});
    std::unique_ptr<StoppedDicomServers> stopped;
    std::vector<size_t> rows;
    DialogDriver driver;
    driver.Then([&] { return Window(); }, [&](HWND dialog) {
        rows.push_back(Rows(dialog).size());
        stopped.reset(new StoppedDicomServers);
        PostButton(dialog, IDC_DICOM_DELETE_ALL);
    });
    driver.Then([&] { return prompts.Count() == 1 ? Window() : nullptr; }, [&](HWND dialog) {
        rows.push_back(Rows(dialog).size());
        stopped->Resume();
    });
    // The late deletion of the first entry went through; the second is
    // deleted now, and the list filled again.
    driver.Then([&] { return DicomExportClient::Answering() ? Window() : nullptr; }, [&](HWND dialog) {
        Select(dialog, 1);
        PostButton(dialog, IDC_DICOM_DELETE);
    });
    driver.Then([&] { return Window(); }, [&](HWND dialog) {
        rows.push_back(Rows(dialog).size());
        PostButton(dialog, IDCANCEL);
    });
    OnServiceCommand(host.Hwnd(), kServiceDicomStatus, 0);
    DicomExportClient::SetCallLimitMs(0);
    EXPECT_EQ((std::vector<size_t>{2, 2, 0}), rows);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(0u, prompts.Last().text.find(LoadText(IDS_DICOM_NO_ANSWER).substr(0, 20)));
}

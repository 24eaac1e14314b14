// Image export as the service menu runs it, from the main image panel's
// active view: the BMP looks as the view shows the picture (its look-up
// table, padded rows), the ".xmg" reads back as the picture, a name without
// extension gets the way's, Cancel ends quietly, a write that fails leaves
// no file and says why; without a view's table the picture's own settings
// make the BMP.
#include "exchange/imagefiles/bmpformat.h"
#include "exchange/imagefiles/exchangeservices.h"
#include "exchange/imagefiles/imageexport.h"

#include "app/mainmenus.h"
#include "app/mainwnd_neighbours.h"
#include "exchange_fixture.h"
#include "images/files/savefaults.h"
#include "images/files/xmgfile.h"
#include "images/imagefiles_fixture.h"
#include "images/pixels/displaylut.h"
#include "images/viewer/mainviewwnd.h"
#include "images/viewer/snimokwnd.h"
#include "resources/resource.h"
#include "resources/strings.h"
#include "ui/init_rows.h"

#include <memory>
#include <vector>

using namespace exchtest;

namespace {

// The two dialogs' titles in the running language.
const std::wstring kExportTitle = imgtest::StringText(IDS_EXPORT);
const std::wstring kSaveTitle = imgtest::StringText(IDS_EXPORT_PICTURE);

class ExportTest : public imgtest::ImageDbTest
{
protected:
    void SetUp() override
    {
        ImageDbTest::SetUp();
        Exec(L"INSERT INTO Patient (Patient, Name1, Name2, Name3, Pol) VALUES (17, 'Иванов', 'Пётр', '', 1);");
        ASSERT_TRUE(RunInitRows(ControlLibraryRows, ControlLibraryRowCount, nullptr));
        ASSERT_TRUE(RegisterViewerClasses());
        host.reset(new harness::HostWindow(400, 300, 50, 50));
        PrepareSettings() = PrepareSnimokSettings{0, 0, 0};
        ASSERT_EQ(1, CreateMainView(host->Hwnd()));
        InstallExchangeServices();
        out.reset(new TempFolder(L"export"));
    }
    void TearDown() override
    {
        InjectSaveFailure(SaveStep::None, 0);
        RemoveExchangeServices();
        DestroyMainView();
        host.reset();
        UnregisterViewerClasses();
        UndoInitRows(ControlLibraryRows, ControlLibraryRowCount);
        out.reset();
        ImageDbTest::TearDown();
    }

    // A picture of patient 17, shown in the panel's active view.
    DPicturePtr Shown(int width, int height)
    {
        DPicturePtr picture = TestPicture(width, height, 12);
        picture->displayOffset = 300;
        picture->displayWidth = 2000;
        ShowMainView(picture);
        harness::Pump(50);
        return picture;
    }
    SnimokWnd* ActiveView() const
    {
        return MainViewWnd::Instance() ? MainViewWnd::Instance()->GetActiveView() : nullptr;
    }

    std::unique_ptr<harness::HostWindow> host;
    std::unique_ptr<TempFolder> out;
};

// The grey values of a BMP file, top row first, as the import reads them.
std::vector<uint16_t> ReadGrey(const std::vector<uint8_t>& file, int* width, int* height)
{
    MemorySource in(file.data(), file.size());
    BmpLayout layout;
    if (ReadBmpLayout(in, layout) != 0)
        return {};
    *width = layout.width;
    *height = layout.height;
    std::vector<uint16_t> grey((size_t)layout.width * layout.height);
    uint16_t top = 0;
    if (ReadBmpPixels(in, layout, grey.data(), &top) != 0)
        return {};
    return grey;
}

}  // namespace

TEST_F(ExportTest, TheServiceMenuWritesTheActiveViewAsABmpThroughItsTable)
{
    DPicturePtr picture = Shown(61, 23);
    SnimokWnd* view = ActiveView();
    ASSERT_TRUE(view && view->GetLut());
    const std::vector<uint8_t> table(view->GetLut(), view->GetLut() + kLutSize);
    HWND owner = nullptr;
    DialogDriver driver;
    driver.Then([] { return FindOwnDialog(kExportTitle); }, [&](HWND dialog) {
        owner = GetWindow(dialog, GW_OWNER);
        PostMessageW(dialog, WM_COMMAND, IDC_EXPORT_BMP, 0);
    });
    driver.ChooseFile(kSaveTitle, out->File(L"view"));
    OnServiceCommand(host->Hwnd(), kServiceExportPicture, 0);

    EXPECT_EQ(MainViewHandle(), owner);
    const std::vector<uint8_t> file = ReadFileBytes(out->File(L"view.bmp"));
    ASSERT_EQ(1078u + 64u * 23u, file.size()) << "rows padded to 64 bytes";
    EXPECT_EQ(64u * 23u, LoadLe32(&file[34]));
    int width = 0, height = 0;
    const std::vector<uint16_t> grey = ReadGrey(file, &width, &height);
    ASSERT_EQ(61, width);
    ASSERT_EQ(23, height);
    int differing = 0;
    for (size_t i = 0; i < grey.size(); ++i)
        differing += grey[i] != table[picture->GetWorkBits()[i]];
    EXPECT_EQ(0, differing);
}

TEST_F(ExportTest, WithoutAViewsTableThePicturesOwnSettingsMakeTheBmp)
{
    DPicturePtr picture = TestPicture(32, 8, 12);
    picture->displayOffset = 100;
    picture->displayWidth = 1000;
    picture->gammaPercent = 150;
    std::vector<uint8_t> table(kLutSize);
    BuildDisplayLut(table.data(), 100, 1000, 1.5);
    DialogDriver driver;
    driver.Press(kExportTitle, IDC_EXPORT_BMP);
    driver.ChooseFile(kSaveTitle, out->File(L"own.bmp"));
    ExportImage(picture, host->Hwnd(), nullptr);
    int width = 0, height = 0;
    const std::vector<uint16_t> grey = ReadGrey(ReadFileBytes(out->File(L"own.bmp")), &width, &height);
    ASSERT_EQ(32u * 8u, grey.size());
    for (size_t i = 0; i < grey.size(); ++i)
        ASSERT_EQ(table[picture->GetWorkBits()[i]], grey[i]) << i;
}

TEST_F(ExportTest, AnXmgFileReadsBackAsThePicture)
{
    DPicturePtr picture = Shown(50, 40);
    DialogDriver driver;
    driver.Press(kExportTitle, IDC_EXPORT_XMG);
    driver.ChooseFile(kSaveTitle, out->File(L"copy"));
    OnServiceCommand(host->Hwnd(), kServiceExportPicture, 0);
    std::wstring message;
    DPicturePtr back = imgtest::LoadFile(out->File(L"copy.xmg"), true, true, &message);
    ASSERT_TRUE(back.Get()) << std::string(message.begin(), message.end());
    ASSERT_EQ(50, back->width);
    ASSERT_EQ(40, back->height);
    EXPECT_EQ(0, memcmp(picture->GetBits(), back->GetBits(), 50 * 40 * 2));
    EXPECT_EQ(12, back->bitsPerPixel);
    EXPECT_STREQ(L"Иванов", back->patient.GetName(0));
}

TEST_F(ExportTest, CancelEndsQuietlyInEitherDialog)
{
    DPicturePtr picture = TestPicture(8, 8, 8);
    PromptScript prompts;
    {
        DialogDriver driver;
        driver.Press(kExportTitle, IDCANCEL);
        ExportImage(picture, host->Hwnd(), nullptr);
    }
    {
        DialogDriver driver;
        driver.Press(kExportTitle, IDC_EXPORT_BMP);
        driver.Press(kSaveTitle, IDCANCEL);
        ExportImage(picture, host->Hwnd(), nullptr);
    }
    EXPECT_EQ(0u, prompts.Count());
    EXPECT_TRUE(FilesIn(out->Path(), L"*").empty());
}

TEST_F(ExportTest, AFailedWriteLeavesNoFileAndSaysWhy)
{
    DPicturePtr picture = TestPicture(40, 30, 12);
    InjectSaveFailure(SaveStep::WriteImageFile, ERROR_DISK_FULL);
    PromptScript prompts({IDOK});
    DialogDriver driver;
    driver.Press(kExportTitle, IDC_EXPORT_XMG);
    driver.ChooseFile(kSaveTitle, out->File(L"full.xmg"));
    ExportImage(picture, host->Hwnd(), nullptr);
    EXPECT_FALSE(FileThere(out->File(L"full.xmg")));
    ASSERT_EQ(1u, prompts.Count());
    wchar_t* system = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   ERROR_DISK_FULL, 0, reinterpret_cast<wchar_t*>(&system), 0, nullptr);
    ASSERT_TRUE(system);
    std::wstring expected = system;
    LocalFree(system);
    while (!expected.empty() && (expected.back() == L'\n' || expected.back() == L'\r'))
        expected.pop_back();
    EXPECT_EQ(0u, prompts.Last().text.find(expected)) << prompts.Last().text.c_str();
}

TEST_F(ExportTest, AFileThatCannotBeCreatedIsSaid)
{
    DPicturePtr picture = TestPicture(8, 8, 8);
    const std::wstring path = out->File(L"busy.bmp");
    HANDLE busy = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, busy);
    PromptScript prompts({IDOK});
    DialogDriver driver;
    driver.Press(kExportTitle, IDC_EXPORT_BMP);
    driver.ChooseFile(kSaveTitle, path);
    // The dialog asks before it replaces a file.
    driver.Then([] { return FindOwnDialog(kSaveTitle, IDYES); },
                [](HWND box) { PostMessageW(box, WM_COMMAND, IDYES, 0); });
    ExportImage(picture, host->Hwnd(), nullptr);
    CloseHandle(busy);
    EXPECT_EQ(1u, prompts.Count());
}

// The choice of the way out, as the service menu opens it, in both languages:
// its caption and buttons in the running language, whole and apart.
class ExportPictures : public ExportTest, public ::testing::WithParamInterface<LANGID>
{
};

TEST_P(ExportPictures, TheChoiceOfTheWayLooksRight)
{
    harness::ThreadLanguage language(GetParam());
    Shown(200, 150);
    const std::wstring title = imgtest::StringText(IDS_EXPORT);
    std::wstring faults = L"not opened";
    DialogDriver driver;
    driver.Then([&] { return FindOwnDialog(title); }, [&](HWND dialog) {
        faults = LookFaults(dialog, title,
                            {{IDC_EXPORT_DICOM_FILE, IDS_EXPORT_DICOM_FILE},
                             {IDC_EXPORT_DICOM_SERVER, IDS_EXPORT_DICOM_SERVER},
                             {IDC_EXPORT_XMG, IDS_EXPORT_XMG_FILE},
                             {IDC_EXPORT_BMP, IDS_EXPORT_BMP_FILE},
                             {IDCANCEL, IDS_CANCEL}},
                            GetParam() == 0x419, L"export");
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    OnServiceCommand(host->Hwnd(), kServiceExportPicture, 0);
    EXPECT_EQ(L"", faults);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, ExportPictures, ::testing::Values(0x409, 0x419));

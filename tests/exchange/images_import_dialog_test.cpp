// The import's open-file dialog, driven as a user does: the folder it opens
// in and remembers ("ImportPath"), the filter that picks the reader, the
// service menu's and the thumbnail menu's ways in; and its properties panel
// for ".xmg" files of each kind.
#include "exchange/imagefiles/exchangeservices.h"
#include "exchange/imagefiles/imageimport.h"
#include "exchange/imagefiles/importdialog.h"

#include "app/mainmenus.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "exchange_fixture.h"
#include "images_file_builders.h"
#include "foundation/datetime.h"
#include "foundation/globals.h"
#include "images/imagefiles_fixture.h"
#include "resources/resource.h"
#include "resources/strings.h"

#include <commdlg.h>
#include <dlgs.h>

#include <memory>

using namespace exchtest;

namespace {

// The dialog's title in the running language.
std::wstring Title()
{
    return imgtest::StringText(IDS_IMPORT_PICTURES);
}

class ImportDialogTest : public imgtest::ImageDbTest
{
protected:
    void SetUp() override
    {
        ImageDbTest::SetUp();
        files.reset(new TempFolder(L"dialog"));
        settings.reset(new TestSettings);
        InstallExchangeServices();
        Exec(L"INSERT INTO Patient (Patient, Name1, Name2, Name3, Pol) VALUES (17, 'Kuznetsov', 'Ivan', '', 1);");
        XmgShape shape;
        WriteFileBytes(files->File(L"own.xmg"), MakeXmg(shape, XmgPattern(shape)));
        BmpShape bmp;
        WriteFileBytes(files->File(L"gray.bmp"), MakeBmp(bmp, GreyPattern(bmp.width, bmp.height)));
    }
    void TearDown() override
    {
        RemoveExchangeServices();
        settings.reset();
        files.reset();
        ImageDbTest::TearDown();
    }
    std::wstring Folder() const
    {
        std::wstring f = files->Path();
        f.pop_back();
        return f;
    }

    std::unique_ptr<TempFolder> files;
    std::unique_ptr<TestSettings> settings;
    harness::HostWindow host{300, 200, 60, 60};
};

// The dialog's filter: the index of its list of kinds.
void ChooseFilter(HWND dialog, int index)
{
    HWND combo = GetDlgItem(dialog, cmb1);
    SendMessageW(combo, CB_SETCURSEL, index, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELCHANGE), (LPARAM)combo);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK), (LPARAM)combo);
}

std::wstring FolderShown(HWND dialog)
{
    wchar_t folder[MAX_PATH] = {};
    SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(folder));
    return folder;
}

}  // namespace

TEST_F(ImportDialogTest, OpensInTheImageFolderAndRemembersTheFolderOfTheChosenFile)
{
    std::wstring first;
    DialogDriver driver;
    driver.Then([] { return FindOwnDialog(Title()); }, [&](HWND dialog) {
        first = FolderShown(dialog);
        // Into the folder, then the file in it.
        TypeFileName(dialog, Folder());
    });
    driver.Then([&] {
        HWND d = FindOwnDialog(Title());
        return d && _wcsicmp(FolderShown(d).c_str(), Folder().c_str()) == 0 ? d : nullptr;
    }, [](HWND dialog) { TypeFileName(dialog, L"own.xmg"); });
    DPicturePtr picture = ImportImageFile(host.Hwnd(), 0, 0);
    ASSERT_TRUE(picture.Get());
    std::wstring image = ImageFolder;
    if (!image.empty() && image.back() == L'\\')
        image.pop_back();
    EXPECT_EQ(0, _wcsicmp(image.c_str(), first.c_str())) << std::string(first.begin(), first.end());
    EXPECT_EQ(0, _wcsicmp(Folder().c_str(), settings->GetString(nullptr, L"ImportPath").c_str()));
    EXPECT_EQ(40, picture->width);

    // The next import opens there.
    std::wstring second;
    DialogDriver again;
    again.Then([] { return FindOwnDialog(Title()); }, [&](HWND dialog) {
        second = FolderShown(dialog);
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_FALSE(ImportImageFile(host.Hwnd(), 0, 0).Get());
    EXPECT_EQ(0, _wcsicmp(Folder().c_str(), second.c_str()));
}

TEST_F(ImportDialogTest, TheSecondFilterImportsABmpOnlyForAGivenPatient)
{
    settings->SetString(nullptr, L"ImportPath", Folder());
    for (int ask : {1, 0}) {
        DialogDriver driver;
        driver.Then([] { return FindOwnDialog(Title()); }, [](HWND dialog) {
            ChooseFilter(dialog, 1);
            TypeFileName(dialog, L"gray.bmp");
        });
        DPicturePtr picture = ImportImageFile(host.Hwnd(), 17, ask);
        // The service menu (no patient to ask for) takes no BMP, and says nothing.
        EXPECT_EQ(ask == 1, picture.Get() != nullptr) << ask;
        if (picture.Get()) {
            EXPECT_EQ(8, picture->bitsPerPixel);
            EXPECT_EQ(17u, picture->patient.GetPatientId());
        }
    }
}

TEST_F(ImportDialogTest, AFileThatCannotBeOpenedIsSaid)
{
    settings->SetString(nullptr, L"ImportPath", Folder());
    // Another program holds the file open and shares it with nobody.
    HANDLE locked = CreateFileW(files->File(L"own.xmg").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    DialogDriver driver;
    driver.ChooseFile(Title(), L"own.xmg");
    PromptScript prompts({IDOK});
    EXPECT_FALSE(ImportImageFile(host.Hwnd(), 0, 0).Get());
    CloseHandle(locked);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(imgtest::StringText(IDS_FILE_OPEN_ERROR), prompts.Last().text);
    EXPECT_EQ(imgtest::StringText(IDS_IMPORT_PICTURES), prompts.Last().caption);
    EXPECT_EQ(nullptr, prompts.Last().owner);
}

TEST_F(ImportDialogTest, TheServiceMenuImportsThroughTheShellsTable)
{
    settings->SetString(nullptr, L"ImportPath", Folder());
    {
        // The service menu: the file's own patient (here a new one).
        DialogDriver driver;
        driver.ChooseFile(Title(), L"own.xmg");
        OnServiceCommand(host.Hwnd(), kServiceImportPicture, 0);
        EXPECT_EQ(L"1", Scalar(L"SELECT COUNT(*) FROM Patient WHERE Name1='Иванов';"));
    }
    // Without the exchange's entries the shell says the command is not there.
    RemoveExchangeServices();
    PromptScript prompts({IDOK});
    OnServiceCommand(host.Hwnd(), kServiceImportPicture, 0);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(imgtest::StringText(IDS_NOT_AVAILABLE_YET), prompts.Last().text);
}

// ---- the properties panel ----------------------------------------------------------

namespace {

INT_PTR CALLBACK PanelProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG;
}

class XmgPropertiesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        panel = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(IDD_XMG_PROPERTIES), host.Hwnd(), PanelProc, 0);
        ASSERT_TRUE(panel);
    }
    void TearDown() override { DestroyWindow(panel); }

    std::wstring Field(int id)
    {
        wchar_t text[256] = {};
        GetDlgItemTextW(panel, id, text, 256);
        return text;
    }
    std::wstring Show(const XmgShape& shape)
    {
        const std::wstring path = files.File(L"shown.xmg");
        WriteFileBytes(path, MakeXmg(shape, XmgPattern(shape)));
        ShowXmgProperties(panel, path.c_str());
        return path;
    }

    harness::HostWindow host{700, 400, 40, 40};
    TempFolder files{L"panel"};
    HWND panel = nullptr;
};

std::wstring Formatted(uint32_t low, uint32_t high, const wchar_t* picture)
{
    FILETIME t = {low, high};
    wchar_t text[64] = {};
    FormatFileTime(text, 64, picture, &t);
    return text;
}

}  // namespace

TEST_F(XmgPropertiesTest, AVersionTwoFileShowsItsFieldsAndItsPatient)
{
    XmgShape shape;
    Show(shape);
    EXPECT_EQ(L"2.0", Field(IDC_XMG_VERSION));
    EXPECT_EQ(L"305", Field(IDC_XMG_IMAGE_ID));
    EXPECT_EQ(L"40, 35", Field(IDC_XMG_SIZE));
    EXPECT_EQ(Formatted(shape.dateLow, shape.dateHigh, DateTimePicture), Field(IDC_XMG_DATE));
    EXPECT_EQ(L"0.15, 0.2", Field(IDC_XMG_PIXEL_SIZE));
    EXPECT_EQ(L"", Field(IDC_XMG_KV));
    EXPECT_EQ(L"", Field(IDC_XMG_MAS));
    EXPECT_EQ(L"17", Field(IDC_XMG_PATIENT_ID));
    EXPECT_EQ(L"1", Field(IDC_XMG_SEX));
    EXPECT_EQ(Formatted(shape.birthdayLow, shape.birthdayHigh, DatePicture), Field(IDC_XMG_BIRTHDAY));
    EXPECT_EQ(L"Иванов", Field(IDC_XMG_LAST_NAME));
    EXPECT_EQ(L"Пётр", Field(IDC_XMG_FIRST_NAME));
    EXPECT_EQ(L"Сергеевич", Field(IDC_XMG_MIDDLE_NAME));
    EXPECT_EQ(L"", Field(IDC_STATUS_LINE));
}

TEST_F(XmgPropertiesTest, WhatAFileDoesNotHoldStaysEmpty)
{
    XmgShape shape;
    shape.version = 1;
    shape.flags = 0;
    shape.names = {u"Smith"};
    Show(shape);
    EXPECT_EQ(L"1.0", Field(IDC_XMG_VERSION));
    EXPECT_EQ(imgtest::StringText(IDS_XMG_PIXEL_SIZE_UNKNOWN), Field(IDC_XMG_PIXEL_SIZE));
    EXPECT_EQ(L"Smith", Field(IDC_XMG_LAST_NAME));
    EXPECT_EQ(L"", Field(IDC_XMG_FIRST_NAME));
    EXPECT_EQ(L"", Field(IDC_XMG_MIDDLE_NAME));

    XmgShape none;
    none.texts = false;
    Show(none);
    EXPECT_EQ(L"2.0", Field(IDC_XMG_VERSION));
    EXPECT_EQ(L"", Field(IDC_XMG_PATIENT_ID));
    EXPECT_EQ(L"", Field(IDC_XMG_LAST_NAME));
    EXPECT_EQ(L"", Field(IDC_XMG_SEX));
}

TEST_F(XmgPropertiesTest, AnUnreadableFileSaysWhyAndAMissingOneChangesNothing)
{
    XmgShape shape;
    const std::wstring path = Show(shape);
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    Le32(bytes, 4, 0x30000);
    WriteFileBytes(path, bytes);
    ShowXmgProperties(panel, path.c_str());
    EXPECT_EQ(imgtest::StringText(IDS_PICTURE_VERSION_UNKNOWN), Field(IDC_STATUS_LINE));
    EXPECT_EQ(L"", Field(IDC_XMG_VERSION));
    EXPECT_EQ(L"", Field(IDC_XMG_LAST_NAME));

    Show(shape);
    ShowXmgProperties(panel, files.File(L"missing.xmg").c_str());
    EXPECT_EQ(L"2.0", Field(IDC_XMG_VERSION));
    EXPECT_EQ(L"Иванов", Field(IDC_XMG_LAST_NAME));
}

// The open-file dialog as the import opens it, in both languages: its
// caption, and its side panel showing a selected ".xmg" file: every label in
// the running language, whole and apart.
class ImportDialogPictures : public ImportDialogTest, public ::testing::WithParamInterface<LANGID>
{
};

TEST_P(ImportDialogPictures, TheDialogAndItsPanelLookRight)
{
    harness::ThreadLanguage language(GetParam());
    settings->SetString(nullptr, L"ImportPath", Folder());
    const std::wstring title = Title();
    std::wstring faults = L"not opened", caption;
    DialogDriver driver;
    driver.Then([&] { return FindOwnDialog(title); }, [&](HWND dialog) {
        caption = harness::DialogTexts(dialog).front();
        HWND panel = nullptr;
        for (HWND child = GetWindow(dialog, GW_CHILD); child && !panel; child = GetWindow(child, GW_HWNDNEXT))
            if (GetDlgItem(child, IDC_XMG_VERSION))
                panel = child;
        if (panel) {
            ShowXmgProperties(panel, files->File(L"own.xmg").c_str());
            std::vector<std::pair<int, unsigned>> labels;
            for (int i = 0; i < 13; ++i)
                labels.push_back({IDC_XMG_LABEL_FIRST + i, IDS_XMG_VERSION + i});
            faults = LookFaults(panel, L"", labels, GetParam() == 0x419, L"import-panel",
                                {imgtest::StringText(IDS_XMG_IMAGE_ID), imgtest::StringText(IDS_XMG_PATIENT_ID)});
            harness::SaveWindowBmp(dialog, harness::PictureFolder() + L"\\exchange-import-" +
                                               (GetParam() == 0x419 ? L"ru" : L"en") + L".bmp");
        } else {
            faults = L"no panel";
        }
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_FALSE(ImportImageFile(host.Hwnd(), 0, 0).Get());
    EXPECT_EQ(title, caption);
    EXPECT_EQ(L"", faults);
}

INSTANTIATE_TEST_SUITE_P(BothLanguages, ImportDialogPictures, ::testing::Values(0x409, 0x419));

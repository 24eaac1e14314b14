// Printer profiles: their registry round trip, the landscape copy, damaged
// stored set-ups, the choice of each job kind's profile, opening a job's
// printer, and the dialog "Profiles of printers" with the print dialog
// answered under Xvfb.
#include "print_fixture.h"

#include "app/inputtext.h"
#include "common/prompt_script.h"
#include "common/test_files.h"
#include "foundation/journal.h"
#include "foundation/textutil.h"
#include "printing/printerprofile.h"
#include "printing/printjob.h"
#include "resources/resource.h"
#include "resources/strings.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <functional>
#include <iterator>

using namespace printtest;

namespace {

// A DEVMODEW of the fixed part and some driver bytes, as drivers make them.
std::vector<BYTE> SyntheticDevMode(WORD driverExtra = 16)
{
    std::vector<BYTE> bytes(sizeof(DEVMODEW) + driverExtra, 0);
    DEVMODEW* mode = reinterpret_cast<DEVMODEW*>(bytes.data());
    wcscpy(mode->dmDeviceName, L"PDF");
    mode->dmSize = sizeof(DEVMODEW);
    mode->dmDriverExtra = driverExtra;
    mode->dmFields = DM_ORIENTATION | DM_PAPERSIZE;
    mode->dmOrientation = DMORIENT_PORTRAIT;
    mode->dmPaperSize = DMPAPER_A4;
    for (WORD i = 0; i < driverExtra; ++i)
        bytes[sizeof(DEVMODEW) + i] = static_cast<BYTE>(0xA0 + i);
    return bytes;
}

PrinterProfilePtr StoredProfile(PrinterProfileList& list, const wchar_t* name, std::vector<BYTE> mode)
{
    PrinterProfilePtr profile = list.Add(name);
    profile->driverName = L"wineps.drv";
    profile->deviceName = L"PDF";
    profile->output = L"CUPS:PDF";
    profile->devMode = std::move(mode);
    list.SaveProfile(*profile);
    return profile;
}

std::wstring KeyName(const GUID& guid)
{
    wchar_t text[kGuidTextLength + 1];
    GuidToText(guid, text);
    return text;
}

std::vector<std::wstring> ListBoxNames(HWND dialog)
{
    std::vector<std::wstring> names;
    HWND list = GetDlgItem(dialog, IDC_PROFILE_LIST);
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t text[300];
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        names.push_back(text);
    }
    return names;
}

int SelectedIndex(HWND dialog)
{
    return static_cast<int>(SendDlgItemMessageW(dialog, IDC_PROFILE_LIST, LB_GETCURSEL, 0, 0));
}

int IndexOf(HWND dialog, const wchar_t* name)
{
    return static_cast<int>(
        SendDlgItemMessageW(dialog, IDC_PROFILE_LIST, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                            reinterpret_cast<LPARAM>(name)));
}

void Select(HWND dialog, int index)
{
    SendDlgItemMessageW(dialog, IDC_PROFILE_LIST, LB_SETCURSEL, index, 0);
}

bool IsProfilesDialog(HWND dialog)
{
    return GetDlgItem(dialog, IDC_PROFILE_LIST) != nullptr;
}

class Profiles : public ::testing::Test {
protected:
    PrivateSettings settings;
    PrinterProfileList list;
};

}  // namespace

TEST_F(Profiles, RoundTripThroughTheRegistry)
{
    PrinterProfilePtr saved = StoredProfile(list, L"Reports A4", SyntheticDevMode());
    HKEY key = settings.Open((L"PrinterProfiles\\" + KeyName(saved->guid)).c_str(), false);
    ASSERT_NE(nullptr, key) << "the key is named by the GUID in upper-case braces";
    wchar_t name[64];
    DWORD size = sizeof name, type = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(name), &size));
    EXPECT_STREQ(L"Reports A4", name);
    size = 0;
    RegQueryValueExW(key, L"DevMode", nullptr, &type, nullptr, &size);
    EXPECT_EQ(DWORD(REG_BINARY), type);
    EXPECT_EQ(sizeof(DEVMODEW) + 16, size);
    RegCloseKey(key);

    PrinterProfileList again;
    again.Load();
    ASSERT_TRUE(again.Loaded());
    ASSERT_EQ(1, again.Count());
    const PrinterProfilePtr& loaded = again.At(0);
    EXPECT_EQ(0, memcmp(&saved->guid, &loaded->guid, sizeof(GUID)));
    EXPECT_EQ(L"Reports A4", loaded->name);
    EXPECT_EQ(L"wineps.drv", loaded->driverName);
    EXPECT_EQ(L"PDF", loaded->deviceName);
    EXPECT_EQ(L"CUPS:PDF", loaded->output);
    EXPECT_EQ(saved->devMode, loaded->devMode);
    EXPECT_EQ(loaded.Get(), again.FindByGuid(saved->guid).Get());
    GUID other = saved->guid;
    other.Data1 ^= 1;
    EXPECT_FALSE(again.FindByGuid(other));
}

TEST_F(Profiles, FindByGuidLoadsTheListOnFirstUse)
{
    PrinterProfilePtr saved = StoredProfile(list, L"One", SyntheticDevMode());
    PrinterProfileList fresh;
    EXPECT_FALSE(fresh.Loaded());
    EXPECT_TRUE(fresh.FindByGuid(saved->guid));
    EXPECT_TRUE(fresh.Loaded());
}

TEST_F(Profiles, LandscapeCopyLeavesTheStoredProfilePortrait)
{
    PrinterProfilePtr saved = StoredProfile(list, L"Portrait", SyntheticDevMode());
    PrinterProfilePtr copy = LandscapeCopy(saved);
    ASSERT_TRUE(copy);
    EXPECT_NE(saved.Get(), copy.Get());
    EXPECT_EQ(DMORIENT_LANDSCAPE, copy->DevMode()->dmOrientation);
    EXPECT_TRUE(copy->DevMode()->dmFields & DM_ORIENTATION);
    EXPECT_EQ(DMORIENT_PORTRAIT, saved->DevMode()->dmOrientation);
    EXPECT_EQ(0, memcmp(&saved->guid, &copy->guid, sizeof(GUID)));
    EXPECT_EQ(saved->deviceName, copy->deviceName);
    PrinterProfileList again;
    again.Load();
    EXPECT_EQ(DMORIENT_PORTRAIT, again.At(0)->DevMode()->dmOrientation);
}

TEST_F(Profiles, HandleCountsReferencesAndOutlivesRemoval)
{
    PrinterProfilePtr profile = StoredProfile(list, L"Kept", SyntheticDevMode());
    PrinterProfilePtr copy = profile;
    EXPECT_EQ(profile.Get(), copy.Get());
    list.Remove(profile.Get());
    EXPECT_EQ(0, list.Count());
    EXPECT_EQ(L"Kept", copy->name);   // still alive through the handles
    PrinterProfileList again;
    again.Load();
    EXPECT_EQ(0, again.Count()) << "Remove deletes the profile's key";
    EXPECT_TRUE(profile->Delete()) << "deleting a key that is gone is no failure";
    PrinterProfilePtr empty;
    copy.CopyProfile(empty);
    EXPECT_FALSE(copy);
}

TEST_F(Profiles, ASetUpWhoseSizesDisagreeIsNotStored)
{
    std::vector<BYTE> mode = SyntheticDevMode(16);
    reinterpret_cast<DEVMODEW*>(mode.data())->dmDriverExtra = 400;   // more than stored
    PrinterProfilePtr saved = list.Add(L"Short");
    saved->devMode = mode;
    LONG code = -1;
    try {
        list.SaveProfile(*saved);
    } catch (LONG c) {
        code = c;
    }
    EXPECT_EQ(ERROR_INVALID_DATA, code) << "such a set-up is not stored";
    EXPECT_TRUE(IsValidDevMode(SyntheticDevMode().data(), SyntheticDevMode().size()));
    EXPECT_FALSE(IsValidDevMode(SyntheticDevMode().data(), 10));
    EXPECT_FALSE(IsValidDevMode(mode.data(), mode.size()));
}

TEST(DevNames, OffsetsInCharactersAfterTheHeader)
{
    HGLOBAL block = BuildDevNames(L"wineps.drv", L"PDF", L"CUPS:PDF");
    ASSERT_NE(nullptr, block);
    EXPECT_EQ((11 + 4 + 9) * sizeof(wchar_t) + 8, GlobalSize(block));
    const DEVNAMES* names = static_cast<const DEVNAMES*>(GlobalLock(block));
    const wchar_t* base = reinterpret_cast<const wchar_t*>(names);
    EXPECT_EQ(4, names->wDriverOffset);
    EXPECT_EQ(4 + 11, names->wDeviceOffset);
    EXPECT_EQ(4 + 11 + 4, names->wOutputOffset);
    EXPECT_EQ(0, names->wDefault);
    EXPECT_STREQ(L"wineps.drv", base + names->wDriverOffset);
    EXPECT_STREQ(L"PDF", base + names->wDeviceOffset);
    EXPECT_STREQ(L"CUPS:PDF", base + names->wOutputOffset);
    PrinterProfile* profile = new PrinterProfile;
    std::vector<BYTE> mode = SyntheticDevMode(8);
    profile->FromDevMode(reinterpret_cast<const DEVMODEW*>(mode.data()), names);
    EXPECT_EQ(mode, profile->devMode);
    EXPECT_EQ(L"CUPS:PDF", profile->output);
    profile->Release();
    GlobalUnlock(block);
    GlobalFree(block);
}

// ---- choosing and opening --------------------------------------------------------

TEST_F(Profiles, ChosenProfileIsStoredForTheJobKind)
{
    PrinterProfilePtr first = StoredProfile(list, L"First", SyntheticDevMode());
    PrinterProfilePtr second = StoredProfile(list, L"Second", SyntheticDevMode());
    GetPrinterProfiles().Clear();
    GUID stored;
    EXPECT_FALSE(GetJobProfileGuid(kReportJob, &stored));
    std::vector<std::wstring> names;
    bool chooseShown = false;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        names = ListBoxNames(dialog);
        chooseShown = IsWindowVisible(GetDlgItem(dialog, IDC_PROFILE_CHOOSE)) != FALSE;
        Select(dialog, IndexOf(dialog, L"Second"));
        ClickButton(dialog, IDC_PROFILE_CHOOSE);
        return true;
    });
    ChooseReportProfile(nullptr);
    EXPECT_TRUE(driver.Done());
    EXPECT_TRUE(chooseShown);
    EXPECT_EQ(2u, names.size());
    ASSERT_TRUE(GetJobProfileGuid(kReportJob, &stored));
    EXPECT_EQ(0, memcmp(&stored, &second->guid, sizeof(GUID)));
    EXPECT_FALSE(GetJobProfileGuid(kSnimokJob, &stored));

    // Asked again: the stored one is selected.
    int selected = -1, secondIndex = -2;
    ModalDriver again;
    again.Then(L"#32770", [&](HWND dialog) {
        selected = SelectedIndex(dialog);
        secondIndex = IndexOf(dialog, L"Second");
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    ChooseReportProfile(nullptr);
    EXPECT_EQ(secondIndex, selected);
    ASSERT_TRUE(GetJobProfileGuid(kReportJob, &stored));
    EXPECT_EQ(0, memcmp(&stored, &second->guid, sizeof(GUID))) << "a cancelled choice keeps the stored one";
    GetPrinterProfiles().Clear();
}

TEST_F(Profiles, DeletingThePreselectedProfileAndClosingChoosesNothing)
{
    PrinterProfilePtr only = StoredProfile(list, L"Only", SyntheticDevMode());
    PrinterProfileList fresh;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        EXPECT_EQ(0, SelectedIndex(dialog));
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PROFILE_DELETE, BN_CLICKED), 0);
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    PrinterProfilePtr chosen = ChoosePrinterProfile(fresh, nullptr, &only->guid, true);
    EXPECT_FALSE(chosen);
    EXPECT_EQ(0, fresh.Count());
    PrinterProfileList again;
    again.Load();
    EXPECT_EQ(0, again.Count()) << "Delete removes the key without asking";
}

TEST_F(Profiles, RenameLastsOnlyForTheRunningProgram)
{
    PrinterProfilePtr saved = StoredProfile(list, L"Old name", SyntheticDevMode());
    PrinterProfileList fresh;
    std::vector<std::wstring> names;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        Select(dialog, 0);
        ClickButton(dialog, IDC_PROFILE_RENAME);
        return true;
    });
    driver.Then(InpTextWnd::kClassName, [&](HWND input) { return AnswerInputText(input, L"New name"); });
    driver.Then(L"#32770", [&](HWND dialog) {
        names = ListBoxNames(dialog);
        if (names.empty() || names[0] != L"New name")
            return false;
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    InputClasses classes;
    ChoosePrinterProfile(fresh, nullptr, nullptr, false);
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(1u, names.size());
    EXPECT_EQ(L"New name", names[0]);
    EXPECT_EQ(L"New name", fresh.At(0)->name);
    PrinterProfileList again;
    again.Load();
    EXPECT_EQ(L"Old name", again.At(0)->name) << "the registry keeps the old name until the next Change";
}

// Stored set-ups that cannot be read, beside a good one: the list loads
// them all without a word, the good profile is found for the jobs, each
// damaged one keeps its error, is named in the journal and is never handed to
// a job; the profile dialog opens, shows them marked, refuses to choose one,
// and deletes each.
TEST_F(Profiles, UnreadableProfilesAreSkippedNamedAndCanBeDeleted)
{
    testfix::TempDir folder(L"tfprofjournal");
    {
        PromptScript create({IDYES});
        ASSERT_TRUE(JournalInit(folder.Path().c_str()));
    }
    PrinterProfilePtr good = StoredProfile(list, L"Good", SyntheticDevMode());
    struct Case {
        const wchar_t* name;
        LONG error;
        std::function<void(HKEY)> damage;   // on the profile's key
    };
    std::vector<BYTE> disagreeing = SyntheticDevMode(16);
    reinterpret_cast<DEVMODEW*>(disagreeing.data())->dmDriverExtra = 400;
    const Case cases[] = {
        {L"Saved halfway", ERROR_FILE_NOT_FOUND,
         [](HKEY key) {
             for (const wchar_t* value : {L"DriverName", L"DeviceName", L"Output", L"DevMode"})
                 RegDeleteValueW(key, value);
         }},
        {L"No output", ERROR_FILE_NOT_FOUND, [](HKEY key) { RegDeleteValueW(key, L"Output"); }},
        {L"Text set-up", ERROR_INVALID_DATA,
         [](HKEY key) {
             RegSetValueExW(key, L"DevMode", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"not a devmode"), 28);
         }},
        {L"Sizes disagree", ERROR_INVALID_DATA,
         [&](HKEY key) {
             RegSetValueExW(key, L"DevMode", 0, REG_BINARY, disagreeing.data(), static_cast<DWORD>(disagreeing.size()));
         }},
    };
    std::vector<PrinterProfilePtr> damaged;
    for (const Case& k : cases) {
        damaged.push_back(StoredProfile(list, k.name, SyntheticDevMode()));
        HKEY key = settings.Open((L"PrinterProfiles\\" + KeyName(damaged.back()->guid)).c_str(), false);
        ASSERT_TRUE(key);
        k.damage(key);
        RegCloseKey(key);
    }
    HKEY stray = settings.Open(L"PrinterProfiles\\Laser (copy)");
    RegSetValueExW(stray, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Copy"), 10);
    RegCloseKey(stray);

    PrinterProfileList& loaded = GetPrinterProfiles();
    loaded.Clear();
    PromptScript none;
    EXPECT_EQ(good->name, loaded.FindByGuid(good->guid)->name) << "the good profile prints";
    EXPECT_TRUE(loaded.Loaded());
    ASSERT_EQ(static_cast<int>(std::size(cases)) + 2, loaded.Count());
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_FALSE(loaded.FindByGuid(damaged[i]->guid)) << "no job prints with " << Narrow(cases[i].name);
        for (int j = 0; j < loaded.Count(); ++j)
            if (loaded.At(j)->guid == damaged[i]->guid) {
                EXPECT_FALSE(loaded.At(j)->Readable());
                EXPECT_EQ(cases[i].error, loaded.At(j)->readError) << Narrow(cases[i].name);
                EXPECT_EQ(cases[i].name, loaded.At(j)->DisplayName());
            }
    }
    EXPECT_EQ(0u, none.Count()) << "loading says nothing";

    // The journal names every profile skipped, with its error.
    std::vector<JournalRecord> records;
    if (JournalEnter()) {
        JournalHeader header;
        if (JournalReadHeader(&header))
            for (DWORD i = 0; i < header.count; ++i) {
                JournalRecord record;
                if (JournalReadRecord(i, &record))
                    records.push_back(record);
            }
        JournalLeave();
    }
    JournalDone();
    auto journalled = [&](const std::wstring& text, LONG code) {
        for (const JournalRecord& r : records)
            if (static_cast<LONG>(r.code) == code && wcsstr(r.text, text.c_str()))
                return true;
        return false;
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_TRUE(journalled(KeyName(damaged[i]->guid), cases[i].error)) << Narrow(cases[i].name);
    EXPECT_TRUE(journalled(L"Laser (copy)", ERROR_INVALID_DATA));
    EXPECT_FALSE(journalled(KeyName(good->guid), ERROR_FILE_NOT_FOUND));

    // The dialog: every damaged profile marked; choosing one is refused with
    // its name; each is deleted.
    const std::wstring marked = LoadText(IDS_PROFILE_UNREADABLE_ITEM);
    const std::wstring suffix = marked.substr(marked.find(L"%1") + 2);
    std::vector<std::wstring> unreadable = {L"Copy"}, after;
    for (const Case& k : cases)
        unreadable.push_back(k.name);
    PromptScript refusal({IDOK});
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        // The commands as the buttons send them, each done before the next.
        const auto click = [&](int id) { SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); };
        Select(dialog, IndexOf(dialog, (cases[0].name + suffix).c_str()));
        click(IDC_PROFILE_CHOOSE);
        for (const std::wstring& name : unreadable) {
            const int index = IndexOf(dialog, (name + suffix).c_str());
            EXPECT_GE(index, 0) << Narrow(name) << " is listed marked";
            Select(dialog, index);
            click(IDC_PROFILE_DELETE);
        }
        after = ListBoxNames(dialog);
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    PrinterProfilePtr chosen = ChoosePrinterProfile(loaded, nullptr, &damaged[0]->guid, true);
    EXPECT_TRUE(driver.Done());
    EXPECT_FALSE(chosen) << "a profile that cannot be read is not chosen";
    ASSERT_EQ(1u, refusal.Count());
    EXPECT_NE(std::wstring::npos, refusal.Last().text.find(cases[0].name)) << "the refusal names it";
    EXPECT_EQ(std::vector<std::wstring>{L"Good"}, after);
    PrinterProfileList again;
    again.Load();
    ASSERT_EQ(1, again.Count()) << "the damaged keys are deleted";
    EXPECT_TRUE(again.At(0)->Readable());
    loaded.Clear();
}

// ---- with the CUPS printers: the print dialog under Xvfb -------------------------

TEST_F(Profiles, AddAsksTheNameSetsUpThePrinterAndSavesIt)
{
    REQUIRE_CUPS();
    InputClasses classes;
    PrinterProfileList fresh;
    std::vector<std::wstring> names;
    HWND profilesDialog = nullptr;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        profilesDialog = dialog;
        ClickButton(dialog, IDC_PROFILE_ADD);
        return true;
    });
    driver.Then(InpTextWnd::kClassName, [&](HWND input) { return AnswerInputText(input, L"Laser A4"); });
    // The standard print dialog, over the disabled profile dialog: OK.
    driver.Then(L"#32770", [&](HWND dialog) {
        if (dialog == profilesDialog || IsProfilesDialog(dialog))
            return false;
        ClickButton(dialog, IDOK);
        return true;
    });
    driver.Then(L"#32770", [&](HWND dialog) {
        if (!IsProfilesDialog(dialog))
            return false;
        names = ListBoxNames(dialog);
        if (names.empty())
            return false;
        EXPECT_EQ(0, SelectedIndex(dialog));
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    ChoosePrinterProfile(fresh, nullptr, nullptr, false);
    EXPECT_TRUE(driver.Done());
    ASSERT_EQ(1u, names.size());
    EXPECT_EQ(L"Laser A4", names[0]);
    PrinterProfileList again;
    again.Load();
    ASSERT_EQ(1, again.Count());
    EXPECT_EQ(L"Laser A4", again.At(0)->name);
    EXPECT_EQ(L"PDF", again.At(0)->deviceName);
    EXPECT_TRUE(IsValidDevMode(again.At(0)->devMode.data(), again.At(0)->devMode.size()));
}

TEST_F(Profiles, CancelledSetUpOfANewProfileLeavesNothing)
{
    REQUIRE_CUPS();
    InputClasses classes;
    PrinterProfileList fresh;
    HWND profilesDialog = nullptr;
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        profilesDialog = dialog;
        ClickButton(dialog, IDC_PROFILE_ADD);
        return true;
    });
    driver.Then(InpTextWnd::kClassName, [&](HWND input) { return AnswerInputText(input, L"Never"); });
    driver.Then(L"#32770", [&](HWND dialog) {
        if (dialog == profilesDialog || IsProfilesDialog(dialog))
            return false;
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    driver.Then(L"#32770", [&](HWND dialog) {
        if (!IsProfilesDialog(dialog))
            return false;
        EXPECT_TRUE(ListBoxNames(dialog).empty());
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    ChoosePrinterProfile(fresh, nullptr, nullptr, false);
    EXPECT_TRUE(driver.Done());
    EXPECT_EQ(0, fresh.Count());
    PrinterProfileList again;
    again.Load();
    EXPECT_EQ(0, again.Count());
}

TEST_F(Profiles, NothingStoredAsksEachTimeAndLandscapeOpensLandscape)
{
    REQUIRE_CUPS();
    StoredProfile(list, L"Portrait PDF", PrinterDevMode(kPdfPrinter, false));
    GetPrinterProfiles().Clear();
    for (int round = 0; round < 2; ++round) {
        ModalDriver driver;
        driver.Then(L"#32770", [&](HWND dialog) {
            Select(dialog, 0);
            ClickButton(dialog, IDC_PROFILE_CHOOSE);
            return true;
        });
        PrintJob job;
        PrinterProfilePtr profile;
        GUID none = {};
        ASSERT_TRUE(OpenJobPrinter(nullptr, job, profile, round == 1, none, false));
        EXPECT_TRUE(driver.Done());
        ASSERT_TRUE(profile);
        EXPECT_EQ(0, job.State());
        HDC dc = job.GetDC();
        if (round == 1)
            EXPECT_GT(GetDeviceCaps(dc, PHYSICALWIDTH), GetDeviceCaps(dc, PHYSICALHEIGHT));
        else
            EXPECT_LT(GetDeviceCaps(dc, PHYSICALWIDTH), GetDeviceCaps(dc, PHYSICALHEIGHT));
        GUID stored;
        EXPECT_FALSE(GetJobProfileGuid(kReportJob, &stored)) << "the answer is not remembered";
    }
    PrinterProfileList again;
    again.Load();
    EXPECT_EQ(DMORIENT_PORTRAIT, again.At(0)->DevMode()->dmOrientation);
    GetPrinterProfiles().Clear();
}

TEST_F(Profiles, ClosingTheChoiceOpensNothing)
{
    GetPrinterProfiles().Clear();
    ModalDriver driver;
    driver.Then(L"#32770", [&](HWND dialog) {
        ClickButton(dialog, IDCANCEL);
        return true;
    });
    PrintJob job;
    PrinterProfilePtr profile;
    GUID none = {};
    EXPECT_FALSE(OpenJobPrinter(nullptr, job, profile, false, none, false));
    EXPECT_EQ(-1, job.State());
    GetPrinterProfiles().Clear();
}

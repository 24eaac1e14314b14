// Patient and image record maintenance on a demo site: deleting patients and
// images, moving an image to another patient (with a failure at each step),
// and restoring an archived image from a simulated archive disk.
#include "mainwnd_fixture.h"

#include "../common/prompt_script.h"
#include "app/recordmaint.h"
#include "app/settings.h"
#include "app_fixture.h"
#include "database/dbstart.h"
#include "foundation/registry.h"
#include "foundation/globals.h"
#include "foundation/prompt.h"
#include "images/files/savefaults.h"
#include "resources/strings.h"

#include <cwchar>
#include <map>

using namespace mainwndtest;

namespace {

std::wstring Str(UINT id)
{
    wchar_t text[512];
    const int n = LoadStringW(hInstance, id, text, 512);
    return n > 0 ? std::wstring(text, n) : std::wstring();
}

class RecordMaintenance : public MainWndSite {
protected:
    std::wstring Key(DWORD key) { return std::to_wstring(key); }
    long ImageCount(DWORD patient) { return Count(L"Snimok", L"Patient=" + Key(patient)); }
    std::vector<DWORD> MakeNamedImages(DWORD patient, int count)
    {
        std::vector<DWORD> keys = MakeImages(patient, count);
        // The files of each new image are the only ones in the folders with its key.
        for (DWORD key : keys) {
            wchar_t suffix[16];
            _snwprintf(suffix, 16, L"%.10u", key);
            suffix[15] = 0;
            WIN32_FIND_DATAW data;
            HANDLE find = FindFirstFileW((std::wstring(ImageFolder) + L"*" + suffix + L".xmg").c_str(), &data);
            if (find != INVALID_HANDLE_VALUE) {
                std::wstring name = data.cFileName;
                names_[key] = name.substr(0, name.size() - 4);
                FindClose(find);
            }
        }
        return keys;
    }
    std::wstring ImageFile(const std::wstring& name) { return std::wstring(ImageFolder) + name + L".xmg"; }
    std::wstring IconFile(const std::wstring& name) { return std::wstring(IconFolder) + name + L".thb"; }
    std::wstring ArchiveFile(const std::wstring& name, const wchar_t* ext) { return std::wstring(ArchivePath) + name + ext; }

    std::map<DWORD, std::wstring> names_;
};

// ---- the simulated archive disk ------------------------------------------------------

DWORD gDiskSerials[8];
int gDiskCount = 0;
int gDiskReads = 0;

// Each read gives the next disk of the list; the last one stays in the drive.
BOOL FakeVolume(const wchar_t*, DWORD* serial)
{
    const int i = gDiskReads < gDiskCount ? gDiskReads : gDiskCount - 1;
    ++gDiskReads;
    if (gDiskSerials[i] == 0) {
        SetLastError(ERROR_NOT_READY);
        return FALSE;
    }
    *serial = gDiskSerials[i];
    return TRUE;
}

struct FakeDisks {
    FakeDisks(std::initializer_list<DWORD> serials)
    {
        gDiskCount = 0;
        gDiskReads = 0;
        for (DWORD s : serials)
            gDiskSerials[gDiskCount++] = s;
        SetVolumeSerialFunction(FakeVolume);
    }
    ~FakeDisks() { SetVolumeSerialFunction(nullptr); }
};

}  // namespace

// ---- patients ----------------------------------------------------------------------------

TEST_F(RecordMaintenance, DeletingAPatientAnsweredNoDeletesNothing)
{
    const DWORD patient = static_cast<DWORD>(patients_[0]);
    MakeImages(patient, 1);
    PromptScript prompts({IDNO});
    EXPECT_FALSE(DeletePatient(patient, nullptr));
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(Str(IDS_PATIENT_DELETE), prompts.Last().caption);
    EXPECT_NE(std::wstring::npos, prompts.Last().text.find(L"?"));
    EXPECT_EQ(UINT(MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2 | MB_SYSTEMMODAL), prompts.Last().flags);
    EXPECT_EQ(1, Count(L"Patient", L"Patient=" + Key(patient)));
    EXPECT_EQ(1, ImageCount(patient));
}

TEST_F(RecordMaintenance, DeletingAPatientAnsweredYesDeletesHimAndHisImageRows)
{
    const DWORD patient = static_cast<DWORD>(patients_[0]);
    MakeImages(patient, 2);
    PromptScript prompts({IDYES});
    EXPECT_TRUE(DeletePatient(patient, nullptr));
    EXPECT_EQ(0, Count(L"Patient", L"Patient=" + Key(patient)));
    EXPECT_EQ(0, ImageCount(patient));
    EXPECT_EQ(static_cast<long>(patients_.size() - 1), Count(L"Patient"));
}

TEST_F(RecordMaintenance, AFailedQuestionIsNoConsent)
{
    const DWORD patient = static_cast<DWORD>(patients_[0]);
    PromptScript prompts({0});   // the box could not be shown
    EXPECT_FALSE(DeletePatient(patient, nullptr));
    EXPECT_EQ(1, Count(L"Patient", L"Patient=" + Key(patient)));
}

TEST_F(RecordMaintenance, APatientWithNoRowIsNeitherAskedNorDeleted)
{
    PromptScript prompts;
    EXPECT_FALSE(DeletePatient(999999, nullptr));
    EXPECT_EQ(0u, prompts.Count());
    EXPECT_EQ(static_cast<long>(patients_.size()), Count(L"Patient"));
}

TEST_F(RecordMaintenance, ThePromptNamesThePatient)
{
    const DWORD patient = static_cast<DWORD>(patients_[0]);
    ASSERT_TRUE(Exec(L"UPDATE Patient SET Name1='Smith', Name2='John', Name3='Peter', Birthday=NULL "
                     L"WHERE Patient=" + Key(patient) + L";"));
    PromptScript prompts({IDNO});
    DeletePatient(patient, nullptr);
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(0u, prompts.Last().text.find(L"Are you sure you want to delete John P. Smith ?"))
        << std::string(prompts.Last().text.begin(), prompts.Last().text.end());
}

// ---- images -------------------------------------------------------------------------------

TEST_F(RecordMaintenance, DeletingAnImageRecordLeavesItRemoved)
{
    const DWORD patient = static_cast<DWORD>(patients_[1]);
    const DWORD image = MakeImages(patient, 1)[0];
    EXPECT_TRUE(DeleteImageRecord(nullptr, image));
    EXPECT_EQ(1, Count(L"Snimok", L"Snimok=" + Key(image) + L" AND [File name] IS NULL AND [Disk]=0"));
}

TEST_F(RecordMaintenance, DeletingAnImageCompletelyRemovesItsRow)
{
    const DWORD patient = static_cast<DWORD>(patients_[1]);
    const std::vector<DWORD> images = MakeImages(patient, 2);
    EXPECT_TRUE(DeleteImageRecordComplete(nullptr, images[0]));
    EXPECT_EQ(0, Count(L"Snimok", L"Snimok=" + Key(images[0])));
    EXPECT_EQ(1, ImageCount(patient));
}

TEST_F(RecordMaintenance, AFailedImageDeleteIsShownUnderItsCaption)
{
    // Without the session the statement cannot even be made.
    PromptScript prompts({IDOK});
    ASSERT_TRUE(Exec(L"DROP TABLE FixSnimok;"));
    EXPECT_FALSE(DeleteImageRecord(nullptr, 1));
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(Str(IDS_DELETE_IMAGE_ERROR), prompts.Last().caption);
}

// ---- moving ----------------------------------------------------------------------------------

TEST_F(RecordMaintenance, MovingAnImageGivesItToTheOtherPatientOnce)
{
    const DWORD from = static_cast<DWORD>(patients_[2]);
    const DWORD to = static_cast<DWORD>(patients_[3]);
    const DWORD image = MakeNamedImages(from, 1)[0];
    const std::wstring oldName = names_[image];
    ASSERT_FALSE(oldName.empty());
    ASSERT_TRUE(Exec(L"UPDATE Snimok SET Apicriz='a fracture' WHERE Snimok=" + Key(image) + L";"));
    // An image that came from another workstation: its copies there are its own.
    ASSERT_TRUE(Exec(L"INSERT INTO MergeSnimok (Guid, Snimok) VALUES ('{merged}', " + Key(image) + L");"));
    PromptScript prompts;
    EXPECT_TRUE(MoveImageToPatient(nullptr, image, to));
    EXPECT_EQ(0, ImageCount(from));
    ASSERT_EQ(1, ImageCount(to));
    const long moved = QueryInt(L"SELECT Snimok FROM Snimok WHERE Patient=" + Key(to) + L";");
    EXPECT_NE(static_cast<long>(image), moved);
    EXPECT_EQ(1, Count(L"Snimok", L"Snimok=" + std::to_wstring(moved) + L" AND Apicriz LIKE 'a fracture'"));
    EXPECT_EQ(moved, QueryInt(L"SELECT Snimok FROM MergeSnimok WHERE Guid='{merged}';")) << "its merge identity goes with it";
    // The old file went, the new one and the thumbnail under its name are there.
    EXPECT_FALSE(FileExists(ImageFile(oldName)));
    EXPECT_FALSE(FileExists(IconFile(oldName)));
    wchar_t suffix[32];
    _snwprintf(suffix, 32, L"%.10lu%.10lu", static_cast<unsigned long>(to), static_cast<unsigned long>(moved));
    suffix[31] = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((std::wstring(ImageFolder) + L"*" + suffix + L".xmg").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, find) << std::string(suffix, suffix + wcslen(suffix));
    FindClose(find);
    std::wstring newName = data.cFileName;
    newName.resize(newName.size() - 4);
    EXPECT_TRUE(FileExists(IconFile(newName)));
}

TEST_F(RecordMaintenance, MovingAnImageWithoutAFileChangesOnlyItsPatient)
{
    const DWORD from = static_cast<DWORD>(patients_[2]);
    const DWORD to = static_cast<DWORD>(patients_[3]);
    const DWORD image = MakeImages(from, 1)[0];
    ASSERT_TRUE(DeleteImageRecord(nullptr, image));   // removed: no file name
    EXPECT_TRUE(MoveImageToPatient(nullptr, image, to));
    EXPECT_EQ(1, Count(L"Snimok", L"Snimok=" + Key(image) + L" AND Patient=" + Key(to)));
}

TEST_F(RecordMaintenance, MovingAMissingImageSaysSo)
{
    PromptScript prompts({IDOK});
    EXPECT_FALSE(MoveImageToPatient(nullptr, 999999, static_cast<DWORD>(patients_[0])));
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(Str(IDS_MOVE_PICTURE_NOT_FOUND), prompts.Last().text);
    EXPECT_EQ(Str(IDS_MOVING_PICTURE_FILE), prompts.Last().caption);
}

TEST_F(RecordMaintenance, AnUnreadableFileStopsTheMoveWithTheOldImageInPlace)
{
    const DWORD from = static_cast<DWORD>(patients_[2]);
    const DWORD to = static_cast<DWORD>(patients_[3]);
    const DWORD image = MakeNamedImages(from, 1)[0];
    ASSERT_TRUE(DeleteFileW(ImageFile(names_[image]).c_str()));
    PromptScript prompts({IDOK, IDOK});   // the loader's own message, then the move's
    EXPECT_FALSE(MoveImageToPatient(nullptr, image, to));
    EXPECT_EQ(Str(IDS_MOVE_LOAD_ERROR), prompts.Last().text);
    EXPECT_EQ(1, Count(L"Snimok", L"Snimok=" + Key(image) + L" AND Patient=" + Key(from)));
    EXPECT_EQ(0, ImageCount(to));
}

// A failure at each step after the file was read leaves exactly the old image.
class MoveFailure : public RecordMaintenance, public ::testing::WithParamInterface<int> {};

TEST_P(MoveFailure, LeavesOneImageWithTheOldPatient)
{
    const DWORD from = static_cast<DWORD>(patients_[2]);
    const DWORD to = static_cast<DWORD>(patients_[3]);
    const DWORD image = MakeNamedImages(from, 1)[0];
    const std::wstring oldName = names_[image];
    const long imagesBefore = Count(L"Snimok");
    switch (GetParam()) {
    case 0: InjectSaveFailure(SaveStep::InsertRow, E_FAIL); break;
    case 1: InjectSaveFailure(SaveStep::WriteImageFile, ERROR_DISK_FULL); break;
    case 2: InjectSaveFailure(SaveStep::Commit, E_FAIL); break;
    case 3: InjectMoveFailure(MoveStep::CopyRecord); break;
    case 4: InjectMoveFailure(MoveStep::DeleteOldRecord); break;
    }
    PromptScript prompts({IDOK, IDOK});
    EXPECT_FALSE(MoveImageToPatient(nullptr, image, to));
    EXPECT_GE(prompts.Count(), 1u);
    InjectSaveFailure(SaveStep::None, 0);
    InjectMoveFailure(MoveStep::None);
    EXPECT_EQ(imagesBefore, Count(L"Snimok"));
    EXPECT_EQ(1, Count(L"Snimok", L"Snimok=" + Key(image) + L" AND Patient=" + Key(from)));
    EXPECT_EQ(0, ImageCount(to));
    EXPECT_TRUE(FileExists(ImageFile(oldName)));
    EXPECT_TRUE(FileExists(IconFile(oldName)));
    // No file of a new image stays behind.
    int files = 0;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((std::wstring(ImageFolder) + L"*.xmg").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do
            ++files;
        while (FindNextFileW(find, &data));
        FindClose(find);
    }
    EXPECT_EQ(1, files);
}

INSTANTIATE_TEST_SUITE_P(EachStep, MoveFailure, ::testing::Values(0, 1, 2, 3, 4));

// ---- restoring from the archive disk ------------------------------------------------------

class ArchiveRestore : public RecordMaintenance {
protected:
    static constexpr DWORD kSerial = 0x1234ABCD;
    // An image whose files are only on the archive disk "MO-7".
    DWORD ArchivedImage()
    {
        const DWORD image = MakeNamedImages(static_cast<DWORD>(patients_[5]), 1)[0];
        name_ = names_[image];
        EXPECT_TRUE(MoveFileW(ImageFile(name_).c_str(), ArchiveFile(name_, L".xmg").c_str()));
        EXPECT_TRUE(MoveFileW(IconFile(name_).c_str(), ArchiveFile(name_, L".thb").c_str()));
        EXPECT_TRUE(Exec(L"INSERT INTO Arj (Arj, Name) VALUES (" + std::to_wstring(static_cast<long>(kSerial)) +
                         L", 'MO-7');"));
        EXPECT_TRUE(Exec(L"UPDATE Snimok SET [Disk]=0, Arj=" + std::to_wstring(static_cast<long>(kSerial)) +
                         L" WHERE Snimok=" + Key(image) + L";"));
        return image;
    }
    long OnDisk(DWORD image) { return QueryInt(L"SELECT [Disk] FROM Snimok WHERE Snimok=" + Key(image) + L";"); }
    std::wstring name_;
};

TEST_F(ArchiveRestore, TheRightDiskGivesTheFilesBack)
{
    const DWORD image = ArchivedImage();
    FakeDisks disks({kSerial});
    PromptScript prompts;
    EXPECT_TRUE(RestoreImageFromArchive(nullptr, image));
    EXPECT_EQ(1, OnDisk(image));
    EXPECT_TRUE(FileExists(ImageFile(name_)));
    EXPECT_TRUE(FileExists(IconFile(name_)));
}

// A row's name that names files not of its image's own: another live image's in another case (the file system
// compares names without case), the short name of another file on the archive disk. The restore and the move stop
// at a box that names it, and the other image's files stay as they are, also where the restore's change of the row
// would fail behind another session's write lock and its copies be deleted again.
TEST_F(ArchiveRestore, NamesOfAnotherImagesFilesAreRefused)
{
    const DWORD patient = static_cast<DWORD>(patients_[5]);
    const std::wstring serial = std::to_wstring(static_cast<long>(kSerial));
    ASSERT_TRUE(Exec(L"INSERT INTO Arj (Arj, Name) VALUES (" + serial + L", 'MO-7');"));
    const std::wstring longName = L"L0000000000000002";
    ASSERT_TRUE(CopyFileW(ImageFile(names_[MakeNamedImages(patient, 1)[0]]).c_str(),
                          ArchiveFile(longName, L".xmg").c_str(), FALSE));
    wchar_t shortPath[MAX_PATH] = L"";
    ASSERT_GT(GetShortPathNameW(ArchiveFile(longName, L".xmg").c_str(), shortPath, MAX_PATH), 0u);
    std::wstring alias = wcsrchr(shortPath, L'\\') + 1;
    alias.resize(alias.rfind(L'.'));
    ASSERT_NE(longName, alias);
    struct Case {
        const char* what;
        bool move;                          // moved to another patient, else restored
        std::wstring name;                  // its row's name
        std::wstring live;                  // another live image's name ("" none): on the hard disk when moved
        std::vector<std::wstring> others;   // the other image's files, copies of a picture
        bool locked;                        // another session holds the write lock meanwhile
    };
    const Case cases[] = {
        {"restored beside a live image's thumbnail", false, L"s0000000001", L"S0000000001",
         {IconFile(L"S0000000001")}, true},
        {"moved, a live image's files", true, L"m0000000001", L"M0000000001",
         {ImageFile(L"M0000000001"), IconFile(L"M0000000001")}, false},
        {"restored, the short name of another file on the archive disk", false, alias, L"",
         {ArchiveFile(longName, L".xmg")}, false},
    };
    const auto size = [](const std::wstring& path) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        return GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DWORD image = MakeNamedImages(patient, 1)[0];
        const std::wstring made = names_[image];
        std::vector<DWORD> sizes;
        for (const std::wstring& other : c.others) {
            const bool icon = other.compare(other.size() - 4, 4, L".thb") == 0;
            ASSERT_TRUE(CopyFileW((icon ? IconFile(made) : ImageFile(made)).c_str(), other.c_str(), FALSE));
            sizes.push_back(size(other));
        }
        // A restored image's copies are on the archive disk under its name (where the short name finds the other
        // file, that file is all there is).
        if (!c.move) {
            CopyFileW(ImageFile(made).c_str(), ArchiveFile(c.name, L".xmg").c_str(), TRUE);
            CopyFileW(IconFile(made).c_str(), ArchiveFile(c.name, L".thb").c_str(), TRUE);
        }
        ASSERT_TRUE(DeleteFileW(ImageFile(made).c_str()));
        ASSERT_TRUE(DeleteFileW(IconFile(made).c_str()));
        const std::wstring disk = c.move ? L"1" : L"0", arj = c.move ? L"NULL" : serial;
        ASSERT_TRUE(Exec(L"UPDATE Snimok SET [Disk]=" + disk + L", Arj=" + arj + L", [File name]='" + c.name +
                         L"' WHERE Snimok=" + Key(image) + L";"));
        if (!c.live.empty()) {
            ASSERT_TRUE(Exec(L"INSERT INTO Snimok (Patient, [Disk], Arj, [File name]) VALUES (" + Key(patient) +
                             L", " + disk + L", " + arj + L", '" + c.live + L"');"));
        }

        PromptScript prompts({IDOK});
        DODBPtr<DODBSession> other;
        if (c.locked) {
            ASSERT_TRUE(SUCCEEDED(g_DbSource->CreateSession(other)));
            ASSERT_TRUE(SUCCEEDED(other->BeginTx()));
        }
        if (c.move) {
            EXPECT_FALSE(MoveImageToPatient(nullptr, image, static_cast<DWORD>(patients_[3])));
        } else {
            FakeDisks disks({kSerial});
            EXPECT_FALSE(RestoreImageFromArchive(nullptr, image));
            EXPECT_FALSE(FileExists(ImageFile(c.name)));
        }
        if (c.locked)
            other->AbortTx();
        EXPECT_EQ(1u, prompts.Count());
        const std::wstring text = Str(IDS_STORED_NAMES_SKIPPED);
        EXPECT_EQ(0u, prompts.Last().text.find(text.substr(0, text.find(L'\n'))));
        EXPECT_EQ(prompts.Last().text.size() - c.name.size(), prompts.Last().text.rfind(c.name));
        EXPECT_EQ(1, Count(L"Snimok", L"Snimok=" + Key(image) + L" AND Patient=" + Key(patient) +
                                          L" AND [Disk]=" + disk));
        for (size_t i = 0; i < c.others.size(); ++i)
            EXPECT_EQ(sizes[i], size(c.others[i])) << "the other image's file " << i;
    }
}

// The archive folder as a site's registry gives it: without its separator,
// and as a bare drive letter that names the archive disk.
TEST_F(ArchiveRestore, AnArchiveFolderReadWithoutItsSeparatorGivesTheFilesBack)
{
    const DWORD image = ArchivedImage();
    std::wstring folder = ArchivePath;
    folder.pop_back();
    apptest::TestKey key;
    key.SetString(L"", folder, L"Arj");
    DRegKeyHandle root;
    ASSERT_EQ(ERROR_SUCCESS, root.Open(key.Root(), key.Path(), KEY_READ));
    LoadArchiveSettings(root);
    EXPECT_EQ(folder + L"\\", ArchivePath);
    FakeDisks disks({kSerial});
    PromptScript prompts;
    EXPECT_TRUE(RestoreImageFromArchive(nullptr, image));
    EXPECT_EQ(0u, prompts.Count());
    EXPECT_EQ(1, OnDisk(image));
    EXPECT_TRUE(FileExists(ImageFile(name_)));
    EXPECT_TRUE(FileExists(IconFile(name_)));
}

TEST_F(ArchiveRestore, AnArchiveDriveGivenWithoutItsSeparatorGivesTheFilesBack)
{
    // The archive disk is the root of the drive the site's folders are on.
    const DWORD image = ArchivedImage();
    const std::wstring drive = std::wstring(ArchivePath).substr(0, 2);
    ASSERT_EQ(L':', drive[1]);
    const std::wstring rootImage = drive + L"\\" + name_ + L".xmg";
    const std::wstring rootIcon = drive + L"\\" + name_ + L".thb";
    ASSERT_TRUE(MoveFileW(ArchiveFile(name_, L".xmg").c_str(), rootImage.c_str()));
    ASSERT_TRUE(MoveFileW(ArchiveFile(name_, L".thb").c_str(), rootIcon.c_str()));
    struct Remove {
        std::wstring a, b;
        ~Remove()
        {
            DeleteFileW(a.c_str());
            DeleteFileW(b.c_str());
        }
    } remove{rootImage, rootIcon};

    apptest::TestKey key;
    key.SetString(L"", drive, L"Arj");
    DRegKeyHandle root;
    ASSERT_EQ(ERROR_SUCCESS, root.Open(key.Root(), key.Path(), KEY_READ));
    LoadArchiveSettings(root);
    EXPECT_EQ(drive + L"\\", ArchivePath);
    FakeDisks disks({kSerial});
    PromptScript prompts;
    EXPECT_TRUE(RestoreImageFromArchive(nullptr, image));
    EXPECT_EQ(0u, prompts.Count());
    EXPECT_EQ(1, OnDisk(image));
    EXPECT_TRUE(FileExists(ImageFile(name_)));
    EXPECT_TRUE(FileExists(IconFile(name_)));
}

TEST_F(ArchiveRestore, AWrongDiskAsksForTheRightOneByName)
{
    const DWORD image = ArchivedImage();
    FakeDisks disks({0x55, kSerial});
    PromptScript prompts({IDOK});
    EXPECT_TRUE(RestoreImageFromArchive(nullptr, image));
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_NE(std::wstring::npos, prompts.Last().text.find(L"MO-7 (1234-ABCD)")) << "the disk's name and serial";
    EXPECT_EQ(1, OnDisk(image));
}

TEST_F(ArchiveRestore, CancelAtTheWrongDiskLeavesTheImageArchived)
{
    const DWORD image = ArchivedImage();
    FakeDisks disks({0x55});
    PromptScript prompts({IDCANCEL});
    EXPECT_FALSE(RestoreImageFromArchive(nullptr, image));
    EXPECT_EQ(0, OnDisk(image));
    EXPECT_FALSE(FileExists(ImageFile(name_)));
}

TEST_F(ArchiveRestore, AFileAlreadyThereFailsTheCopyWithCode80)
{
    const DWORD image = ArchivedImage();
    ASSERT_TRUE(CopyFileW(ArchiveFile(name_, L".xmg").c_str(), ImageFile(name_).c_str(), FALSE));
    FakeDisks disks({kSerial});
    PromptScript prompts({IDCANCEL});
    EXPECT_FALSE(RestoreImageFromArchive(nullptr, image));
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_NE(std::wstring::npos, prompts.Last().text.find(L"Internal Error 80"));
    EXPECT_EQ(0, OnDisk(image));
}

// The user answers the copy's error box with OK after clearing the way.
std::wstring gBlockingFile;
int gClearingAnswers = 0;
int ClearAndRetry(HWND, const wchar_t*, const wchar_t*, UINT)
{
    ++gClearingAnswers;
    DeleteFileW(gBlockingFile.c_str());
    return IDOK;
}

TEST_F(ArchiveRestore, OkAfterAFailedCopyTriesAgain)
{
    const DWORD image = ArchivedImage();
    gBlockingFile = ImageFile(name_);
    ASSERT_TRUE(CopyFileW(ArchiveFile(name_, L".xmg").c_str(), gBlockingFile.c_str(), FALSE));
    FakeDisks disks({kSerial});
    gClearingAnswers = 0;
    PromptHook previous = SetPromptHook(ClearAndRetry);
    const BOOL restored = RestoreImageFromArchive(nullptr, image);
    SetPromptHook(previous);
    EXPECT_TRUE(restored);
    EXPECT_EQ(1, gClearingAnswers);
    EXPECT_EQ(2, gDiskReads);   // the disk is checked again before the second copy
    EXPECT_EQ(1, OnDisk(image));
    EXPECT_TRUE(FileExists(ImageFile(name_)));
}

TEST_F(ArchiveRestore, AMissingArchiveThumbnailDoesNotStopTheRestore)
{
    const DWORD image = ArchivedImage();
    ASSERT_TRUE(DeleteFileW(ArchiveFile(name_, L".thb").c_str()));
    FakeDisks disks({kSerial});
    PromptScript prompts;
    EXPECT_TRUE(RestoreImageFromArchive(nullptr, image));
    EXPECT_EQ(1, OnDisk(image));
    EXPECT_FALSE(FileExists(IconFile(name_)));
}

TEST_F(ArchiveRestore, ANotReadyDriveAsksForTheDiskAgain)
{
    const DWORD image = ArchivedImage();
    FakeDisks disks({0, kSerial});
    PromptScript prompts({IDOK});
    EXPECT_TRUE(RestoreImageFromArchive(nullptr, image));
    EXPECT_EQ(1u, prompts.Count());
}

TEST_F(ArchiveRestore, AnImageOnTheHardDiskIsNotRestored)
{
    const DWORD image = MakeImages(static_cast<DWORD>(patients_[5]), 1)[0];
    FakeDisks disks({kSerial});
    PromptScript prompts;
    EXPECT_FALSE(RestoreImageFromArchive(nullptr, image));
    EXPECT_EQ(0, gDiskReads);
}

TEST_F(ArchiveRestore, AFullDataDiskRefusesTheRestore)
{
    const DWORD image = ArchivedImage();
    SpaceMin = 0xFFFFFFFF;
    PromptScript prompts({IDOK});
    EXPECT_FALSE(RestoreImageFromArchive(nullptr, image));
    SpaceMin = 0;
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(Str(IDS_MAIN_DISK_ALMOST_FULL), prompts.Last().text);
}

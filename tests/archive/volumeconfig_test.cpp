// The archive volume configuration ("diskcfg.ini"): reading, the reserve
// still outstanding, the template values, and the text the preparation
// window writes; and the archive's arithmetic (room, average, slots, the
// backup statement, path roots).
#include "archive_fixture.h"

#include "archive/arjroom.h"
#include "archive/volumeconfig.h"

#include <gtest/gtest.h>

using namespace arjtest;

namespace {

// Writes a UTF-16 text with its mark, or the bytes as they are.
void WriteText(const std::wstring& path, const std::wstring& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    std::wstring marked = L"\xFEFF" + text;
    DWORD written = 0;
    WriteFile(file, marked.c_str(), static_cast<DWORD>(marked.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
}

class VolumeConfigTest : public ::testing::Test {
protected:
    ArjVolumeConfig Load(const std::wstring& text)
    {
        WriteText(dir_.Path() + L"diskcfg.ini", text);
        ArjVolumeConfig config;
        config.SetFolder(dir_.Path().c_str());
        config.SetFile(L"diskcfg.ini");
        EXPECT_EQ(1, config.Load());
        return config;
    }
    extest::TempDir dir_{L"tfvolume"};
};

}  // namespace

TEST_F(VolumeConfigTest, ReserveLessTheListedFilesPresentIsOutstanding)
{
    WriteFileOfSize(dir_.Path() + L"hospital.bak", 50ull * 1048576);
    ArjVolumeConfig config = Load(L"/* Unicode text. */\r\n\r\nReserv=200\r\nFile=\"hospital.bak\"\r\n"
                                  L"File=\"hospital.bak1\"\r\n");
    EXPECT_EQ(200ull * 1048576, config.Reserve());
    ASSERT_EQ(2u, config.Files().size());
    EXPECT_EQ(L"hospital.bak", config.Files()[0].name);
    EXPECT_EQ(L"hospital.bak1", config.Files()[1].name);
    ASSERT_EQ(1, config.CheckFiles());
    EXPECT_EQ(150ull * 1048576, config.Outstanding());
    EXPECT_EQ(50ull * 1048576, config.Files()[0].size);
    EXPECT_EQ(0ull, config.Files()[1].size);
    EXPECT_EQ(1, config.Compare(150ull * 1048576 + 1));
    EXPECT_EQ(0, config.Compare(150ull * 1048576));
}

TEST_F(VolumeConfigTest, ListedFilesLargerThanTheReserveLeaveNothingOutstanding)
{
    WriteFileOfSize(dir_.Path() + L"a.bak", 3ull * 1048576);
    ArjVolumeConfig config = Load(L"Reserv=2\r\nFile=\"a.bak\"\r\n");
    ASSERT_EQ(1, config.CheckFiles());
    EXPECT_EQ(0ull, config.Outstanding());
    EXPECT_EQ(1, config.Compare(1));
}

TEST_F(VolumeConfigTest, EmptyOrMissingFileHasNoReserveAndKeepsTheDefaults)
{
    HANDLE empty = CreateFileW((dir_.Path() + L"diskcfg.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                               nullptr);
    CloseHandle(empty);
    ArjVolumeConfig config;
    config.SetFolder(dir_.Path().c_str());
    config.SetFile(L"diskcfg.ini");
    EXPECT_EQ(1, config.Load());
    EXPECT_EQ(0ull, config.Reserve());
    EXPECT_TRUE(config.Files().empty());
    EXPECT_EQ(150u, config.GetMinReserv());
    EXPECT_EQ(100u, config.GetStep());
    EXPECT_EQ(4u, config.GetNSteps());
    EXPECT_EQ(1u, config.GetNCopies());

    ArjVolumeConfig missing;
    missing.SetFolder(dir_.Path().c_str());
    missing.SetFile(L"absent.ini");
    EXPECT_EQ(1, missing.Load());
    EXPECT_EQ(1, missing.CheckFiles());
    EXPECT_EQ(0ull, missing.Outstanding());
}

TEST_F(VolumeConfigTest, KeywordsIgnoreCaseBlanksAndCommentsAndMatchByTheirStart)
{
    ArjVolumeConfig config = Load(L"/* a comment */ RESERV = 7 \r\n reservation=9\r\nFiles = \"x.bak\"\r\n"
                                  L"minreserv=10 step=20\nNSteps=3 ncopies=2");
    EXPECT_EQ(9ull * 1048576, config.Reserve()) << "a later statement overrides";
    ASSERT_EQ(1u, config.Files().size());
    EXPECT_EQ(L"x.bak", config.Files()[0].name);
    EXPECT_EQ(10u, config.GetMinReserv());
    EXPECT_EQ(20u, config.GetStep());
    EXPECT_EQ(3u, config.GetNSteps());
    EXPECT_EQ(2u, config.GetNCopies());
}

TEST_F(VolumeConfigTest, UnknownKeywordIsThrownAsOneAndAnAnsiFileIsRead)
{
    WriteText(dir_.Path() + L"diskcfg.ini", L"Reserv=1\r\nSize=4\r\n");
    ArjVolumeConfig config;
    config.SetFolder(dir_.Path().c_str());
    config.SetFile(L"diskcfg.ini");
    int thrown = 0;
    try {
        config.Load();
    } catch (int code) {
        thrown = code;
    }
    EXPECT_EQ(ArjVolumeConfig::kUnknownKeyword, thrown);

    HANDLE file =
        CreateFileW((dir_.Path() + L"ansi.ini").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char ansi[] = "Reserv=3\r\nFile=\"a.bak\"\r\n";
    DWORD written = 0;
    WriteFile(file, ansi, sizeof ansi - 1, &written, nullptr);
    CloseHandle(file);
    config.SetFile(L"ansi.ini");
    EXPECT_EQ(1, config.Load());
    EXPECT_EQ(3ull * 1048576, config.Reserve());
    ASSERT_EQ(1u, config.Files().size());
}

TEST_F(VolumeConfigTest, LoadWithoutAPathThrowsInvalidParameter)
{
    ArjVolumeConfig config;
    DWORD thrown = 0;
    try {
        config.Load();
    } catch (DWORD code) {
        thrown = code;
    }
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), thrown);
}

TEST(VolumeConfigPaths, FolderGetsItsBackslashAndTheFullPathFollowsBothNames)
{
    ArjVolumeConfig config;
    config.SetFile(L"diskcfg.ini");
    EXPECT_TRUE(config.FullPath().empty());
    config.SetFolder(L"E:");
    EXPECT_EQ(L"E:\\", config.Folder());
    EXPECT_EQ(L"E:\\diskcfg.ini", config.FullPath());
    config.SetFolder(L"");
    EXPECT_EQ(L"\\", config.Folder());
    config.SetFolder(L"d:\\cfg\\");
    config.SetFile(L"other.ini");
    EXPECT_EQ(L"d:\\cfg\\other.ini", config.FullPath());
}

TEST(DiskCfgText, ListsTheNameOncePerCopyUnderTheReserve)
{
    const std::wstring text = BuildDiskCfgText(200, L"hospital.bak", 3);
    EXPECT_EQ(std::wstring(L"\xFEFF/* Unicode text. */\r\n\r\nReserv=200\r\nFile=\"hospital.bak\"\r\n"
                           L"File=\"hospital.bak1\"\r\nFile=\"hospital.bak2\"\r\n"),
              text);
    // At most 102 names.
    const std::wstring many = BuildDiskCfgText(1, L"a", 500);
    size_t lines = 0;
    for (size_t at = many.find(L"File="); at != std::wstring::npos; at = many.find(L"File=", at + 1))
        ++lines;
    EXPECT_EQ(102u, lines);
    EXPECT_TRUE(BuildDiskCfgText(1, L"a", 0).empty());

    // What is written reads back.
    extest::TempDir dir(L"tfvolume");
    WriteText(dir.Path() + L"diskcfg.ini", text.substr(1));
    ArjVolumeConfig config;
    config.SetFolder(dir.Path().c_str());
    config.SetFile(L"diskcfg.ini");
    ASSERT_EQ(1, config.Load());
    EXPECT_EQ(200ull * 1048576, config.Reserve());
    EXPECT_EQ(3u, config.Files().size());
}

TEST(ArchiveRoom, AnImageTakesOneClusterMoreThanItsWholeClusters)
{
    EXPECT_EQ(4096ull, AllocatedSize(true, 0, 4096));
    EXPECT_EQ(12288ull, AllocatedSize(true, 8192, 4096));
    EXPECT_EQ(8192ull, AllocatedSize(true, 4097, 4096));
    EXPECT_EQ(5000ull, AllocatedSize(true, 5000, 0)) << "unknown clusters: the size itself";
    EXPECT_EQ(3145728ull, AllocatedSize(false, 10, 4096)) << "an unreadable file counts as 3 MB";
}

TEST(ArchiveRoom, TheFreeSpaceMustExceedTheCopyAndTheReserveTogether)
{
    EXPECT_TRUE(RoomForCopy(1001, 500, 500));
    EXPECT_FALSE(RoomForCopy(1000, 500, 500));
    EXPECT_FALSE(RoomForCopy(400, 500, 0));
    EXPECT_TRUE(RoomForCopy(501, 500, 0));
}

TEST(ArchiveRoom, AverageStartsAtTheFirstImageAndMovesByATenth)
{
    EXPECT_EQ(1000u, NextAverageSize(0, 1000));
    EXPECT_EQ(1100u, NextAverageSize(1000, 2000));
    EXPECT_EQ(1000u * 9 / 10, NextAverageSize(1000, 0));
}

TEST(ArchiveRoom, BackupSlotsRunFromOneToTheCountAndWrap)
{
    EXPECT_EQ(1u, NextBackupSlot(0, 3));
    EXPECT_EQ(2u, NextBackupSlot(1, 3));
    EXPECT_EQ(3u, NextBackupSlot(2, 3));
    EXPECT_EQ(1u, NextBackupSlot(3, 3));
    EXPECT_EQ(1u, NextBackupSlot(7, 3)) << "a lowered count starts again at 1";
    EXPECT_EQ(0u, NextBackupSlot(0, 0));
}

TEST(ArchiveRoom, BackupStatementBracketsTheCatalogAndDoublesQuotes)
{
    EXPECT_EQ(L"BACKUP DATABASE [Hospital] TO DISK='C:\\Backup\\1\\h.bak' WITH INIT",
              BackupStatement(L"Hospital", L"C:\\Backup\\1\\h.bak"));
    EXPECT_EQ(L"BACKUP DATABASE [a]]b] TO DISK='C:\\O''Brien\\h.bak' WITH INIT",
              BackupStatement(L"a]b", L"C:\\O'Brien\\h.bak"));
}

TEST(ArchiveRoom, PathRootsOfDrivesAndShares)
{
    std::wstring root;
    EXPECT_TRUE(GetPathRoot2(L"E:\\Images\\", &root));
    EXPECT_EQ(L"E:\\", root);
    EXPECT_TRUE(GetPathRoot2(L"\\\\server\\share\\Images", &root));
    EXPECT_EQ(L"\\\\server\\share\\", root);
    EXPECT_FALSE(GetPathRoot2(L"\\\\server\\share", &root));
    EXPECT_FALSE(GetPathRoot2(L"E:", &root));
    EXPECT_FALSE(GetPathRoot2(L"", &root));
    EXPECT_EQ(L"E:\\Images\\", WithBackslash(L"E:\\Images"));
    EXPECT_EQ(L"E:\\Images\\", WithBackslash(L"E:\\Images\\"));
}

// The removable drive record on simulated disks, the "no disk" codes, and the
// archive registry values.
#include "disks_fixture.h"

#include "exchange/disks/arjregistry.h"
#include "exchange/disks/removabledrive.h"
#include "foundation/settingskey.h"

#include <gtest/gtest.h>

namespace extest {
namespace {

TEST(RemovableDriveRecord, ReadsSerialAndLabelAndKeepsThemWhenTheDiskGoes)
{
    SimulatedDrive drive;
    ASSERT_TRUE(drive.Leased());
    TempDir disk(L"tfdrive");
    RemovableDrive record;
    EXPECT_EQ(0u, record.GetSerial());
    wchar_t label[kDiskLabelChars] = L"x";
    EXPECT_FALSE(record.GetLabel(label));
    ASSERT_TRUE(drive.Insert(disk.Path(), 0xFEDCBA98, "MO_0042"));
    ASSERT_TRUE(record.Query(drive.Root().c_str()));
    EXPECT_EQ(0xFEDCBA98u, record.GetSerial());
    EXPECT_EQ(-19088744, SerialToKey(record.GetSerial()));
    EXPECT_EQ(0xFEDCBA98u, KeyToSerial(SerialToKey(record.GetSerial())));
    ASSERT_TRUE(record.GetLabel(label));
    EXPECT_STREQ(L"MO_0042", label);
    DWORD megabytes = 0;
    EXPECT_TRUE(record.GetFreeMB(&megabytes));
    ASSERT_TRUE(drive.Eject());
    EXPECT_FALSE(record.Query());
    EXPECT_TRUE(IsNoDiskError(record.GetLastError())) << record.GetLastError();
    EXPECT_EQ(0xFEDCBA98u, record.GetSerial());
    EXPECT_FALSE(record.GetFreeMB(&megabytes));
}

TEST(RemovableDriveRecord, TheRootComesFromThePathsFirstCharacter)
{
    RemovableDrive record;
    record.SetLetter(L"e:\\Arj\\Images");
    EXPECT_STREQ(L"e:\\", record.Root());
    record.SetLetter(L"");
    EXPECT_STREQ(L"", record.Root());
    EXPECT_FALSE(record.Query());
}

TEST(RemovableDriveRecord, EveryNoDiskCodeIsOne)
{
    for (DWORD code : {21u, 3u, 15u, 1112u})
        EXPECT_TRUE(IsNoDiskError(code)) << code;
    for (DWORD code : {0u, 2u, 5u, 19u, 87u})
        EXPECT_FALSE(IsNoDiskError(code)) << code;
}

class ArchiveRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        path_ = L"Software\\TobalFluoroTests\\" + UniqueName(L"arjreg");
        SetSettingsRoot({HKEY_CURRENT_USER, path_.c_str()});
    }
    void TearDown() override
    {
        SetSettingsRoot({nullptr, nullptr});
        RegDeleteTreeW(HKEY_CURRENT_USER, path_.c_str());
    }
    std::wstring path_;
};

TEST_F(ArchiveRegistry, TextsDwordsAndBinariesGoBackAndForth)
{
    ASSERT_TRUE(ArjRegWrite(kSynDbKey, kSynDbImgDir, REG_SZ, L"K:\\Archive\\", 0));
    wchar_t text[64] = L"";
    DWORD size = 64;
    ASSERT_TRUE(ArjRegRead(kSynDbKey, kSynDbImgDir, REG_SZ, text, &size));
    EXPECT_STREQ(L"K:\\Archive\\", text);
    EXPECT_EQ(11u, size);
    const DWORD value = 0x80000001;
    ASSERT_TRUE(ArjRegWrite(L"Arj", L"Limit", REG_DWORD, &value, 4));
    DWORD read = 0, bytes = 4;
    ASSERT_TRUE(ArjRegRead(L"Arj", L"Limit", REG_DWORD, &read, &bytes));
    EXPECT_EQ(value, read);
    const BYTE blob[3] = {1, 2, 3};
    ASSERT_TRUE(ArjRegWrite(L"BackupDB", L"Blob", REG_BINARY, blob, 3));
    BYTE back[8] = {};
    bytes = 8;
    ASSERT_TRUE(ArjRegRead(L"BackupDB", L"Blob", REG_BINARY, back, &bytes));
    EXPECT_EQ(3u, bytes);
    EXPECT_EQ(0, memcmp(blob, back, 3));
    EXPECT_FALSE(ArjRegWrite(L"Arj", L"Other", REG_MULTI_SZ, L"x", 0));
}

TEST_F(ArchiveRegistry, ADwordAskedAsTextIsRefusedAndAnEmptyTextIsWritten)
{
    const DWORD value = 5;
    ASSERT_TRUE(ArjRegWrite(kSynDbKey, L"Number", REG_DWORD, &value, 4));
    wchar_t text[16] = L"junk";
    DWORD size = 16;
    EXPECT_FALSE(ArjRegRead(kSynDbKey, L"Number", REG_SZ, text, &size));
    EXPECT_STREQ(L"", text);
    ASSERT_TRUE(ArjRegWrite(kSynDbKey, kSynDbLastScanDisk, REG_SZ, L"", 0));
    size = 16;
    EXPECT_TRUE(ArjRegRead(kSynDbKey, kSynDbLastScanDisk, REG_SZ, text, &size));
    EXPECT_EQ(0u, size);
    size = 16;
    EXPECT_FALSE(ArjRegRead(kSynDbKey, L"Missing", REG_SZ, text, &size));
}

TEST_F(ArchiveRegistry, ATextIsAlwaysTerminatedWithinTheBuffer)
{
    // Stored without its terminator, and longer than the reader's buffer.
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, OpenSettingsKey(kSynDbKey, KEY_WRITE, true, &key));
    const wchar_t raw[] = {L'A', L'B', L'C', L'D', L'E', L'F'};
    RegSetValueExW(key, L"Raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), sizeof raw);
    RegCloseKey(key);
    wchar_t text[8];
    wmemset(text, L'#', 8);
    DWORD size = 8;
    EXPECT_TRUE(ArjRegRead(kSynDbKey, L"Raw", REG_SZ, text, &size));
    EXPECT_STREQ(L"ABCDEF", text);
    wchar_t small[4];
    wmemset(small, L'#', 4);
    size = 4;
    EXPECT_FALSE(ArjRegRead(kSynDbKey, L"Raw", REG_SZ, small, &size));
    EXPECT_STREQ(L"", small);
}

}  // namespace
}  // namespace extest

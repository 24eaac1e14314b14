// The format worker through the disk service stand-in: the request's bytes,
// formatting under the typed name, registering in Arj with the archive
// folder made, and the refusals (a registered disk, a taken name, the
// service saying no, a duplicate serial, no service at all).
#include "archive_fixture.h"

#include "archive/formatworker.h"
#include "common/prompt_script.h"
#include "exchange/disks/disksrvclient.h"
#include "foundation/globals.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

using namespace arjtest;

namespace {

const DWORD kSerial = 0x0BADF00D;

std::string Hex(const BYTE* bytes, size_t size)
{
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
    }
    return out;
}

std::string ReadLog(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    char buffer[4096];
    DWORD read = 0;
    ReadFile(file, buffer, sizeof buffer, &read, nullptr);
    CloseHandle(file);
    return std::string(buffer, read);
}

std::wstring VolumeLabel(wchar_t letter)
{
    wchar_t root[4] = {letter, L':', L'\\', 0};
    wchar_t label[MAX_PATH + 1] = L"";
    DWORD serial = 0;
    GetVolumeInformationW(root, label, MAX_PATH + 1, &serial, nullptr, nullptr, nullptr, 0);
    return label;
}

class FormatTest : public ArchiveDbTest {
protected:
    void SetUp() override
    {
        ArchiveDbTest::SetUp();
        if (HasFatalFailure())
            return;
        log_ = data_->Path() + L"requests.log";
        service_.reset(new extest::DiskService(log_));
        ASSERT_TRUE(service_->Listening());
        disk_ = MakeDisk(0, kSerial, "OLDLABEL");
        ASSERT_TRUE(InsertDisk(disk_));
    }
    void TearDown() override
    {
        service_.reset();
        ArchiveDbTest::TearDown();
    }
    std::vector<std::wstring> ArjRows() { return Rows(L"SELECT Arj, Name FROM Arj ORDER BY Arj;"); }
    static std::wstring Row(DWORD serial, const wchar_t* name)
    {
        return std::to_wstring(static_cast<LONG>(serial)) + L"|" + name;
    }

    std::wstring log_;
    std::unique_ptr<extest::DiskService> service_;
    DiskMedium* disk_ = nullptr;
    WorkerHost host_;
};

}  // namespace

TEST(FormatRequest, TwelveCharactersFillTheNameFieldWithoutATerminator)
{
    BYTE request[kDiskSrvFormatRequestSize];
    ASSERT_TRUE(BuildFormatRequest(L'E', L"ABCDEFGHIJKL", request));
    EXPECT_EQ("02000000" "4500" "00000000" "0C00"
              "410042004300440045004600470048004900" "4A004B004C00",
              Hex(request, sizeof request));
    ASSERT_TRUE(BuildFormatRequest(L'E', L"Ab", request));
    EXPECT_EQ("02000000" "4500" "00000000" "0200" "41006200" + std::string(40, '0'), Hex(request, sizeof request));
    EXPECT_FALSE(BuildFormatRequest(L'E', L"ABCDEFGHIJKLM", request)) << "a longer name is not cut";
}

TEST_F(FormatTest, FormatAndRegisterSendsTheRequestAndRegistersTheDiskUnderItsNewName)
{
    const WorkerReport report = [&] {
        host_.StartFormat(kJobFormat | kJobRegister, L"ARCHIVE2024A");
        return host_.Finish();
    }();
    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_FALSE(report.stopsWithError) << report.Texts();
    BYTE expected[kDiskSrvFormatRequestSize];
    BuildFormatRequest(ArchiveLetter(), L"ARCHIVE2024A", expected);
    EXPECT_EQ(Hex(expected, sizeof expected) + "\r\n", ReadLog(log_)) << "one request of 36 bytes";
    EXPECT_EQ(L"ARCHIVE2024A", VolumeLabel(ArchiveLetter()));
    ASSERT_EQ(1u, ArjRows().size());
    EXPECT_EQ(Row(kSerial, L"ARCHIVE2024A"), ArjRows()[0]);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(ArchivePath)) << "the archive folder is made";
}

TEST_F(FormatTest, RegisterOnlyTakesTheDiskAsItIs)
{
    host_.StartFormat(kJobRegister, L"Disk");
    const WorkerReport report = host_.Finish();
    EXPECT_EQ(0u, report.exitCode) << report.Texts();
    EXPECT_TRUE(ReadLog(log_).empty()) << "nothing is formatted";
    ASSERT_EQ(1u, ArjRows().size());
    EXPECT_EQ(Row(kSerial, L"OLDLABEL"), ArjRows()[0]);
    EXPECT_TRUE(Exists(disk_->Folder() + L"Images"));
}

// A label the 20 characters of a disk's name hold is registered whole; a longer one is refused, saying why,
// before the disk gets its archive folder or the table a row.
TEST_F(FormatTest, LongLabelIsRegisteredWhole)
{
    for (const std::wstring label : {L"ARCHIVE-2024-WEST", L"АРХИВ-КЛИНИКИ-2024-1", L"ARCHIVE-2024-WEST-123"}) {
        SCOPED_TRACE(Narrow(label));
        const bool fits = label.size() <= 20;
        EjectDisk();
        Exec(L"DELETE FROM Arj;");
        DiskMedium* disk = MakeDisk(0, 0x66666666, Narrow(label).c_str());
        ASSERT_TRUE(InsertDisk(disk));
        host_.StartFormat(kJobRegister, L"Disk");
        const WorkerReport report = host_.Finish();
        EXPECT_EQ(0u, report.exitCode) << report.Texts();
        EXPECT_EQ(fits ? std::vector<std::wstring>{Row(0x66666666, label.c_str())} : std::vector<std::wstring>(),
                  ArjRows());
        EXPECT_EQ(fits, Exists(disk->Folder() + L"Images"));
        EXPECT_EQ(!fits, report.HasFault(FormatArchiveText(IDS_DISK_LABEL_TOO_LONG, label.c_str(), L"21", L"20")));
    }
}

TEST_F(FormatTest, RegisteredDiskIsNotRegisteredAgain)
{
    RegisterDisk(kSerial, L"OLDLABEL");
    host_.StartFormat(kJobRegister, L"Disk");
    const WorkerReport report = host_.Finish();
    EXPECT_TRUE(report.stopsWithError);
    EXPECT_TRUE(report.HasAction(Str(IDS_DISK_ALREADY_REGISTER))) << report.Texts();
    EXPECT_TRUE(report.HasFault(Str(IDS_INSERT_NEW_DISK))) << report.Texts();
    EXPECT_EQ(1u, ArjRows().size());
    EXPECT_FALSE(Exists(disk_->Folder() + L"Images"));
}

TEST_F(FormatTest, NameOfAnotherRegisteredDiskIsRefusedBeforeFormatting)
{
    RegisterDisk(0x55555555, L"TAKEN");
    host_.StartFormat(kJobFormat | kJobRegister, L"TAKEN");
    const WorkerReport report = host_.Finish();
    EXPECT_TRUE(report.stopsWithError);
    EXPECT_TRUE(report.HasAction(Str(IDS_ENTER_NEW_DISK_NAME_HINT))) << report.Texts();
    EXPECT_TRUE(report.HasFault(L"TAKEN")) << report.Texts();
    EXPECT_TRUE(ReadLog(log_).empty());
    EXPECT_EQ(L"OLDLABEL", VolumeLabel(ArchiveLetter()));
    EXPECT_EQ(1u, ArjRows().size());
}

TEST_F(FormatTest, ServiceRefusalIsShownAndNothingIsRegistered)
{
    host_.StartFormat(kJobFormat | kJobRegister, L"BAD/NAME");
    const WorkerReport report = host_.Finish();
    EXPECT_TRUE(report.stopsWithError);
    EXPECT_TRUE(report.HasAction(Str(IDS_DISK_FORMAT_ERROR))) << report.Texts();
    EXPECT_TRUE(report.HasFault(L"label may not have")) << "the service's reason: " << report.Texts();
    EXPECT_TRUE(ArjRows().empty());
    EXPECT_EQ(L"OLDLABEL", VolumeLabel(ArchiveLetter()));
}

TEST_F(FormatTest, FormattingARegisteredDiskAsksAndItsSerialCannotBeRegisteredTwice)
{
    RegisterDisk(kSerial, L"OLDLABEL");
    host_.onAsk = [](WorkerHost&, const WorkerReport& seen) {
        EXPECT_TRUE(seen.HasFault(Str(IDS_DISK_POSSIBLY_REGISTERED))) << seen.Texts();
        EXPECT_TRUE(seen.HasAction(Str(IDS_FORMAT_STOP_OR_CONTINUE))) << seen.Texts();
        return kAnswerContinue;
    };
    host_.StartFormat(kJobFormat | kJobRegister, L"FRESH");
    const WorkerReport report = host_.Finish();
    EXPECT_EQ(1, report.asks);
    EXPECT_EQ(L"FRESH", VolumeLabel(ArchiveLetter())) << "Continue formats the disk";
    EXPECT_TRUE(report.HasFault(Str(IDS_DISK_ALREADY_REGISTERED))) << report.Texts();
    ASSERT_EQ(1u, ArjRows().size());
    EXPECT_EQ(Row(kSerial, L"OLDLABEL"), ArjRows()[0]) << "the transaction was rolled back";
}

TEST_F(FormatTest, StopAtTheQuestionLeavesTheDiskAlone)
{
    RegisterDisk(kSerial, L"OLDLABEL");
    host_.StartFormat(kJobFormat, L"FRESH");
    const WorkerReport report = host_.Finish();
    EXPECT_EQ(1u, report.exitCode);
    EXPECT_TRUE(ReadLog(log_).empty());
    EXPECT_EQ(L"OLDLABEL", VolumeLabel(ArchiveLetter()));
}

TEST_F(FormatTest, DiskWithoutALabelIsNotRegistered)
{
    EjectDisk();
    DiskMedium* blank = MakeDisk(0, 0x44444444, "");
    ASSERT_TRUE(InsertDisk(blank));
    host_.StartFormat(kJobRegister, L"Disk");
    const WorkerReport report = host_.Finish();
    EXPECT_TRUE(report.HasAction(Str(IDS_DISK_LABEL_MISSING))) << report.Texts();
    EXPECT_TRUE(ArjRows().empty());
}

TEST_F(FormatTest, NoServiceTellsWhichPipeStepFailed)
{
    service_.reset();
    host_.StartFormat(kJobFormat | kJobRegister, L"NEW");
    const WorkerReport report = host_.Finish();
    EXPECT_TRUE(report.stopsWithError);
    EXPECT_TRUE(report.HasAction(Str(IDS_PIPE_CREATE_ERROR))) << report.Texts();
    EXPECT_TRUE(report.HasFault(L"(2)")) << report.Texts();
    EXPECT_TRUE(ArjRows().empty());
}

// The disk service client: the request and reply, an eject through the
// stand-in, a refusal, no service, a service that never answers (time-out),
// a stop in the middle, and at most one eject in flight.
#include "disks_fixture.h"

#include "common/window_harness.h"
#include "common/prompt_script.h"
#include "exchange/disks/disksrvclient.h"
#include "foundation/journal.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <thread>

namespace extest {
namespace {

TEST(DiskServiceRequest, TheEjectRequestIsTenLittleEndianBytes)
{
    BYTE request[kDiskSrvEjectRequestSize];
    BuildEjectRequest(L'E', request);
    const BYTE expected[] = {1, 0, 0, 0, 0, 0, 0, 0, 'E', 0};
    EXPECT_EQ(0, memcmp(expected, request, sizeof expected));
}

TEST(DiskServiceRequest, AReplyTextIsAlwaysTerminatedWithinItsField)
{
    BYTE reply[kDiskSrvReplySize];
    memset(reply, 'A', sizeof reply);   // no terminator anywhere
    reply[0] = 0;
    reply[1] = reply[2] = reply[3] = 0;
    DWORD result = 7;
    wchar_t text[kDiskSrvReplyTextChars + 1];
    ParseDiskSrvReply(reply, &result, text);
    EXPECT_EQ(0u, result);
    EXPECT_EQ(static_cast<size_t>(kDiskSrvReplyTextChars), wcslen(text));
}

class DiskServiceClient : public ::testing::Test {
protected:
    void TearDown() override { SetDiskSrvPipeName(nullptr); }
};

TEST_F(DiskServiceClient, WithoutAServiceTheOpenFailsAndNothingIsWritten)
{
    const std::wstring pipe = L"\\\\.\\pipe\\" + UniqueName(L"tfnosrv");
    SetDiskSrvPipeName(pipe.c_str());
    const DiskSrvOutcome outcome = EjectDiskViaDiskSrv(L'E');
    EXPECT_EQ(kDiskSrvOpenFailed, outcome.step);
    EXPECT_EQ(kDiskSrvOpenFailed, outcome.failedAt);
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), outcome.error);
    EXPECT_FALSE(outcome.Succeeded());
    EXPECT_EQ(static_cast<UINT>(IDS_PIPE_CREATE_ERROR), DiskSrvFailureTextId(outcome));
}

// The failed open is in the journal with the call, the pipe and the code.
TEST_F(DiskServiceClient, AFailedOpenIsJournalledWithThePipeAndTheCode)
{
    TempDir folder(L"tfjournal");
    {
        PromptScript create({IDYES});
        ASSERT_TRUE(JournalInit(folder.Path().c_str()));
    }
    const std::wstring pipe = L"\\\\.\\pipe\\" + UniqueName(L"tfnosrv");
    SetDiskSrvPipeName(pipe.c_str());
    EjectDiskViaDiskSrv(L'E');
    bool found = false;
    JournalHeader header;
    if (JournalEnter()) {
        if (JournalReadHeader(&header)) {
            for (DWORD i = 0; i < header.count; ++i) {
                JournalRecord record;
                if (JournalReadRecord(i, &record) && record.code == ERROR_FILE_NOT_FOUND &&
                    wcsstr(record.text, (L"CreateFileW " + pipe).c_str()))
                    found = true;
            }
        }
        JournalLeave();
    }
    JournalDone();
    EXPECT_TRUE(found);
}

TEST_F(DiskServiceClient, TheStandInEjectsTheDiskOfTheDrive)
{
    SimulatedDrive drive;
    ASSERT_TRUE(drive.Leased());
    TempDir disk(L"tfejdisk");
    ASSERT_TRUE(drive.Insert(disk.Path(), 0x11112222, "EJECTME"));
    DiskService service;
    ASSERT_TRUE(service.Listening());
    ASSERT_TRUE(drive.HasDisk());
    const DiskSrvOutcome outcome = EjectDiskViaDiskSrv(drive.Letter());
    EXPECT_EQ(kDiskSrvDone, outcome.step);
    EXPECT_TRUE(outcome.Succeeded()) << outcome.text;
    EXPECT_FALSE(drive.HasDisk());
    EXPECT_EQ(0u, DiskSrvFailureTextId(outcome));
}

TEST_F(DiskServiceClient, ARefusalCarriesTheServicesReason)
{
    SimulatedDrive drive;   // leased, no disk in it
    ASSERT_TRUE(drive.Leased());
    DiskService service;
    ASSERT_TRUE(service.Listening());
    const DiskSrvOutcome outcome = EjectDiskViaDiskSrv(drive.Letter());
    EXPECT_EQ(kDiskSrvDone, outcome.step);
    EXPECT_EQ(0u, outcome.result);
    EXPECT_NE(nullptr, wcsstr(outcome.text, (std::wstring(1, drive.Letter()) + L":").c_str())) << outcome.text;
}

// A pipe server that takes one client and never answers.
class SilentServer {
public:
    SilentServer() : pipe_(L"\\\\.\\pipe\\" + UniqueName(L"tfsilent"))
    {
        handle_ = CreateNamedPipeW(pipe_.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_WAIT, 4, 1028, 64, 0,
                                   nullptr);
        SetDiskSrvPipeName(pipe_.c_str());
    }
    ~SilentServer()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    bool Ok() const { return handle_ != INVALID_HANDLE_VALUE; }
    // A client's request waits in the pipe, unread.
    bool RequestArrived() const
    {
        DWORD bytes = 0;
        return PeekNamedPipe(handle_, nullptr, 0, nullptr, &bytes, nullptr) && bytes > 0;
    }

private:
    std::wstring pipe_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

TEST_F(DiskServiceClient, AServiceThatNeverAnswersTimesOut)
{
    SilentServer server;
    ASSERT_TRUE(server.Ok());
    const DWORD before = GetTickCount();
    const DiskSrvOutcome outcome = EjectDiskViaDiskSrv(L'E', nullptr, 300);
    EXPECT_EQ(kDiskSrvTimedOut, outcome.step);
    EXPECT_EQ(kDiskSrvReadFailed, outcome.failedAt);
    EXPECT_EQ(static_cast<UINT>(IDS_PIPE_READ_ERROR), DiskSrvFailureTextId(outcome));
    EXPECT_LT(GetTickCount() - before, 5000u);
}

TEST_F(DiskServiceClient, TheStopEventEndsAnExchangeAndOneEjectIsInFlightAtATime)
{
    SilentServer server;
    ASSERT_TRUE(server.Ok());
    HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DiskSrvOutcome first;
    std::thread talker([&] {
        first = EjectDiskViaDiskSrv(L'E', stop, 60000);
    });
    // The first exchange has sent its request and waits for the reply.
    for (const DWORD start = GetTickCount(); !server.RequestArrived() && GetTickCount() - start < 20000;)
        Sleep(5);
    EXPECT_TRUE(server.RequestArrived());
    const DiskSrvOutcome second = EjectDiskViaDiskSrv(L'E', nullptr, 300);
    EXPECT_EQ(kDiskSrvBusy, second.step);
    EXPECT_EQ(static_cast<DWORD>(ERROR_BUSY), second.error);
    SetEvent(stop);
    talker.join();
    EXPECT_EQ(kDiskSrvStopped, first.step);
    CloseHandle(stop);
    // With nothing in flight the next eject is sent again.
    const DiskSrvOutcome third = EjectDiskViaDiskSrv(L'E', nullptr, 100);
    EXPECT_NE(kDiskSrvBusy, third.step);
}

}  // namespace
}  // namespace extest

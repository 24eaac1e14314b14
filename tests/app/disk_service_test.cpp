// The disk service stand-in: its requests and replies, eject and format on a
// drive of the test's own.
#include "app_fixture.h"
#include "disk_service.h"

#include <cstring>
#include <memory>

namespace {

class DiskServiceProtocol : public ::testing::Test {
protected:
    void SetUp() override
    {
        pipe = apptest::PipeOf(apptest::TestServerName());
        service.reset(new apptest::DiskService(pipe));
        ASSERT_TRUE(service->Listening());
    }
    std::wstring pipe;
    std::unique_ptr<apptest::DiskService> service;
};

TEST_F(DiskServiceProtocol, RequestsOfAnotherSizeGetResultZeroAndAReason)
{
    for (size_t size : {size_t(0), size_t(4), size_t(11), size_t(35), size_t(37), size_t(200)}) {
        std::vector<BYTE> request(size, 0);
        apptest::DiskReply reply = apptest::Exchange(pipe, request);
        ASSERT_TRUE(reply.exchanged) << size;
        EXPECT_EQ(0u, reply.result) << size;
        EXPECT_FALSE(reply.text.empty()) << size;
    }
}

TEST_F(DiskServiceProtocol, MalformedRequestsAreRefused)
{
    const std::vector<BYTE> bad[] = {
        apptest::EjectRequest(L'Q', 2),              // a 10-byte request must eject
        apptest::EjectRequest(L'Q', 1, 5),           // reserved not 0
        apptest::EjectRequest(L'1'),                 // no drive letter
        apptest::FormatRequest(L'Q', L"NAME", 13),   // name too long
        apptest::FormatRequest(L'?', L"NAME"),
    };
    for (const auto& request : bad) {
        apptest::DiskReply reply = apptest::Exchange(pipe, request);
        ASSERT_TRUE(reply.exchanged);
        EXPECT_EQ(0u, reply.result);
        EXPECT_NE(std::wstring::npos, reply.text.find(L"Bad request")) << reply.text;
    }
}

TEST_F(DiskServiceProtocol, OneInstanceAlwaysListens)
{
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(WaitNamedPipeW(pipe.c_str(), 1000)) << i;
        EXPECT_TRUE(apptest::Exchange(pipe, std::vector<BYTE>(3)).exchanged) << i;
    }
}

// Clients that connect and say nothing hold up no other client: each is
// served apart, and dropped after the read time-out.
TEST(DiskServiceClients, SilentClientsHoldUpNoOther)
{
    const std::wstring pipe = apptest::PipeOf(apptest::TestServerName());
    apptest::DiskService service(pipe, 1500);
    ASSERT_TRUE(service.Listening());
    apptest::SilentClient first(pipe), second(pipe);
    ASSERT_TRUE(first.Connected());
    ASSERT_TRUE(second.Connected());
    // Another instance listens, and a client that asks is answered at once.
    EXPECT_TRUE(WaitNamedPipeW(pipe.c_str(), 5000));
    const apptest::DiskReply reply = apptest::Exchange(pipe, apptest::EjectRequest(L'1'));
    ASSERT_TRUE(reply.exchanged);
    EXPECT_NE(std::wstring::npos, reply.text.find(L"Bad request")) << reply.text;
    // The silent ones are let go.
    EXPECT_TRUE(first.DroppedWithin(20000));
    EXPECT_TRUE(second.DroppedWithin(20000));
}

TEST_F(DiskServiceProtocol, EjectingAnEmptyDriveFails)
{
    apptest::DiskReply reply = apptest::Exchange(pipe, apptest::EjectRequest(L'Q'));
    ASSERT_TRUE(reply.exchanged);
    EXPECT_EQ(0u, reply.result);
    EXPECT_NE(std::wstring::npos, reply.text.find(L"Q:")) << reply.text;
}

// Defines drive R: as a removable drive on a folder of the test, through
// Wine's mount manager, as a disk being inserted.
bool InsertDisk(const std::wstring& folder, const char* label)
{
    typedef char*(CDECL * GetUnixName)(const wchar_t*);
    auto get = reinterpret_cast<GetUnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!get)
        return false;
    char* unix = get(folder.c_str());
    if (!unix)
        return false;
    HANDLE f = CreateFileW((folder + L".windows-label").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                           nullptr);
    DWORD written = 0;
    WriteFile(f, label, static_cast<DWORD>(strlen(label)), &written, nullptr);
    CloseHandle(f);
    BYTE buffer[32 + MAX_PATH * 3] = {};
    DWORD size = 32 + static_cast<DWORD>(strlen(unix)) + 1;
    DWORD* words = reinterpret_cast<DWORD*>(buffer);
    words[0] = size;
    words[1] = 2;   // removable
    reinterpret_cast<WCHAR*>(buffer + 24)[0] = L'r';
    *reinterpret_cast<USHORT*>(buffer + 26) = 32;
    strcpy(reinterpret_cast<char*>(buffer + 32), unix);
    HeapFree(GetProcessHeap(), 0, unix);
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    BOOL ok = DeviceIoControl(manager, (0x6D << 16) | (3 << 14) | (32 << 2), buffer, size, nullptr, 0, &returned,
                              nullptr);
    CloseHandle(manager);
    return ok != 0;
}

std::wstring LabelOf(const wchar_t* root)
{
    wchar_t label[64] = L"";
    if (!GetVolumeInformationW(root, label, 64, nullptr, nullptr, nullptr, nullptr, 0))
        return L"<none>";
    return label;
}

TEST_F(DiskServiceProtocol, FormatRelabelsTheDiskAndEjectRemovesIt)
{
    apptest::TempFolder disk(L"tfdisk-r");
    ASSERT_TRUE(InsertDisk(disk.Path(), "OLD"));
    ASSERT_EQ(static_cast<UINT>(DRIVE_REMOVABLE), GetDriveTypeW(L"R:\\"));
    EXPECT_EQ(L"OLD", LabelOf(L"R:\\"));

    apptest::DiskReply reply = apptest::Exchange(pipe, apptest::FormatRequest(L'R', L"ARCH0012"));
    ASSERT_TRUE(reply.exchanged);
    EXPECT_EQ(1u, reply.result) << reply.text;
    EXPECT_EQ(L"ARCH0012", LabelOf(L"R:\\"));

    reply = apptest::Exchange(pipe, apptest::EjectRequest(L'r'));
    ASSERT_TRUE(reply.exchanged);
    EXPECT_EQ(1u, reply.result) << reply.text;
    EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), GetDriveTypeW(L"R:\\"));
}

}  // namespace

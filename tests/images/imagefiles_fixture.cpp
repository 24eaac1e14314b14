#include "imagefiles_fixture.h"

#include "common/fixture_helpers.h"
#include "database/dbcommand.h"
#include "database/dberrors.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbstart.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "images/files/datafolders.h"
#include "images/files/xmgfile.h"
#include "tools/demosite/sitedatabase.h"

#include <objbase.h>

#define TF_WIDEN2(x) L##x
#define TF_WIDEN(x) TF_WIDEN2(x)

namespace imgtest {
namespace {

// The image-file tests drive the provider from a thread in the multithreaded
// apartment, as the program's main thread does.
class ComEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))); }
    void TearDown() override { CoUninitialize(); }
};
const ::testing::Environment* const gCom = ::testing::AddGlobalTestEnvironment(new ComEnvironment);

void DeleteTree(const std::wstring& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                DeleteTree(folder + name + L"\\");
            else
                DeleteFileW((folder + name).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

DataFolder::DataFolder()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static LONG counter = 0;
    wchar_t name[64];
    _snwprintf(name, 63, L"imgfiles_%lu_%ld_%lu\\", GetCurrentProcessId(), InterlockedIncrement(&counter),
               GetTickCount());
    name[63] = 0;
    path = std::wstring(temp) + name;
    CreateDirectoryW(path.c_str(), nullptr);
    CreateDirectoryW((path + L"Image").c_str(), nullptr);
    CreateDirectoryW((path + L"Icon").c_str(), nullptr);
    wcscpy(ImageFolder, (path + L"Image\\").c_str());
    wcscpy(IconFolder, (path + L"Icon\\").c_str());
    SpaceMin = 0;
}

DataFolder::~DataFolder()
{
    DeleteTree(path);
}

std::wstring DataFolder::ImagePath(const std::wstring& name) const
{
    return path + L"Image\\" + name + L".xmg";
}

std::wstring DataFolder::IconPath(const std::wstring& name) const
{
    return path + L"Icon\\" + name + L".thb";
}

std::vector<std::wstring> DataFolder::Files(const wchar_t* sub) const
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((path + sub + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

void ImageDbTest::SetUp()
{
    folder = new DataFolder();
    std::wstring error;
    ASSERT_TRUE(CreateSiteDatabase(folder->Path() + L"test.db", TF_WIDEN(TF_IMAGES_TEST_SCHEMA), error))
        << std::string(error.begin(), error.end());
}

void ImageDbTest::TearDown()
{
    CloseSiteDatabase();
    delete folder;
    folder = nullptr;
}

void ImageDbTest::Exec(const std::wstring& sql)
{
    testfix::ExecSetupSql(sql);
}

std::wstring ImageDbTest::Scalar(const std::wstring& sql)
{
    return testfix::ScalarSql(sql);
}

long ImageDbTest::Count(const std::wstring& table)
{
    return std::stol(Scalar(L"SELECT COUNT(*) FROM " + table + L";"));
}

std::vector<BYTE> ReadBytes(const std::wstring& path)
{
    std::vector<BYTE> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    DWORD size = GetFileSize(file, nullptr);
    bytes.resize(size);
    DWORD done = 0;
    if (size)
        ReadFile(file, bytes.data(), size, &done, nullptr);
    bytes.resize(done);
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::wstring& path, const std::vector<BYTE>& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD done = 0;
    if (!bytes.empty())
        WriteFile(file, bytes.data(), (DWORD)bytes.size(), &done, nullptr);
    CloseHandle(file);
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<uint16_t> PatternRaster(int width, int height, int bits)
{
    std::vector<uint16_t> raster((size_t)width * height);
    const uint32_t mask = (1u << bits) - 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            raster[(size_t)y * width + x] = (uint16_t)(((uint32_t)x * 7 + (uint32_t)y * 131 + (uint32_t)(x * y) % 17) & mask);
    return raster;
}

DPicturePtr PatternPicture(int width, int height, int bits)
{
    DPicturePtr picture;
    if (!picture.CreateSized(width, height))
        return picture;
    std::vector<uint16_t> raster = PatternRaster(width, height, bits);
    memcpy(picture->GetBits(), raster.data(), raster.size() * 2);
    picture->bitsPerPixel = bits;
    picture->levels = 1 << bits;
    picture->RefreshWork();
    return picture;
}

DPicturePtr LoadFile(const std::wstring& path, bool texts, bool takeId, std::wstring* message)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        if (message)
            *message = L"<cannot open>";
        return DPicturePtr();
    }
    DPicturePtr picture;
    try {
        picture = SnimokFile::Load(file, texts, takeId);
    } catch (const MsgExcept& e) {
        if (message) {
            wchar_t text[1024] = {};
            e.GetText(text, 1024);
            *message = text;
        }
    }
    CloseHandle(file);
    return picture;
}

std::wstring StringText(unsigned id)
{
    wchar_t text[512] = {};
    LoadStringW(hInstance, id, text, 512);
    return text;
}

}  // namespace imgtest

// The flat-field gain map: writing, reopening and applying, and every kind of
// file or region that must be refused.
#include "images/pixels/flatfield.h"

#include "common/prompt_script.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::wstring TempName(const char* tag)
{
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::wstring name = dir;
    name += L"flat_" + std::to_wstring(GetCurrentProcessId()) + L"_";
    for (const char* p = tag; *p; ++p)
        name += (wchar_t)*p;
    return name + L".map";
}

struct TempFile
{
    std::wstring path;
    explicit TempFile(const char* tag) : path(TempName(tag)) {}
    ~TempFile() { DeleteFileW(path.c_str()); }
};

std::vector<uint8_t> ReadAll(const std::wstring& path)
{
    std::vector<uint8_t> bytes;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return bytes;
    DWORD size = GetFileSize(f, nullptr), got = 0;
    bytes.resize(size);
    ReadFile(f, bytes.data(), size, &got, nullptr);
    CloseHandle(f);
    return bytes;
}

void WriteAll(const std::wstring& path, const std::vector<uint8_t>& bytes)
{
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD put = 0;
    WriteFile(f, bytes.data(), (DWORD)bytes.size(), &put, nullptr);
    CloseHandle(f);
}

// A 4 x 3 reference with pixels 100..1200 and one dead pixel.
std::vector<uint16_t> Reference()
{
    std::vector<uint16_t> r(12);
    for (int i = 0; i < 12; ++i)
        r[i] = (uint16_t)(100 * (i + 1));
    r[5] = 0;
    return r;
}

TEST(FlatField, CreateWritesTheHeaderAndTheGains)
{
    TempFile file("create");
    std::unique_ptr<FlatField> map(CreateFlatField());
    ASSERT_TRUE(map->SetFileName(file.path.c_str()));
    auto ref = Reference();
    ASSERT_TRUE(map->Create(ref.data(), 4, 3, 0x10000 + 600));    // only the low 16 bits count
    EXPECT_TRUE(map->IsAvailable());
    map->Unmap();
    EXPECT_FALSE(map->IsAvailable());
    auto bytes = ReadAll(file.path);
    ASSERT_EQ(24u + 48u, bytes.size());
    const uint8_t head[24] = {'f', 'l', 'a', 't', 0, 0, 1, 0, 72, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 3, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(head, head + 24), std::vector<uint8_t>(bytes.begin(), bytes.begin() + 24));
    float g0, g5;
    memcpy(&g0, &bytes[24], 4);
    memcpy(&g5, &bytes[24 + 20], 4);
    EXPECT_FLOAT_EQ(6.0f, g0);
    EXPECT_EQ(0.0f, g5);
}

TEST(FlatField, OpenAndApplyBringTheFieldToTheLevel)
{
    TempFile file("apply");
    {
        std::unique_ptr<FlatField> writer(CreateFlatField());
        writer->SetFileName(file.path.c_str());
        auto ref = Reference();
        ASSERT_TRUE(writer->Create(ref.data(), 4, 3, 600));
    }
    std::unique_ptr<FlatField> map(CreateFlatField());
    ASSERT_TRUE(map->SetFileName(file.path.c_str()));
    ASSERT_TRUE(map->Open());
    auto pixels = Reference();
    pixels[5] = 77;     // under a gain of 0: kept
    ASSERT_TRUE(map->Apply(pixels.data(), PixelRect{0, 0, 4, 3}, 16));
    for (int i = 0; i < 12; ++i) {
        if (i != 5) {
            EXPECT_NEAR(600, pixels[i], 1) << i;
        }
    }
    EXPECT_EQ(77, pixels[5]);
}

TEST(FlatField, ResultsClampToTheDepthAndOnlyTheRegionChanges)
{
    TempFile file("clamp");
    std::unique_ptr<FlatField> map(CreateFlatField());
    map->SetFileName(file.path.c_str());
    std::vector<uint16_t> ref(12, 100);
    ASSERT_TRUE(map->Create(ref.data(), 4, 3, 5000));  // gain 50
    std::vector<uint16_t> px(12, 10);
    px[4] = 4095;   // at the 12-bit maximum: left alone
    ASSERT_TRUE(map->Apply(px.data(), PixelRect{0, 1, 2, 3}, 12));
    EXPECT_EQ(10, px[0]);       // outside the region
    EXPECT_EQ(4095, px[4]);
    EXPECT_EQ(500, px[5]);
    std::vector<uint16_t> bright(12, 1000);
    ASSERT_TRUE(map->Apply(bright.data(), PixelRect{0, 0, 4, 3}, 12));
    EXPECT_EQ(4095, bright[0]);     // 50000 clamped to the 12-bit maximum
}

TEST(FlatField, RegionsOutsideTheMapAndBadDepthsAreRefused)
{
    TempFile file("region");
    std::unique_ptr<FlatField> map(CreateFlatField());
    map->SetFileName(file.path.c_str());
    auto ref = Reference();
    ASSERT_TRUE(map->Create(ref.data(), 4, 3, 600));
    std::vector<uint16_t> px(12, 10);
    EXPECT_FALSE(map->Apply(px.data(), PixelRect{1, 0, 5, 3}, 16));
    EXPECT_FALSE(map->Apply(px.data(), PixelRect{0, 1, 4, 4}, 16));
    EXPECT_FALSE(map->Apply(px.data(), PixelRect{-1, 0, 2, 2}, 16));
    EXPECT_FALSE(map->Apply(px.data(), PixelRect{3, 0, 2, 2}, 16));
    EXPECT_FALSE(map->Apply(px.data(), PixelRect{0, 0, 2, 2}, 0));
    EXPECT_FALSE(map->Apply(px.data(), PixelRect{0, 0, 2, 2}, 17));
    EXPECT_EQ(std::vector<uint16_t>(12, 10), px);
}

TEST(FlatField, DamagedFilesAreRefused)
{
    TempFile good("good"), bad("bad");
    {
        std::unique_ptr<FlatField> writer(CreateFlatField());
        writer->SetFileName(good.path.c_str());
        auto ref = Reference();
        ASSERT_TRUE(writer->Create(ref.data(), 4, 3, 600));
    }
    const auto bytes = ReadAll(good.path);
    auto refused = [&](std::vector<uint8_t> damaged) {
        WriteAll(bad.path, damaged);
        std::unique_ptr<FlatField> map(CreateFlatField());
        map->SetFileName(bad.path.c_str());
        bool opened = map->Open();
        EXPECT_EQ(opened, map->IsAvailable());
        return !opened;
    };
    EXPECT_FALSE(refused(bytes));
    auto b = bytes;
    b[0] = 'F';
    EXPECT_TRUE(refused(b));                                            // magic
    b = bytes;
    b[6] = 2;
    EXPECT_TRUE(refused(b));                                            // version
    b = bytes;
    b.resize(b.size() - 4);
    EXPECT_TRUE(refused(b));                                            // cut short
    b = bytes;
    b[16] = 200;
    EXPECT_TRUE(refused(b));                                            // width beyond the gains
    b = bytes;
    b[16] = 0;
    b[17] = 0;
    b[18] = 0;
    b[19] = 0x80;
    EXPECT_TRUE(refused(b));                                            // negative width
    EXPECT_TRUE(refused(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 10)));    // no header
}

TEST(FlatField, NoNameNoFile)
{
    std::unique_ptr<FlatField> map(CreateFlatField());
    EXPECT_FALSE(map->Open());
    std::vector<uint16_t> ref(4, 1);
    EXPECT_FALSE(map->Create(ref.data(), 2, 2, 5));
    EXPECT_FALSE(map->SetFileName(nullptr));
    ASSERT_TRUE(map->SetFileName(L"C:\\no such folder\\x.map"));
    EXPECT_FALSE(map->Open());
    EXPECT_FALSE(map->Create(ref.data(), 0, 2, 5));
    map->Close();
    EXPECT_FALSE(map->IsAvailable());
}

TEST(FlatField, ShowErrorIsAMessageWithItsCaption)
{
    PromptScript script({IDOK});
    FlatField::ShowError(L"map missing");
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"map missing", script.Last().text);
    EXPECT_EQ(L"FlatFloat", script.Last().caption);
}

} // namespace

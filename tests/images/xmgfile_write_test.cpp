// The ".xmg" writer: the layout it produces, the raw fallback, long names,
// failures at each write, and SavePictureFile's promise to leave no file
// behind.
#include "images/files/xmgfile.h"

#include "foundation/lefields.h"
#include "foundation/messages.h"
#include "images/files/savefaults.h"
#include "images/pixels/tilecodec.h"
#include "imagefiles_fixture.h"
#include "common/prompt_script.h"
#include "resources/strings.h"

#include <gtest/gtest.h>

#include <string.h>

using namespace imgtest;

namespace {

class XmgWriteTest : public ::testing::Test
{
protected:
    DataFolder folder;

    // Saves into a new file; the result of SnimokFile::Save.
    int Save(const DPicturePtr& picture, const std::wstring& path, bool texts, DWORD* error = nullptr)
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        DWORD code = 0;
        int result = SnimokFile::Save(picture, file, &code, texts);
        CloseHandle(file);
        if (error)
            *error = code;
        return result;
    }
    std::wstring Path(const wchar_t* name) { return folder.Path() + name; }
};

DPicturePtr Flat(int width, int height, uint16_t value)
{
    DPicturePtr p;
    EXPECT_TRUE(p.CreateSized(width, height));
    for (int i = 0; i < width * height; ++i)
        p->GetBits()[i] = value;
    p->bitsPerPixel = 14;
    p->levels = 1 << 14;
    p->RefreshWork();
    return p;
}

TEST(XmgTextBlock, SizeIsTwentyPlusOneAndTheCharactersOfEachName)
{
    PatientInfo patient;
    patient.SetName(0, L"Ab", -1);
    patient.SetName(2, L"Cde", -1);
    EXPECT_EQ(20u + 1 + 4 + 1 + 0 + 1 + 6, SnimokFile::BuildTextBlock(patient, nullptr));
}

TEST_F(XmgWriteTest, FlatPictureOfSixtyFourSquareIsHeaderBlockTextsAndFourFlatTiles)
{
    DPicturePtr p = Flat(64, 64, 1234);
    p->patient.SetPatientId(17);
    p->patient.SetName(0, L"Kuznetsov", -1);
    p->patient.SetSex(1);
    const DWORD textSize = SnimokFile::BuildTextBlock(p->patient, nullptr);
    ASSERT_EQ(1, Save(p, Path(L"flat.xmg"), true));
    std::vector<BYTE> f = ReadBytes(Path(L"flat.xmg"));
    ASSERT_EQ(16u + 68 + textSize + 12, f.size());
    EXPECT_EQ(kXmgMagic, GetLe32(&f[0]));
    EXPECT_EQ(kXmgVersion2, GetLe32(&f[4]));
    EXPECT_EQ(f.size(), GetLe32(&f[8]));
    EXPECT_EQ(1u, GetLe32(&f[12]));
    EXPECT_EQ(84u + textSize, GetLe32(&f[16]));     // pixel offset
    EXPECT_EQ(84u, GetLe32(&f[20]));                // text offset
    EXPECT_EQ(64u, GetLe32(&f[24]));
    EXPECT_EQ(64u, GetLe32(&f[28]));
    EXPECT_EQ(14u, GetLe32(&f[40]));
    EXPECT_EQ(1, f[56]);                            // UTF-16 texts
    EXPECT_EQ(textSize, GetLe32(&f[84]));
    EXPECT_EQ(17u, GetLe32(&f[88]));
    EXPECT_EQ(3, f[92]);
    EXPECT_EQ(1, f[94]);
    EXPECT_EQ(9, f[104]);
    EXPECT_EQ('K', f[105]);
    for (int tile = 0; tile < 4; ++tile) {
        const BYTE* t = &f[84 + textSize + 3 * tile];
        EXPECT_EQ(1, t[0]);
        EXPECT_EQ(1234, GetLe16(t + 1));
    }
    for (size_t i : {41, 42, 43, 56, 57, 58, 59, 60, 61, 62, 63, 64, 65, 66, 67})
        EXPECT_EQ(0, f[16 + i]) << "reserved byte " << i;
}

TEST_F(XmgWriteTest, EveryFieldComesBack)
{
    DPicturePtr p = PatternPicture(45, 70, 13);
    p->extra[0] = 0x01020304;
    p->extra[1] = 99;
    p->imageId = 305;
    p->imageDate.dwLowDateTime = 0xCAFEBABE;
    p->imageDate.dwHighDateTime = 0x01D9;
    p->imageFlags = 0x1 | 0x10;
    p->spacingX = 0.125;
    p->spacingY = 0.375;
    p->patient.SetName(0, L"Петрова", -1);
    p->patient.SetName(1, L"Анна", -1);
    p->patient.SetPatientId(4);
    FILETIME birthday = {123, 456};
    p->patient.SetBirthday(birthday);
    ASSERT_EQ(1, Save(p, Path(L"all.xmg"), true));
    std::wstring message;
    DPicturePtr q = LoadFile(Path(L"all.xmg"), true, true, &message);
    ASSERT_TRUE(q.Get()) << std::string(message.begin(), message.end());
    EXPECT_EQ(45, q->width);
    EXPECT_EQ(70, q->height);
    EXPECT_EQ(13, q->bitsPerPixel);
    EXPECT_EQ(0x01020304u, q->extra[0]);
    EXPECT_EQ(99u, q->extra[1]);
    EXPECT_EQ(305u, q->imageId);
    EXPECT_EQ(0xCAFEBABEu, q->imageDate.dwLowDateTime);
    EXPECT_EQ(0x11u, q->imageFlags);
    EXPECT_DOUBLE_EQ(0.125, q->spacingX);
    EXPECT_DOUBLE_EQ(0.375, q->spacingY);
    EXPECT_STREQ(L"Петрова", q->patient.GetName(0));
    EXPECT_STREQ(L"Анна", q->patient.GetName(1));
    EXPECT_EQ(4u, q->patient.GetPatientId());
    EXPECT_EQ(456u, q->patient.GetBirthday().dwHighDateTime);
    EXPECT_EQ(0, memcmp(p->GetBits(), q->GetBits(), 45 * 70 * 2));
}

TEST_F(XmgWriteTest, WithoutTextsTheTextOffsetIsZero)
{
    DPicturePtr p = Flat(32, 32, 5);
    ASSERT_EQ(1, Save(p, Path(L"bare.xmg"), false));
    std::vector<BYTE> f = ReadBytes(Path(L"bare.xmg"));
    ASSERT_EQ(16u + 68 + 3, f.size());
    EXPECT_EQ(0u, GetLe32(&f[20]));
    EXPECT_EQ(84u, GetLe32(&f[16]));
}

TEST_F(XmgWriteTest, NamePartLongerThan255IsCutTo255Characters)
{
    DPicturePtr p = Flat(32, 32, 5);
    std::wstring longName(300, L'Ж');
    longName[254] = L'z';
    p->patient.SetName(0, longName.c_str(), -1);
    p->patient.SetName(1, L"B", -1);
    ASSERT_EQ(1, Save(p, Path(L"long.xmg"), true));
    std::vector<BYTE> f = ReadBytes(Path(L"long.xmg"));
    EXPECT_EQ(255, f[84 + 20]);
    EXPECT_EQ(20u + 1 + 510 + 1 + 2 + 1, GetLe32(&f[84]));
    std::wstring message;
    DPicturePtr q = LoadFile(Path(L"long.xmg"), true, false, &message);
    ASSERT_TRUE(q.Get());
    EXPECT_EQ(longName.substr(0, 255), q->patient.GetName(0));
    EXPECT_STREQ(L"B", q->patient.GetName(1));
}

TEST_F(XmgWriteTest, StreamThatDoesNotFitIsWrittenRawAndReadsBack)
{
    // Values far above the picture's one bit: every edge tile packs at 16 bits
    // and passes the buffer's bound.
    DPicturePtr p;
    ASSERT_TRUE(p.CreateSized(33, 33));
    for (int i = 0; i < 33 * 33; ++i)
        p->GetBits()[i] = (uint16_t)(i * 40503u);
    p->bitsPerPixel = 1;
    p->levels = 2;
    ASSERT_EQ(1, Save(p, Path(L"raw.xmg"), false));
    std::vector<BYTE> f = ReadBytes(Path(L"raw.xmg"));
    EXPECT_EQ(0u, GetLe32(&f[12]));
    ASSERT_EQ(16u + 68 + 33 * 33 * 2, f.size());
    std::wstring message;
    DPicturePtr q = LoadFile(Path(L"raw.xmg"), false, false, &message);
    ASSERT_TRUE(q.Get()) << std::string(message.begin(), message.end());
    EXPECT_EQ(0, memcmp(p->GetBits(), q->GetBits(), 33 * 33 * 2));
}

// Edge tiles of a few pixels of a few bits, raw ones smaller than a flat tile, read back; a pixel block one byte
// shorter than the fewest bytes its tiles can take is refused as damaged before a pixel is decoded.
TEST_F(XmgWriteTest, SmallPicturesOfEveryDepthReadBack)
{
    const int sizes[][2] = {{1, 1}, {2, 1}, {3, 1}, {9, 1}, {1, 7}, {3, 3}, {4, 2}, {33, 1}, {1, 33}, {33, 2}, {65, 3}};
    for (int depth = 1; depth <= 16; ++depth)
        for (const auto& size : sizes) {
            SCOPED_TRACE(testing::Message() << size[0] << " x " << size[1] << " at " << depth);
            DeleteFileW(Path(L"small.xmg").c_str());
            DPicturePtr p = PatternPicture(size[0], size[1], depth);
            ASSERT_EQ(1, Save(p, Path(L"small.xmg"), false));
            DPicturePtr q = LoadFile(Path(L"small.xmg"), false, false, nullptr);
            ASSERT_TRUE(q.Get()) << "refused as damaged";
            EXPECT_EQ(0, memcmp(p->GetBits(), q->GetBits(), (size_t)size[0] * size[1] * 2));

            std::vector<BYTE> cut = ReadBytes(Path(L"small.xmg"));
            cut.resize(GetLe32(&cut[16]) + LeastStreamSize(size[0], size[1], depth) - 1);
            PutLe32(&cut[8], (DWORD)cut.size());   // the end of the pixel block
            PutLe32(&cut[12], 1);                  // a tile stream
            WriteBytes(Path(L"cut.xmg"), cut);
            std::wstring message;
            EXPECT_FALSE(LoadFile(Path(L"cut.xmg"), false, false, &message).Get());
            EXPECT_EQ(StringText(IDS_ERROR_READING_PICTURE), message);
        }
}

TEST_F(XmgWriteTest, PictureWithoutAValidDepthIsWrittenAtSixteenBitsAndReadsBack)
{
    for (int bits : {0, 17, -3}) {
        DPicturePtr p;
        ASSERT_TRUE(p.CreateSized(40, 35));
        for (int i = 0; i < 40 * 35; ++i)
            p->GetBits()[i] = (uint16_t)(i * 977u);
        p->bitsPerPixel = bits;
        std::wstring path = Path((L"depth" + std::to_wstring(bits + 10) + L".xmg").c_str());
        ASSERT_EQ(1, Save(p, path, false)) << bits;
        std::vector<BYTE> f = ReadBytes(path);
        EXPECT_EQ(16u, GetLe32(&f[40])) << bits;
        std::wstring message;
        DPicturePtr q = LoadFile(path, false, false, &message);
        ASSERT_TRUE(q.Get()) << bits << ": " << std::string(message.begin(), message.end());
        EXPECT_EQ(16, q->bitsPerPixel);
        EXPECT_EQ(0, memcmp(p->GetBits(), q->GetBits(), 40 * 35 * 2));
    }
}

TEST_F(XmgWriteTest, FailedWriteAtEachPartReturnsZeroWithTheCode)
{
    DPicturePtr p = PatternPicture(40, 40, 12);
    p->patient.SetName(0, L"X", -1);
    for (int write = 0; write < 4; ++write) {
        InjectSaveFailure(SaveStep::WriteImageFile, ERROR_DISK_FULL, write);
        DWORD error = 0;
        std::wstring path = Path((L"fail" + std::to_wstring(write) + L".xmg").c_str());
        EXPECT_EQ(0, Save(p, path, true, &error)) << "write " << write;
        EXPECT_EQ((DWORD)ERROR_DISK_FULL, error);
    }
    InjectSaveFailure(SaveStep::None, 0);
}

TEST_F(XmgWriteTest, EmptyHandleIsNotSaved)
{
    DWORD error = 0;
    EXPECT_EQ(0, Save(DPicturePtr(), Path(L"none.xmg"), true, &error));
    EXPECT_NE(0u, error);
    try {
        SavePictureFile(DPicturePtr());
        ADD_FAILURE() << "no exception";
    } catch (const MsgExcept& e) {
        wchar_t text[64] = {};
        e.GetText(text, 64);
        EXPECT_STREQ(L"Internal Error", text);
    }
}

TEST_F(XmgWriteTest, SavePictureFileRefusesAnExistingFileAndLeavesItAlone)
{
    DPicturePtr p = Flat(32, 32, 5);
    wcscpy(p->fileName, L"K00000000170000000305");
    WriteBytes(folder.ImagePath(L"K00000000170000000305"), {1, 2, 3});
    EXPECT_THROW(SavePictureFile(p), MsgExcept);
    EXPECT_EQ(std::vector<BYTE>({1, 2, 3}), ReadBytes(folder.ImagePath(L"K00000000170000000305")));
}

TEST_F(XmgWriteTest, SavePictureFileLeavesNoFileWhenAWriteFails)
{
    DPicturePtr p = PatternPicture(40, 40, 12);
    wcscpy(p->fileName, L"A00000000010000000001");
    for (int write = 0; write < 4; ++write) {
        InjectSaveFailure(SaveStep::WriteImageFile, ERROR_DISK_FULL, write);
        EXPECT_THROW(SavePictureFile(p), MsgExcept) << "write " << write;
        EXPECT_TRUE(folder.Files(L"Image").empty()) << "write " << write;
    }
    InjectSaveFailure(SaveStep::None, 0);
    SavePictureFile(p);
    EXPECT_TRUE(Exists(folder.ImagePath(L"A00000000010000000001")));
}

TEST_F(XmgWriteTest, ReadPictureFileShowsTheMessageAndGivesAnEmptyHandle)
{
    WriteBytes(folder.Path() + L"bad.xmg", {'D', 'I', 'X', 'H', 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    HANDLE file = CreateFileW((folder.Path() + L"bad.xmg").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    PromptScript script({IDOK});
    DPicturePtr p = ReadPictureFile(file);
    CloseHandle(file);
    EXPECT_FALSE(p.Get());
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"Picture version getting error.", script.Last().text);
    EXPECT_TRUE(script.Last().flags & MB_SYSTEMMODAL);
}

TEST_F(XmgWriteTest, LoadPictureFileOfAMissingFileSaysItCannotOpenIt)
{
    PromptScript script({IDOK});
    EXPECT_FALSE(LoadPictureFile(L"Z00000000010000000009").Get());
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"Error Opening Picture File", script.Last().text);
}

TEST_F(XmgWriteTest, LoadPictureFileTakesTheFileName)
{
    DPicturePtr p = PatternPicture(40, 30, 12);
    wcscpy(p->fileName, L"B00000000020000000003");
    SavePictureFile(p);
    DPicturePtr q = LoadPictureFile(L"B00000000020000000003");
    ASSERT_TRUE(q.Get());
    EXPECT_STREQ(L"B00000000020000000003", q->fileName);
    EXPECT_EQ(0, memcmp(p->GetBits(), q->GetBits(), 40 * 30 * 2));
}

}  // namespace

#include "foundation/files.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

// A fresh folder under the temp path for each test, removed with its contents afterwards.
class FilesTest : public testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        ASSERT_NE(0u, GetTempPathW(MAX_PATH, temp));
        static LONG counter = 0;
        wchar_t name[MAX_PATH];
        _snwprintf(name, MAX_PATH, L"%lstf_files_%lu_%lu_%ld", temp, GetCurrentProcessId(), GetTickCount(),
                   InterlockedIncrement(&counter));
        name[MAX_PATH - 1] = L'\0';
        dir_ = name;
        ASSERT_TRUE(CreateDirectoryW(dir_.c_str(), nullptr)) << GetLastError();
    }

    void TearDown() override
    {
        if (!dir_.empty())
            RemoveTree(dir_);
    }

    static void RemoveTree(const std::wstring& path)
    {
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                std::wstring name = data.cFileName;
                if (name == L"." || name == L"..")
                    continue;
                std::wstring full = path + L"\\" + name;
                if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(full);
                else
                    DeleteFileW(full.c_str());
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
        RemoveDirectoryW(path.c_str());
    }

    std::wstring Path(const wchar_t* name) const { return dir_ + L"\\" + name; }

    std::wstring WriteBytes(const wchar_t* name, const std::vector<BYTE>& bytes) const
    {
        std::wstring path = Path(name);
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, h);
        DWORD done = 0;
        if (!bytes.empty()) {
            EXPECT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr));
        }
        CloseHandle(h);
        return path;
    }

    static std::wstring Text(const DFileBuf& buf)
    {
        return std::wstring(static_cast<const wchar_t*>(buf.Data()), buf.Size() / 2);
    }

    // True when nobody else holds the file: it opens without any sharing.
    static bool OpensExclusively(const std::wstring& path)
    {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(h);
        return true;
    }

    std::wstring dir_;
};

// "Aж€z" as UTF-16 little-endian bytes.
const std::vector<BYTE> kFourChars = {0x41, 0x00, 0x36, 0x04, 0xAC, 0x20, 0x7A, 0x00};
const std::wstring kFourCharsText = L"A\x0436\x20ACz";

std::vector<BYTE> Concat(std::vector<BYTE> a, const std::vector<BYTE>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::vector<BYTE> Swapped(std::vector<BYTE> bytes)
{
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

// ---------------------------------------------------------------------------
// Whole-file text

TEST_F(FilesTest, TextWithLittleEndianMarkDropsTheMark)
{
    std::wstring path = WriteBytes(L"le.txt", Concat({0xFF, 0xFE}, kFourChars));
    DFileBuf buf;
    ASSERT_TRUE(ReadTextFileByName(path.c_str(), buf)) << GetLastError();
    EXPECT_EQ(8, buf.Size());
    EXPECT_EQ(kFourCharsText, Text(buf));
}

TEST_F(FilesTest, TextWithSwappedMarkComesOutLittleEndian)
{
    std::wstring path = WriteBytes(L"be.txt", Concat({0xFE, 0xFF}, Swapped(kFourChars)));
    DFileBuf buf;
    ASSERT_TRUE(ReadTextFileByName(path.c_str(), buf)) << GetLastError();
    EXPECT_EQ(8, buf.Size());
    EXPECT_EQ(kFourCharsText, Text(buf));
}

TEST_F(FilesTest, SwappedTextSpanningSeveralPagesIsSwappedThroughout)
{
    std::vector<BYTE> bytes = {0xFE, 0xFF};
    std::wstring expected;
    for (int i = 0; i < 10000; ++i) {
        wchar_t c = static_cast<wchar_t>(0x0410 + i % 32);
        expected += c;
        bytes.push_back(static_cast<BYTE>(c >> 8));
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
    }
    std::wstring path = WriteBytes(L"long.txt", bytes);
    DFileBuf buf;
    ASSERT_TRUE(ReadTextFileByName(path.c_str(), buf));
    EXPECT_EQ(20000, buf.Size());
    EXPECT_EQ(expected, Text(buf));
}

TEST_F(FilesTest, OddUtf16ByteCountKeepsTheLastByteUntouched)
{
    std::wstring path = WriteBytes(L"odd.txt", {0xFE, 0xFF, 0x00, 0x41, 0x7F});
    DFileBuf buf;
    ASSERT_TRUE(ReadTextFileByName(path.c_str(), buf));
    ASSERT_EQ(3, buf.Size());
    const BYTE* data = static_cast<const BYTE*>(buf.Data());
    EXPECT_EQ(0x41, data[0]);
    EXPECT_EQ(0x00, data[1]);
    EXPECT_EQ(0x7F, data[2]);
}

TEST_F(FilesTest, AnsiTextIsConvertedWithTheDefaultCodePage)
{
    std::wstring path = WriteBytes(L"abc.txt", {'a', 'b', 'c'});
    DFileBuf buf;
    ASSERT_TRUE(ReadTextFileByName(path.c_str(), buf));
    EXPECT_EQ(6, buf.Size());
    EXPECT_EQ(L"abc", Text(buf));
}

TEST_F(FilesTest, AnsiTextWithHighBytesMatchesTheSystemConversion)
{
    const char raw[] = "x\xC0\xE9\x80y";
    std::wstring path = WriteBytes(L"high.txt", std::vector<BYTE>(raw, raw + 5));
    wchar_t expected[16];
    int chars = MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, raw, 5, expected, 16);
    ASSERT_GT(chars, 0);
    DFileBuf buf;
    ASSERT_TRUE(ReadTextFileByName(path.c_str(), buf));
    EXPECT_EQ(std::wstring(expected, chars), Text(buf));
}

TEST_F(FilesTest, EmptyFileAndMarkOnlyFilesFail)
{
    for (const auto& bytes : {std::vector<BYTE>{}, std::vector<BYTE>{0xFF, 0xFE}, std::vector<BYTE>{0xFE, 0xFF}}) {
        std::wstring path = WriteBytes(L"empty.txt", bytes);
        DFileBuf buf;
        EXPECT_FALSE(ReadTextFileByName(path.c_str(), buf)) << bytes.size() << " bytes";
        EXPECT_EQ(nullptr, buf.Data());
        EXPECT_EQ(0, buf.Size());
    }
}

TEST_F(FilesTest, OneByteFileIsOneAnsiCharacter)
{
    std::wstring path = WriteBytes(L"one.txt", {'Q'});
    DFileBuf buf;
    ASSERT_TRUE(ReadTextFileByName(path.c_str(), buf));
    EXPECT_EQ(2, buf.Size());
    EXPECT_EQ(L"Q", Text(buf));
}

TEST_F(FilesTest, TwoByteFileWithoutMarkIsTwoAnsiCharacters)
{
    std::wstring path = WriteBytes(L"two.txt", {'o', 'k'});
    DFileBuf buf;
    ASSERT_TRUE(ReadTextFileByName(path.c_str(), buf)) << GetLastError();
    EXPECT_EQ(4, buf.Size());
    EXPECT_EQ(L"ok", Text(buf));
}

TEST_F(FilesTest, FailedReadEmptiesTheBufferItWasGiven)
{
    DFileBuf buf;
    ASSERT_TRUE(buf.Alloc(100));
    EXPECT_FALSE(ReadTextFileByName(Path(L"missing.txt").c_str(), buf));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    EXPECT_EQ(nullptr, buf.Data());
    EXPECT_EQ(0, buf.Size());
}

TEST_F(FilesTest, ShortReadFailsInsteadOfHandingOverUnreadBytes)
{
    std::wstring path = WriteBytes(L"short.txt", Concat({0xFF, 0xFE}, kFourChars));
    DFile file;
    ASSERT_TRUE(file.Create(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_EQ(3u, file.Seek(3, nullptr, FILE_BEGIN));
    DFileBuf buf;
    EXPECT_FALSE(ReadTextFile(file.Handle(), buf));
    EXPECT_EQ(nullptr, buf.Data());
}

TEST_F(FilesTest, ReadTextFileByNameLeavesTheFileClosed)
{
    std::wstring path = WriteBytes(L"closed.txt", {'a', 'b', 'c'});
    DFileBuf buf;
    ASSERT_TRUE(ReadTextFileByName(path.c_str(), buf));
    EXPECT_TRUE(OpensExclusively(path));
}

TEST_F(FilesTest, TextScanStartsAtTheFrontOfTheLoadedText)
{
    std::wstring path = WriteBytes(L"scan.txt", Concat({0xFF, 0xFE}, kFourChars));
    DFileBuf buf;
    ASSERT_TRUE(ReadTextFileByName(path.c_str(), buf));
    DTextScan scan;
    scan.Init(static_cast<const wchar_t*>(buf.Data()), buf.Size() / 2);
    EXPECT_EQ(4, scan.length);
    EXPECT_EQ(0, scan.line);
    EXPECT_EQ(0, scan.lineStart);
    EXPECT_EQ(L'A', *scan.Current());
    scan.pos = 3;
    EXPECT_EQ(L'z', *scan.Current());
}

TEST_F(FilesTest, FileBufAllocAttachAndFree)
{
    DFileBuf buf;
    EXPECT_FALSE(buf.Alloc(0));
    ASSERT_TRUE(buf.Alloc(70000));
    EXPECT_EQ(70000, buf.Size());
    static_cast<BYTE*>(buf.Data())[69999] = 1;  // committed through its end
    void* pages = VirtualAlloc(nullptr, 10, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    buf.Attach(pages, 10);
    EXPECT_EQ(pages, buf.Data());
    EXPECT_EQ(10, buf.Size());
    buf.Close();
    EXPECT_EQ(nullptr, buf.Data());
    EXPECT_EQ(0, buf.Size());
}

TEST_F(FilesTest, GetFileSize32OfAnOpenFile)
{
    std::wstring path = WriteBytes(L"size.bin", std::vector<BYTE>(12345, 7));
    DFile file;
    ASSERT_TRUE(file.Create(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    DWORD size = 0;
    ASSERT_TRUE(GetFileSize32(file.Handle(), &size));
    EXPECT_EQ(12345u, size);
    EXPECT_FALSE(GetFileSize32(INVALID_HANDLE_VALUE, &size));
}

// ---------------------------------------------------------------------------
// DFile and DFindFile

TEST_F(FilesTest, FileWithoutBlockFailsWithInvalidHandle)
{
    DFile file;
    BYTE b;
    DWORD done;
    BY_HANDLE_FILE_INFORMATION info;
    SetLastError(0);
    EXPECT_FALSE(file.Read(&b, 1, &done, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    SetLastError(0);
    EXPECT_FALSE(file.Write(&b, 1, &done, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    SetLastError(0);
    EXPECT_EQ(INVALID_SET_FILE_POINTER, file.Seek(0, nullptr, FILE_BEGIN));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_EQ(INVALID_FILE_SIZE, file.GetSize(nullptr));
    EXPECT_EQ(static_cast<DWORD>(FILE_TYPE_UNKNOWN), file.GetType());
    EXPECT_FALSE(file.GetInformation(&info));
    EXPECT_FALSE(file.SetEnd());
    EXPECT_FALSE(file.Flush());
    EXPECT_FALSE(file.CancelIo());
    SetLastError(0);
    EXPECT_FALSE(file.Close());
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

TEST_F(FilesTest, FileWritesSeeksReadsAndTruncates)
{
    std::wstring path = Path(L"data.bin");
    DFile file;
    ASSERT_TRUE(file.Create(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(FILE_TYPE_DISK), file.GetType());
    const char text[] = "0123456789";
    DWORD done = 0;
    ASSERT_TRUE(file.Write(text, 10, &done, nullptr));
    EXPECT_EQ(10u, done);
    EXPECT_TRUE(file.Flush());
    DWORD high = 1;
    EXPECT_EQ(10u, file.GetSize(&high));
    EXPECT_EQ(0u, high);
    EXPECT_EQ(4u, file.Seek(4, nullptr, FILE_BEGIN));
    char back[4] = {};
    ASSERT_TRUE(file.Read(back, 3, &done, nullptr));
    EXPECT_EQ(std::string("456"), std::string(back, 3));
    EXPECT_EQ(6u, file.Seek(-1, nullptr, FILE_CURRENT));
    EXPECT_TRUE(file.SetEnd());
    BY_HANDLE_FILE_INFORMATION info;
    ASSERT_TRUE(file.GetInformation(&info));
    EXPECT_EQ(6u, info.nFileSizeLow);
    EXPECT_TRUE(file.Close());
    EXPECT_EQ(INVALID_HANDLE_VALUE, file.Handle());
    SetLastError(0);
    EXPECT_FALSE(file.Close());
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

TEST_F(FilesTest, FailedCreateKeepsTheBlockAndPassesSystemErrorsOn)
{
    DFile file;
    EXPECT_FALSE(file.Create(Path(L"nope\\x.bin").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, GetLastError());
    BYTE b;
    DWORD done;
    SetLastError(0);
    EXPECT_FALSE(file.Read(&b, 1, &done, nullptr));
    EXPECT_NE(0u, GetLastError());
    // The same object opens a file that is there.
    std::wstring path = WriteBytes(L"there.bin", {1});
    EXPECT_TRUE(file.Create(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

TEST_F(FilesTest, FileHandleClosesWithTheLastHolder)
{
    std::wstring path = WriteBytes(L"shared.bin", {1, 2, 3});
    {
        DFile* first = new DFile;
        ASSERT_TRUE(first->Create(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        DFile second(*first);
        DFile third;
        third = second;
        EXPECT_EQ(first->Handle(), third.Handle());
        delete first;
        EXPECT_FALSE(OpensExclusively(path));  // two holders left
        second = DFile();
        EXPECT_FALSE(OpensExclusively(path));  // one holder left
        BYTE b = 0;
        DWORD done = 0;
        ASSERT_TRUE(third.Read(&b, 1, &done, nullptr));
        EXPECT_EQ(1, b);
        third = third;  // a holder assigned to itself keeps its share
        EXPECT_FALSE(OpensExclusively(path));
    }
    EXPECT_TRUE(OpensExclusively(path));
    EXPECT_TRUE(DeleteFileW(path.c_str()));
}

TEST_F(FilesTest, CloseClosesTheHandleForEveryHolder)
{
    std::wstring path = WriteBytes(L"close.bin", {1});
    DFile file;
    ASSERT_TRUE(file.Create(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    DFile copy(file);
    EXPECT_TRUE(copy.Close());
    EXPECT_EQ(INVALID_HANDLE_VALUE, file.Handle());
    EXPECT_TRUE(OpensExclusively(path));
}

TEST_F(FilesTest, CreateAgainClosesThePreviousFile)
{
    std::wstring a = WriteBytes(L"a.bin", {1});
    std::wstring b = WriteBytes(L"b.bin", {2});
    DFile file;
    ASSERT_TRUE(file.Create(a.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file.Create(b.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_TRUE(OpensExclusively(a));
    EXPECT_FALSE(OpensExclusively(b));
}

TEST_F(FilesTest, FindFileListsTheMatchingEntriesOfARealFolder)
{
    WriteBytes(L"one.txt", {1});
    WriteBytes(L"two.txt", {2});
    WriteBytes(L"three.dat", {3});
    DFindFile find;
    WIN32_FIND_DATAW data;
    ASSERT_TRUE(find.First(Path(L"*.txt").c_str(), &data));
    std::set<std::wstring> names = {data.cFileName};
    DFindFile copy(find);  // a copy continues the same search
    while (copy.Next(&data))
        names.insert(data.cFileName);
    EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
    EXPECT_EQ((std::set<std::wstring>{L"one.txt", L"two.txt"}), names);
    EXPECT_TRUE(find.Close());
    SetLastError(0);
    EXPECT_FALSE(copy.Close());
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

TEST_F(FilesTest, FindFileFailuresReportTheReason)
{
    DFindFile find;
    WIN32_FIND_DATAW data;
    SetLastError(0);
    EXPECT_FALSE(find.Next(&data));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_FALSE(find.First(Path(L"*.none").c_str(), &data));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, GetLastError());
    // The block stays and serves the next search.
    WriteBytes(L"late.none", {1});
    ASSERT_TRUE(find.First(Path(L"*.none").c_str(), &data));
    EXPECT_STREQ(L"late.none", data.cFileName);
}

// ---------------------------------------------------------------------------
// Paths

TEST_F(FilesTest, FileExistsForFilesAndFolders)
{
    std::wstring path = WriteBytes(L"here.bin", {1});
    EXPECT_TRUE(FileExists(path.c_str()));
    EXPECT_TRUE(FileExists(dir_.c_str()));
    EXPECT_FALSE(FileExists(Path(L"gone.bin").c_str()));
    EXPECT_FALSE(FileExists(Path(L"gone\\deeper").c_str()));
}

TEST_F(FilesTest, FileHeldWithoutSharingStillExists)
{
    std::wstring path = WriteBytes(L"held.bin", {1});
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_TRUE(FileExists(path.c_str()));
    CloseHandle(h);
}

TEST_F(FilesTest, CreateDirectoryPathMakesThreeLevels)
{
    std::wstring path = Path(L"one\\two\\three\\");
    ASSERT_TRUE(CreateDirectoryPath(path.c_str())) << GetLastError();
    DWORD attributes = GetFileAttributesW(Path(L"one\\two\\three").c_str());
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, attributes);
    EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
    // Again, with every level there, and without the trailing backslash.
    EXPECT_TRUE(CreateDirectoryPath(path.c_str()));
    EXPECT_TRUE(CreateDirectoryPath(Path(L"one\\two\\three").c_str()));
}

TEST_F(FilesTest, CreateDirectoryPathAddsBelowExistingLevels)
{
    ASSERT_TRUE(CreateDirectoryW(Path(L"top").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryPath(Path(L"top\\mid\\low").c_str()));
    EXPECT_TRUE(FileExists(Path(L"top\\mid\\low").c_str()));
}

TEST_F(FilesTest, CreateDirectoryPathOfADriveRootSucceeds)
{
    wchar_t root[4] = {dir_[0], L':', L'\\', 0};
    EXPECT_TRUE(CreateDirectoryPath(root));
}

TEST_F(FilesTest, CreateDirectoryPathRefusesRelativePathsAndCreatesNothing)
{
    wchar_t previous[MAX_PATH];
    ASSERT_NE(0u, GetCurrentDirectoryW(MAX_PATH, previous));
    ASSERT_TRUE(SetCurrentDirectoryW(dir_.c_str()));
    bool made = CreateDirectoryPath(L"rel\\sub\\");
    DWORD err = GetLastError();
    bool leaked = FileExists(L"rel");
    bool madeDriveRelative = CreateDirectoryPath(L"C:rel2\\x");
    bool madeRooted = CreateDirectoryPath(L"\\rooted_tf_files\\x");
    SetCurrentDirectoryW(previous);
    EXPECT_FALSE(made);
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_PATHNAME), err);
    EXPECT_FALSE(leaked);
    EXPECT_FALSE(madeDriveRelative);
    EXPECT_FALSE(madeRooted);
    EXPECT_FALSE(FileExists(Path(L"rel").c_str()));
    EXPECT_FALSE(CreateDirectoryPath(L""));
}

TEST_F(FilesTest, CreateDirectoryPathNeedsAServerNameBehindTwoBackslashes)
{
    SetLastError(0);
    EXPECT_FALSE(CreateDirectoryPath(L"\\\\"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_PATHNAME), GetLastError());
    EXPECT_FALSE(CreateDirectoryPath(L"\\\\server"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_PATHNAME), GetLastError());
    EXPECT_FALSE(CreateDirectoryPath(L"\\\\\\share\\x"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BAD_PATHNAME), GetLastError());
}

TEST_F(FilesTest, CreateDirectoryPathBelowAServerStyleRoot)
{
    // "\\?\" is a root of the server form that the system resolves locally.
    std::wstring path = L"\\\\?\\" + Path(L"unc\\a\\b");
    ASSERT_TRUE(CreateDirectoryPath(path.c_str())) << GetLastError();
    EXPECT_TRUE(FileExists(Path(L"unc\\a\\b").c_str()));
}

TEST_F(FilesTest, CreateDirectoryPathStopsAtAFileInTheWay)
{
    WriteBytes(L"blocker", {1});
    EXPECT_FALSE(CreateDirectoryPath(Path(L"blocker\\below").c_str()));
    EXPECT_NE(0u, GetLastError());
    // A file where the last folder should be is no success either.
    EXPECT_FALSE(CreateDirectoryPath(Path(L"blocker").c_str()));
}

TEST(FindExtension, Cases)
{
    const wchar_t* name = L"C:\\dir\\file.cfg";
    EXPECT_EQ(name + 12, FindExtension(name));
    EXPECT_STREQ(L"cfg", FindExtension(name));
    EXPECT_EQ(nullptr, FindExtension(L"C:\\dir.x\\file"));  // a dot in a folder does not count
    EXPECT_STREQ(L"", FindExtension(L"file."));
    EXPECT_STREQ(L"gz", FindExtension(L"archive.tar.gz"));
    EXPECT_STREQ(L"cfg", FindExtension(L"dir\\.cfg"));
    EXPECT_EQ(nullptr, FindExtension(L"plain"));
    EXPECT_EQ(nullptr, FindExtension(L""));
    EXPECT_EQ(nullptr, FindExtension(L"dir.x\\"));
    EXPECT_EQ(nullptr, FindExtension(static_cast<const wchar_t*>(nullptr)));
    wchar_t editable[] = L"a.b";
    wchar_t* ext = FindExtension(editable);
    ASSERT_NE(nullptr, ext);
    *ext = L'c';
    EXPECT_STREQ(L"a.c", editable);
}

// Buffers are followed by a guard that must survive every call.
struct Guarded {
    wchar_t text[12];
    wchar_t guard[4];
    explicit Guarded(const wchar_t* initial)
    {
        for (wchar_t& c : text)
            c = L'#';
        wcscpy(text, initial);
        for (wchar_t& c : guard)
            c = L'!';
    }
    bool GuardIntact() const { return guard[0] == L'!' && guard[1] == L'!' && guard[2] == L'!' && guard[3] == L'!'; }
};

TEST(AddBackslash, AppendsOnlyWhatIsMissing)
{
    Guarded path(L"C:\\a");
    EXPECT_TRUE(AddBackslash(path.text, 12));
    EXPECT_STREQ(L"C:\\a\\", path.text);
    EXPECT_TRUE(AddBackslash(path.text, 12));
    EXPECT_STREQ(L"C:\\a\\", path.text);

    Guarded empty(L"");
    EXPECT_TRUE(AddBackslash(empty.text, 2));
    EXPECT_STREQ(L"\\", empty.text);
}

TEST(AddBackslash, NeverWritesPastTheBuffer)
{
    Guarded full(L"C:\\folder12");  // 11 characters: the buffer of 12 is full
    EXPECT_FALSE(AddBackslash(full.text, 12));
    EXPECT_STREQ(L"C:\\folder12", full.text);
    EXPECT_TRUE(full.GuardIntact());

    Guarded fits(L"C:\\folder1");  // 10 characters: the backslash just fits
    EXPECT_TRUE(AddBackslash(fits.text, 12));
    EXPECT_STREQ(L"C:\\folder1\\", fits.text);
    EXPECT_TRUE(fits.GuardIntact());

    Guarded empty(L"");
    EXPECT_FALSE(AddBackslash(empty.text, 1));
    EXPECT_STREQ(L"", empty.text);

    // A buffer with no terminator inside its capacity is left alone.
    Guarded unterminated(L"abcdefghijk");
    EXPECT_FALSE(AddBackslash(unterminated.text, 5));
    EXPECT_STREQ(L"abcdefghijk", unterminated.text);
    EXPECT_FALSE(AddBackslash(nullptr, 5));

    // A size that is no size writes nothing.
    Guarded negative(L"C:\\a");
    EXPECT_FALSE(AddBackslash(negative.text, -1));
    EXPECT_STREQ(L"C:\\a", negative.text);
}

TEST(AddDefaultExtension, AppendsOnlyWhenTheNameHasNone)
{
    Guarded name(L"main");
    EXPECT_TRUE(AddDefaultExtension(name.text, 12, L".cfg"));
    EXPECT_STREQ(L"main.cfg", name.text);
    EXPECT_TRUE(AddDefaultExtension(name.text, 12, L".txt"));
    EXPECT_STREQ(L"main.cfg", name.text);

    Guarded dotted(L"a.b\\mn");
    EXPECT_TRUE(AddDefaultExtension(dotted.text, 12, L".cfg"));
    EXPECT_STREQ(L"a.b\\mn.cfg", dotted.text);

    Guarded trailing(L"main.");
    EXPECT_TRUE(AddDefaultExtension(trailing.text, 12, L".cfg"));
    EXPECT_STREQ(L"main.", trailing.text);
}

TEST(AddDefaultExtension, NeverWritesPastTheBuffer)
{
    Guarded exact(L"patient");  // 7 + 4 + terminator = 12
    EXPECT_TRUE(AddDefaultExtension(exact.text, 12, L".cfg"));
    EXPECT_STREQ(L"patient.cfg", exact.text);
    EXPECT_TRUE(exact.GuardIntact());

    Guarded tooLong(L"patients");  // one character too many
    EXPECT_FALSE(AddDefaultExtension(tooLong.text, 12, L".cfg"));
    EXPECT_STREQ(L"patients", tooLong.text);
    EXPECT_TRUE(tooLong.GuardIntact());

    Guarded small(L"ab");
    EXPECT_FALSE(AddDefaultExtension(small.text, 4, L".x"));
    EXPECT_STREQ(L"ab", small.text);

    Guarded unterminated(L"abcdefghijk");
    EXPECT_FALSE(AddDefaultExtension(unterminated.text, 6, L".x"));
    EXPECT_STREQ(L"abcdefghijk", unterminated.text);

    Guarded negative(L"ab");
    EXPECT_FALSE(AddDefaultExtension(negative.text, -1, L".x"));
    EXPECT_STREQ(L"ab", negative.text);
}

}  // namespace

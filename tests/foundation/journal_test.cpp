#include "foundation/journal.h"

#include "common/prompt_script.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

// Little-endian reading and writing of journal files, independent of the code
// under test.
void Put16(std::vector<BYTE>& b, size_t at, WORD v)
{
    b[at] = static_cast<BYTE>(v);
    b[at + 1] = static_cast<BYTE>(v >> 8);
}

void Put32(std::vector<BYTE>& b, size_t at, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<BYTE>(v >> (8 * i));
}

DWORD Get32(const std::vector<BYTE>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<DWORD>(b[at + 3]) << 24);
}

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

size_t RecordOffset(size_t i) { return 28 + i * 284; }

// A journal file image of the program's size with the given header.
std::vector<BYTE> MakeImage(DWORD capacity, DWORD count, DWORD unicode)
{
    std::vector<BYTE> b(2840028, 0);
    Put16(b, 0, 2004);
    Put16(b, 2, 8);
    Put16(b, 6, 18);
    Put32(b, 16, capacity);
    Put32(b, 20, count);
    Put32(b, 24, unicode);
    return b;
}

void PutRecord(std::vector<BYTE>& b, size_t i, DWORD category, DWORD code, const std::wstring& text)
{
    size_t at = RecordOffset(i);
    Put16(b, at, 2004);
    Put32(b, at + 16, category);
    Put32(b, at + 20, code);
    Put32(b, at + 24, static_cast<DWORD>(text.size()));
    for (size_t c = 0; c < text.size(); ++c)
        Put16(b, at + 28 + c * 2, text[c]);
}

// Records of run markers at the given indexes and ordinary records (category
// 1, code = index, text "record <index>") everywhere else.
std::vector<BYTE> MakeJournal(DWORD count, const std::vector<DWORD>& markers)
{
    std::vector<BYTE> b = MakeImage(10000, count, 1);
    for (DWORD i = 0; i < count; ++i)
        PutRecord(b, i, 1, i, L"record " + std::to_wstring(i));
    for (DWORD m : markers)
        PutRecord(b, m, 0, 0, L"Journal opened");
    return b;
}

std::wstring TextOf(const JournalRecord& r) { return std::wstring(r.text, r.length); }

class JournalTest : public testing::Test {
protected:
    void SetUp() override
    {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        static int serial = 0;
        folder_ = std::wstring(temp) + L"journal_test_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
                  std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(++serial);
        ASSERT_TRUE(CreateDirectoryW(folder_.c_str(), nullptr));
        path_ = folder_ + L"\\zelk.ju";
    }

    void TearDown() override
    {
        JournalDone();
        DeleteFileW(path_.c_str());
        RemoveDirectoryW(folder_.c_str());
    }

    // Creates a fresh journal through the Yes answer to the question.
    void CreateJournal()
    {
        PromptScript script({IDYES});
        ASSERT_TRUE(JournalInit(folder_.c_str()));
        ASSERT_EQ(1u, script.Count());
    }

    void WriteFile(const std::vector<BYTE>& bytes)
    {
        HANDLE f = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, f);
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
        CloseHandle(f);
    }

    std::vector<BYTE> ReadFile() const
    {
        HANDLE f = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return {};
        std::vector<BYTE> b(GetFileSize(f, nullptr));
        DWORD read = 0;
        if (!b.empty())
            ::ReadFile(f, b.data(), static_cast<DWORD>(b.size()), &read, nullptr);
        CloseHandle(f);
        b.resize(read);
        return b;
    }

    LONGLONG FileSize() const
    {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data))
            return -1;
        return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }

    static DWORD Count()
    {
        JournalHeader header{};
        EXPECT_TRUE(JournalEnter());
        bool mapped = JournalReadHeader(&header);
        JournalLeave();
        EXPECT_TRUE(mapped);
        return header.count;
    }

    static JournalRecord Record(DWORD index)
    {
        JournalRecord record{};
        EXPECT_TRUE(JournalEnter());
        EXPECT_TRUE(JournalReadRecord(index, &record)) << "record " << index;
        JournalLeave();
        return record;
    }

    std::wstring folder_;
    std::wstring path_;
};

// --- Creation, markers and the file's layout ---------------------------------

TEST_F(JournalTest, MissingFileIsCreatedOnYesAtFullSizeWithOpenedMarker)
{
    PromptScript script({IDYES});
    SYSTEMTIME before;
    GetLocalTime(&before);
    ASSERT_TRUE(JournalInit(folder_.c_str()));

    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"Journal Not Found\nCreate Journal?", script.Last().text);
    EXPECT_FALSE(script.Last().hasCaption);
    EXPECT_EQ(nullptr, script.Last().owner);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO), script.Last().flags & 0xF);
    EXPECT_EQ(2840028, FileSize());
    EXPECT_TRUE(JournalIsMapped());

    JournalHeader header{};
    ASSERT_TRUE(JournalEnter());
    ASSERT_TRUE(JournalReadHeader(&header));
    JournalLeave();
    EXPECT_EQ(10000u, header.capacity);
    EXPECT_EQ(1u, header.count);
    EXPECT_EQ(1u, header.unicode);
    EXPECT_EQ(before.wYear, header.created.wYear);

    JournalRecord first = Record(0);
    EXPECT_EQ(0u, first.category);
    EXPECT_EQ(0u, first.code);
    EXPECT_EQ(L"Journal opened", TextOf(first));
    EXPECT_EQ(before.wYear, first.time.wYear);
}

TEST_F(JournalTest, FileHoldsHeaderAndRecordsFieldByFieldAfterClose)
{
    CreateJournal();
    LogError(0x80004005, L"Open database");
    JournalWrite(kJournalCatSqlStmt, 7, L"SELECT 1");
    JournalDone();

    std::vector<BYTE> b = ReadFile();
    ASSERT_EQ(2840028u, b.size());
    EXPECT_EQ(10000u, Get32(b, 16));
    EXPECT_EQ(4u, Get32(b, 20));
    EXPECT_EQ(1u, Get32(b, 24));

    size_t error = RecordOffset(1);
    EXPECT_EQ(1u, Get32(b, error + 16));
    EXPECT_EQ(0x80004005u, Get32(b, error + 20));
    EXPECT_EQ(13u, Get32(b, error + 24));
    EXPECT_EQ('O', b[error + 28]);
    EXPECT_EQ(0, b[error + 29]);
    EXPECT_EQ(5u, Get32(b, RecordOffset(2) + 16));

    size_t closed = RecordOffset(3);
    EXPECT_EQ(0u, Get32(b, closed + 16));
    EXPECT_EQ(1u, Get32(b, closed + 20));
    EXPECT_EQ(L'J', b[closed + 28]);
    EXPECT_EQ(0u, Get32(b, RecordOffset(4) + 16));   // nothing beyond the count
}

TEST_F(JournalTest, NoAnswerCreatesNothingAndWritesAreIgnored)
{
    PromptScript script({IDNO});
    EXPECT_FALSE(JournalInit(folder_.c_str()));
    EXPECT_EQ(1u, script.Count());
    EXPECT_EQ(-1, FileSize());
    EXPECT_FALSE(JournalIsMapped());
    LogError(5, L"ignored");
}

TEST_F(JournalTest, MissingFolderFailsWithoutQuestionButSaysWhy)
{
    PromptScript script({IDOK});
    EXPECT_FALSE(JournalInit((folder_ + L"\\no such folder").c_str()));
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(UINT(MB_OK), script.Last().flags & 0xF) << "a message, not a question";
    EXPECT_NE(std::wstring::npos, script.Last().text.find(L"no such folder\\zelk.ju")) << Narrow(script.Last().text);
    EXPECT_NE(std::wstring::npos, script.Last().text.find(L"(error 3)")) << Narrow(script.Last().text);
}

// A journal that exists but cannot be opened ends the start with its reason
// shown: held by another process, or denied (a folder of the journal's name).
TEST_F(JournalTest, AJournalThatCannotBeOpenedIsExplainedBeforeTheEnd)
{
    CreateJournal();
    JournalDone();
    HANDLE holder = CreateFileW(path_.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);
    {
        PromptScript script({IDOK});
        EXPECT_FALSE(JournalInit(folder_.c_str()));
        ASSERT_EQ(1u, script.Count());
        const std::wstring& text = script.Last().text;
        EXPECT_EQ(0u, text.find(L"The journal \"" + path_ + L"\" cannot be opened")) << Narrow(text);
        EXPECT_NE(std::wstring::npos, text.find(L"(error 32)")) << Narrow(text);
        EXPECT_EQ(L"Error", script.Last().caption);
        EXPECT_EQ(UINT(MB_ICONHAND), script.Last().flags & MB_ICONMASK);
    }
    CloseHandle(holder);
    JournalDone();
    ASSERT_TRUE(DeleteFileW(path_.c_str()));
    ASSERT_TRUE(CreateDirectoryW(path_.c_str(), nullptr));
    {
        PromptScript script({IDOK});
        EXPECT_FALSE(JournalInit(folder_.c_str()));
        ASSERT_EQ(1u, script.Count());
        EXPECT_NE(std::wstring::npos, script.Last().text.find(L"(error 5)")) << Narrow(script.Last().text);
    }
    RemoveDirectoryW(path_.c_str());
}

TEST_F(JournalTest, SecondInitWhileOpenChangesNothing)
{
    CreateJournal();
    PromptScript script;
    EXPECT_TRUE(JournalInit(folder_.c_str()));
    EXPECT_EQ(1u, Count());
}

TEST_F(JournalTest, CreateOverExistingFileFailsAndLeavesIt)
{
    {
        PromptScript script({IDNO});   // the lock exists, the journal stays closed
        ASSERT_FALSE(JournalInit(folder_.c_str()));
    }
    std::vector<BYTE> bytes = MakeJournal(2, {0});
    WriteFile(bytes);
    PromptScript script({IDOK});
    EXPECT_FALSE(JournalCreate(folder_.c_str()));
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(0x42040u, script.Last().flags);   // the system's text of the error
    EXPECT_FALSE(script.Last().text.empty());
    EXPECT_FALSE(JournalIsMapped());
    EXPECT_TRUE(ReadFile() == bytes);
}

TEST_F(JournalTest, ReopeningKeepsRecordsAndMarksEachRun)
{
    CreateJournal();
    LogError(2, L"first run");
    JournalDone();
    {
        PromptScript script;   // the file exists: no question
        ASSERT_TRUE(JournalInit(folder_.c_str()));
    }
    ASSERT_EQ(4u, Count());
    EXPECT_EQ(L"first run", TextOf(Record(1)));
    EXPECT_EQ(L"Journal closed", TextOf(Record(2)));
    EXPECT_EQ(1u, Record(2).code);
    EXPECT_EQ(L"Journal opened", TextOf(Record(3)));
    EXPECT_EQ(0u, Record(3).category);
}

// --- Texts -------------------------------------------------------------------

// The record's text field holds 127 characters and the terminator: a text
// of exactly 127 is kept whole, one of 128 loses its last character.
TEST_F(JournalTest, ATextAtTheFieldsLimitIsKeptWholeOneBeyondLosesItsLast)
{
    CreateJournal();
    const std::wstring full(127, L'x');
    LogError(1, full.c_str());
    LogError(1, (full + L"y").c_str());
    for (int i : {1, 2}) {
        const JournalRecord r = Record(i);
        EXPECT_EQ(127, r.length) << i;
        EXPECT_EQ(full, TextOf(r)) << i;
        EXPECT_EQ(0, r.text[127]) << i;
    }
}

TEST_F(JournalTest, LongTextKeepsFirst127CharactersTerminated)
{
    CreateJournal();
    std::wstring text;
    for (int i = 0; i < 200; ++i)
        text += static_cast<wchar_t>(L'A' + i % 26);
    LogError(1, text.c_str());
    JournalRecord r = Record(1);
    EXPECT_EQ(127, r.length);
    EXPECT_EQ(text.substr(0, 127), TextOf(r));
    EXPECT_EQ(0, r.text[127]);

    JournalDone();
    std::vector<BYTE> b = ReadFile();
    size_t at = RecordOffset(1);
    EXPECT_EQ(127u, Get32(b, at + 24));
    EXPECT_EQ(static_cast<BYTE>(text[126]), b[at + 28 + 126 * 2]);
    EXPECT_EQ(0, b[at + 28 + 127 * 2]);
    EXPECT_EQ(0, b[at + 28 + 127 * 2 + 1]);
}

TEST_F(JournalTest, NullTextGivesEmptyRecord)
{
    CreateJournal();
    JournalWrite(kJournalCatWarning, 42, nullptr);
    JournalRecord r = Record(1);
    EXPECT_EQ(4u, r.category);
    EXPECT_EQ(42u, r.code);
    EXPECT_EQ(0, r.length);
    EXPECT_EQ(0, r.text[0]);
}

TEST_F(JournalTest, WriteIdStoresStringTableTextAsApplicationRecord)
{
    CreateJournal();
    JournalWriteId(3, 121);
    JournalRecord r = Record(1);
    EXPECT_EQ(1u, r.category);
    EXPECT_EQ(3u, r.code);
    EXPECT_EQ(L"Journal Not Found\nCreate Journal?", TextOf(r));
}

// --- A full journal ----------------------------------------------------------

TEST_F(JournalTest, FullJournalDropsFurtherRecords)
{
    CreateJournal();
    for (int i = 1; i < 9999; ++i)
        LogError(i, L"filler");
    ASSERT_EQ(9999u, Count());
    LogError(9999, L"last that fits");
    ASSERT_EQ(10000u, Count());
    LogError(10000, L"dropped");
    EXPECT_EQ(10000u, Count());
    EXPECT_EQ(L"last that fits", TextOf(Record(9999)));

    JournalDone();   // the closing marker is dropped as well
    std::vector<BYTE> b = ReadFile();
    ASSERT_EQ(2840028u, b.size());
    EXPECT_EQ(10000u, Get32(b, 20));
    EXPECT_EQ(9999u, Get32(b, RecordOffset(9999) + 20));
}

TEST_F(JournalTest, SmallerCapacityInHeaderIsHonoured)
{
    WriteFile(MakeImage(3, 0, 1));
    PromptScript script;
    ASSERT_TRUE(JournalInit(folder_.c_str()));
    LogError(1, L"two");
    LogError(2, L"three");
    LogError(3, L"dropped");
    EXPECT_EQ(3u, Count());
    JournalRecord none{};
    ASSERT_TRUE(JournalEnter());
    EXPECT_FALSE(JournalReadRecord(3, &none));
    JournalLeave();
}

// --- Compaction at opening ---------------------------------------------------

TEST_F(JournalTest, OpeningCompactsToNewestRunWithinFirst6000)
{
    // Markers at 0, 100 and 5,000 lie within the first 6,000 records; the one
    // at 7,000 does not count.
    WriteFile(MakeJournal(8001, {0, 100, 5000, 7000}));
    PromptScript script;
    ASSERT_TRUE(JournalInit(folder_.c_str()));

    ASSERT_EQ(3002u, Count());
    JournalRecord r0 = Record(0);
    EXPECT_EQ(0u, r0.category);
    EXPECT_EQ(0u, r0.code);
    EXPECT_EQ(5001u, Record(1).code);
    EXPECT_EQ(L"record 5001", TextOf(Record(1)));
    EXPECT_EQ(0u, Record(2000).category);   // the marker that was at 7,000
    EXPECT_EQ(8000u, Record(3000).code);
    EXPECT_EQ(L"record 8000", TextOf(Record(3000)));
    JournalRecord opened = Record(3001);
    EXPECT_EQ(0u, opened.category);
    EXPECT_EQ(L"Journal opened", TextOf(opened));

    // The new marker went into a slot that held a longer text: its field is
    // zeroed past the text.
    JournalDone();
    std::vector<BYTE> b = ReadFile();
    size_t at = RecordOffset(3001);
    for (size_t c = 14; c < 128; ++c)
        ASSERT_EQ(0, b[at + 28 + c * 2]) << "character " << c;
}

TEST_F(JournalTest, OpeningWithoutMarkerInFirst6000EmptiesJournal)
{
    WriteFile(MakeJournal(8500, {6000, 8000}));
    PromptScript script;
    ASSERT_TRUE(JournalInit(folder_.c_str()));
    ASSERT_EQ(1u, Count());
    EXPECT_EQ(L"Journal opened", TextOf(Record(0)));
}

TEST_F(JournalTest, OpeningWithOnlyMarkerAtZeroEmptiesJournal)
{
    WriteFile(MakeJournal(9000, {0}));
    PromptScript script;
    ASSERT_TRUE(JournalInit(folder_.c_str()));
    EXPECT_EQ(1u, Count());
}

TEST_F(JournalTest, OpeningExactly8000RecordsDoesNotCompact)
{
    WriteFile(MakeJournal(8000, {0, 10}));
    PromptScript script;
    ASSERT_TRUE(JournalInit(folder_.c_str()));
    ASSERT_EQ(8001u, Count());
    EXPECT_EQ(5u, Record(5).code);
    EXPECT_EQ(L"Journal opened", TextOf(Record(8000)));
}

// --- Refused files -------------------------------------------------------------

class JournalRefusalTest : public JournalTest {
protected:
    // Opening a file of these bytes is refused with `message`, leaves the
    // file as it was and the journal closed.
    void ExpectRefused(const std::vector<BYTE>& bytes, const wchar_t* message)
    {
        WriteFile(bytes);
        PromptScript script({IDOK});
        EXPECT_FALSE(JournalInit(folder_.c_str()));
        ASSERT_EQ(1u, script.Count());
        EXPECT_EQ(message, script.Last().text);
        EXPECT_FALSE(script.Last().hasCaption);
        EXPECT_EQ(nullptr, script.Last().owner);
        EXPECT_EQ(static_cast<UINT>(MB_OK), script.Last().flags);
        EXPECT_FALSE(JournalIsMapped());
        LogError(1, L"ignored");
        JournalDone();
        EXPECT_TRUE(ReadFile() == bytes) << "the refused file was changed";
    }
};

TEST_F(JournalRefusalTest, OtherCharacterSetIsRefused)
{
    ExpectRefused(MakeImage(10000, 5, 0), L"Journal Wrong Unicode/Ansi Support\nProgram Terminate");
}

TEST_F(JournalRefusalTest, CapacityAboveProgramsIsRefused)
{
    ExpectRefused(MakeImage(20000, 5, 1), L"Journal Damaged\nProgram Terminate");
}

TEST_F(JournalRefusalTest, CountAboveCapacityIsRefused)
{
    ExpectRefused(MakeImage(10000, 10001, 1), L"Journal Damaged\nProgram Terminate");
    ExpectRefused(MakeImage(100, 0xFFFFFFF0, 1), L"Journal Damaged\nProgram Terminate");
}

TEST_F(JournalRefusalTest, FileShorterThanHeaderIsRefused)
{
    ExpectRefused(std::vector<BYTE>(10, 1), L"Journal Damaged\nProgram Terminate");
}

TEST_F(JournalRefusalTest, RefusedFileOpensOnceRepaired)
{
    ExpectRefused(MakeImage(10000, 10001, 1), L"Journal Damaged\nProgram Terminate");
    WriteFile(MakeJournal(3, {0}));
    PromptScript script;
    ASSERT_TRUE(JournalInit(folder_.c_str()));
    EXPECT_EQ(4u, Count());
}

// --- Closed journal and threads ------------------------------------------------

TEST(JournalClosed, WritesBeforeInitAndAfterDoneAreHarmless)
{
    LogError(1, L"before any journal");
    JournalWrite(0, 0, nullptr);
    JournalClose();
    JournalDone();
    JournalDone();
    EXPECT_FALSE(JournalOpen(nullptr));     // only JournalInit makes the lock
    EXPECT_FALSE(JournalCreate(nullptr));
    JournalCompact();
    EXPECT_FALSE(JournalIsMapped());
    EXPECT_FALSE(JournalEnter());
    JournalRecord r{};
    EXPECT_FALSE(JournalReadRecord(0, &r));
}

TEST_F(JournalTest, LogErrorAfterDoneIsHarmless)
{
    CreateJournal();
    JournalDone();
    LogError(1, L"late");
    JournalWriteId(1, 121);
    EXPECT_FALSE(JournalIsMapped());
    EXPECT_FALSE(JournalEnter());
    std::vector<BYTE> b = ReadFile();
    ASSERT_EQ(2840028u, b.size());
    EXPECT_EQ(2u, Get32(b, 20));
}

TEST_F(JournalTest, ThreadsEachGetTheirOwnRecords)
{
    CreateJournal();
    const int kThreads = 8;
    const int kEach = 500;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kEach; ++i) {
                DWORD code = t * 1000 + i;
                LogError(code, (L"thread record " + std::to_wstring(code)).c_str());
            }
        });
    }
    for (auto& thread : threads)
        thread.join();

    ASSERT_EQ(1u + kThreads * kEach, Count());
    std::vector<int> seen(kThreads * 1000, 0);
    for (DWORD i = 1; i <= kThreads * kEach; ++i) {
        JournalRecord r = Record(i);
        ASSERT_EQ(1u, r.category);
        ASSERT_LT(r.code, seen.size());
        ++seen[r.code];
        ASSERT_EQ(L"thread record " + std::to_wstring(r.code), TextOf(r));
    }
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kEach; ++i)
            ASSERT_EQ(1, seen[t * 1000 + i]) << "code " << t * 1000 + i;
}

TEST_F(JournalTest, WritersRacingCloseAndDoneNeverFault)
{
    CreateJournal();
    JournalDone();
    std::atomic<bool> stop{false};
    std::atomic<int> writes{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            while (!stop.load()) {
                LogError(7, L"racing writer");
                writes.fetch_add(1);
            }
        });
    }
    // The writers race the rounds from the first one on.
    for (const DWORD start = GetTickCount(); writes.load() == 0 && GetTickCount() - start < 30000;)
        Sleep(1);
    for (int round = 0; round < 40; ++round) {
        PromptScript script;
        ASSERT_TRUE(JournalInit(folder_.c_str()));
        Sleep(1);
        if (round % 2)
            JournalClose();
        else
            JournalDone();
    }
    stop.store(true);
    for (auto& thread : threads)
        thread.join();
    EXPECT_GT(writes.load(), 0);

    // Every record of the file is whole: markers or the writers' records.
    std::vector<BYTE> b = ReadFile();
    DWORD count = Get32(b, 20);
    ASSERT_LE(count, 10000u);
    for (DWORD i = 0; i < count; ++i) {
        size_t at = RecordOffset(i);
        DWORD category = Get32(b, at + 16);
        if (category == 1) {
            ASSERT_EQ(7u, Get32(b, at + 20)) << "record " << i;
            ASSERT_EQ(13u, Get32(b, at + 24)) << "record " << i;
        } else {
            ASSERT_EQ(0u, category) << "record " << i;
        }
    }
}

}  // namespace

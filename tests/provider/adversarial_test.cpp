// Statements written to break the provider (any OLE DB consumer of the
// machine reaches it): the translation keeps their meaning, and nesting too
// deep for the stack is refused with a clear error instead of ending the
// calling process.
#include "provider/site_db.h"

#include "provider/statement.h"

namespace zt {
namespace {

class AdversarialTest : public SiteTest {
protected:
    static std::wstring Repeat(const wchar_t* piece, int times)
    {
        std::wstring out;
        for (int i = 0; i < times; ++i)
            out += piece;
        return out;
    }

    void ExpectTooDeep(const std::wstring& text)
    {
        Result r = Exec(text.c_str());
        EXPECT_EQ(DB_E_ERRORSINCOMMAND, r.hr) << text.substr(0, 60).c_str();
        EXPECT_EQ(L"42000", r.error.sqlState);
        EXPECT_EQ(191, r.error.nativeError);
        EXPECT_NE(std::wstring::npos, r.error.description.find(L"nested too deeply"))
            << testing::PrintToString(r.error.description);
    }
};

TEST_F(AdversarialTest, UnarySignsBeforeSignsKeepTheirMeaning)
{
    ExpectRows(L"SELECT - -1, -(-2), - - -3, 4 - -1, + -5", {}, {{L"1", L"2", L"-3", L"5", L"-5"}});
    ExpectRows(L"SELECT Patient FROM Patient WHERE Patient = - -1", {}, {{L"1"}});
    // Written as "--1", the sign would comment out the rest of the line, and
    // the next line would widen the condition to every row.
    ExpectAffected(L"UPDATE Patient SET Name3 = N'changed' WHERE Patient = - -1 AND Name1 = N'no such name\n"
                   L"1 OR 1=1 --'",
                   {}, 0);
    ExpectRows(L"SELECT COUNT(*) FROM Patient WHERE Name3 = N'changed'", {}, {{L"0"}});
    ExpectAffected(L"DELETE FROM FixSnimok WHERE Snimok = - -3", {}, 1);
    ExpectRows(L"SELECT Snimok FROM FixSnimok", {}, {{L"1"}});
}

TEST_F(AdversarialTest, NestingDeeperThanTheLimitIsRefusedWith42000)
{
    ExpectTooDeep(L"SELECT Patient FROM Patient WHERE " + Repeat(L"(", 750) + L"1 = 1" + Repeat(L")", 750));
    ExpectTooDeep(L"SELECT " + Repeat(L"- ", 20000) + L"1");
    ExpectTooDeep(L"SELECT Patient FROM Patient WHERE " + Repeat(L"NOT ", 20000) + L"1 = 1");
    ExpectTooDeep(Repeat(L"SELECT (", 5000) + L"SELECT 1" + Repeat(L")", 5000));
    ExpectTooDeep(L"SELECT " + Repeat(L"ABS(", 5000) + L"1" + Repeat(L")", 5000));
    ExpectTooDeep(L"SELECT Patient FROM Patient WHERE Patient IN " + Repeat(L"(SELECT Patient FROM Patient WHERE Patient IN ", 3000) +
                  L"(1)" + Repeat(L")", 3000));
    // The session goes on working.
    ExpectRows(L"SELECT COUNT(*) FROM Patient", {}, {{L"4"}});
}

// The deepest statements accepted, run on a thread of their own whose stack
// below the caller's frame is painted first: what the run overwrote is the
// stack it took.
struct DeepRun {
    IDBCreateCommand* session;
    std::vector<std::wstring> statements;
    std::vector<HRESULT> results;
    size_t stackUsed = 0;
};

const size_t kPainted = 512 * 1024;
const unsigned char kPaint = 0xA5;

// Paints from just below this frame downward (page after page, as the stack grows).
__attribute__((noinline)) void PaintStack(unsigned char*& lowest)
{
    volatile unsigned char* frame = static_cast<unsigned char*>(__builtin_frame_address(0));
    for (size_t i = 256; i < kPainted; ++i)
        frame[-static_cast<ptrdiff_t>(i)] = kPaint;
    lowest = const_cast<unsigned char*>(frame) - kPainted + 1;
}

__attribute__((noinline)) void RunStatements(DeepRun* run)
{
    for (const std::wstring& text : run->statements) {
        Ptr<ICommandText> command;
        HRESULT hr = run->session->CreateCommand(nullptr, IID_ICommandText, command.OutUnknown());
        if (SUCCEEDED(hr))
            hr = command->SetCommandText(DBGUID_DEFAULT, text.c_str());
        Ptr<IRowset> rowset;
        if (SUCCEEDED(hr))
            hr = command->Execute(nullptr, IID_IRowset, nullptr, nullptr, rowset.OutUnknown());
        run->results.push_back(hr);
    }
}

DWORD WINAPI RunDeep(void* context)
{
    auto* run = static_cast<DeepRun*>(context);
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    unsigned char* lowest = nullptr;
    PaintStack(lowest);
    unsigned char* top = static_cast<unsigned char*>(__builtin_frame_address(0));
    RunStatements(run);
    unsigned char* p = lowest;
    while (p < top && *p == kPaint)
        ++p;
    run->stackUsed = static_cast<size_t>(top - p);
    CoUninitialize();
    return 0;
}

TEST_F(AdversarialTest, TheDeepestAcceptedStatementsRunOnASmallStack)
{
    const int n = zelk::kMaxNesting - 1;
    const std::wstring statements[] = {
        L"SELECT Patient FROM Patient WHERE " + Repeat(L"(", n) + L"Patient = 1" + Repeat(L")", n),
        L"SELECT " + Repeat(L"- ", n) + L"1",
        L"SELECT Patient FROM Patient WHERE " + Repeat(L"NOT ", n) + L"Patient = 1",
        Repeat(L"SELECT (", zelk::kMaxSelectNesting - 1) + L"SELECT 1" + Repeat(L")", zelk::kMaxSelectNesting - 1),
        L"SELECT " + Repeat(L"ABS(", n) + L"1" + Repeat(L")", n),
        // Every operator level on the way to the next parenthesis.
        L"SELECT Patient FROM Patient WHERE " + Repeat(L"Patient = 1 OR Patient = 2 AND NOT Patient = 3 + 4 * -(", n / 3) +
            L"5" + Repeat(L")", n / 3),
    };
    for (const std::wstring& text : statements) {
        DeepRun run{session_.Get(), {text}, {}};
        HANDLE thread =
            CreateThread(nullptr, 1024 * 1024, RunDeep, &run, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
        ASSERT_NE(nullptr, thread);
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 60000));
        CloseHandle(thread);
        ASSERT_EQ(1u, run.results.size());
        EXPECT_EQ(S_OK, run.results[0]) << text.substr(0, 40).c_str();
        // A quarter of the megabyte a 32-bit thread gets by default.
        EXPECT_LT(run.stackUsed, 256u * 1024) << text.substr(0, 40).c_str();
        EXPECT_GT(run.stackUsed, 4u * 1024) << "the painting measured nothing";
        printf("%u KB: %ls\n", static_cast<unsigned>(run.stackUsed / 1024), text.substr(0, 40).c_str());
    }
    // One level more is refused.
    ExpectTooDeep(L"SELECT " + Repeat(L"- ", n + 1) + L"1");
}

}  // namespace
}  // namespace zt

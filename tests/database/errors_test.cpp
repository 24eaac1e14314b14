// The layer's error object, the posting rules and the DODBErrors exception.
#include "database/dberrors.h"

#include "common/prompt_script.h"
#include "database/dbobject.h"
#include "test_error_object.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Text(const DODBErrors& e)
{
    wchar_t buffer[4200] = {};
    e.GetText(buffer, 4100);
    return buffer;
}

std::wstring Bstr(BSTR b)
{
    std::wstring s = b != nullptr ? std::wstring(b, SysStringLen(b)) : std::wstring();
    SysFreeString(b);
    return s;
}

class ErrorLayer : public ::testing::Test
{
protected:
    void SetUp() override { DODBClearError(); }
    void TearDown() override
    {
        DODBFailAllocationsAfter(-1);
        DODBClearError();
    }
};

TEST_F(ErrorLayer, TheInfoFaceSaysNothingItself)
{
    ASSERT_TRUE(DODBSetError(E_FAIL, 699, L"DODBParams::SetValue"));
    IErrorInfo* info = TakeErrorObject();
    ASSERT_NE(nullptr, info);
    GUID guid = GUID_NULL;
    EXPECT_EQ(S_FALSE, info->GetGUID(&guid));
    BSTR text = SysAllocString(L"x");
    EXPECT_EQ(E_FAIL, info->GetDescription(&text));
    EXPECT_EQ(nullptr, text);
    EXPECT_EQ(E_FAIL, info->GetSource(&text));
    EXPECT_EQ(nullptr, text);
    DWORD context = 5;
    EXPECT_EQ(E_FAIL, info->GetHelpContext(&context));
    EXPECT_EQ(0u, context);
    info->Release();
}

TEST_F(ErrorLayer, UnknownAndRecordsGiveTheRecordsFace)
{
    DODBSetError(E_FAIL, 699, L"DODBParams::SetValue");
    IErrorInfo* info = TakeErrorObject();
    ASSERT_NE(nullptr, info);
    IErrorRecords* records = nullptr;
    IUnknown* unknown = nullptr;
    IErrorInfo* again = nullptr;
    IDispatch* dispatch = reinterpret_cast<IDispatch*>(1);
    ASSERT_EQ(S_OK, info->QueryInterface(IID_IErrorRecords, reinterpret_cast<void**>(&records)));
    ASSERT_EQ(S_OK, info->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)));
    ASSERT_EQ(S_OK, records->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&again)));
    EXPECT_EQ(E_NOINTERFACE, info->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)));
    EXPECT_EQ(nullptr, dispatch);
    EXPECT_EQ(static_cast<void*>(records), static_cast<void*>(unknown));
    EXPECT_EQ(static_cast<void*>(info), static_cast<void*>(again));
    again->Release();
    unknown->Release();
    records->Release();
    info->Release();
}

TEST_F(ErrorLayer, TheRecordCarriesResultMessageAndSource)
{
    DODBSetError(E_NOINTERFACE, 678, L"DODBCommand::SetCmdText");
    IErrorInfo* info = TakeErrorObject();
    IErrorRecords* records = nullptr;
    ASSERT_EQ(S_OK, info->QueryInterface(IID_IErrorRecords, reinterpret_cast<void**>(&records)));
    ULONG n = 0;
    EXPECT_EQ(S_OK, records->GetRecordCount(&n));
    EXPECT_EQ(1u, n);
    ERRORINFO basic = {};
    EXPECT_EQ(S_OK, records->GetBasicErrorInfo(0, &basic));
    EXPECT_EQ(E_NOINTERFACE, basic.hrError);
    EXPECT_EQ(E_FAIL, records->GetBasicErrorInfo(1, &basic));
    IUnknown* custom = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(E_FAIL, records->GetCustomErrorObject(0, IID_ISQLErrorInfo, &custom));
    EXPECT_EQ(nullptr, custom);
    IErrorInfo* record = nullptr;
    EXPECT_EQ(E_FAIL, records->GetErrorInfo(1, 0x409, &record));
    EXPECT_EQ(nullptr, record);
    ASSERT_EQ(S_OK, records->GetErrorInfo(0, 0x409, &record));
    BSTR text = nullptr;
    ASSERT_EQ(S_OK, record->GetDescription(&text));
    EXPECT_EQ(L"Interface ICommandText is out.", Bstr(text));
    ASSERT_EQ(S_OK, record->GetSource(&text));
    EXPECT_EQ(L"DODBCommand::SetCmdText", Bstr(text));
    GUID guid;
    EXPECT_EQ(E_FAIL, record->GetGUID(&guid));
    record->Release();
    records->Release();
    info->Release();
}

TEST_F(ErrorLayer, AnIdWithoutTextFailsItsDescription)
{
    DODBSetError(E_FAIL, 734 + 60000, L"X::Y");
    DODBErrors e(E_FAIL, TRUE);
    IErrorInfo* record = e.RecordErrorInfo(0);
    ASSERT_NE(nullptr, record);
    BSTR text = nullptr;
    EXPECT_EQ(E_FAIL, record->GetDescription(&text));
    EXPECT_EQ(nullptr, text);
    record->Release();
}

TEST_F(ErrorLayer, TwoPostsLeaveOneRecordTheLater)
{
    DODBSetError(E_FAIL, 699, L"First::One");
    DODBSetError(E_OUTOFMEMORY, 690, L"Second::One");
    DODBErrors e(E_FAIL, TRUE);
    EXPECT_EQ(1u, e.RecordCount());
    EXPECT_EQ(E_OUTOFMEMORY, e.RecordHResult(0));
    EXPECT_NE(std::wstring::npos, Text(e).find(L"Second::One"));
    EXPECT_EQ(std::wstring::npos, Text(e).find(L"First::One"));
}

TEST_F(ErrorLayer, PendingObjectStaysInPlace)
{
    EXPECT_FALSE(DODBErrorPending());
    DODBSetError(E_FAIL, 699, L"A::B");
    EXPECT_TRUE(DODBErrorPending());
    EXPECT_TRUE(DODBErrorPending());
    DODBClearError();
    EXPECT_FALSE(DODBErrorPending());
}

TEST_F(ErrorLayer, AddErrorKeepsTheProvidersRecords)
{
    PostTestProviderError({{DB_E_INTEGRITYVIOLATION, L"23000", L"The key is already there.", L"ZelkSQLite"}});
    EXPECT_FALSE(DODBAddError(E_FAIL, 682, L"DODBCommand::ExecuteNR"));
    DODBErrors e(E_FAIL, TRUE);
    std::wstring text = Text(e);
    EXPECT_NE(std::wstring::npos, text.find(L"SQLSTATE: 23000\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"The key is already there."));
    EXPECT_EQ(std::wstring::npos, text.find(L"While executing"));
}

TEST_F(ErrorLayer, AddErrorPostsWhenNothingIsPending)
{
    EXPECT_TRUE(DODBAddError(E_FAIL, 682, L"DODBCommand::ExecuteNR"));
    DODBErrors e(E_FAIL, TRUE);
    EXPECT_NE(std::wstring::npos, Text(e).find(L"While executing object of command error is appeared"));
}

TEST_F(ErrorLayer, ALayerCheckReplacesAPendingObject)
{
    PostTestProviderError({{E_FAIL, L"42000", L"Syntax.", L"ZelkSQLite"}});
    DODBSetError(E_FAIL, 699, L"DODBParams::SetValue");
    DODBErrors e(E_FAIL, TRUE);
    EXPECT_EQ(1u, e.RecordCount());
    EXPECT_NE(std::wstring::npos, Text(e).find(L"SQLSTATE: UNKNOWN\n"));
    EXPECT_EQ(std::wstring::npos, Text(e).find(L"Syntax."));
}

TEST_F(ErrorLayer, FailedAllocationPostsNothing)
{
    DODBFailAllocationsAfter(0);
    EXPECT_FALSE(DODBSetError(E_FAIL, 699, L"A::B"));
    DODBFailAllocationsAfter(-1);
    EXPECT_FALSE(DODBErrorPending());
}

TEST_F(ErrorLayer, TextWithoutRecordsIsTheResultAlone)
{
    DODBErrors e(E_FAIL, TRUE);
    EXPECT_EQ(0u, e.RecordCount());
    EXPECT_EQ(L"HRESULT: 0X80004005\n", Text(e));
    EXPECT_EQ(E_FAIL, e.RecordHResult(0));
    EXPECT_EQ(nullptr, e.RecordErrorInfo(0));
    EXPECT_FALSE(e.FindSQLState(L"23000"));
}

TEST_F(ErrorLayer, TextOfALayerRecord)
{
    DODBSetError(E_FAIL, 699, L"DODBParams::SetValue");
    DODBErrors e(E_FAIL, TRUE);
    EXPECT_EQ(L"1.\nHRESULT: 0X80004005\nSQLSTATE: UNKNOWN\nComponent's name: DODBParams::SetValue\n"
              L"Invalid parameter number.\n",
              Text(e));
}

TEST_F(ErrorLayer, TextOfProviderRecordsNumbersEach)
{
    PostTestProviderError({{DB_E_INTEGRITYVIOLATION, L"23000", L"Duplicate.", L"P"},
                           {E_FAIL, L"", L"Second.", L"Q"}});
    DODBErrors e(E_FAIL, TRUE);
    EXPECT_EQ(L"1.\nHRESULT: 0X80040E2F\nSQLSTATE: 23000\nComponent's name: P\nDuplicate.\n"
              L"2.\nHRESULT: 0X80004005\nSQLSTATE: UNKNOWN\nComponent's name: Q\nSecond.\n",
              Text(e));
}

TEST_F(ErrorLayer, CollectingConsumesTheThreadsObject)
{
    DODBSetError(E_FAIL, 699, L"A::B");
    DODBErrors e(E_FAIL, TRUE);
    EXPECT_FALSE(DODBErrorPending());
    DODBErrors none(E_FAIL, TRUE);
    EXPECT_EQ(0u, none.RecordCount());
}

TEST_F(ErrorLayer, WithoutFetchTheObjectStays)
{
    DODBSetError(E_FAIL, 699, L"A::B");
    DODBErrors e(E_FAIL, FALSE);
    EXPECT_EQ(0u, e.RecordCount());
    EXPECT_TRUE(DODBErrorPending());
}

TEST_F(ErrorLayer, APlainErrorObjectKeepsItsOwnText)
{
    PostPlainError(L"The export server stopped.", L"IDicomExportServer");
    DODBErrors e(E_UNEXPECTED, TRUE);
    ASSERT_EQ(1u, e.RecordCount());
    EXPECT_EQ(E_UNEXPECTED, e.RecordHResult(0));
    std::wstring text = Text(e);
    EXPECT_NE(std::wstring::npos, text.find(L"Component's name: IDicomExportServer\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"The export server stopped.\n"));
}

TEST_F(ErrorLayer, AFailedRecordLookupIsNotSuccess)
{
    DODBSetError(E_FAIL, 699, L"A::B");
    DODBErrors e(E_FAIL, TRUE);
    EXPECT_TRUE(FAILED(e.RecordHResult(3)));
    EXPECT_EQ(nullptr, e.RecordErrorInfo(3));
    PostTestProviderError({{E_FAIL, L"42000", L"x", L"y"}});
    DODBErrors p(E_FAIL, TRUE);
    EXPECT_TRUE(FAILED(p.RecordHResult(1)));
}

TEST_F(ErrorLayer, FindSQLStateIsExact)
{
    PostTestProviderError({{E_FAIL, L"42S02", L"a", L"s"}, {DB_E_INTEGRITYVIOLATION, L"23000", L"b", L"s"}});
    DODBErrors e(E_FAIL, TRUE);
    EXPECT_TRUE(e.FindSQLState(L"23000"));
    EXPECT_TRUE(e.FindSQLState(L"42S02"));
    EXPECT_FALSE(e.FindSQLState(L"2300"));
    EXPECT_FALSE(e.FindSQLState(L"23000 "));
    EXPECT_FALSE(e.FindSQLState(L"42s02"));
    EXPECT_FALSE(e.FindSQLState(nullptr));
    wchar_t state[6] = L"zzzzz";
    EXPECT_EQ(5, e.GetSQLState(1, state));
    EXPECT_STREQ(L"23000", state);
    EXPECT_EQ(0, e.GetSQLState(1, nullptr));
}

TEST_F(ErrorLayer, ALongSQLStateIsCutAtFive)
{
    PostTestProviderError({{E_FAIL, L"HY000TOOLONG", L"a", L"s"}});
    DODBErrors e(E_FAIL, TRUE);
    wchar_t state[8];
    for (wchar_t& c : state)
        c = L'#';
    EXPECT_EQ(5, e.GetSQLState(0, state));
    EXPECT_STREQ(L"HY000", state);
    EXPECT_EQ(L'#', state[6]);
}

TEST_F(ErrorLayer, LayerRecordsHaveNoSQLState)
{
    DODBSetError(E_FAIL, 699, L"A::B");
    DODBErrors e(E_FAIL, TRUE);
    EXPECT_EQ(nullptr, e.GetSQLStateBstr(0));
    EXPECT_FALSE(e.FindSQLState(L"23000"));
}

TEST_F(ErrorLayer, LongTextIsCutAtTheMaximumAndTerminated)
{
    std::wstring description(1500, L'd');
    PostTestProviderError({{E_FAIL, L"HY000", description, L"S"}});
    DODBErrors e(E_FAIL, TRUE);
    const int whole = e.GetText(nullptr, 0);
    EXPECT_GT(whole, 1500);
    wchar_t buffer[1100];
    for (wchar_t& c : buffer)
        c = L'#';
    EXPECT_EQ(1000, e.GetText(buffer, 1000));
    EXPECT_EQ(0, buffer[1000]);
    EXPECT_EQ(L'#', buffer[1001]);
    EXPECT_EQ(1000u, wcslen(buffer));
    EXPECT_EQ(0, wcsncmp(buffer, L"1.\nHRESULT: 0X80004005\nSQLSTATE: HY000\n", 38));
}

TEST_F(ErrorLayer, TextThatFitsIsCopiedWhole)
{
    DODBSetError(E_FAIL, 699, L"A::B");
    DODBErrors e(E_FAIL, TRUE);
    const int whole = e.GetText(nullptr, 0);
    std::wstring buffer(whole + 5, L'#');
    EXPECT_EQ(whole, e.GetText(&buffer[0], whole + 1));
    EXPECT_EQ(0, buffer[whole]);
    EXPECT_EQ(whole, e.GetText(&buffer[0], whole));   // exactly full: still terminated behind it
    EXPECT_EQ(0, buffer[whole]);
}

TEST_F(ErrorLayer, CopiesShareTheRecords)
{
    DODBSetError(E_FAIL, 699, L"A::B");
    DODBErrors* first = new DODBErrors(E_FAIL, TRUE);
    DODBErrors copy(*first);
    delete first;
    EXPECT_EQ(1u, copy.RecordCount());
    DODBErrors assigned;
    assigned = copy;
    assigned = assigned;
    EXPECT_EQ(1u, assigned.RecordCount());
    EXPECT_EQ(E_FAIL, assigned.Result());
}

TEST_F(ErrorLayer, ThrownAndCaughtByValue)
{
    DODBSetError(E_FAIL, 735, L"DODBCommand::Execute");
    try {
        throw DODBErrors(E_INVALIDARG, TRUE);
    } catch (const DOAErrors& caught) {
        EXPECT_EQ(E_INVALIDARG, caught.Result());
        ASSERT_NE(nullptr, caught.Records());
    }
}

TEST_F(ErrorLayer, ShowMessageShowsTheTextThroughThePrompt)
{
    DODBSetError(E_FAIL, 699, L"DODBParams::SetValue");
    DODBErrors e(E_FAIL, TRUE);
    PromptScript script({IDOK});
    EXPECT_EQ(0, e.ShowMessage(nullptr, L"Connect to database", MB_OK));
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(Text(e), script.Last().text);
    EXPECT_EQ(L"Connect to database", script.Last().caption);
    EXPECT_EQ((UINT)MB_OK, script.Last().flags);
}

TEST_F(ErrorLayer, ShowMessageShowsAtMostAThousandCharacters)
{
    PostTestProviderError({{E_FAIL, L"HY000", std::wstring(3000, L'x'), L"S"}});
    DODBErrors e(E_FAIL, TRUE);
    PromptScript script({IDOK});
    e.ShowMessage(nullptr, L"c", MB_OK);
    EXPECT_EQ(1000u, script.Last().text.size());
}

TEST_F(ErrorLayer, ShorterTextOfTheBase)
{
    DODBSetError(E_FAIL, 699, L"DODBParams::SetValue");
    DODBErrors e(E_FAIL, TRUE);
    wchar_t buffer[512] = {};
    e.DOAErrors::GetText(buffer, 500);
    EXPECT_STREQ(L"1.\nHRESULT:\t0X80004005\nDODBParams::SetValue\nInvalid parameter number.\n", buffer);
    DOAErrors none(E_FAIL);
    none.GetText(buffer, 500);
    EXPECT_STREQ(L"HRESULT:\t0X80004005\n", buffer);
}

}  // namespace

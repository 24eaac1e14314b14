// The record card's data layer against the real provider: loads, inserts,
// updates, the check-row lookup and deletes with their references.
#include "kart_db.h"

#include "common/prompt_script.h"
#include "database/dbcommand.h"
#include "database/dberrors.h"
#include "database/dbparams.h"
#include "database/dbrowset.h"
#include "database/dbstart.h"
#include "forms/kartdata.h"
#include "forms/kartfield.h"

namespace {

const wchar_t kSampleForm[] =
    L"table = \"Sample\" key = \"Sample\"\n"
    L"items {\n"
    L"  { \"Small\", \"Small\", int8 unsigned }\n"
    L"  { \"Medium\", \"Medium\", int16 }\n"
    L"  { \"Number\", \"Number\", int32 }\n"
    L"  { \"Flag\", \"Flag\", bool }\n"
    L"  { \"Text\", \"Txt\", char(10) }\n"
    L"  { \"Stamp\", \"Stamp\", datetime }\n"
    L"  { \"Day\", \"[Day]\", date }\n"
    L"  { \"Clock\", \"Clock\", time }\n"
    L"}\n";

const wchar_t kPatientWithVisits[] =
    L"table = \"Patient\" key = \"Patient\"\n"
    L"items { { \"Family name\", \"Name1\", varchar(40) notnull } }\n"
    L"child { { \"Visit\" \"Patient\" } }\n";

std::wstring Shown(const KartField* f)
{
    wchar_t text[128];
    int n = f->FormatText(text, 128);
    return n < 0 ? L"<none>" : f->IsNull() ? L"<null>" : std::wstring(text, n);
}

class KartDataTest : public KartDbTest {
protected:
    void Type(FormKartFields& fields, const std::vector<const wchar_t*>& texts)
    {
        for (size_t i = 0; i < texts.size(); ++i) {
            if (fields[(int)i]->Base() == kFieldBool)
                fields[(int)i]->SetWord(texts[i][0] == L'1');
            else
                fields[(int)i]->ParseText(texts[i]);
        }
    }
    std::vector<std::wstring> All(const FormKartFields& fields)
    {
        std::vector<std::wstring> out;
        for (int i = 0; i < fields.Count(); ++i)
            out.push_back(fields[i]->Base() == kFieldBool ? std::to_wstring(fields[i]->Word()) : Shown(fields[i]));
        return out;
    }
};

TEST_F(KartDataTest, InsertReturnsTheKeyAndLoadReadsEveryTypeBack)
{
    auto form = DbForm(L"sample.cfg", kSampleForm);
    FormKartFields typed(*form);
    Type(typed, {L"200", L"-1234", L"-5", L"1", L"0123456789", L"03/04/2021 13:14:15", L"29/02/2024", L"7:05:09"});
    LONG key = 0;
    PromptScript script;
    ASSERT_TRUE(KartData::InsertRecord(*form, typed.Count(), typed.Data(), &key));
    EXPECT_GT(key, 0);
    EXPECT_EQ(key, Scalar(L"SELECT MAX(Sample) FROM Sample"));

    FormKartFields loaded(*form);
    ASSERT_TRUE(KartData::LoadRecord(*form, loaded.Count(), loaded.Data(), key));
    std::vector<std::wstring> expected = {L"200", L"-1234", L"-5", L"1", L"0123456789", L"03/04/2021 13:14:15",
                                          L"29/02/2024", L"07:05:09"};
    EXPECT_EQ(expected, All(loaded));
    EXPECT_EQ(20, loaded[4]->length);   // ten characters, the column's whole length
}

TEST_F(KartDataTest, NullValuesStayNullAndAnUpdateChangesOnlyItsRow)
{
    auto form = DbForm(L"sample.cfg", kSampleForm);
    FormKartFields first(*form);
    Type(first, {L"", L"", L"7", L"0", L"", L"", L"", L""});
    FormKartFields second(*form);
    Type(second, {L"1", L"2", L"3", L"1", L"other", L"", L"", L""});
    LONG key1 = 0, key2 = 0;
    PromptScript script;
    ASSERT_TRUE(KartData::InsertRecord(*form, first.Count(), first.Data(), &key1));
    ASSERT_TRUE(KartData::InsertRecord(*form, second.Count(), second.Data(), &key2));
    ASSERT_NE(key1, key2);

    FormKartFields loaded(*form);
    ASSERT_TRUE(KartData::LoadRecord(*form, loaded.Count(), loaded.Data(), key1));
    EXPECT_EQ((std::vector<std::wstring>{L"<null>", L"<null>", L"7", L"0", L"<null>", L"<null>", L"<null>", L"<null>"}),
              All(loaded));

    Type(loaded, {L"255", L"32767", L"-2147483648", L"1", L"abc", L"31/12/1999 23:59:59", L"01/01/2000", L"00:00:01"});
    ASSERT_TRUE(KartData::UpdateRecord(*form, loaded.Count(), loaded.Data(), key1));
    FormKartFields again(*form);
    ASSERT_TRUE(KartData::LoadRecord(*form, again.Count(), again.Data(), key1));
    EXPECT_EQ((std::vector<std::wstring>{L"255", L"32767", L"-2147483648", L"1", L"abc", L"31/12/1999 23:59:59",
                                         L"01/01/2000", L"00:00:01"}),
              All(again));
    // Back to NULL through an update.
    Type(again, {L"", L"", L"", L"0", L"", L"", L"", L""});
    ASSERT_TRUE(KartData::UpdateRecord(*form, again.Count(), again.Data(), key1));
    EXPECT_EQ(-1, Scalar(L"SELECT Number FROM Sample WHERE Sample=" + std::to_wstring(key1)));
    EXPECT_EQ(L"<null>", Text(L"SELECT Txt FROM Sample WHERE Sample=" + std::to_wstring(key1)));

    FormKartFields other(*form);
    ASSERT_TRUE(KartData::LoadRecord(*form, other.Count(), other.Data(), key2));
    EXPECT_EQ(L"other", Shown(other[4]));
    EXPECT_EQ(0u, script.Count());
}

TEST_F(KartDataTest, LoadingAKeyThatIsNotThereFails)
{
    auto form = DbForm(L"sample.cfg", kSampleForm);
    FormKartFields fields(*form);
    EXPECT_FALSE(KartData::LoadRecord(*form, fields.Count(), fields.Data(), 4711));
}

TEST_F(KartDataTest, PatientCardRoundTripThroughTheSiteDescription)
{
    CopySiteCfg(L"Patient.cfg");
    std::unique_ptr<DbFormDesc> form(new DbFormDesc);
    ASSERT_EQ(1, form->Parse(L"Patient.cfg"));
    FormKartFields fields(*form);
    ASSERT_EQ(5, fields.Count());
    Type(fields, {L"Иванов", L"Иван", L"", L"01/02/1980", L"1"});
    LONG key = 0;
    PromptScript script;
    ASSERT_TRUE(KartData::InsertRecord(*form, fields.Count(), fields.Data(), &key));
    EXPECT_EQ(1, Scalar(L"SELECT Pol FROM Patient WHERE Patient=" + std::to_wstring(key)));
    EXPECT_EQ(L"Иванов", Text(L"SELECT Name1 FROM Patient WHERE Patient=" + std::to_wstring(key)));

    FormKartFields loaded(*form);
    ASSERT_TRUE(KartData::LoadRecord(*form, loaded.Count(), loaded.Data(), key));
    EXPECT_EQ((std::vector<std::wstring>{L"Иванов", L"Иван", L"<null>", L"01/02/1980", L"1"}), All(loaded));
}

TEST_F(KartDataTest, TinyintColumnsAreReadByTheirBoundType)
{
    ASSERT_EQ(S_OK, Run(L"INSERT INTO Sample (Small, Flag) VALUES (200, 1)"));
    LONG key = static_cast<LONG>(Scalar(L"SELECT MAX(Sample) FROM Sample"));
    // The layer binds a tinyint as one unsigned byte.
    DODBPtr<DODBRowset> rowset;
    DODBPtr<DODBParams> row;
    ASSERT_EQ(S_OK, g_DbSession->ExecSql(L"SELECT Small, Sample FROM Sample", &rowset, &row, nullptr, nullptr));
    ASSERT_TRUE(rowset->GetNextData(row.Get()));
    ASSERT_EQ(DBTYPE_UI1, row->GetWType(0));
    memset(static_cast<BYTE*>(row->GetValuePtr(0)) + 1, 0xAB, 1);   // the bytes behind it are not its own
    DWORD value = 0;
    ASSERT_TRUE(KartData::ReadInteger(row.Get(), 0, &value));
    EXPECT_EQ(200u, value);
    ASSERT_TRUE(KartData::ReadInteger(row.Get(), 1, &value));
    EXPECT_EQ(static_cast<DWORD>(key), value);
}

TEST_F(KartDataTest, CheckRowLookupFindsTheRowWithTheSameKeyValues)
{
    CopySiteCfg(L"Patient.cfg");
    std::unique_ptr<DbFormDesc> form(new DbFormDesc);
    ASSERT_EQ(1, form->Parse(L"Patient.cfg"));
    PromptScript script;
    LONG existing = 0;
    FormKartFields stored(*form);
    Type(stored, {L"Petrov", L"Petr", L"", L"06/05/1970", L"0"});
    ASSERT_TRUE(KartData::InsertRecord(*form, stored.Count(), stored.Data(), &existing));
    Type(stored, {L"Sidorov", L"Ivan", L"", L"01/02/1980", L"0"});
    ASSERT_TRUE(KartData::InsertRecord(*form, stored.Count(), stored.Data(), &existing));

    FormKartFields fields(*form);
    Type(fields, {L"Sidorov", L"Ivan", L"", L"01/02/1980", L"0"});
    LONG key = 0;
    bool found = false;
    ASSERT_TRUE(KartData::SelectByKey(*form, fields.Count(), fields.Data(), &key, &found));
    EXPECT_TRUE(found);
    EXPECT_EQ(existing, key);

    Type(fields, {L"Sidorov", L"Ivan", L"", L"02/02/1980", L"0"});
    ASSERT_TRUE(KartData::SelectByKey(*form, fields.Count(), fields.Data(), &key, &found));
    EXPECT_FALSE(found);
    EXPECT_EQ(0u, script.Count());
}

TEST_F(KartDataTest, DeletingAnUnreferencedRow)
{
    auto form = DbForm(L"pv.cfg", kPatientWithVisits);
    LONG key = AddPatient(L"Gone");
    LONG kept = AddPatient(L"Kept");
    PromptScript script;
    EXPECT_EQ(kDeleteDone, KartData::DeleteRecord(nullptr, *form, key));
    EXPECT_EQ(0u, script.Count());
    EXPECT_EQ(1, Scalar(L"SELECT COUNT(*) FROM Patient"));
    EXPECT_EQ(kept, Scalar(L"SELECT Patient FROM Patient"));
}

TEST_F(KartDataTest, DeletingAReferencedRowAnsweredNoIsACancel)
{
    auto form = DbForm(L"pv.cfg", kPatientWithVisits);
    LONG key = AddPatient(L"Used");
    ASSERT_EQ(S_OK, Run(L"INSERT INTO Visit (Patient, Note) VALUES (" + std::to_wstring(key) + L", 'x')"));
    HWND owner = reinterpret_cast<HWND>(0x1234);
    PromptScript script({IDNO});
    EXPECT_EQ(kDeleteCancelled, KartData::DeleteRecord(owner, *form, key));
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(L"Current record is used\nConfirm delete?", script.Last().text);
    EXPECT_EQ(L"Deleting record", script.Last().caption);
    EXPECT_EQ(owner, script.Last().owner);
    EXPECT_EQ((UINT)MB_YESNO, script.Last().flags & 0xF);
    EXPECT_EQ(1, Scalar(L"SELECT COUNT(*) FROM Patient"));
    EXPECT_EQ(key, Scalar(L"SELECT Patient FROM Visit"));
}

TEST_F(KartDataTest, DeletingAReferencedRowAnsweredYesClearsTheReferencesAndDeletes)
{
    auto form = DbForm(L"pv.cfg", kPatientWithVisits);
    LONG key = AddPatient(L"Used");
    LONG other = AddPatient(L"Other");
    ASSERT_EQ(S_OK, Run(L"INSERT INTO Visit (Patient, Note) VALUES (" + std::to_wstring(key) + L", 'a')"));
    ASSERT_EQ(S_OK, Run(L"INSERT INTO Visit (Patient, Note) VALUES (" + std::to_wstring(key) + L", 'b')"));
    ASSERT_EQ(S_OK, Run(L"INSERT INTO Visit (Patient, Note) VALUES (" + std::to_wstring(other) + L", 'c')"));
    PromptScript script({IDYES});
    EXPECT_EQ(kDeleteDone, KartData::DeleteRecord(nullptr, *form, key));
    EXPECT_EQ(1u, script.Count());
    EXPECT_EQ(0, Scalar(L"SELECT COUNT(*) FROM Patient WHERE Patient=" + std::to_wstring(key)));
    EXPECT_EQ(2, Scalar(L"SELECT COUNT(*) FROM Visit WHERE Patient IS NULL"));
    EXPECT_EQ(other, Scalar(L"SELECT Patient FROM Visit WHERE Note='c'"));
}

TEST_F(KartDataTest, ASecondReferenceFailureRollsEverythingBack)
{
    auto form = DbForm(L"pv.cfg", kPatientWithVisits);
    LONG key = AddPatient(L"Used");
    ASSERT_EQ(S_OK, Run(L"INSERT INTO Visit (Patient, Note) VALUES (" + std::to_wstring(key) + L", 'a')"));
    // An image of the patient: no "child" pair clears that reference.
    ASSERT_EQ(S_OK, Run(L"INSERT INTO Snimok (Patient, [Disk], NoDelete, Imported) VALUES (" + std::to_wstring(key) +
                        L", 1, 0, 0)"));
    PromptScript script({IDYES, IDOK});
    EXPECT_EQ(kDeleteFailed, KartData::DeleteRecord(nullptr, *form, key));
    ASSERT_EQ(2u, script.Count());
    EXPECT_EQ(L"Error of deleting record", script.Last().caption);
    EXPECT_EQ(1, Scalar(L"SELECT COUNT(*) FROM Patient"));
    EXPECT_EQ(key, Scalar(L"SELECT Patient FROM Visit"));   // not cleared: rolled back
    // The session is usable again, outside any transaction.
    EXPECT_EQ(S_OK, Run(L"DELETE FROM Snimok"));
    script.Answer(IDYES);
    EXPECT_EQ(kDeleteDone, KartData::DeleteRecord(nullptr, *form, key));
    EXPECT_EQ(0, Scalar(L"SELECT COUNT(*) FROM Patient"));
}

TEST_F(KartDataTest, AFailedUpdateShowsTheDatabaseErrorAndReportsFailure)
{
    CopySiteCfg(L"Patient.cfg");
    std::unique_ptr<DbFormDesc> form(new DbFormDesc);
    ASSERT_EQ(1, form->Parse(L"Patient.cfg"));
    LONG key = AddPatient(L"A");
    FormKartFields fields(*form);
    Type(fields, {L"", L"", L"", L"", L"0"});   // Name1 is NOT NULL in the database
    PromptScript script({IDOK});
    EXPECT_FALSE(KartData::UpdateRecord(*form, fields.Count(), fields.Data(), key));
    ASSERT_EQ(1u, script.Count());
    EXPECT_EQ(nullptr, script.Last().owner);
    EXPECT_FALSE(script.Last().hasCaption);
    EXPECT_EQ(L"A", Text(L"SELECT Name1 FROM Patient"));
    script.Answer(IDOK);
    LONG newKey = 0;
    EXPECT_FALSE(KartData::InsertRecord(*form, fields.Count(), fields.Data(), &newKey));
    EXPECT_EQ(2u, script.Count());
    EXPECT_EQ(1, Scalar(L"SELECT COUNT(*) FROM Patient"));
}

TEST_F(KartDataTest, SetNullClearsEveryChildPairAndFailsSilentlyOnABadOne)
{
    auto form = DbForm(L"pv.cfg", kPatientWithVisits);
    LONG key = AddPatient(L"Used");
    ASSERT_EQ(S_OK, Run(L"INSERT INTO Visit (Patient, Note) VALUES (" + std::to_wstring(key) + L", 'a')"));
    EXPECT_TRUE(KartData::SetNull(*form, key));
    EXPECT_EQ(1, Scalar(L"SELECT COUNT(*) FROM Visit WHERE Patient IS NULL"));
    auto bad = DbForm(L"bad.cfg", L"table = \"Patient\" key = \"Patient\" child { { \"NoTable\" \"X\" } }");
    PromptScript script;
    EXPECT_FALSE(KartData::SetNull(*bad, key));
    EXPECT_EQ(0u, script.Count());
}

}  // namespace

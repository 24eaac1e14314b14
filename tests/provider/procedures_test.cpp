// The stored procedures of the provider on a database made from
// site/schema.sql: what each removes or copies, and that a failing step
// leaves everything as it was.
#include "provider/site_db.h"

namespace zt {
namespace {

class ProceduresTest : public SiteTest {
protected:
    // A table that refers to image 1, so that removing its row fails after earlier steps.
    void HoldImageOne()
    {
        ExpectAffected(L"CREATE TABLE Hold (Id int, Snimok int REFERENCES Snimok (Snimok))", {}, -1);
        ExpectAffected(L"INSERT INTO Hold (Id, Snimok) VALUES (1, 1)", {}, 1);
    }
};

TEST_F(ProceduresTest, DeleteSnimokKeepsTheRowWithoutItsFile)
{
    ExpectAffected(L"{ call sp_delete_snimok(?) }", {I4(1)}, -1);
    ExpectRows(L"SELECT [File name], [Disk], Arj, Patient, Apicriz FROM Snimok WHERE Snimok = 1", {},
               {{L"<null>", L"0", L"<null>", L"1", L"Описание"}});
    ExpectRows(L"SELECT Snimok FROM FixSnimok ORDER BY Snimok", {}, {{L"3"}});
    ExpectAffected(L"{ call sp_delete_snimok(?) }", {I4(2)}, -1);
    ExpectRows(L"SELECT [File name], [Disk], Arj FROM Snimok WHERE Snimok = 2", {},
               {{L"<null>", L"0", L"<null>"}});
    ExpectAffected(L"{ call sp_delete_snimok(?) }", {I4(999)}, -1);
}

TEST_F(ProceduresTest, DeleteSnimokCompleteRemovesTheRow)
{
    ExpectAffected(L"{ call sp_delete_snimok_complete(?) }", {I4(3)}, -1);
    ExpectRows(L"SELECT count(*) FROM Snimok WHERE Snimok = 3", {}, {{L"0"}});
    ExpectRows(L"SELECT Snimok FROM FixSnimok ORDER BY Snimok", {}, {{L"1"}});
}

TEST_F(ProceduresTest, DeletePatientRemovesHisImagesFirst)
{
    ExpectAffected(L"{ call sp_delete_patient(?) }", {I4(1)}, -1);
    ExpectRows(L"SELECT count(*) FROM Patient WHERE Patient = 1", {}, {{L"0"}});
    ExpectRows(L"SELECT Snimok FROM Snimok ORDER BY Snimok", {}, {{L"3"}, {L"4"}, {L"5"}});
    ExpectRows(L"SELECT Snimok FROM FixSnimok ORDER BY Snimok", {}, {{L"3"}});
    ExpectAffected(L"{call sp_delete_patient(4)}", {}, -1);
    ExpectRows(L"SELECT count(*) FROM Patient", {}, {{L"2"}});
}

// Deleting records the deleted images' files in DelImage, for the archive's
// marked-deletion job and so that the synchronisation does not put them back.
TEST_F(ProceduresTest, EveryDeleteRecordsTheFilesOfItsImagesInDelImage)
{
    ExpectAffected(L"{ call sp_delete_snimok(?) }", {I4(1)}, -1);
    ExpectRows(L"SELECT [File Name], Arj, [Disk] FROM DelImage ORDER BY DelSnimok", {},
               {{L"И00000000010000000001", L"<null>", L"1"}});
    // The row kept without a file records nothing more when deleted again.
    ExpectAffected(L"{ call sp_delete_snimok(?) }", {I4(1)}, -1);
    ExpectAffected(L"{ call sp_delete_snimok_complete(?) }", {I4(1)}, -1);
    ExpectRows(L"SELECT count(*) FROM DelImage", {}, {{L"1"}});
    ExpectAffected(L"{ call sp_delete_snimok_complete(?) }", {I4(3)}, -1);
    // Image 2 (on archive disk 305419896 only) goes with its patient; image 4
    // of patient 3 has no file and records nothing.
    ExpectAffected(L"{ call sp_delete_patient(?) }", {I4(1)}, -1);
    ExpectAffected(L"{ call sp_delete_patient(?) }", {I4(3)}, -1);
    ExpectRows(L"SELECT [File Name], Arj, [Disk] FROM DelImage ORDER BY DelSnimok", {},
               {{L"И00000000010000000001", L"<null>", L"1"},
                {L"П00000000020000000003", L"305419896", L"1"},
                {L"И00000000010000000002", L"305419896", L"0"}});
}

TEST_F(ProceduresTest, AFailedDeleteRecordsNothing)
{
    HoldImageOne();
    ExpectState(L"{ call sp_delete_patient(?) }", {I4(1)}, L"23000");
    ExpectRows(L"SELECT count(*) FROM DelImage", {}, {{L"0"}});
}

TEST_F(ProceduresTest, CopySnimokCopiesTheRecordsData)
{
    ExpectAffected(L"{ call sp_cpy_smk(?, ?) };", {I4(5), I4(1)}, -1);
    ExpectRows(L"SELECT Apicriz, DiagHelp, NoDelete, Patient, [File name] FROM Snimok WHERE Snimok = 5", {},
               {{L"Описание", L"1", L"0", L"4", L"S00000000040000000005"}});
    ExpectAffected(L"{ call sp_cpy_smk(?, ?) };", {I4(5), I4(2)}, -1);
    ExpectRows(L"SELECT Apicriz, DiagHelp, NoDelete FROM Snimok WHERE Snimok = 5", {},
               {{L"<null>", L"<null>", L"1"}});
    // An old key without a row changes nothing.
    ExpectAffected(L"{ call sp_cpy_smk(?, ?) };", {I4(5), I4(999)}, -1);
    ExpectRows(L"SELECT NoDelete FROM Snimok WHERE Snimok = 5", {}, {{L"1"}});
}

TEST_F(ProceduresTest, AFailingStepUndoesTheStepsBeforeIt)
{
    HoldImageOne();
    ExpectState(L"{ call sp_delete_patient(?) }", {I4(1)}, L"23000");
    ExpectRows(L"SELECT Snimok FROM FixSnimok ORDER BY Snimok", {}, {{L"1"}, {L"3"}});
    ExpectRows(L"SELECT Snimok FROM Snimok WHERE Patient = 1 ORDER BY Snimok", {}, {{L"1"}, {L"2"}});
    ExpectState(L"{ call sp_delete_snimok_complete(?) }", {I4(1)}, L"23000");
    ExpectRows(L"SELECT Snimok FROM FixSnimok ORDER BY Snimok", {}, {{L"1"}, {L"3"}});
    // The image itself can still lose its file, which the other table does not mind.
    ExpectAffected(L"{ call sp_delete_snimok(?) }", {I4(1)}, -1);
}

TEST_F(ProceduresTest, AFailingProcedureLeavesTheTransactionAroundIt)
{
    HoldImageOne();
    Ptr<ITransactionLocal> transaction = session_.As<ITransactionLocal>(IID_ITransactionLocal);
    ASSERT_EQ(S_OK, transaction->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, nullptr));
    ExpectAffected(L"UPDATE Patient SET Name3 = N'Олегович' WHERE Patient = 3", {}, 1);
    ExpectState(L"{ call sp_delete_patient(?) }", {I4(1)}, L"23000");
    ExpectAffected(L"{ call sp_delete_snimok_complete(?) }", {I4(3)}, -1);
    ASSERT_EQ(S_OK, transaction->Commit(FALSE, XACTTC_SYNC, 0));
    ExpectRows(L"SELECT Name3 FROM Patient WHERE Patient = 3", {}, {{L"Олегович"}});
    ExpectRows(L"SELECT Snimok FROM Snimok ORDER BY Snimok", {}, {{L"1"}, {L"2"}, {L"4"}, {L"5"}});
    // An aborted transaction takes a procedure's work with it.
    ASSERT_EQ(S_OK, transaction->StartTransaction(ISOLATIONLEVEL_READCOMMITTED, 0, nullptr, nullptr));
    ExpectAffected(L"{ call sp_delete_snimok_complete(?) }", {I4(5)}, -1);
    ASSERT_EQ(S_OK, transaction->Abort(nullptr, FALSE, FALSE));
    ExpectRows(L"SELECT count(*) FROM Snimok WHERE Snimok = 5", {}, {{L"1"}});
}

TEST_F(ProceduresTest, ArgumentsAreChecked)
{
    ExpectState(L"{ call sp_cpy_smk(?) }", {I4(1)}, L"42000");
    ExpectState(L"{ call sp_delete_snimok(?) }", {W(L"abc")}, L"22018");
    ExpectAffected(L"{ call sp_delete_snimok(?) }", {Null(DBTYPE_I4)}, -1);
    ExpectRows(L"SELECT count(*) FROM Snimok WHERE [File name] IS NULL", {}, {{L"1"}});
}

}  // namespace
}  // namespace zt

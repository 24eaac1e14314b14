#include "exchange/sync/synctables.h"

#include "database/dbstatement.h"
#include "exchange/sync/synchrthread.h"
#include "exchange/sync/syncsql.h"

#include <cwchar>
#include <string>

namespace {

const wchar_t kCreateDelSynSnimok[] =
    L"CREATE TABLE [dbo].[DelSynSnimok] ( [id] [int] IDENTITY (1, 1) NOT NULL CONSTRAINT [PK_DelSynSnimok] "
    L"PRIMARY KEY  NONCLUSTERED  ON [PRIMARY], [fn] [nchar] (21) NOT NULL , [Disk] [bit] NOT NULL , [Arj] [int] "
    L"NULL  ) ON [PRIMARY]";
const wchar_t kCreateDelSynSnimokIndex[] = L"CREATE  INDEX [IX_DelSynSnimok_fn] ON [dbo].[DelSynSnimok]([fn]) ON [PRIMARY]";
const wchar_t kCreateErrCodeTmp[] =
    L"CREATE TABLE [dbo].[ErrCode_tmp] ( [id] [int] IDENTITY (1, 1) NOT NULL CONSTRAINT [PK_Errcode] PRIMARY KEY  "
    L"NONCLUSTERED  ON [PRIMARY], [errcode] [int] NOT NULL , [txt] [nvarchar] (1028) NOT NULL  ) ON [PRIMARY]";
const wchar_t kCreateMsgTmp[] =
    L"CREATE TABLE [dbo].[Msg_tmp] ( [id] [int] IDENTITY (1, 1) NOT NULL CONSTRAINT [PK_Messages] PRIMARY KEY  "
    L"NONCLUSTERED  ON [PRIMARY], [errcode] [int] NOT NULL , [fn] [nchar] (21) NOT NULL , [msgdate] [datetime] NOT "
    L"NULL  DEFAULT (GETDATE()) ) ON [PRIMARY]";
const wchar_t kEmptyMsgTmp[] = L"DELETE FROM Msg_tmp ;";
const wchar_t kCreateSnimokDif[] =
    L"CREATE TABLE [dbo].[Snimok_dif] ( [File name] [nchar] (21) NOT NULL CONSTRAINT [PK_Snimok_Dif] PRIMARY KEY "
    L"NONCLUSTERED ON [PRIMARY], [Disk] [bit] NOT NULL , [Arj] [int] NULL,  [nodel] [bit] NOT NULL DEFAULT (0),  "
    L"[fmove] [bit] NOT NULL DEFAULT (0)  ) ON [PRIMARY]";
const wchar_t kEmptySnimokDif[] = L"Delete From Snimok_dif";
const wchar_t kFillSnimokDif[] =
    L" Insert Snimok_dif ([file name], [disk], [arj]) Select Snimok_tmp.[file name], Snimok_tmp.[disk], "
    L"Snimok_tmp.[arj] From Snimok_tmp Where Snimok_tmp.[file name] NOT IN  (Select Snimok.[file name] From Snimok "
    L"Where Snimok.[file name] IS NOT NULL ) AND Snimok_tmp.[file name] NOT IN (Select DelImage.[File Name] From "
    L"DelImage );";
const wchar_t kCreateSnimokExist[] =
    L"CREATE TABLE [dbo].[Snimok_exist] ( [File name] [nchar] (21) NOT NULL CONSTRAINT [PK_Snimok_Exist] PRIMARY "
    L"KEY NONCLUSTERED ON [PRIMARY], [Arj] [int] NOT NULL , [snim] [int] NOT NULL  ) ON [PRIMARY]";
const wchar_t kEmptySnimokExist[] = L"Delete From Snimok_exist;";
const wchar_t kFillSnimokExist[] =
    L" Insert Snimok_exist ([file name], [arj], [snim]) Select Snimok_tmp.[file name], Snimok_tmp.[arj], "
    L"Snimok.snimok From Snimok_tmp, Snimok Where Snimok_tmp.[file name]=Snimok.[file name] AND Snimok_tmp.[arj] IS "
    L"NOT NULL AND Snimok.[arj] IS NULL AND Snimok.[file name] IS NOT NULL ;";

void Run(const DODBPtr<DODBSession>& session, const wchar_t* sql)
{
    BoundStatement(session, sql).Run();
}

}  // namespace

bool SyncTableExists(const DODBPtr<DODBSession>& session, const wchar_t* name)
{
    if (!name || !*name)
        return false;
    BoundStatement query(session, syncsql::kTableExists);
    query.Params().SetStr(1, name, static_cast<int>(wcslen(name)));
    LONG count = 0;
    if (query.First())
        RowInt(query.Row(), 0, &count);
    return count != 0;
}

void CreateSyncTables(const DODBPtr<DODBSession>& session, void (*status)(void*, const wchar_t*), void* cookie)
{
    if (status)
        status(cookie, L"Создание таблицы Snimok_dif");
    if (!SyncTableExists(session, L"DelSynSnimok")) {
        Run(session, kCreateDelSynSnimok);
        Run(session, kCreateDelSynSnimokIndex);
    }
    if (!SyncTableExists(session, L"ErrCode_tmp")) {
        Run(session, kCreateErrCodeTmp);
        SynchrThread::WriteErrCodes(session);
    }
    if (!SyncTableExists(session, L"Msg_tmp"))
        Run(session, kCreateMsgTmp);
    else
        Run(session, kEmptyMsgTmp);
    if (!SyncTableExists(session, L"Snimok_dif"))
        Run(session, kCreateSnimokDif);
    Run(session, kEmptySnimokDif);
    Run(session, kFillSnimokDif);
    if (status)
        status(cookie, L"Создание таблицы Snimok_exist");
    if (!SyncTableExists(session, L"Snimok_exist"))
        Run(session, kCreateSnimokExist);
    Run(session, kEmptySnimokExist);
    Run(session, kFillSnimokExist);
    if (status)
        status(cookie, L"ТС создана");
}

void DropSyncTables(const DODBPtr<DODBSession>& session)
{
    static const wchar_t* const kTables[] = {L"Snimok_dif", L"Snimok_exist", L"Snimok_tmp", L"DelSynSnimok",
                                             L"Patient_tmp", L"Arj_tmp",     L"ErrCode_tmp", L"Msg_tmp"};
    for (const wchar_t* table : kTables) {
        if (!SyncTableExists(session, table))
            continue;
        const std::wstring sql = std::wstring(L"DROP TABLE ") + table + L";";
        Run(session, sql.c_str());
    }
}

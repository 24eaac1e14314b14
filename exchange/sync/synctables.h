// The auxiliary tables the synchronisation window derives from the scans
// ("Создать ТС") and drops on request: Snimok_dif (image files that no image
// row names), Snimok_exist (images whose file was found on an archive disk
// while their row names none), the work list DelSynSnimok, and the logs
// Msg_tmp and ErrCode_tmp. The window runs these on its session and shows
// the failures; each throws DODBErrors, and tables made before a failure stay.
#pragma once

#include "database/dbobject.h"
#include "database/dbsession.h"

// Whether the table exists (the scans' own test through INFORMATION_SCHEMA).
bool SyncTableExists(const DODBPtr<DODBSession>& session, const wchar_t* name);

// Creates what is missing and fills Snimok_dif and Snimok_exist from the
// scans anew (Msg_tmp emptied, ErrCode_tmp filled when made). Files that
// DelImage marks for deletion are left out of Snimok_dif: their images were
// deleted and are not to be put back. `status` (may be null) gets the
// status texts as the steps begin.
void CreateSyncTables(const DODBPtr<DODBSession>& session, void (*status)(void* cookie, const wchar_t* text) = nullptr,
                      void* cookie = nullptr);

// Drops every auxiliary table of the synchronisation that exists (the scans'
// ones included).
void DropSyncTables(const DODBPtr<DODBSession>& session);

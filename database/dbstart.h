// Opening and closing the program's database, once per pass of the main cycle.
//
// DbStart reads the initialization string from "dbinit.cfg" in the data
// folder, opens the process-wide data source with it and creates the one
// session the whole user interface borrows; failures are shown and the user
// may retry. DbClose releases the session, then the source. COM must be
// initialised on the calling thread (multithreaded apartment) first.
#pragma once

#include "database/dbobject.h"
#include "database/dbsession.h"
#include "database/dbsource.h"
#include "foundation/globals.h"   // DataPath: the folder of "dbinit.cfg"
#include "foundation/strbuf.h"

extern DStrBuf g_DbInitString;                // the initialization string, as read
extern DODBPtr<DODBSource> g_DbSource;        // the data source
extern DODBPtr<DODBSession> g_DbSession;      // the session all windows use

// Reads "dbinit.cfg" (UTF-16 LE: the first two bytes skipped, the rest taken
// whole) into g_DbInitString. Shows nothing.
BOOL ReadDbInitFile();
// TRUE when g_DbSource is open and g_DbSession set; FALSE when the user
// gave up (or the source could not be allocated).
BOOL DbStart();
BOOL DbClose();

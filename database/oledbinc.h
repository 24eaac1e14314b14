// The OLE DB declarations the database layer is written against.
//
// Every file of the layer includes the platform's OLE DB headers through this
// one, so that the layer sees one configuration. The constants that OLE DB
// declares only under DBINITCONSTANTS (property-set GUIDs, DBGUID_DEFAULT,
// DB_NULLID) are defined once, in oledbguids.cpp.
#pragma once

#ifndef UNICODE
#error The database layer is built for Unicode only
#endif

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>
#include <oledb.h>
#include <oledberr.h>
#include <msdasc.h>
#include <transact.h>

static_assert(sizeof(void*) == 4, "the database layer lays out 32-bit parameter buffers");

// The system's libuuid lacks this one; oledbguids.cpp defines it.
extern "C" const IID IID_IDBPromptInitialize;

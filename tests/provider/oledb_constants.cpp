// The OLE DB property-set GUIDs, DBGUID_DEFAULT and DB_NULLID for the tests:
// oledb.h defines them only where DBINITCONSTANTS is defined first.
#define DBINITCONSTANTS
#include <windows.h>
#include <oledb.h>

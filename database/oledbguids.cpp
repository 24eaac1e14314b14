// The one place where OLE DB's constants get their storage: the property-set
// GUIDs, DBGUID_DEFAULT and DB_NULLID exist only in the file that defines
// DBINITCONSTANTS before including oledb.h.
#define DBINITCONSTANTS
#include "database/oledbinc.h"

// IDBPromptInitialize of the Data Links service: {2206CCB0-19C1-11D1-89E0-00C04FD7A829}.
extern "C" const IID IID_IDBPromptInitialize = {
    0x2206ccb0, 0x19c1, 0x11d1, {0x89, 0xe0, 0x00, 0xc0, 0x4f, 0xd7, 0xa8, 0x29}};

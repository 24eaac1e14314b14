#include "database/dbstart.h"

#include "database/dberrors.h"
#include "foundation/globals.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/textutil.h"
#include "resources/strings.h"

DStrBuf g_DbInitString;
DODBPtr<DODBSource> g_DbSource;
DODBPtr<DODBSession> g_DbSession;

namespace {

const wchar_t kInitFileName[] = L"dbinit.cfg";

// Opens the source and the session; throws DODBErrors on a provider failure.
// FALSE when the source object cannot be allocated.
BOOL OpenDatabase()
{
    if (!g_DbSource.CreateNew())
        return FALSE;
    HRESULT hr = g_DbSource->OpenDataSource(g_DbInitString.GetString());
    if (FAILED(hr))
        throw DODBErrors(hr, TRUE);
    hr = g_DbSource->CreateSession(g_DbSession);
    if (FAILED(hr))
        throw DODBErrors(hr, TRUE);
    return TRUE;
}

}  // namespace

BOOL ReadDbInitFile()
{
    wchar_t array[320];
    DStrBuf path(array, 320);
    path.Clear();
    path.AppendFormat(L"%s%s", DataPath, kInitFileName);
    g_DbInitString.Free();

    HANDLE file = CreateFileW(path.GetString(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    BOOL ok = FALSE;
    DWORD size = GetFileSize(file, nullptr);
    // Fewer than the two bytes of the byte-order mark is not a file of ours
    // (and would ask for room for -1 characters).
    if (size != INVALID_FILE_SIZE && size >= 2) {
        const int chars = (int)(size / 2 - 1);
        if (g_DbInitString.Alloc(chars) &&
            SetFilePointer(file, 2, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER) {
            DWORD read = 0;
            if (ReadFile(file, g_DbInitString.GetBuffer(), size - 2, &read, nullptr) && read == size - 2) {
                // The text was read in place: Assign over its own array (a
                // move) sets the length to the whole text, zeros included,
                // and terminates it.
                g_DbInitString.Assign(g_DbInitString.GetString(), chars);
                ok = TRUE;
            }
        }
    }
    CloseHandle(file);
    return ok;
}

BOOL DbStart()
{
    for (;;) {
        while (!ReadDbInitFile()) {
            if (MessageBoxIdCaption(nullptr, IDS_DBINIT_READ_RETRY, IDS_CONNECT_TO_DATABASE, MB_YESNO) != IDYES)
                return FALSE;
        }
        try {
            return OpenDatabase();
        } catch (const DODBErrors& error) {
            error.ShowMessage(nullptr, LoadText(IDS_CONNECT_TO_DATABASE).c_str(), MB_OK);
            g_DbSession.Release();
            g_DbSource.Release();
            if (MessageBoxIdCaption(nullptr, IDS_DATABASE_CONNECT_RETRY, IDS_CONNECT_TO_DATABASE, MB_YESNO) != IDYES)
                return FALSE;
        }
    }
}

BOOL DbClose()
{
    g_DbSession.Release();
    g_DbSource.Release();
    return TRUE;
}

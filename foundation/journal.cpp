// The journal: a memory-mapped file of fixed-size records, written from every
// thread.
//
// DESIGN
//
// State (process-wide): the lock (a critical section) and whether it exists;
// the file, its mapping and the mapped view of 2,840,028 bytes (the program's
// full size, whatever the header says). The view is null exactly when the
// journal is closed; the file and mapping are open exactly when it is not.
//
//   no lock --JournalInit--> lock, closed --JournalOpen/JournalCreate--> open
//   open --JournalClose--> closed --JournalDone--> no lock
//
// Invariants while open:
//   - the header's capacity is at most 10,000 and its count at most the
//     capacity (JournalOpen refuses a header that breaks this, so no slot
//     index can reach past the view);
//   - records 0 .. count-1 are in use, oldest first; the count only grows,
//     except in JournalCompact, which runs at opening before anyone can write.
//
// Writing takes the lock only to reserve a slot (slot = count, count + 1,
// stamp the time) and fills the slot's other fields after leaving it: no other
// writer can take that slot, and a viewer reading at that moment may see an
// incomplete text.
//
// Every entry point that touches the lock or the view first counts itself in
// gUsers and only then looks at the state (gLockReady, gView). JournalClose
// clears gView under the lock and, after leaving it, waits until gUsers is 0
// before it unmaps the view; JournalDone does the same before it deletes the
// lock. Because the counting happens before the looking (both sequentially
// consistent), a thread either is counted before the state changes (and the
// closer waits for it) or sees the new state (and does nothing). So a late
// LogError from another thread never touches an unmapped view or a deleted
// lock.
//
// Records are read and written field by field with fixed-width little-endian
// values, never as structures laid over the view.
#include "foundation/journal.h"

#include "foundation/lefields.h"
#include "foundation/messages.h"
#include "foundation/prompt.h"
#include "foundation/strbuf.h"
#include "foundation/textutil.h"
#include "resources/strings.h"

#include <atomic>
#include <wchar.h>
#include <string.h>

const wchar_t kJournalFileName[] = L"zelk.ju";

namespace {

const wchar_t kWrongCharsetText[] = L"Journal Wrong Unicode/Ansi Support\nProgram Terminate";
const wchar_t kDamagedText[] = L"Journal Damaged\nProgram Terminate";
const wchar_t kOpenedText[] = L"Journal opened";
const wchar_t kClosedText[] = L"Journal closed";

// Header fields.
const DWORD kHdrCreated = 0;
const DWORD kHdrCapacity = 16;
const DWORD kHdrCount = 20;
const DWORD kHdrUnicode = 24;

// Record fields.
const DWORD kRecTime = 0;
const DWORD kRecCategory = 16;
const DWORD kRecCode = 20;
const DWORD kRecLength = 24;
const DWORD kRecText = 28;

CRITICAL_SECTION gLock;
std::atomic<bool> gLockReady{false};
std::atomic<LONG> gUsers{0};
std::atomic<BYTE*> gView{nullptr};
HANDLE gFile = INVALID_HANDLE_VALUE;
HANDLE gMapping = nullptr;

// --- Times as fixed-width fields ----------------------------------------------

void PutSystemTime(BYTE* p, const SYSTEMTIME& t)
{
    PutLe16(p + 0, t.wYear);
    PutLe16(p + 2, t.wMonth);
    PutLe16(p + 4, t.wDayOfWeek);
    PutLe16(p + 6, t.wDay);
    PutLe16(p + 8, t.wHour);
    PutLe16(p + 10, t.wMinute);
    PutLe16(p + 12, t.wSecond);
    PutLe16(p + 14, t.wMilliseconds);
}

SYSTEMTIME GetSystemTimeField(const BYTE* p)
{
    SYSTEMTIME t;
    t.wYear = GetLe16(p + 0);
    t.wMonth = GetLe16(p + 2);
    t.wDayOfWeek = GetLe16(p + 4);
    t.wDay = GetLe16(p + 6);
    t.wHour = GetLe16(p + 8);
    t.wMinute = GetLe16(p + 10);
    t.wSecond = GetLe16(p + 12);
    t.wMilliseconds = GetLe16(p + 14);
    return t;
}

BYTE* RecordAt(BYTE* view, DWORD index) { return view + kJournalHeaderSize + index * kJournalRecordSize; }

// The header's capacity, never more than the view holds.
DWORD CapacityOf(const BYTE* view)
{
    DWORD capacity = GetLe32(view + kHdrCapacity);
    return capacity < kJournalCapacity ? capacity : kJournalCapacity;
}

DWORD CountOf(const BYTE* view)
{
    DWORD count = GetLe32(view + kHdrCount);
    DWORD capacity = CapacityOf(view);
    return count < capacity ? count : capacity;
}

// --- Lock and users -----------------------------------------------------------

// Counts the calling thread among the journal's users for its lifetime; see
// the design note for why counting comes before looking at the state.
class UserScope {
public:
    UserScope() { gUsers.fetch_add(1); }
    ~UserScope() { gUsers.fetch_sub(1); }
    UserScope(const UserScope&) = delete;
    UserScope& operator=(const UserScope&) = delete;
};

// A counted user that holds the lock, when the lock exists.
class LockScope {
public:
    LockScope()
    {
        held_ = gLockReady.load();
        if (held_)
            EnterCriticalSection(&gLock);
    }
    ~LockScope()
    {
        if (held_)
            LeaveCriticalSection(&gLock);
    }
    bool Held() const { return held_; }
    LockScope(const LockScope&) = delete;
    LockScope& operator=(const LockScope&) = delete;

private:
    UserScope user_;
    bool held_;
};

// Waits until no thread is inside a journal entry point. Called without the
// lock, after the state the late callers will see has been changed.
void WaitForUsers()
{
    while (gUsers.load() != 0)
        Sleep(1);
}

// "<folder>\zelk.ju", or "zelk.ju" for no folder. False (error 206) when it
// does not fit.
bool BuildPath(const wchar_t* folder, wchar_t* path, int size)
{
    int length = 0;
    if (folder && folder[0]) {
        int folderLength = lstrlenW(folder);
        if (folderLength + 1 + lstrlenW(kJournalFileName) >= size) {
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return false;
        }
        memcpy(path, folder, folderLength * sizeof(wchar_t));
        length = folderLength;
        if (path[length - 1] != L'\\' && path[length - 1] != L'/')
            path[length++] = L'\\';
    }
    lstrcpyW(path + length, kJournalFileName);
    return true;
}

// The reason the journal cannot be opened, before the program ends: the
// file, the system's text of the error and its code. A start that ends
// without a journal has nowhere else to say it.
void ShowOpenFailure(const wchar_t* path, DWORD code)
{
    DStrBuf system;
    const wchar_t* reason = system.FormatSystemMessage(code);
    MessageBoxIdFormat(nullptr, IDS_ERROR, MB_OK | MB_ICONHAND | MB_TOPMOST, IDS_JOURNAL_OPEN_FAILED, path,
                       reason ? reason : L"", static_cast<unsigned>(code));
}

HANDLE OpenJournalFile(const wchar_t* path, DWORD disposition)
{
    return CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

// Maps the whole of the program's journal size (which sets the size of a
// shorter file). Null with the last error set on failure, having closed the
// mapping it made.
BYTE* MapJournal(HANDLE file, HANDLE* mapping)
{
    *mapping = CreateFileMappingW(file, nullptr, PAGE_READWRITE | SEC_COMMIT, 0, kJournalFileSize, nullptr);
    if (!*mapping)
        return nullptr;
    BYTE* view = static_cast<BYTE*>(MapViewOfFile(*mapping, FILE_MAP_WRITE, 0, 0, kJournalFileSize));
    if (!view) {
        DWORD error = GetLastError();
        CloseHandle(*mapping);
        *mapping = nullptr;
        SetLastError(error);
    }
    return view;
}

// Header check of an existing file, before anything maps it (so that a
// refused file stays as it is). Returns 0 when it is sound, else the text of
// the refusal.
const wchar_t* CheckHeader(HANDLE file)
{
    BYTE header[kJournalHeaderSize];
    DWORD read = 0;
    if (!ReadFile(file, header, sizeof header, &read, nullptr) || read != sizeof header)
        return kDamagedText;
    if (GetLe32(header + kHdrUnicode) == 0)
        return kWrongCharsetText;
    DWORD capacity = GetLe32(header + kHdrCapacity);
    if (capacity > kJournalCapacity || GetLe32(header + kHdrCount) > capacity)
        return kDamagedText;
    return nullptr;
}

void Publish(HANDLE file, HANDLE mapping, BYTE* view)
{
    gFile = file;
    gMapping = mapping;
    gView.store(view);
}

}  // namespace

BOOL JournalInit(const wchar_t* folder)
{
    if (!gLockReady.load()) {
        InitializeCriticalSection(&gLock);
        gLockReady.store(true);
    }
    return JournalOpen(folder);
}

BOOL JournalOpen(const wchar_t* folder)
{
    wchar_t path[MAX_PATH + 16];
    HANDLE file;
    {
        LockScope lock;
        if (!lock.Held())
            return FALSE;
        if (gView.load())
            return TRUE;   // already open
        if (!BuildPath(folder, path, MAX_PATH + 16)) {
            ShowOpenFailure(folder, GetLastError());
            return FALSE;
        }
        file = OpenJournalFile(path, OPEN_EXISTING);
        if (file != INVALID_HANDLE_VALUE) {
            if (const wchar_t* refusal = CheckHeader(file)) {
                ShowPrompt(nullptr, refusal, nullptr, MB_OK);
                CloseHandle(file);
                return FALSE;
            }
            HANDLE mapping;
            BYTE* view = MapJournal(file, &mapping);
            if (!view) {
                ShowLastErrorBox();
                CloseHandle(file);
                return FALSE;
            }
            Publish(file, mapping, view);
            if (GetLe32(view + kHdrCount) > kJournalCompactAbove)
                JournalCompact();
            JournalWrite(kJournalCatJournal, kJournalOpenedCode, kOpenedText);
            return TRUE;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND) {
            // Held by another process, access denied, a folder of that name...
            ShowOpenFailure(path, error);
            return FALSE;
        }
    }
    // The question is asked without holding the lock.
    if (MessageBoxById(IDS_JOURNAL_NOT_FOUND, MB_YESNO) != IDYES)
        return FALSE;
    if (!JournalCreate(folder))
        return FALSE;
    JournalWrite(kJournalCatJournal, kJournalOpenedCode, kOpenedText);
    return TRUE;
}

BOOL JournalCreate(const wchar_t* folder)
{
    LockScope lock;
    if (!lock.Held() || gView.load())
        return FALSE;
    wchar_t path[MAX_PATH + 16];
    if (!BuildPath(folder, path, MAX_PATH + 16))
        return FALSE;
    HANDLE file = OpenJournalFile(path, CREATE_NEW);
    if (file == INVALID_HANDLE_VALUE) {
        ShowLastErrorBox();
        return FALSE;
    }
    HANDLE mapping;
    BYTE* view = MapJournal(file, &mapping);
    if (!view) {
        ShowLastErrorBox();
        // A half-made file would be refused at every later start: remove it,
        // so that the next start asks again.
        CloseHandle(file);
        DeleteFileW(path);
        return FALSE;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    PutSystemTime(view + kHdrCreated, now);
    PutLe32(view + kHdrCapacity, kJournalCapacity);
    PutLe32(view + kHdrCount, 0);
    PutLe32(view + kHdrUnicode, 1);
    Publish(file, mapping, view);
    return TRUE;
}

void JournalCompact()
{
    LockScope lock;
    BYTE* view = lock.Held() ? gView.load() : nullptr;
    if (!view)
        return;
    DWORD count = CountOf(view);
    DWORD window = count < kJournalCompactWindow ? count : kJournalCompactWindow;
    DWORD newest = 0;
    for (DWORD i = window; i-- > 0;) {
        const BYTE* record = RecordAt(view, i);
        if (GetLe32(record + kRecCategory) == kJournalCatJournal &&
            GetLe32(record + kRecCode) == kJournalOpenedCode) {
            newest = i;
            break;
        }
    }
    if (newest > 0) {
        memmove(RecordAt(view, 0), RecordAt(view, newest), (count - newest) * kJournalRecordSize);
        PutLe32(view + kHdrCount, count - newest);
    } else {
        PutLe32(view + kHdrCount, 0);
    }
}

void JournalWrite(DWORD category, DWORD code, const wchar_t* text)
{
    UserScope user;
    if (!gLockReady.load() || !gView.load())
        return;
    BYTE* record = nullptr;
    {
        LockScope lock;
        BYTE* view = lock.Held() ? gView.load() : nullptr;
        if (!view)
            return;
        DWORD count = CountOf(view);
        if (count >= CapacityOf(view))
            return;   // full: dropped until the next opening compacts
        PutLe32(view + kHdrCount, count + 1);
        record = RecordAt(view, count);
        SYSTEMTIME now;
        GetLocalTime(&now);
        PutSystemTime(record + kRecTime, now);
    }
    // The slot is ours alone; JournalClose waits for us before unmapping.
    wchar_t field[kJournalTextChars] = {};
    int length = text ? StrCopyN(field, text, kJournalTextChars) : 0;
    PutLe32(record + kRecCategory, category);
    PutLe32(record + kRecCode, code);
    PutLe32(record + kRecLength, static_cast<DWORD>(length));
    for (int i = 0; i < kJournalTextChars; ++i)
        PutLe16(record + kRecText + i * 2, field[i]);
}

void JournalWriteId(DWORD code, UINT id)
{
    // At most 255 characters are loaded; the record keeps the first 127.
    wchar_t array[256] = {};
    DStrBuf text(array, 256);
    text.LoadString(id);
    JournalWrite(kJournalCatApplication, code, array);
}

void LogError(DWORD code, const wchar_t* text) { JournalWrite(kJournalCatApplication, code, text); }

void LogCallError(DWORD code, const wchar_t* call, const wchar_t* argument)
{
    wchar_t reason[256];
    // The system's text ends with a line break.
    for (int i = ErrorCodeText(code, reason, 256);
         i > 0 && (reason[i - 1] == L'\r' || reason[i - 1] == L'\n' || reason[i - 1] == L' '); --i)
        reason[i - 1] = 0;
    wchar_t text[kJournalTextChars];
    const int written = _snwprintf(text, kJournalTextChars, L"%ls %ls: %ls", call ? call : L"",
                                   argument ? argument : L"", reason);
    if (written < 0 || written >= kJournalTextChars)
        text[kJournalTextChars - 1] = 0;
    LogError(code, text);
}

void JournalClose()
{
    BYTE* view;
    HANDLE mapping;
    HANDLE file;
    {
        LockScope lock;
        view = lock.Held() ? gView.load() : nullptr;
        if (!view)
            return;
        JournalWrite(kJournalCatJournal, kJournalClosedCode, kClosedText);
        mapping = gMapping;
        file = gFile;
        gView.store(nullptr);
        gMapping = nullptr;
        gFile = INVALID_HANDLE_VALUE;
    }
    // Writers that reserved a slot before the view was cleared finish first.
    WaitForUsers();
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(file);
}

void JournalDone()
{
    JournalClose();
    if (!gLockReady.exchange(false))
        return;
    WaitForUsers();
    DeleteCriticalSection(&gLock);
}

bool JournalEnter()
{
    gUsers.fetch_add(1);
    if (!gLockReady.load()) {
        gUsers.fetch_sub(1);
        return false;
    }
    EnterCriticalSection(&gLock);
    return true;
}

void JournalLeave()
{
    LeaveCriticalSection(&gLock);
    gUsers.fetch_sub(1);
}

bool JournalIsMapped() { return gView.load() != nullptr; }

bool JournalReadHeader(JournalHeader* header)
{
    const BYTE* view = gView.load();
    if (!view || !header)
        return false;
    header->created = GetSystemTimeField(view + kHdrCreated);
    header->capacity = GetLe32(view + kHdrCapacity);
    header->count = GetLe32(view + kHdrCount);
    header->unicode = GetLe32(view + kHdrUnicode);
    return true;
}

bool JournalReadRecord(DWORD index, JournalRecord* record)
{
    BYTE* view = gView.load();
    if (!view || !record || index >= CountOf(view))
        return false;
    const BYTE* p = RecordAt(view, index);
    record->time = GetSystemTimeField(p + kRecTime);
    record->category = GetLe32(p + kRecCategory);
    record->code = GetLe32(p + kRecCode);
    DWORD length = GetLe32(p + kRecLength);
    record->length = static_cast<int>(length < kJournalTextChars - 1 ? length : kJournalTextChars - 1);
    for (int i = 0; i < kJournalTextChars; ++i)
        record->text[i] = static_cast<wchar_t>(GetLe16(p + kRecText + i * 2));
    record->text[record->length] = 0;
    return true;
}

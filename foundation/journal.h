// The journal: the program's event log, a fixed-size file "zelk.ju" in the
// working folder, mapped into memory while the program runs.
//
// Every thread may write to it; errors of every part of the program end here
// with their Win32 error code or HRESULT. The start-up opens it before
// anything else that can fail and the end of the process closes it last.
// Writes while the journal is closed (before JournalInit, after JournalClose
// or JournalDone) are ignored, so any code may log at any time.
#pragma once

#include <windows.h>

// File layout (little-endian, UTF-16 texts):
//   header, 28 bytes: created (SYSTEMTIME, local time), capacity, count,
//       character flag (1 = UTF-16 records);
//   record i at 28 + i * 284, 284 bytes: time (SYSTEMTIME, local time),
//       category, code, text length (0..127), text field of 128 characters
//       (at most 127 characters, zeros to the end of the field).
const DWORD kJournalCapacity = 10000;
const DWORD kJournalHeaderSize = 28;
const DWORD kJournalRecordSize = 284;
const int kJournalTextChars = 128;   // text field in characters, terminator included
const DWORD kJournalFileSize = kJournalHeaderSize + kJournalCapacity * kJournalRecordSize;
const DWORD kJournalCompactAbove = 8000;    // an opening compacts a journal fuller than this
const DWORD kJournalCompactWindow = 6000;   // run markers are looked for among these first records

// Record categories. 0 to 4 are named by the string-table texts 146 to 150;
// 5 is named by the fixed text "SQL STMT".
enum JournalCategory : DWORD {
    kJournalCatJournal = 0,      // the journal's own markers
    kJournalCatApplication = 1,  // every record the program writes
    kJournalCatNetbios = 2,
    kJournalCatDetector = 3,
    kJournalCatWarning = 4,
    kJournalCatSqlStmt = 5,
};

// Codes of the marker records (category 0).
const DWORD kJournalOpenedCode = 0;
const DWORD kJournalClosedCode = 1;

// The file's name in the working folder.
extern const wchar_t kJournalFileName[];   // "zelk.ju"

// Creates the journal's lock once, then JournalOpen. True when the journal is
// ready; the program ends when it is not. The folder is where "zelk.ju" lives;
// null (the program's use) means the current folder.
BOOL JournalInit(const wchar_t* folder = nullptr);

// Opens and maps the existing journal, compacts it when it is more than 8,000
// records full and writes the "Journal opened" marker. When the file does not
// exist, asks whether to create it. A journal of another character set or
// with a damaged header is refused (a message, false, the file unchanged).
BOOL JournalOpen(const wchar_t* folder = nullptr);

// Creates a new, empty journal file (failing when one exists) and maps it.
BOOL JournalCreate(const wchar_t* folder = nullptr);

// Drops the records of older runs: keeps the newest run that began within the
// first 6,000 records, or empties the journal when there is none after index
// 0. Only when the journal is mapped.
void JournalCompact();

// Appends one record; a null text gives an empty text, a longer one keeps its
// first 127 characters. Dropped silently when the journal is closed or full.
// Callable from any thread.
void JournalWrite(DWORD category, DWORD code, const wchar_t* text);

// Appends the string-table text `id` (at most 127 characters kept) with
// category 1.
void JournalWriteId(DWORD code, UINT id);

// Appends an error record: category 1, the Win32 error code or HRESULT and a
// text naming what failed. Callable from any thread, at any time.
void LogError(DWORD code, const wchar_t* text);
// LogError for a failed call: "<call> <argument>: <the system's text for the
// code>", cut to the record's 127 characters (the argument first kept whole).
void LogCallError(DWORD code, const wchar_t* call, const wchar_t* argument);

// Writes the "Journal closed" marker, unmaps and closes the file. Waits for
// writes already under way on other threads; later ones are ignored.
void JournalClose();

// JournalClose, then deletes the journal's lock. Harmless when the journal was
// never opened.
void JournalDone();

// --- For the journal viewer --------------------------------------------------

// One record as read back from the journal.
struct JournalRecord {
    SYSTEMTIME time;
    DWORD category;
    DWORD code;
    int length;                          // characters of text, 0..127
    wchar_t text[kJournalTextChars];     // always terminated
};

// The journal's header as read back.
struct JournalHeader {
    SYSTEMTIME created;
    DWORD capacity;
    DWORD count;
    DWORD unicode;   // character flag
};

// Enters the journal's lock; false (and nothing entered) when the lock does not
// exist. The viewer holds it while it reads the records.
bool JournalEnter();
void JournalLeave();

// Whether the journal is open and mapped.
bool JournalIsMapped();

// Reads the header; false when the journal is not mapped. Call under the lock.
bool JournalReadHeader(JournalHeader* header);

// Reads record `index` (below the count); false when the journal is not mapped
// or there is no such record. Call under the lock. A record whose slot a
// writer has reserved but not yet filled may come back with an incomplete text.
bool JournalReadRecord(DWORD index, JournalRecord* record);

// The synchronisation window's work on "suspect" image files (Snimok_dif rows
// with nodel <> 0: files a scan found that the database does not account
// for) and its lists of archive disks, apart from the dialogs that show them.
//
// Moving suspect files takes them out of the workstation's folders (or off
// the archive disk in the drive) into a folder the user names, keeping the
// "Image\" and "Icon\" layout there, and records in Snimok_dif that they no
// longer lie where they were found. A source file is deleted only after its
// copy is at the destination: copied now, or found there already holding the
// very same bytes. A different file of the same name at the destination is
// left alone and the source stays; the user is asked whether to go on, as
// for any other copy failure.
//
// Prompts go through ShowPrompt, owned by the given window. Nothing is rolled
// back: files moved before a failure stay moved and their rows updated.
#pragma once

#include "database/dbobject.h"
#include "database/dbsession.h"

#include <windows.h>

#include <string>
#include <vector>

// One row of the move dialog's list: "Hard disk" or an archive disk's name,
// and how many suspect files lie there.
struct SuspectDiskRow {
    std::wstring name;
    unsigned long count;
};

// "Hard disk" first, then each scanned archive disk that holds suspect files,
// by name. Throws DODBErrors.
std::vector<SuspectDiskRow> ListSuspectDisks(const DODBPtr<DODBSession>& session);

// The lists of archive disks: 1 the scanned ones (Arj_tmp), 2 every
// registered one (Arj), 3 the registered ones no scan has seen.
enum ArchiveDiskList { kDisksScanned = 1, kDisksRegistered = 2, kDisksNotScanned = 3 };

struct ArchiveDiskRow {
    LONG arj;             // the volume serial as the tables keep it
    std::wstring name;
};

// The dialog's title for the list (null for an unknown one).
const wchar_t* ArchiveDiskListTitle(int list);
// The list's rows by name. Throws DODBErrors (and nothing for an unknown list).
std::vector<ArchiveDiskRow> ListArchiveDisks(const DODBPtr<DODBSession>& session, int list);

// Where a suspect file is taken from.
enum class SuspectSource {
    kHardDisk,   // the workstation's "Image\" and "Icon\" folders
    kArchive,    // the archive disk in the drive of the archive location
};

struct SuspectMoveRequest {
    HWND owner = nullptr;          // owns the prompts
    std::wstring destination;      // the folder the user named
    SuspectSource source = SuspectSource::kHardDisk;
    bool quiet = false;            // hard disk only: skip copy failures without asking
    std::wstring archivePath;      // kArchive: the synchronisation window's archive location
};

// What a move did.
struct SuspectMoveResult {
    int moved = 0;                 // image files taken from the source
    bool finished = false;         // the loop ran to its end step ("Перемещение закончено")
};

// Moves the suspect files of the source. Asks and reports as it goes; a
// database failure ends it, shown in the database error box.
SuspectMoveResult MoveSuspectImages(const DODBPtr<DODBSession>& session, const SuspectMoveRequest& request);

// How a copy to the destination went.
enum class CopyOutcome {
    kCopied,            // copied now
    kAlreadyThere,      // the destination holds the same bytes already
    kDifferentThere,    // the destination holds another file of the name
    kFailed,            // the copy failed (error set)
};
// Copies the file unless the destination exists; an existing destination is
// compared with the source byte for byte.
CopyOutcome CopyUnlessPresent(const std::wstring& source, const std::wstring& target, DWORD* error);
// Whether the two files can both be read and hold the same bytes.
bool SameFileContents(const std::wstring& a, const std::wstring& b);

// FormatWorker: prepares a new archive disk on a thread of its own
// (procformat).
//
// By its job flags it has the disk service format the disk in the archive
// drive under the name the user typed (0x800), and registers the disk in
// table Arj under its volume serial and label (0x1000), creating the archive
// folder on it, so that the archive worker accepts it. A disk that is
// already registered stops a registration at once and makes a format ask
// first; a name that another registered disk carries is refused, and so is
// a label longer than the disk name column (kDiskNameColumnChars), before
// anything is written to the disk or the database.
//
// The disk service takes one 36-byte format request per connection and
// answers with the 1,028-byte reply of every request (exchange/disks/
// disksrvclient.h):
//   command u32 = 2; drive letter u16; reserved u32 = 0; name length u16;
//   name 12 x u16, zero-filled behind the name, no terminator at 12.
// A longer name cannot be sent: the window refuses it when it is typed, and
// the worker refuses it again rather than cutting it.
//
// Results and reports: the job's result word (WorkerBase) ends 0 complete, 1
// stopped by the user, -1 stopped by the program; a refusal (ReportStop)
// tells the window that the job stops (bit 0x20) with two texts.
#pragma once

#include "archive/workerbase.h"

#include <windows.h>

#include <string>

// Job flags of the format worker.
enum FormatJobBit : DWORD {
    kJobFormat = 0x800,
    kJobRegister = 0x1000,
};

const DWORD kDiskSrvFormatCommand = 2;
const DWORD kDiskSrvFormatRequestSize = 36;
const int kDiskNameMaxChars = 12;   // what a format request carries
// How long the service may take to format a disk.
const DWORD kFormatTimeoutMs = 15 * 60 * 1000;

// The 36-byte request; false (nothing built) for a name longer than 12
// characters.
bool BuildFormatRequest(wchar_t letter, const wchar_t* name, BYTE request[kDiskSrvFormatRequestSize]);

class FormatWorker {
public:
    explicit FormatWorker(const WorkerParams& params);
    FormatWorker(const FormatWorker&) = delete;
    FormatWorker& operator=(const FormatWorker&) = delete;

    // The sequence; stop signals pass on.
    void Run();
    // 0 go on, 1 stop.
    int CheckNotRegistered();
    // 1 formatted, 0 not.
    int StartFormat();
    // 0 free, 1 taken (refused).
    int CheckNameFree(const wchar_t* name);
    // 1 the disk has a label, 0 not (refused).
    int ReadSerial();
    // 1 when the label fits the name column of Arj; 0 refused.
    int CheckLabelFits(const std::wstring& label);
    // 1 registered, 0 not. A label the name column cannot hold is refused
    // before the archive folder is made or a row written.
    int RegisterDisk();
    void ReportStop(const wchar_t* text1, const wchar_t* text2);
    void ReportStopIds(UINT id1, UINT id2);
    void PollUserAnswer(DWORD waitMs);
    void Finish();

    WorkerBase& Base() { return base_; }
    const std::wstring& DiskName() const { return diskName_; }

private:
    WorkerLink* link_;
    JobFlags flags_;
    WorkerBase base_;
    std::wstring archivePath_;
    std::wstring diskName_;
};

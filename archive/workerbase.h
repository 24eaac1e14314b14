// WorkerBase: what both archive-window workers stand on, and what the window
// keeps for its own statements.
//
// It holds the worker's own session (and command) on the process-wide data
// source, the job's result word, the disk whose "diskcfg.ini" was last
// checked, the COM initialisation of the thread, and the reports a worker
// sends its window through the WorkerLink: an error with two texts and an
// optional Win32 code, a database error, and the choice between asking the
// user (Continue or Stop) and stopping the job.
//
// Result word: 0 at start and for a complete job; it moves only to 1 (the
// user stopped a step) or -1 (the program stopped it).
//
// Stop signals travel as thrown integers: 0 the user pressed Stop, -1 the
// program stops the job.
#pragma once

#include "archive/workerlink.h"
#include "database/dbcommand.h"
#include "database/dbobject.h"
#include "database/dbsession.h"
#include "database/dbsource.h"
#include "foundation/messages.h"

#include <windows.h>

#include <functional>
#include <string>

class DODBErrors;

// Report modes and the results of a report.
const DWORD kReportAsk = 0x100;     // any mode without the fatal bit asks the user: Continue or Stop
const DWORD kReportFatal = 0x8;     // the job stops with an error
const int kStepDone = 0;
const int kStepAsked = 256;         // the user was asked; retry after Continue
const int kStepFatal = 8;           // the job stops
const int kCopyAsked = 4;           // CopyImageToArj's "asked", 256 to its caller
const int kCopySkipped = 2;         // CopyImageToArj: the image was skipped (its name names no file)

// The stop signals.
const int kStopByUser = 0;
const int kStopByProgram = -1;

// The job-flags word of a worker: the worker only tests bits.
class JobFlags {
public:
    JobFlags() = default;
    explicit JobFlags(DWORD bits) : bits_(bits) {}
    void Set(DWORD bits) { bits_ |= bits; }
    void Clear(DWORD bits) { bits_ &= ~bits; }
    int Test(DWORD bits) const { return (bits_ & bits) != 0 ? 1 : 0; }
    DWORD Bits() const { return bits_; }

private:
    DWORD bits_ = 0;
};

// The disk whose "diskcfg.ini" was last loaded and checked.
class CheckedDisk {
public:
    void Set(DWORD serial)
    {
        serial_ = serial;
        valid_ = TRUE;
    }
    void Forget() { valid_ = FALSE; }
    bool IsValid() const { return valid_ != FALSE; }
    DWORD Serial() const { return serial_; }

private:
    DWORD serial_ = 0;
    BOOL valid_ = FALSE;
};

class WorkerBase {
public:
    WorkerBase() = default;
    // The same empty start, then a session and a command on the source.
    explicit WorkerBase(const DODBPtr<DODBSource>& source);
    ~WorkerBase();
    WorkerBase(const WorkerBase&) = delete;
    WorkerBase& operator=(const WorkerBase&) = delete;

    void SetLink(WorkerLink* link) { link_ = link; }
    WorkerLink* Link() const { return link_; }
    void SetResult(int value) { result_ = value; }
    int GetResult() const { return result_; }

    // COM for the calling thread (multithreaded); a failure reports 674
    // (fatal) and throws the stop signal -1.
    void InitCom();
    bool IsOpen() const { return session_.IsSet() && command_.IsSet(); }
    // Each first lets go of what it held; 1 when what it makes exists.
    int OpenSession(const DODBPtr<DODBSource>& source);
    int OpenSessionAndCommand(const DODBPtr<DODBSource>& source);
    // A new command on the worker's session into the handle; 1 when made.
    int CreateCommand(DODBPtr<DODBCommand>& command);

    const DODBPtr<DODBSession>& Session() const { return session_; }
    const DODBPtr<DODBCommand>& Command() const { return command_; }
    CheckedDisk& Checked() { return checked_; }

    // Called before every question to the user (the worker writes what it
    // changed, so that nothing waits on the user's answer); may throw.
    void SetAskHook(void (*hook)(void* context), void* context)
    {
        askHook_ = hook;
        askContext_ = context;
    }

    // Text 1 to "Troubleshooting", text 2 (or, with an error, string 376
    // with the error's number, its system text and text 2) to "Possible
    // fault reason"; then fatal (kStepFatal) or ask (kStepAsked).
    int ReportError(const wchar_t* text1, const wchar_t* text2, DWORD mode, DWORD error);
    int ReportErrorIds(UINT id1, UINT id2, DWORD mode, DWORD error);
    // The error's text to "Possible fault reason", result -1, the job stops
    // with an error; with endJob the link also reports the end.
    void ReportDbError(const DODBErrors& error, bool endJob);

    // Every message box of the worker (no owner, no caption): shown as a
    // wait for the user, the only time the window may terminate the worker,
    // so the worker calls it holding no transaction, statement or file.
    int Prompt(const wchar_t* text, UINT flags = MB_OK);

    // String 376 filled with the error and the text.
    static std::wstring Win32ErrorText(DWORD error, const wchar_t* text);

private:
    int result_ = 0;                     // 0 complete, 1 stopped by the user, -1 stopped by the program
    DODBPtr<DODBCommand> command_;
    DODBPtr<DODBSession> session_;       // the worker's own
    CheckedDisk checked_;
    bool comInitialized_ = false;
    WorkerLink* link_ = nullptr;
    void (*askHook_)(void*) = nullptr;
    void* askContext_ = nullptr;
};

// The job of a worker thread: runs `run`; a stop signal (a thrown integer)
// or any other failure sets the result -1. A database error is reported to
// the window with its text (ReportDbError); an unexpected failure is
// journalled, reported with the string-table text `failureText` and shown
// with it. Whatever ends a job, the window can tell it from a complete one
// and show why.
void RunWorkerJob(WorkerBase& base, const std::function<void()>& run, UINT failureText);

// The routine of a worker thread (procArj, procformat): takes the language
// of the thread that started it (its texts are the program's), makes the
// worker on the window's block, signals the start event once it has taken
// the block, runs the job (RunWorkerJob), finishes and returns the result
// word.
template <class Worker>
DWORD RunWorkerThread(void* param, UINT failureText)
{
    WorkerParams* params = static_cast<WorkerParams*>(param);
    if (params->language) {
        SetThreadUILanguage(params->language);
        SetThreadLocale(params->locale);
    }
    int result = -1;
    {
        Worker worker(*params);
        SetEvent(params->startEvent);   // the block is ours no longer
        RunWorkerJob(worker.Base(), [&worker] { worker.Run(); }, failureText);
        worker.Finish();
        result = worker.Base().GetResult();
    }
    return static_cast<DWORD>(result);
}

// A string-table text (at most 255 characters), empty for id 0.
std::wstring ArchiveText(UINT id);
// A string-table format filled by FormatMessage with string inserts.
std::wstring FormatArchiveText(UINT id, const wchar_t* insert1, const wchar_t* insert2 = nullptr,
                               const wchar_t* insert3 = nullptr);
// The system's text of a Win32 code without its line break (empty when none).
std::wstring SystemErrorText(DWORD error);

// DiskWaiter: a thread that watches a drive until the wanted disk is in it,
// asking the disk service to eject the disk that is to leave, and then posts
// one message to its owner window.
//
// States:
//   idle     no thread                      Start -> polling
//   polling  the thread runs WaitLoop       wanted disk found -> message posted, idle
//                                           Stop -> idle (no message)
// Every 250 ms the thread reads the drive's volume. While the disk whose
// serial is the eject serial stays in the drive (and eject is enabled) it
// asks the disk service to eject it, once per poll. Another disk is the
// wanted one when its serial equals the expected serial (when one is set),
// else when its label equals the expected label (when one is set, case
// counts), else whatever disk it is. An empty drive is polled again.
//
// The owner sets the fields before Start and leaves them alone while the
// thread runs (Start and every setter first stop a running thread). The
// thread reads them without a lock.
//
// Stopping is cooperative: the stop event ends the poll's wait and the pipe
// exchange at once (the exchange also has its own time-out), so Stop waits
// for the thread to end. A thread that does not end is terminated only while
// it is not talking to the pipe, never in the middle of an exchange.
#pragma once

#include "foundation/dstring.h"

#include <windows.h>

class DiskWaiter {
public:
    static const DWORD kPollMs = 250;
    static const DWORD kStopWaitMs = 500;

    DiskWaiter();
    ~DiskWaiter();   // Close
    DiskWaiter(const DiskWaiter&) = delete;
    DiskWaiter& operator=(const DiskWaiter&) = delete;

    // What is posted when the wanted disk is found.
    void SetOwner(HWND owner, UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    void SetMessageParams(WPARAM wParam, LPARAM lParam);
    // A path on the drive to watch: its first character is the drive letter.
    void SetDrivePath(const wchar_t* path);
    // The disk that is to leave (0: none), the expected label (null or empty:
    // any) and the expected serial (0: any).
    void SetRequest(DWORD ejectSerial, const wchar_t* expectedLabel, DWORD expectedSerial);
    void EnableEject(bool enable);

    // Starts polling with the fields as they are (a running thread is
    // stopped first). False when the events or the thread cannot be made.
    bool Start();
    // SetRequest, then Start.
    bool Begin(DWORD ejectSerial, const wchar_t* expectedLabel, DWORD expectedSerial);
    // Ends the polling thread; no message is posted after it returns.
    void Stop();
    // Stop, then closes the events.
    void Close();
    bool IsRunning() const { return thread_ != nullptr; }

    // How many eject requests the thread has sent since the last Start.
    LONG EjectRequests() const { return ejectRequests_; }
    // How many polls the thread has finished since the last Start (the drive
    // read and acted on); a poll that begins after a change sees it.
    LONG Polls() const { return polls_; }
    // The thread has left its loop: it posted its message, or was stopped.
    bool Ended() const { return done_ && WaitForSingleObject(done_, 0) == WAIT_OBJECT_0; }

private:
    static DWORD WINAPI ThreadProc(void* param);
    void WaitLoop();
    void SignalDone();
    void PostToOwner();
    bool IsWanted(DWORD serial, const wchar_t* label) const;

    HANDLE stop_ = nullptr;        // manual reset: the owner wants the thread to end
    HANDLE done_ = nullptr;        // manual reset: the thread has left its loop
    HANDLE thread_ = nullptr;      // the polling thread, or null when idle
    HWND owner_ = nullptr;
    UINT message_ = 0;
    WPARAM wParam_ = 0;
    LPARAM lParam_ = 0;
    DString drivePath_;            // its first character names the drive
    DString expectedLabel_;        // empty: any label
    DWORD expectedSerial_ = 0;     // 0: any serial
    DWORD ejectSerial_ = 0;        // the disk that is to leave; 0: none
    BOOL ejectEnabled_ = TRUE;
    volatile LONG inPipe_ = 0;     // the thread is in an exchange with the disk service
    volatile LONG ejectRequests_ = 0;
    volatile LONG polls_ = 0;
};

#include "exchange/disks/diskwaiter.h"

#include "exchange/disks/disksrvclient.h"
#include "exchange/disks/removabledrive.h"
#include "ui/threadwait.h"

#include <cwchar>

DiskWaiter::DiskWaiter() = default;

DiskWaiter::~DiskWaiter()
{
    Close();
}

void DiskWaiter::SetOwner(HWND owner, UINT message, WPARAM wParam, LPARAM lParam)
{
    Stop();
    owner_ = owner;
    message_ = message;
    wParam_ = wParam;
    lParam_ = lParam;
}

void DiskWaiter::SetMessageParams(WPARAM wParam, LPARAM lParam)
{
    Stop();
    wParam_ = wParam;
    lParam_ = lParam;
}

void DiskWaiter::SetDrivePath(const wchar_t* path)
{
    Stop();
    drivePath_ = path && *path ? path : nullptr;
}

void DiskWaiter::SetRequest(DWORD ejectSerial, const wchar_t* expectedLabel, DWORD expectedSerial)
{
    Stop();
    ejectSerial_ = ejectSerial;
    expectedLabel_ = expectedLabel && *expectedLabel ? expectedLabel : nullptr;
    expectedSerial_ = expectedSerial;
}

void DiskWaiter::EnableEject(bool enable)
{
    Stop();
    ejectEnabled_ = enable;
}

bool DiskWaiter::Start()
{
    if (!stop_)
        stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!done_)
        done_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!stop_ || !done_)
        return false;
    Stop();
    ResetEvent(stop_);
    ResetEvent(done_);
    InterlockedExchange(&ejectRequests_, 0);
    InterlockedExchange(&polls_, 0);
    thread_ = CreateThread(nullptr, 0, ThreadProc, this, 0, nullptr);
    return thread_ != nullptr;
}

bool DiskWaiter::Begin(DWORD ejectSerial, const wchar_t* expectedLabel, DWORD expectedSerial)
{
    SetRequest(ejectSerial, expectedLabel, expectedSerial);
    return Start();
}

void DiskWaiter::Stop()
{
    if (!thread_)
        return;
    DWORD wait = WaitForSingleObject(thread_, 0);
    if (wait == WAIT_TIMEOUT) {
        SetEvent(stop_);
        // The owner's thread stops it: its windows stay painted meanwhile.
        wait = WaitKeepingPainted(done_, kStopWaitMs);
        // An exchange with the disk service ends on the stop event or at its
        // own time-out: wait for it rather than cut it off.
        while (wait == WAIT_TIMEOUT && inPipe_)
            wait = WaitKeepingPainted(done_, kDiskSrvTimeoutMs);
        if (wait == WAIT_OBJECT_0)
            WaitKeepingPainted(thread_, kStopWaitMs);   // from SignalDone to the thread's end
        else if (!inPipe_)
            TerminateThread(thread_, 0xFFFFFFFF);
    }
    CloseHandle(thread_);
    thread_ = nullptr;
}

void DiskWaiter::Close()
{
    Stop();
    if (stop_) {
        CloseHandle(stop_);
        stop_ = nullptr;
    }
    if (done_) {
        CloseHandle(done_);
        done_ = nullptr;
    }
}

DWORD WINAPI DiskWaiter::ThreadProc(void* param)
{
    DiskWaiter* waiter = static_cast<DiskWaiter*>(param);
    try {
        waiter->WaitLoop();
    } catch (...) {
        // The polling ends without a message.
    }
    waiter->SignalDone();
    return 0;
}

bool DiskWaiter::IsWanted(DWORD serial, const wchar_t* label) const
{
    if (expectedSerial_)
        return serial == expectedSerial_;
    if (expectedLabel_.Length())
        return wcscmp(label, expectedLabel_.c_str()) == 0;
    return true;
}

void DiskWaiter::WaitLoop()
{
    const wchar_t* path = drivePath_.c_str();
    if (!path)
        return;
    RemovableDrive drive;
    drive.SetLetter(path);
    for (;;) {
        wchar_t label[kDiskLabelChars] = L"";
        DWORD serial = 0;
        if (GetVolumeInformationW(drive.Root(), label, kDiskLabelChars - 1, &serial, nullptr, nullptr, nullptr, 0)) {
            label[kDiskLabelChars - 1] = 0;
            if (ejectSerial_ && serial == ejectSerial_) {
                if (ejectEnabled_) {
                    InterlockedExchange(&inPipe_, 1);
                    InterlockedIncrement(&ejectRequests_);
                    EjectDiskViaDiskSrv(drive.Letter(), stop_);
                    InterlockedExchange(&inPipe_, 0);
                }
            } else if (IsWanted(serial, label)) {
                PostToOwner();
                return;
            }
        }
        InterlockedIncrement(&polls_);
        if (WaitForSingleObject(stop_, kPollMs) != WAIT_TIMEOUT)
            return;
    }
}

void DiskWaiter::SignalDone()
{
    SetEvent(done_);
}

void DiskWaiter::PostToOwner()
{
    if (owner_)
        PostMessageW(owner_, message_, wParam_, lParam_);
}

// DicomExportClient: the program's one client of the outside DICOM export
// server (ProgID "IDicomExportServer.Application"), which keeps the DICOM
// targets, a send queue per target, and writes DICOM files.
//
// States: not connected -> connected after the first Init that obtains a
// working object; every Init finds the server again (GetActiveObject finds a
// running one, else COM starts it), asks its application object for a new
// working object ("Instance" read with "DicomControl"), releases the working
// object of the connection before, and resolves the six members again.
// Shutdown releases the working object and frees the target list.
//
// Every member is called through IDispatch::Invoke with the client's LCID,
// its arguments in DISPPARAMS in COM order (the last one first), no named
// arguments; the EXCEPINFO strings, the client's own BSTRs and the result are
// freed after each call. Results are checked for their type and, for arrays,
// their shape before anything is read from them.
//
// SendImage, SaveImage, ResetImage and DeleteImage answer "" for success or
// an error text; the client shows the server's text, a failed Invoke
// ("Ошибка вызова Invoke(<member>) HRESULT=<code>") and an answer of another
// type ("Ошибка <member>") in message boxes without owner, and returns 0.
//
// Used from the main thread only; the server itself is called from threads
// of the client's own. Every call of the server (the connection, each member)
// runs on a thread of its own while the calling thread waits for it with its
// windows painted (ui/threadwait.h), for at most CallLimitMs (30 s): a server
// that does not answer (stopped, hung, its machine gone) never freezes the
// program. The user is then told (IDS_DICOM_NO_ANSWER) and the call is
// abandoned to its thread: it owns everything it works with (its own
// reference to the server's object, copies of its arguments, the pixel
// section) and lets go of it there when the server answers at last; the
// result is not looked at. Until it has, every further call is refused at
// once with a message (IDS_DICOM_STILL_BUSY): the pixel section has one name,
// and a server that did not answer one call would not answer the next.
// Answering() tells the callers when that is the case.
//
// States of one call (ServerCall in dicomclient.cpp): running -> done (its
// thread, the work over: the caller takes the results) or running ->
// abandoned (the caller, at the limit: the thread lets go of the results).
// The caller and the thread each hold one reference; the last one frees it.
#pragma once

#include "exchange/dicom/pixelsection.h"

#include <windows.h>
#include <oleauto.h>

#include <memory>
#include <string>
#include <vector>

class DicomExportClient
{
public:
    // The name of the section that holds the pixels during SendImage and
    // SaveImage.
    static const wchar_t kSectionName[];
    static const wchar_t kProgId[];

    // The process-wide client.
    static DicomExportClient& Instance();

    // The longest wait for one call of the server: 30 s unless a test set
    // another (0 puts the 30 s back).
    static DWORD CallLimitMs();
    static void SetCallLimitMs(DWORD ms);
    // False while a call that the server did not answer in time is still
    // left to it: every call is then refused.
    static bool Answering();

    DicomExportClient();
    ~DicomExportClient();
    DicomExportClient(const DicomExportClient&) = delete;
    DicomExportClient& operator=(const DicomExportClient&) = delete;

    // Connects (see above); 1 when a working object was obtained, 0 when the
    // server gave none, or did not answer in time (the user told). Failures of
    // the connection and of the name look-ups are thrown as HRESULTs
    // (REGDB_E_CLASSNOTREG without the "EnableDCOM" setting).
    int Init();
    bool Connected() const { return server_ != nullptr; }
    // Releases the working object (waiting for the server at most the limit,
    // and not at all while it is known not to answer) and frees the target
    // list. Nothing is shown.
    void Shutdown();

    // Reads the target list anew; 0 (list emptied) when not connected, when
    // Invoke fails or the answer is no array of texts (nothing shown), or when
    // the server does not answer in time (the user told).
    int GetTargetList();
    int TargetCount() const { return (int)targets_.size(); }
    // The name of target `index`, or null outside [0, count).
    const wchar_t* TargetName(int index) const;

    // 1 when the server took the image; 0 at once when not connected or the
    // index is outside [0, count). The attributes stay the caller's (the call
    // works on a copy); the section with the pixels, if given, goes with the
    // call.
    int SendPicture(int index, SAFEARRAY* attributes, std::unique_ptr<PixelSection> pixels = nullptr);
    // 1 when the server wrote the file; 0 when not connected.
    int SaveImage(const wchar_t* fileName, SAFEARRAY* attributes, std::unique_ptr<PixelSection> pixels = nullptr);
    int Reset(const wchar_t* image);
    int Delete(const wchar_t* image);
    // The server's answer for the target's queue into `result` (the caller
    // clears it); 1 on success, 0 on failure (nothing shown but a server that
    // does not answer in time).
    int GetQueueStatus(VARIANT* result, const wchar_t* target);

private:
    enum Member { kGetTargetList, kSendImage, kSaveImage, kGetQueueStatus, kDeleteImage, kResetImage, kMembers };

    // Invokes the member with `args` in call order (taken over: the caller's
    // are left empty) on a thread of its own. False when the server did not
    // answer in time or an earlier call is still left to it (the user told);
    // else true with the HRESULT and the answer (the caller clears it).
    bool Invoke(Member member, VARIANT* args, UINT count, HRESULT* hr, VARIANT* result,
                std::unique_ptr<PixelSection> pixels = nullptr);
    // Runs a member that answers "" or an error text, showing failures.
    int CallForText(Member member, const wchar_t* word, VARIANT* args, UINT count,
                    std::unique_ptr<PixelSection> pixels = nullptr);

    DISPID ids_[kMembers];
    UINT codePage_ = 0;             // the ANSI code page at connection, sent with every image
    IDispatch* server_ = nullptr;   // the working object, null while not connected
    LCID lcid_ = 0;
    std::vector<std::wstring> targets_;
};

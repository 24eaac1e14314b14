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
// Used on the main thread only.
#pragma once

#include <windows.h>
#include <oleauto.h>

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

    DicomExportClient();
    ~DicomExportClient();
    DicomExportClient(const DicomExportClient&) = delete;
    DicomExportClient& operator=(const DicomExportClient&) = delete;

    // Connects (see above); 1 when a working object was obtained, 0 when the
    // server gave none. Failures of the connection and of the name look-ups
    // are thrown as HRESULTs (REGDB_E_CLASSNOTREG without the "EnableDCOM"
    // setting).
    int Init();
    bool Connected() const { return server_ != nullptr; }
    // Releases the working object and frees the target list.
    void Shutdown();

    // Reads the target list anew; 0 (list emptied) when not connected, when
    // Invoke fails or the answer is no array of texts. Nothing is shown.
    int GetTargetList();
    int TargetCount() const { return (int)targets_.size(); }
    // The name of target `index`, or null outside [0, count).
    const wchar_t* TargetName(int index) const;

    // 1 when the server took the image; 0 at once when not connected or the
    // index is outside [0, count).
    int SendPicture(int index, SAFEARRAY* attributes);
    // 1 when the server wrote the file; 0 when not connected.
    int SaveImage(const wchar_t* fileName, SAFEARRAY* attributes);
    int Reset(const wchar_t* image);
    int Delete(const wchar_t* image);
    // The server's answer for the target's queue into `result` (the caller
    // clears it); 1 on success, 0 on failure (nothing shown).
    int GetQueueStatus(VARIANT* result, const wchar_t* target);

private:
    enum Member { kGetTargetList, kSendImage, kSaveImage, kGetQueueStatus, kDeleteImage, kResetImage, kMembers };

    IDispatch* Connect();
    // Invoke with `args` in call order; the HRESULT.
    HRESULT Call(IDispatch* object, DISPID id, WORD flags, VARIANT* args, UINT count, VARIANT* result) const;
    // Runs a member that answers "" or an error text, showing failures.
    int CallForText(Member member, const wchar_t* word, VARIANT* args, UINT count);

    DISPID ids_[kMembers];
    UINT codePage_ = 0;             // the ANSI code page at connection, sent with every image
    IDispatch* server_ = nullptr;   // the working object, null while not connected
    LCID lcid_ = 0;
    std::vector<std::wstring> targets_;
};

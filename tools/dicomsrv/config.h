// The stand-in's settings and its failure injection, read from the registry
// at every call so that a test can change them while the server runs.
//
//   HKLM\SOFTWARE\DicomExportServer
//     "Spool"      REG_SZ  folder of the send queues (default: the temporary
//                          folder's "DicomExportServer\"); one subfolder a target
//     Targets\     one REG_SZ value a target: its name is the target's name,
//                  its data the folder the target receives its files in
//                  (empty or missing: the target cannot be reached, and its
//                  entries stay in the queue)
//     Faults\      failure injection, one set of values a member (SendImage,
//                  SaveImage, GetQueueStatus, DeleteImage, ResetImage,
//                  GetTargetList, Instance):
//                  "<member>"          REG_SZ: the member answers with this error text
//                  "<member> HRESULT"  REG_DWORD: Invoke fails with this HRESULT
//                  "<member> Result"   REG_SZ "empty" (VT_EMPTY) or "number"
//                                      (VT_I4 0): an answer of the wrong type
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

namespace dicomsrv {

extern const wchar_t kSettingsKey[];    // below HKEY_LOCAL_MACHINE

struct Target
{
    std::wstring name;
    std::wstring destination;   // folder, may be empty
};

// The configured targets, sorted by name.
std::vector<Target> ReadTargets();
// The spool folder, ending with a backslash (created when missing).
std::wstring SpoolFolder();

// What the failure injection asks of a member.
struct Fault
{
    HRESULT hresult = S_OK;         // nonzero: Invoke fails with it
    bool hasText = false;           // the member answers with `text`
    std::wstring text;
    VARTYPE resultType = VT_BSTR;   // VT_EMPTY or VT_I4: an answer of the wrong type
};
Fault ReadFault(const wchar_t* member);

}  // namespace dicomsrv

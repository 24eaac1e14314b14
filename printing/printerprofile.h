// Printer profiles: named, stored printer set-ups (driver, device and port
// names and a full DEVMODE), kept in the registry under a GUID, and the
// choice of profile of each job kind ("Report" for described reports,
// "Snimok" for picture sheets).
//
// Registry, below the settings key:
//   "PrinterProfiles\{GUID}": default value = name; "DriverName",
//       "DeviceName", "Output" (REG_SZ); "DevMode" (REG_BINARY, dmSize +
//       dmDriverExtra bytes). The key name is the GUID in upper-case
//       hexadecimal {8-4-4-4-12}.
//   "Printer": "Report" and "Snimok", each the 16-byte GUID of the profile
//       chosen for that kind (REG_BINARY).
//
// The process-wide list is loaded on first use (a print, a choice or the
// profile dialog) and kept for the program's life; the dialog changes it in
// place. A profile handed out lives while a handle holds it, also after it
// was removed from the list. Registry failures of a profile are thrown as
// the Win32 code (a LONG); the entry points for the user (choosing, editing,
// opening a job's printer) catch them and say what went wrong.
//
// A profile that cannot be read (a key saved halfway, a "DevMode" of another
// type or size, a key name that is no GUID) blocks nothing: the list keeps it
// with its read error, the journal names it, no job ever prints with it, and
// the profile dialog shows it marked so that the user can delete it or set it
// up again ("Change").
#pragma once

#include "foundation/refcount.h"

#include <windows.h>
#include <commdlg.h>

#include <string>
#include <vector>

class PrintJob;
class ReportDesc;

class PrinterProfile {
public:
    PrinterProfile() = default;   // one reference, held by the creator
    PrinterProfile(const PrinterProfile&) = delete;
    PrinterProfile& operator=(const PrinterProfile&) = delete;

    void AddRef();
    void Release();   // deletes the profile at the last reference

    // Reads the GUID-named subkey of `parent`. Throws the Win32 code of a
    // registry failure, and ERROR_INVALID_DATA when "DevMode" is not a
    // REG_BINARY DEVMODEW whose own sizes (dmSize + dmDriverExtra) make up
    // the value. The name is read first: a profile that fails later keeps it.
    void Load(HKEY parent);
    // Creates the GUID-named subkey of `parent` and writes every value;
    // throws the Win32 code. A profile without a DEVMODE throws
    // ERROR_INVALID_DATA.
    void Save(HKEY parent) const;
    // Deletes the profile's key below "PrinterProfiles" (the key it was read
    // from); true when deleted or when there was none, else false with the
    // Win32 code in *code (when given).
    bool Delete(LONG* code = nullptr) const;
    // Clears the profile and gives it the name and a new GUID.
    void NewGuid(const wchar_t* name);
    // The standard print dialog on the profile's set-up; true when the user
    // accepted and the profile now holds the chosen printer and DEVMODE.
    bool EditSetup(HWND owner);
    // Takes a copy of the DEVMODE (dmSize + dmDriverExtra bytes) and the
    // three names at the DEVNAMES offsets.
    void FromDevMode(const DEVMODEW* devMode, const DEVNAMES* devNames);

    // The DEVMODE, or null for a profile never set up.
    const DEVMODEW* DevMode() const;
    DEVMODEW* DevMode();
    // Whether the stored set-up could be read (a profile never stored can).
    bool Readable() const { return readError == ERROR_SUCCESS; }
    // The name the user knows it by: its name, or its key's name when the
    // name cannot be read.
    std::wstring DisplayName() const;

    GUID guid = {};
    std::wstring name;
    std::wstring driverName, deviceName, output;
    std::vector<BYTE> devMode;   // the DEVMODEW's bytes; empty for a new profile
    std::wstring keyName;        // the key it was read from; empty: the GUID's
    LONG readError = ERROR_SUCCESS;   // why the stored set-up cannot be read

private:
    ~PrinterProfile() = default;
    DRefCount refs_;   // holders; 1 for the creator
};

// A handle holding one reference to a profile, or none.
class PrinterProfilePtr {
public:
    PrinterProfilePtr() = default;
    // Takes over the creator's reference.
    static PrinterProfilePtr Adopt(PrinterProfile* profile);
    PrinterProfilePtr(const PrinterProfilePtr& other);
    PrinterProfilePtr& operator=(const PrinterProfilePtr& other);
    ~PrinterProfilePtr();

    PrinterProfile* Get() const { return profile_; }
    PrinterProfile* operator->() const { return profile_; }
    PrinterProfile& operator*() const { return *profile_; }
    explicit operator bool() const { return profile_ != nullptr; }
    void Reset();
    // Replaces the handle by a deep copy of the source's profile (GUID,
    // DEVMODE bytes, the four texts); an empty source empties it.
    void CopyProfile(const PrinterProfilePtr& source);

private:
    PrinterProfile* profile_ = nullptr;
};

// The profiles of the registry, in enumeration order.
class PrinterProfileList {
public:
    // Opens "PrinterProfiles"; when it cannot be opened the list stays empty
    // and unloaded (the next call tries again). Else each subkey becomes a
    // profile and the list is loaded. A profile that cannot be read is kept
    // with its error (Readable() false) and named in the journal; a key that
    // cannot be enumerated is skipped the same way. Throws nothing.
    void Load();
    bool Loaded() const { return loaded_; }
    // Loads when needed; the readable profile of that GUID or an empty handle.
    PrinterProfilePtr FindByGuid(const GUID& guid);
    // Appends a new profile with a new GUID.
    PrinterProfilePtr Add(const wchar_t* name);
    // Creates "PrinterProfiles" and saves the profile into it; throws the code.
    void SaveProfile(const PrinterProfile& profile);
    // Deletes the profile's registry key and takes it out of the list; false
    // (the profile stays listed) when the key cannot be deleted, with the
    // Win32 code in *code (when given).
    bool Remove(const PrinterProfile* profile, LONG* code = nullptr);

    int Count() const { return static_cast<int>(profiles_.size()); }
    const PrinterProfilePtr& At(int i) const { return profiles_[i]; }
    // Forgets every profile (unloaded).
    void Clear();

private:
    std::vector<PrinterProfilePtr> profiles_;
    bool loaded_ = false;
};

// The program's list.
PrinterProfileList& GetPrinterProfiles();

// The job kinds' value names in "Printer".
extern const wchar_t kReportJob[];   // "Report"
extern const wchar_t kSnimokJob[];   // "Snimok"

// The profile dialog ("Profiles of printers") on the list: in choose mode
// with "Choose" and the preselected profile (may be null) selected. The
// chosen profile, or an empty handle. Throws as the list's Load.
PrinterProfilePtr ChoosePrinterProfile(PrinterProfileList& list, HWND owner, const GUID* preselect, bool chooseMode);
// The GUID stored for the job kind; true when it was read.
bool GetJobProfileGuid(const wchar_t* kind, GUID* guid);
// Lets the user choose the profile of a job kind, the stored one selected,
// and stores the choice. Failures are shown to the user.
void ChooseJobProfile(HWND owner, const wchar_t* kind);
void ChooseReportProfile(HWND owner);
void ChooseSnimokProfile(HWND owner);
// The profile dialog on the program's list, not in choose mode.
void EditPrinterProfiles(HWND owner);

// Opens the job's printer for a print: the profile stored for the kind (given
// in guid/haveGuid), else the one the user chooses now (not stored); with a
// report in landscape, a landscape copy of it. The handle receives the
// profile. False when there is none (nothing is opened, nothing shown) or
// when the profiles cannot be read (the user is told). PrintJob::Open's
// StrExc passes to the caller.
bool OpenReportPrinter(HWND owner, PrintJob& job, PrinterProfilePtr& profile, const ReportDesc* report,
                       const GUID& guid, bool haveGuid);
// The same with the orientation given: landscape or as the profile has it.
bool OpenJobPrinter(HWND owner, PrintJob& job, PrinterProfilePtr& profile, bool landscape, const GUID& guid,
                    bool haveGuid);

// ---- pieces of the above, apart from any window --------------------------------

// A movable global DEVNAMES of the three names: offsets in characters from
// its start (driver at 4), wDefault 0; null when it cannot be allocated.
HGLOBAL BuildDevNames(const std::wstring& driver, const std::wstring& device, const std::wstring& output);
// True when the bytes hold a DEVMODEW whose dmSize + dmDriverExtra is their
// count and whose dmSize covers the fields up to dmFields.
bool IsValidDevMode(const BYTE* bytes, size_t size);
// A deep copy of the profile whose DEVMODE is turned to landscape
// (dmOrientation DMORIENT_LANDSCAPE, DM_ORIENTATION set); the source is
// unchanged.
PrinterProfilePtr LandscapeCopy(const PrinterProfilePtr& profile);
// The system's text for a Win32 code (the number when it has none).
std::wstring ProfileErrorText(LONG code);
// Shows a profile registry failure (the Win32 code's text) to the user.
void ShowProfileError(HWND owner, LONG code);

#include "printing/printerprofile.h"

#include "foundation/journal.h"
#include "foundation/messages.h"
#include "foundation/registry.h"
#include "foundation/textutil.h"
#include "forms/reportdesc.h"
#include "printing/printjob.h"
#include "printing/printsettings.h"
#include "resources/strings.h"

#include <objbase.h>

#include <cstddef>
#include <cstring>

const wchar_t kReportJob[] = L"Report";
const wchar_t kSnimokJob[] = L"Snimok";

namespace {

const wchar_t kProfilesKey[] = L"PrinterProfiles";
const wchar_t kPrinterKey[] = L"Printer";
const wchar_t kDevModeValue[] = L"DevMode";

[[noreturn]] void Throw(LONG code)
{
    throw code;
}

void Check(LONG code)
{
    if (code != ERROR_SUCCESS)
        Throw(code);
}

// A REG_SZ of any length into `out`; the Win32 code.
LONG ReadText(HKEY key, const wchar_t* name, std::wstring& out)
{
    DWORD type = 0, size = 0;
    LONG status = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS)
        return status;
    if (type != REG_SZ)
        return ERROR_INVALID_DATA;
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, 0);
    status = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size);
    if (status != ERROR_SUCCESS)
        return status;
    buffer[size / sizeof(wchar_t)] = 0;
    out = buffer.data();
    return ERROR_SUCCESS;
}

LONG WriteText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void GuidKeyName(const GUID& guid, wchar_t* name)
{
    GuidToText(guid, name);
}

// Frees a global block when it goes out of scope.
struct GlobalBlock {
    HGLOBAL block = nullptr;
    ~GlobalBlock()
    {
        if (block)
            GlobalFree(block);
    }
};

}  // namespace

// ---- PrinterProfile ----------------------------------------------------------

void PrinterProfile::AddRef()
{
    refs_.AddRef();
}

void PrinterProfile::Release()
{
    if (refs_.ReleaseLast())
        delete this;
}

bool IsValidDevMode(const BYTE* bytes, size_t size)
{
    const size_t fixed = offsetof(DEVMODEW, dmFields) + sizeof(DWORD);
    if (!bytes || size < fixed)
        return false;
    WORD dmSize, dmDriverExtra;
    memcpy(&dmSize, bytes + offsetof(DEVMODEW, dmSize), sizeof dmSize);
    memcpy(&dmDriverExtra, bytes + offsetof(DEVMODEW, dmDriverExtra), sizeof dmDriverExtra);
    return dmSize >= fixed && static_cast<size_t>(dmSize) + dmDriverExtra == size;
}

void PrinterProfile::Load(HKEY parent)
{
    wchar_t guidName[kGuidTextLength + 1];
    GuidKeyName(guid, guidName);
    HKEY key;
    Check(RegOpenKeyExW(parent, keyName.empty() ? guidName : keyName.c_str(), 0, KEY_READ, &key));
    DRegKey holder(key);
    Check(ReadText(key, nullptr, name));
    DWORD type = 0, announced = 0;
    Check(RegQueryValueExW(key, kDevModeValue, nullptr, &type, nullptr, &announced));
    Check(ReadText(key, L"DeviceName", deviceName));
    Check(ReadText(key, L"DriverName", driverName));
    Check(ReadText(key, L"Output", output));
    std::vector<BYTE> bytes(announced);
    DWORD size = announced;
    Check(RegQueryValueExW(key, kDevModeValue, nullptr, &type, bytes.data(), &size));
    // A value of another type or size, or whose DEVMODE sizes disagree with
    // it, cannot be handed to the printer driver.
    if (type != REG_BINARY || size != announced || !IsValidDevMode(bytes.data(), size))
        Throw(ERROR_INVALID_DATA);
    devMode.swap(bytes);
}

void PrinterProfile::Save(HKEY parent) const
{
    if (!IsValidDevMode(devMode.data(), devMode.size()))
        Throw(ERROR_INVALID_DATA);
    wchar_t keyName[kGuidTextLength + 1];
    GuidKeyName(guid, keyName);
    HKEY key;
    Check(RegCreateKeyExW(parent, keyName, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr));
    DRegKey holder(key);
    Check(WriteText(key, nullptr, name));
    Check(WriteText(key, L"DriverName", driverName));
    Check(WriteText(key, L"DeviceName", deviceName));
    Check(WriteText(key, L"Output", output));
    Check(RegSetValueExW(key, kDevModeValue, 0, REG_BINARY, devMode.data(), static_cast<DWORD>(devMode.size())));
}

bool PrinterProfile::Delete(LONG* code) const
{
    PrintKey profiles;
    LONG status = profiles.Open(kProfilesKey, KEY_WRITE, false);
    if (status == ERROR_SUCCESS) {
        wchar_t guidName[kGuidTextLength + 1];
        GuidKeyName(guid, guidName);
        status = RegDeleteKeyW(profiles.Get(), keyName.empty() ? guidName : keyName.c_str());
    }
    const bool gone = status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND || status == ERROR_PATH_NOT_FOUND;
    if (code)
        *code = gone ? ERROR_SUCCESS : status;
    return gone;
}

std::wstring PrinterProfile::DisplayName() const
{
    if (!name.empty())
        return name;
    if (!keyName.empty())
        return keyName;
    wchar_t guidName[kGuidTextLength + 1];
    GuidKeyName(guid, guidName);
    return guidName;
}

void PrinterProfile::NewGuid(const wchar_t* newName)
{
    driverName.clear();
    deviceName.clear();
    output.clear();
    devMode.clear();
    name = newName ? newName : L"";
    keyName.clear();
    readError = ERROR_SUCCESS;
    CoCreateGuid(&guid);
}

void PrinterProfile::FromDevMode(const DEVMODEW* mode, const DEVNAMES* names)
{
    const BYTE* bytes = reinterpret_cast<const BYTE*>(mode);
    devMode.assign(bytes, bytes + mode->dmSize + mode->dmDriverExtra);
    const wchar_t* base = reinterpret_cast<const wchar_t*>(names);
    driverName = base + names->wDriverOffset;
    deviceName = base + names->wDeviceOffset;
    output = base + names->wOutputOffset;
}

const DEVMODEW* PrinterProfile::DevMode() const
{
    return devMode.empty() ? nullptr : reinterpret_cast<const DEVMODEW*>(devMode.data());
}

DEVMODEW* PrinterProfile::DevMode()
{
    return devMode.empty() ? nullptr : reinterpret_cast<DEVMODEW*>(devMode.data());
}

HGLOBAL BuildDevNames(const std::wstring& driver, const std::wstring& device, const std::wstring& output)
{
    const size_t chars = driver.size() + 1 + device.size() + 1 + output.size() + 1;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, chars * sizeof(wchar_t) + sizeof(DEVNAMES));
    if (!block)
        return nullptr;
    DEVNAMES* names = static_cast<DEVNAMES*>(GlobalLock(block));
    wchar_t* base = reinterpret_cast<wchar_t*>(names);
    names->wDriverOffset = sizeof(DEVNAMES) / sizeof(wchar_t);
    names->wDeviceOffset = static_cast<WORD>(names->wDriverOffset + driver.size() + 1);
    names->wOutputOffset = static_cast<WORD>(names->wDeviceOffset + device.size() + 1);
    names->wDefault = 0;
    memcpy(base + names->wDriverOffset, driver.c_str(), (driver.size() + 1) * sizeof(wchar_t));
    memcpy(base + names->wDeviceOffset, device.c_str(), (device.size() + 1) * sizeof(wchar_t));
    memcpy(base + names->wOutputOffset, output.c_str(), (output.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(block);
    return block;
}

bool PrinterProfile::EditSetup(HWND owner)
{
    PRINTDLGW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.Flags = PD_RETURNDC | PD_NOSELECTION | PD_NOPAGENUMS | PD_SHOWHELP | PD_DISABLEPRINTTOFILE |
                   PD_HIDEPRINTTOFILE;
    GlobalBlock mode, names;
    const bool handedIn = !devMode.empty();
    if (handedIn) {
        mode.block = GlobalAlloc(GMEM_MOVEABLE, devMode.size());
        if (mode.block) {
            memcpy(GlobalLock(mode.block), devMode.data(), devMode.size());
            GlobalUnlock(mode.block);
        }
        names.block = BuildDevNames(driverName, deviceName, output);
        dialog.hDevMode = mode.block;
        dialog.hDevNames = names.block;
    }
    BOOL accepted = PrintDlgW(&dialog);
    // The stored set-up may name a printer that is gone: ask once more.
    if (!accepted && handedIn && CommDlgExtendedError() != 0)
        accepted = PrintDlgW(&dialog);
    // The dialog may have replaced the blocks it was given.
    mode.block = dialog.hDevMode;
    names.block = dialog.hDevNames;
    if (!accepted)
        return false;
    if (dialog.hDC)
        DeleteDC(dialog.hDC);
    if (!mode.block || !names.block)
        return false;
    const DEVMODEW* chosenMode = static_cast<const DEVMODEW*>(GlobalLock(mode.block));
    const DEVNAMES* chosenNames = static_cast<const DEVNAMES*>(GlobalLock(names.block));
    FromDevMode(chosenMode, chosenNames);
    GlobalUnlock(names.block);
    GlobalUnlock(mode.block);
    return true;
}

// ---- PrinterProfilePtr ---------------------------------------------------------

PrinterProfilePtr PrinterProfilePtr::Adopt(PrinterProfile* profile)
{
    PrinterProfilePtr handle;
    handle.profile_ = profile;
    return handle;
}

PrinterProfilePtr::PrinterProfilePtr(const PrinterProfilePtr& other) : profile_(other.profile_)
{
    if (profile_)
        profile_->AddRef();
}

PrinterProfilePtr& PrinterProfilePtr::operator=(const PrinterProfilePtr& other)
{
    if (other.profile_)
        other.profile_->AddRef();
    Reset();
    profile_ = other.profile_;
    return *this;
}

PrinterProfilePtr::~PrinterProfilePtr()
{
    Reset();
}

void PrinterProfilePtr::Reset()
{
    if (profile_)
        profile_->Release();
    profile_ = nullptr;
}

void PrinterProfilePtr::CopyProfile(const PrinterProfilePtr& source)
{
    if (!source) {
        Reset();
        return;
    }
    PrinterProfile* copy = new PrinterProfile;
    copy->guid = source->guid;
    copy->name = source->name;
    copy->driverName = source->driverName;
    copy->deviceName = source->deviceName;
    copy->output = source->output;
    copy->devMode = source->devMode;
    *this = Adopt(copy);
}

PrinterProfilePtr LandscapeCopy(const PrinterProfilePtr& profile)
{
    PrinterProfilePtr copy;
    copy.CopyProfile(profile);
    if (copy && copy->DevMode()) {
        copy->DevMode()->dmOrientation = DMORIENT_LANDSCAPE;
        copy->DevMode()->dmFields |= DM_ORIENTATION;
    }
    return copy;
}

// ---- PrinterProfileList ----------------------------------------------------------

void PrinterProfileList::Clear()
{
    profiles_.clear();
    loaded_ = false;
}

void PrinterProfileList::Load()
{
    Clear();
    PrintKey key;
    if (key.Open(kProfilesKey, KEY_READ, false) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        wchar_t keyName[257];
        DWORD chars = 257;
        const LONG status = RegEnumKeyExW(key.Get(), index, keyName, &chars, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS) {
            // A name too long for a profile's is no profile; anything else
            // ends the enumeration with the profiles read so far.
            LogCallError(static_cast<DWORD>(status), L"RegEnumKeyExW", L"PrinterProfiles");
            if (status == ERROR_MORE_DATA)
                continue;
            break;
        }
        PrinterProfilePtr profile = PrinterProfilePtr::Adopt(new PrinterProfile);
        profile->keyName = keyName;
        if (FAILED(CLSIDFromString(keyName, &profile->guid))) {
            // No profile's key: listed by its name, if it has one, to be deleted.
            profile->guid = GUID();
            profile->readError = ERROR_INVALID_DATA;
            HKEY stray;
            if (RegOpenKeyExW(key.Get(), keyName, 0, KEY_READ, &stray) == ERROR_SUCCESS) {
                DRegKey holder(stray);
                ReadText(stray, nullptr, profile->name);
            }
        } else {
            try {
                profile->Load(key.Get());
            } catch (LONG code) {
                profile->readError = code != ERROR_SUCCESS ? code : ERROR_INVALID_DATA;
            }
        }
        if (!profile->Readable()) {
            const std::wstring what = std::wstring(kProfilesKey) + L"\\" + keyName + L" \"" + profile->name + L"\"";
            LogCallError(static_cast<DWORD>(profile->readError), L"Printer profile skipped:", what.c_str());
        }
        profiles_.push_back(profile);
    }
    loaded_ = true;
}

PrinterProfilePtr PrinterProfileList::FindByGuid(const GUID& guid)
{
    if (!loaded_)
        Load();
    for (const PrinterProfilePtr& profile : profiles_)
        if (profile->Readable() && memcmp(&profile->guid, &guid, sizeof guid) == 0)
            return profile;
    return PrinterProfilePtr();
}

PrinterProfilePtr PrinterProfileList::Add(const wchar_t* name)
{
    PrinterProfilePtr profile = PrinterProfilePtr::Adopt(new PrinterProfile);
    profile->NewGuid(name);
    profiles_.push_back(profile);
    return profile;
}

void PrinterProfileList::SaveProfile(const PrinterProfile& profile)
{
    PrintKey key;
    Check(key.Open(kProfilesKey, KEY_WRITE, true));
    profile.Save(key.Get());
}

bool PrinterProfileList::Remove(const PrinterProfile* profile, LONG* code)
{
    if (code)
        *code = ERROR_SUCCESS;
    for (auto it = profiles_.begin(); it != profiles_.end(); ++it) {
        if (it->Get() == profile) {
            if (!profile->Delete(code))
                return false;
            profiles_.erase(it);
            return true;
        }
    }
    return true;
}

PrinterProfileList& GetPrinterProfiles()
{
    static PrinterProfileList list;
    return list;
}

// ---- job kinds ------------------------------------------------------------------

bool GetJobProfileGuid(const wchar_t* kind, GUID* guid)
{
    PrintKey key;
    if (key.Open(kPrinterKey, KEY_READ, false) != ERROR_SUCCESS)
        return false;
    DWORD type = 0, size = sizeof(GUID);
    GUID value;
    if (RegQueryValueExW(key.Get(), kind, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_BINARY || size != sizeof(GUID))
        return false;
    *guid = value;
    return true;
}

std::wstring ProfileErrorText(LONG code)
{
    wchar_t system[512] = L"";
    if (!FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(code),
                        0, system, 512, nullptr))
        _snwprintf(system, 512, L"%ld", static_cast<long>(code));
    system[511] = 0;
    std::wstring text = system;
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' '))
        text.pop_back();
    return text;
}

void ShowProfileError(HWND owner, LONG code)
{
    MessageBoxIdFormat(owner, 0, MB_OK | MB_ICONERROR, IDS_PROFILE_DAMAGED, ProfileErrorText(code).c_str());
}

void ChooseJobProfile(HWND owner, const wchar_t* kind)
{
    try {
        GUID stored;
        const bool haveStored = GetJobProfileGuid(kind, &stored);
        PrinterProfilePtr chosen =
            ChoosePrinterProfile(GetPrinterProfiles(), owner, haveStored ? &stored : nullptr, true);
        if (!chosen)
            return;
        PrintKey key;
        if (key.Open(kPrinterKey, KEY_WRITE, true) == ERROR_SUCCESS)
            RegSetValueExW(key.Get(), kind, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&chosen->guid), sizeof(GUID));
    } catch (LONG code) {
        ShowProfileError(owner, code);
    }
}

void ChooseReportProfile(HWND owner)
{
    ChooseJobProfile(owner, kReportJob);
}

void ChooseSnimokProfile(HWND owner)
{
    ChooseJobProfile(owner, kSnimokJob);
}

void EditPrinterProfiles(HWND owner)
{
    try {
        ChoosePrinterProfile(GetPrinterProfiles(), owner, nullptr, false);
    } catch (LONG code) {
        ShowProfileError(owner, code);
    }
}

bool OpenReportPrinter(HWND owner, PrintJob& job, PrinterProfilePtr& profile, const ReportDesc* report,
                       const GUID& guid, bool haveGuid)
{
    return OpenJobPrinter(owner, job, profile, report && report->Orientation(), guid, haveGuid);
}

bool OpenJobPrinter(HWND owner, PrintJob& job, PrinterProfilePtr& profile, bool landscape, const GUID& guid,
                    bool haveGuid)
{
    try {
        if (haveGuid)
            profile = GetPrinterProfiles().FindByGuid(guid);
        if (!profile)
            profile = ChoosePrinterProfile(GetPrinterProfiles(), owner, nullptr, true);
    } catch (LONG code) {
        ShowProfileError(owner, code);
        profile.Reset();
        return false;
    }
    if (!profile)
        return false;
    if (landscape)
        profile = LandscapeCopy(profile);
    job.Open(nullptr, profile->deviceName.c_str(), nullptr, profile->DevMode());
    return true;
}

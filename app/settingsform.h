// What the Program Settings dialog edits, apart from the dialog: the values
// as the user sees them (texts, one per field), read from the settings key,
// checked, and written back.
//
// A save runs in two stages, so that a wrong entry never leaves half of the
// values written: CheckProgramSettings finds the first field at fault without
// touching anything; only when every field is right do the data folders get
// made (the dialog asks first) and WriteProgramSettings write the values.
//
// Registry layout (below the settings root): "DefDir", "DataPath", "CfgDir",
// "ServerName" (REG_SZ), "ExitFlag", "Mobil", "SpanPult" (REG_DWORD); subkey
// "Arj": its default value (the archive folder), "SpaceArjStart",
// "SpaceArjEnd", "SpaceMin" (REG_DWORD, MB); subkey "Desktop": "WidthLimit",
// "HeightLimit" (REG_DWORD, signed).
#pragma once

#include <windows.h>

#include <string>

// The exit actions the dialog offers, in the order of its combo box.
struct ExitActionChoice {
    UINT text;     // string id
    DWORD value;   // "ExitFlag"
};
extern const ExitActionChoice kExitActionChoices[3];

struct ProgramSettingsForm {
    std::wstring defDir;          // "DefDir": empty deletes the value
    std::wstring dataPath;        // "DataPath": required
    std::wstring archivePath;     // "Arj" default value: required
    std::wstring cfgDir;          // "CfgDir": empty deletes the value
    std::wstring serverName;      // "ServerName": written as it stands, empty too
    std::wstring spaceArjStart;   // unsigned numbers of MB
    std::wstring spaceArjEnd;
    std::wstring spaceMin;
    std::wstring widthLimit;      // a signed number is written, anything else deletes the value
    std::wstring heightLimit;
    bool exitActionSet = false;   // a combo item is selected
    DWORD exitAction = 0;         // its "ExitFlag"
    // "Mobil" and "SpanPult": -1 keeps the stored value (the layouts have no
    // check boxes for them), else 0 or 1 is written.
    int mobil = -1;
    int spanPult = -1;
};

// The stored settings below root\path. Never throws and never writes: a
// missing key or value, a value of another type or size, or a text too long
// for its field gives an empty field (no selection for "ExitFlag", unless it
// holds one of the three actions).
ProgramSettingsForm ReadProgramSettings(HKEY root, const wchar_t* path);
// What "Default Settings" fills in.
ProgramSettingsForm DefaultProgramSettings();

// The control id of the first field at fault, in the dialog's order, or 0:
// "Default Dir" when given must be an existing folder, "Database Path" and
// "Archive path" are required, the three archive thresholds must be unsigned
// 32-bit numbers. Reads the file system, writes nothing.
int CheckProgramSettings(const ProgramSettingsForm& form);

// Strict decimal numbers: digits only (a "-" first for the signed one),
// within 32 bits.
bool ParseSettingUInt(const std::wstring& text, DWORD* value);
bool ParseSettingInt(const std::wstring& text, LONG* value);

// Failures of WriteProgramSettings.
struct SettingsKeyError {      // a key could not be created or opened
    const wchar_t* key;        // "Root", "Arj" or "Desktop"
    LONG error;
};
struct SettingsValueError {    // a value could not be written or deleted
    const wchar_t* value;      // its name ("NULL" for a default value)
    LONG error;
};

// Writes a checked form below root\path (keys created as needed). Throws
// SettingsKeyError or SettingsValueError at the first failure.
void WriteProgramSettings(const ProgramSettingsForm& form, HKEY root, const wchar_t* path);

// Typed values in subkeys of the program's settings key: the synchronisation
// ("SynDB": "ImgDir", "LastScanDisk"), the database backup ("BackupDB") and
// the archive window ("Arj") keep their values through these two.
//
// The key is <settings root>\<subkey> (foundation/settingskey.h: the
// program's HKLM\SOFTWARE\Marvod\TobalFluoro unless a test points the root
// elsewhere). Each call opens and closes the key.
#pragma once

#include <windows.h>

// Values of the synchronisation.
extern const wchar_t kSynDbKey[];          // "SynDB"
extern const wchar_t kSynDbImgDir[];       // "ImgDir": the archive location (REG_SZ)
extern const wchar_t kSynDbLastScanDisk[]; // "LastScanDisk": label of the last disk scanned to its end (REG_SZ)

// Reads the value. For REG_SZ the size is in characters, the buffer's
// capacity with its terminator, and the text read is always terminated
// within it; on return the size holds the characters read without the
// terminator. For other types the size is in bytes, in and out. True when
// the value exists, fits and has the expected type; false otherwise (for a
// text, the buffer then holds an empty text).
bool ArjRegRead(const wchar_t* subKey, const wchar_t* name, DWORD type, void* buffer, DWORD* size);

// Writes the value, creating the key when missing: REG_SZ the terminated
// text at data (the size is not used), REG_BINARY `size` bytes, REG_DWORD
// the 32-bit value at data. Any other type writes nothing and gives false.
bool ArjRegWrite(const wchar_t* subKey, const wchar_t* name, DWORD type, const void* data, DWORD size);

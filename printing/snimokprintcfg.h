// The settings of picture-sheet printing and their dialog "Print Picture
// Settings": margins, the picture box, the minimum sizes and which parts of
// the sheet are printed, kept in the key "SnimokPrintCfg" (REG_DWORD values,
// lengths in 0.01 mm). One record lives for the whole program: loaded on
// first use (GetSnimokPrintCfg), then edited in place by the dialog; only
// the dialog's "Save" writes the registry.
#pragma once

#include "images/pixels/picture.h"

#include <windows.h>

// The print record of a picture sheet (lengths in 0.01 mm).
struct SnimokPrintCfg {
    // Which parts are printed (non-zero: printed).
    int printHeader;      // the clinic header
    int printPatient;     // the patient lines
    int printNote;        // the note
    int printSnimok;      // the picture
    int noteFromDatabase; // the note and examination date come from the image's row
    int leftField, rightField, topField, bottomField;   // page margins
    int width, height;          // the picture box; 0 or less: as much as the page gives
    int minWidth, minHeight;    // smallest printable box; 0 or less: none
    // The picture to print (filled by the caller of the print).
    int patient;                // Patient key
    int snimok;                 // Snimok key
    DPicturePtr picture;
    const BYTE* pixels = nullptr;   // 8 bits, top row first, rows padded to 4 bytes
    int pixelWidth = 0, pixelHeight = 0;
    const wchar_t* note = nullptr;  // used when noteFromDatabase is 0
    int noteLength = 0;
    const wchar_t* keyName = nullptr;   // "SnimokPrintCfg" once loaded; the dialog's Save writes there
};

// The settings' defaults: margins 1000, no box, minimum 4000 x 4000, every
// part printed.
void SetDefaultSnimokPrintCfg(SnimokPrintCfg& cfg);

// The program's record: on the first call the key name is set, the values
// are loaded and noteFromDatabase becomes 1.
SnimokPrintCfg& GetSnimokPrintCfg();
// Reads the twelve values; a value that cannot be read (or all of them, when
// the key cannot be opened) takes its default.
void LoadSnimokPrintCfg(SnimokPrintCfg& cfg);
// Writes the twelve values; false when the key cannot be created or a write fails.
bool SaveSnimokPrintCfg(const SnimokPrintCfg& cfg);
// Runs the dialog on the record; true when it was left with OK.
bool RunSnimokPrintCfgDlg(HWND owner, SnimokPrintCfg& cfg);

// Parses centimetres as the dialog's edits show them: digits, optionally a
// point and at most three more digits (thousandths of a centimetre, 0.01 mm):
// "2.25" is 2250, ".5" 500, "3." 3000. False for an empty text, a sign or any
// other character, more than three digits after the point, or a value beyond
// what a 32-bit length holds.
bool ParseCentimetres(const wchar_t* text, int* value);
// The length in 0.01 mm as the edits show it, in centimetres: "2.25",
// "0.5", "6" (what "%g" shows for value / 1000, exactly at any size).
void FormatCentimetres(int value, wchar_t* text, int size);

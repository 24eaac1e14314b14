// Printing the sheet of an X-ray image: the clinic header, the patient's
// name and birth date, the examination date, the image's description (its
// note) and the picture, scaled to fit its box and centred. Which parts are
// printed, the margins and the picture box come from a SnimokPrintCfg.
//
// Two entry points fill the record: the image panel prints the picture as
// the view shows it with the stored picture print settings (asking them
// first when wished: PrintSnimokWithCfg), and the note window prints a
// text-only sheet of the image's note from the database (StartDefaultPrintJob).
//
// Where the texts come from:
//   - the patient's name parts and birthday from the Patient row (a missing
//     part is left out; the others still make the name);
//   - the note from the image's row when the record says so, else the
//     caller's text;
//   - the examination date from the image's row whenever the image has one
//     (a stored image), else from the picture ("Date file" as it was read);
//     with neither, the date line shows the label alone.
// A note higher than what is left of the page goes on over the next pages.
#pragma once

#include "printing/printjob.h"
#include "printing/snimokprintcfg.h"

#include <windows.h>

#include <string>

class DocPrintStateWnd;
struct PrintSnimokRequest;

// What a sheet prints besides the picture, read before the document starts.
struct SheetTexts {
    std::wstring name;          // the patient's name parts joined by blanks
    std::wstring birthday;      // by the date picture; empty when unknown
    std::wstring note;          // from the database (noteFromDatabase)
    FILETIME examDate = {};     // zero when unknown
};

// The size the picture is drawn in a box (0.01 mm): its aspect kept, as large
// as the box allows.
struct PictureFit {
    int width;
    int height;
};
PictureFit FitPicture(int pixelWidth, int pixelHeight, int boxWidth, int boxHeight);

// Rows of 8-bit pixels (top row first, rows of the width rounded up to 4)
// copied into a bottom-up device-independent bitmap of the same layout.
// `stop`, when given, is asked before each row; a true answer ends the copy
// with false.
bool CopyRowsBottomUp(const BYTE* top, int width, int height, BYTE* out, bool (*stop)(const void*),
                      const void* stopArg);

// Reads the patient lines, the note and the examination date the record
// asks for from the database (g_DbSession). Throws DODBErrors, and StrExc 649
// when the patient's or the image's row is not there.
void ReadSheetTexts(const SnimokPrintCfg& cfg, SheetTexts* texts);

// The sheet on a job whose document and first page are started. Checks the
// window (may be null) for a request to stop while the picture is copied and
// at the end (ExcAbortPrint). Throws StrExc.
void PrintSheetPages(PrintJob& job, const SnimokPrintCfg& cfg, const SheetTexts& texts,
                     const DocPrintStateWnd* window);

// The blocks of the sheet.
void PrintReportHeader(PrintJob& job);
void PrintPatientLines(PrintJob& job, const wchar_t* name, int nameLength, const wchar_t* birthday,
                       int birthdayLength);
void PrintExamDate(PrintJob& job, const FILETIME& date);

// Prints the sheet on the printer of the "Snimok" job kind, with the state
// window; failures are shown there (or, before it, in a box over `owner`).
void PrintImageSheet(SnimokPrintCfg& cfg, HWND owner = nullptr);
// The note window's print: header, patient and the note of the image from
// the database, margins 1 cm, no picture.
void StartDefaultPrintJob(HWND owner, DWORD imageKey, DWORD patientKey);
// The image panel's print: the picture as the view shows it with the
// program's picture print settings, after the settings dialog when
// request->ask is set (nothing when it is not left with OK).
void PrintSnimokWithCfg(HWND owner, const PrintSnimokRequest* request);

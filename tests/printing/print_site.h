// What the report and picture-sheet tests share: the demo database (the
// demo site's patients, a few small radiographs and their descriptions) in
// a temporary data folder, description files written there, the printing
// settings of the run's PDF printer (profiles for both job kinds, the two
// print fonts), a memory printer that records what is drawn, and reading
// the words of a printed PDF with their places.
#pragma once

#include "print_fixture.h"

#include "printing/pagesetup.h"
#include "printing/printjob.h"

#include <windows.h>

#include <string>
#include <vector>

namespace printtest {

// ---- the demo database -------------------------------------------------------

// A data folder with the demo database, open as the program's (g_DbSession),
// and the description folder (CfgFolder) in it. The description cache is
// emptied when it goes.
class DemoDatabase {
public:
    DemoDatabase();
    ~DemoDatabase();
    bool Ok() const { return ok_; }
    const std::string& Error() const { return error_; }
    const std::wstring& Folder() const { return folder_; }
    const std::vector<long>& Patients() const { return patients_; }
    // Writes a description file (UTF-16 with its byte-order mark) into the
    // description folder.
    void WriteCfg(const std::wstring& name, const std::wstring& text) const;
    // Copies a description file of the site into it: the English one
    // (site/cfg/en) or the Russian one (site/cfg).
    void CopySiteCfg(const std::wstring& name, bool russian = false) const;
    // Runs a statement.
    void Exec(const std::wstring& sql) const;
    std::wstring Scalar(const std::wstring& sql) const;

private:
    std::wstring folder_;
    std::vector<long> patients_;
    bool ok_ = false;
    std::string error_;
};

// ---- the printer set-up ------------------------------------------------------------

// Private settings with a profile of the printer stored for "Report" and
// "Snimok" (none for a null printer), and print fonts 1 (bold) and 2 of
// DejaVu Sans; the process's profile list and print fonts are read from them.
class PrintSetup {
public:
    explicit PrintSetup(const wchar_t* printer = kPdfPrinter);
    ~PrintSetup();
    PrivateSettings& Settings() { return settings_; }
    // Writes a value of the clinic header ("Header").
    void SetHeader(const wchar_t* name, const wchar_t* value);
    // Stores print fonts 1 (bold) and 2 of these heights in display pixels
    // (0: none stored, as on a fresh site); the next LoadPrintFonts reads them.
    void SetPrintFonts(int labels, int values);

private:
    PrivateSettings settings_;
};

// ---- a memory printer ------------------------------------------------------------------

// A metafile device context standing for an A4 printer of 300 dpi whose
// printable region is the whole page, with a PrintJob open on it
// (PrintJob::OpenMemory): what is drawn is read back from the metafile.
class MemoryPrinter {
public:
    explicit MemoryPrinter(bool landscape = false);
    ~MemoryPrinter();
    PrintJob& Job() { return job_; }
    PageDeviceCaps Caps() const { return caps_; }

    struct Text {
        std::wstring text;
        int x, y;               // reference point, 0.01 mm from the printable area's corner
        int page;               // 1-based: counted by the viewport set-ups of StartPage
        int width;              // the advances drawn (the sum of the record's dx)
        int height;             // of the font it is drawn in (|lfHeight|, 0.01 mm)
        bool clipped;           // drawn clipped to a rectangle (ETO_CLIPPED)
    };
    struct Line {
        int x1, y1, x2, y2;
        int page;
    };
    struct Dib {
        int x, y, width, height;   // where it is drawn (0.01 mm)
        int sourceWidth, sourceHeight;
        int bitCount;
        bool grey;                  // a palette of 256 greys (or inverted greys)
        bool inverted;
        int page;
    };
    // Ends the recording and reads it (once).
    void Read();
    const std::vector<Text>& Texts() const { return texts_; }
    const std::vector<Line>& Lines() const { return lines_; }
    const std::vector<Dib>& Dibs() const { return dibs_; }
    // The first text equal to the text, or null.
    const Text* Find(const std::wstring& text) const;

private:
    static int CALLBACK Record(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM self);

    PageDeviceCaps caps_;
    HDC dc_ = nullptr;
    PrintJob job_;
    bool read_ = false;
    int page_ = 0;
    POINT origin_ = {};    // the viewport origin of the current page (device)
    POINT cursor_ = {};    // MoveToEx
    std::vector<int> fontHeights_;   // by the metafile's object index: |lfHeight| of the fonts it made
    int fontHeight_ = 0;             // of the font selected
    std::vector<Text> texts_;
    std::vector<Line> lines_;
    std::vector<Dib> dibs_;
};

// ---- reading a PDF ----------------------------------------------------------------------

struct PdfWord {
    std::wstring text;
    double xMin, yMin, xMax, yMax;   // points from the page's top-left corner
};
struct PdfPage {
    double width, height;            // points
    std::vector<PdfWord> words;
};
// The PDF files of the run whose names hold the stem (Unix paths), and the
// first one (written in full) not among `before`, waited for (bounded); empty
// when none comes. For documents whose name other prints share: taken after
// AwaitIdlePrinters, the new file is the print's own.
std::vector<std::string> PdfFiles(const std::wstring& stem);
std::string WaitForNewPdf(const std::wstring& stem, const std::vector<std::string>& before);
// The pages of the PDF with their words (pdftotext -bbox).
std::vector<PdfPage> ReadPdfWords(const std::string& pdf);
// Points of a length in 0.01 mm.
inline double Points(int hundredthsOfMm) { return hundredthsOfMm * 72.0 / 2540.0; }
// The words of a page that equal the text.
std::vector<PdfWord> FindWords(const PdfPage& page, const std::wstring& text);

}  // namespace printtest

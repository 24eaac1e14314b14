// Laying a described report out on a PrintJob's pages: its text blocks, and
// for each table a header row and one row per record, in columns made from
// the list form's fields.
//
// Columns (ColData): one per field of the list form, left to right. A
// column's width comes from its field's width value w on the
// printable width P (LayOutColumns): w > 0 is w (0.01 mm); 0 or -1 is
// P / count; any other negative w is P x (-w) / 1000. A single column always
// spans P. Columns that end right of P do not fit.
//
// A row's values come from the row of the SELECT that BuildFilterSelect made
// of the same list form: its columns are the fields that are not "special",
// in order, then the key. A "special" field is a counter column, which is not
// read from the row: it counts the rows when its field also has "counter",
// and stays empty without it.
//
// Bands higher than the page. A row, a header row or a text block that does
// not fit in what is left of the page starts a new page; one higher than a
// whole page is printed in slices, page after page, each slice a whole number
// of text lines (PrintBand), so that nothing of it and nothing after it is
// lost.
#pragma once

#include "printing/printjob.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class DocPrintStateWnd;
class DODBParams;
class ReportDesc;
struct FieldBlob;

// Where a column lies across the printable width (0.01 mm).
struct ColumnSpan {
    int x;
    int width;
};

// The columns of the fields' width values on the printable width; false
// when they do not fit.
bool LayOutColumns(const std::vector<int>& wanted, int printableWidth, std::vector<ColumnSpan>* out);

// The horizontal DrawText alignment of alignment flags (bits 2-3: 4 centre,
// 8 right, else left).
UINT HorizontalFormat(DWORD align);
// Where a cell `height` high lies in a band `bandHeight` high for the
// vertical alignment bits (bits 0-1: 1 centre, 2 bottom, else top).
int VerticalOffset(DWORD align, int bandHeight, int height);

// One printed column.
class ColData {
public:
    // Takes the field: its value buffer and formats. False (the column has
    // no field then) for a type that printing does not know.
    bool Create(const FieldBlob* field);
    // The value of the current row: the row's column `index`, or the next
    // count of a counter column. Throws StrExc 337 for a value that is
    // neither OK nor NULL, 336 for an unknown type.
    void Read(DODBParams* row, ULONG index);
    void Count();
    void ResetCounter() { counter = 0; }

    const FieldBlob* Field() const { return field_; }
    // A counter column ("special"), and whether it counts ("counter").
    bool IsCounter() const;
    bool Counts() const;
    const wchar_t* Text() const { return text_; }
    int Length() const { return length_; }

    int x = 0;
    int width = 0;
    int valueHeight = 0;      // of the current row's text, measured before drawing
    int headerHeight = 0;
    UINT valueFormat = DT_NOPREFIX | DT_WORDBREAK;
    UINT headerFormat = DT_NOPREFIX | DT_WORDBREAK;
    DWORD valueAlign = 0;     // the field's alignment flags
    DWORD headerAlign = 0;
    DWORD counter = 0;
    int ordinal = -1;         // the row's column this column reads; -1: none

private:
    void SetText(const wchar_t* text, int length);

    const FieldBlob* field_ = nullptr;
    const wchar_t* text_ = L"";   // the value's text: own buffer or the row's value
    int length_ = 0;
    wchar_t buffer_[256] = {};
};

// The columns of the fields on the job's printable width; empty when a field
// has a type printing does not know or the columns do not fit.
std::vector<ColData> CreateColData(const PrintJob& job, const FieldBlob* const* fields, int count);

// Prints a band `height` high at the cursor: drawn whole when it fits what
// is left of the page, else in slices of whole `step`-high lines, starting on
// a new page unless the page is still empty. `draw(top, sliceTop,
// sliceBottom, first, last)` draws the band as if its top were at `top`,
// clipped to [sliceTop, sliceBottom); it is called once per slice. The
// cursor ends below the band.
typedef std::function<void(int top, int sliceTop, int sliceBottom, bool first, bool last)> BandPainter;
void PrintBand(PrintJob& job, int height, int step, const BandPainter& draw);

// The header row of the columns: their header texts between two lines.
void PrintHeaderRow(PrintJob& job, std::vector<ColData>& columns);
// One row of values with the columns' borders.
void PrintRow(PrintJob& job, std::vector<ColData>& columns);
// The report's text blocks (alignment, texts, lines and one-line strings)
// across the printable width.
void PrintTextBlocks(PrintJob& job, const ReportDesc& report);

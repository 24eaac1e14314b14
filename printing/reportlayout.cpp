#include "printing/reportlayout.h"

#include "database/dbparams.h"
#include "database/dbstatement.h"
#include "forms/fielddesc.h"
#include "forms/fieldvalue.h"
#include "forms/reportdesc.h"
#include "printing/printtext.h"
#include "resources/strings.h"

#include <algorithm>
#include <cwchar>

namespace {

[[noreturn]] void Fail(unsigned id)
{
    throw StrExc{id};
}

// The height of one line of text in the selected font (DrawText without
// external leading steps by it); never below 1.
int TextLineHeight(HDC dc)
{
    TEXTMETRICW metrics = {};
    if (!GetTextMetricsW(dc, &metrics) || metrics.tmHeight < 1)
        return 1;
    return metrics.tmHeight;
}

// Measures a text in a column `width` wide: its height. Texts are measured
// and drawn by one layout (printing/printtext.h), so a cell holds what its
// measure promised.
int MeasureText(HDC dc, const wchar_t* text, int length, int width, UINT format)
{
    const int height = MeasurePrintText(dc, text, length, width, format);
    if (height < 0)
        Fail(IDS_TEXT_HEIGHT_ERROR);
    return height;
}

void DrawCell(HDC dc, const wchar_t* text, int length, int x, int top, int width, int height, UINT format)
{
    const RECT area = {x, top, x + width, top + height};
    if (DrawPrintText(dc, text, length, area, format) < 1)
        Fail(IDS_TEXT_PRINT_ERROR);
}

// A clip to [top, bottom) for the life of the scope: the slice of a band
// higher than the page. Across, it leaves the whole page: it cuts between
// lines, never a text's end.
class SliceClip {
public:
    SliceClip(HDC dc, int width, int top, int bottom) : dc_(dc), saved_(SaveDC(dc))
    {
        IntersectClipRect(dc_, -width, top, 2 * width + 1, bottom);
    }
    ~SliceClip()
    {
        if (saved_)
            RestoreDC(dc_, saved_);
    }
    SliceClip(const SliceClip&) = delete;
    SliceClip& operator=(const SliceClip&) = delete;

private:
    HDC dc_;
    int saved_;
};

}  // namespace

// ---- arithmetic -----------------------------------------------------------------

bool LayOutColumns(const std::vector<int>& wanted, int printableWidth, std::vector<ColumnSpan>* out)
{
    out->clear();
    const int count = static_cast<int>(wanted.size());
    if (count == 1) {
        out->push_back(ColumnSpan{0, printableWidth});
        return true;
    }
    long long x = 0;
    for (int want : wanted) {
        long long width;
        if (want > 0)
            width = want;
        else if (want == 0 || want == -1)
            width = printableWidth / count;
        else
            width = static_cast<long long>(printableWidth) * -static_cast<long long>(want) / 1000;
        if (x + width > printableWidth) {
            out->clear();
            return false;
        }
        out->push_back(ColumnSpan{static_cast<int>(x), static_cast<int>(width)});
        x += width;
    }
    return true;
}

UINT HorizontalFormat(DWORD align)
{
    switch (align & 0xC) {
    case kAlignCenter: return DT_CENTER;
    case kAlignRight: return DT_RIGHT;
    default: return DT_LEFT;
    }
}

int VerticalOffset(DWORD align, int bandHeight, int height)
{
    switch (align & 0x3) {
    case kAlignVCenter: return (bandHeight - height) / 2;
    case kAlignBottom: return bandHeight - height;
    default: return 0;
    }
}

// ---- columns ---------------------------------------------------------------------

bool ColData::Create(const FieldBlob* field)
{
    field_ = nullptr;
    switch (field->Base()) {
    case kFieldInt8:
    case kFieldInt16:
    case kFieldInt32:
    case kFieldBool:
    case kFieldText:
    case kFieldDateTime:
    case kFieldDate:
    case kFieldTime:
        break;
    default:
        return false;
    }
    field_ = field;
    valueAlign = field->align;
    headerAlign = field->capAlign;
    valueFormat = DT_NOPREFIX | DT_WORDBREAK | HorizontalFormat(field->align);
    headerFormat = DT_NOPREFIX | DT_WORDBREAK | HorizontalFormat(field->capAlign);
    SetText(L"", 0);
    return true;
}

bool ColData::IsCounter() const
{
    return field_ && (field_->type & kFieldSpecial) != 0;
}

bool ColData::Counts() const
{
    return IsCounter() && (field_->type & kFieldCounter) != 0;
}

void ColData::SetText(const wchar_t* text, int length)
{
    text_ = text ? text : L"";
    length_ = text ? length : 0;
}

void ColData::Count()
{
    ++counter;
    const int n = FormatFieldInteger(buffer_, 256, *field_, counter);
    SetText(buffer_, n > 0 ? n : 0);
}

void ColData::Read(DODBParams* row, ULONG index)
{
    SetText(L"", 0);
    if (row->IsNull(index))
        return;
    if (!row->IsOk(index))
        Fail(IDS_COLUMN_READ_ERROR);
    switch (field_->Base()) {
    case kFieldInt8:
    case kFieldInt16:
    case kFieldInt32: {
        LONG value = 0;
        if (!RowInt(row, index, &value))
            Fail(IDS_COLUMN_READ_ERROR);
        const int n = FormatFieldInteger(buffer_, 256, *field_, static_cast<DWORD>(value));
        SetText(buffer_, n > 0 ? n : 0);
        break;
    }
    case kFieldBool: {
        LONG value = 0;
        if (!RowInt(row, index, &value))
            Fail(IDS_COLUMN_READ_ERROR);
        int length = 0;
        const wchar_t* text = YesNoText(*field_, value > 0, &length);
        SetText(text, length);
        break;
    }
    case kFieldText: {
        int length = 0;
        const wchar_t* text = RowTextPtr(row, index, &length);
        if (!text)
            Fail(IDS_COLUMN_READ_ERROR);
        SetText(text, length);   // the row's own value, valid until the next row
        break;
    }
    case kFieldDateTime:
    case kFieldDate:
    case kFieldTime: {
        FILETIME value = {};
        if (!RowDate(row, index, &value))
            Fail(IDS_COLUMN_READ_ERROR);
        const int n = FormatFieldDate(buffer_, 64, field_->FormatText(), field_->Base(), value);
        SetText(buffer_, n);
        break;
    }
    default:
        Fail(IDS_COLUMN_UNKNOWN_TYPE);
    }
}

std::vector<ColData> CreateColData(const PrintJob& job, const FieldBlob* const* fields, int count)
{
    std::vector<ColData> columns(count > 0 ? count : 0);
    std::vector<int> wanted;
    int ordinal = 0;
    for (int i = 0; i < count; ++i) {
        if (!columns[i].Create(fields[i]))
            return std::vector<ColData>();
        // Every field that is not "special" is a column of the SELECT.
        if (!columns[i].IsCounter())
            columns[i].ordinal = ordinal++;
        wanted.push_back(fields[i]->width);
    }
    std::vector<ColumnSpan> spans;
    if (!LayOutColumns(wanted, job.PrintableWidth(), &spans))
        return std::vector<ColData>();
    for (int i = 0; i < count; ++i) {
        columns[i].x = spans[i].x;
        columns[i].width = spans[i].width;
    }
    return columns;
}

// ---- bands ------------------------------------------------------------------------

void PrintBand(PrintJob& job, int height, int step, const BandPainter& draw)
{
    if (height <= job.RemainingHeight()) {
        draw(job.y, job.y, job.y + height, true, true);
        job.y += height;
        return;
    }
    if (job.y > 0)
        job.NewPage();
    if (step < 1)
        step = 1;
    int done = 0;
    while (done < height) {
        const int left = height - done;
        const int room = job.RemainingHeight();
        int slice = left;
        if (left > room) {
            slice = room - room % step;      // whole lines only
            if (slice <= 0) {
                if (job.y > 0) {
                    job.NewPage();
                    continue;
                }
                slice = room;                // a line higher than the page: as much as there is
            }
        }
        if (slice <= 0)
            return;                          // a page with no room at all
        {
            SliceClip clip(job.GetDC(), job.PrintableWidth(), job.y, job.y + slice);
            draw(job.y - done, job.y, job.y + slice, done == 0, done + slice >= height);
        }
        job.y += slice;
        done += slice;
        if (done < height)
            job.NewPage();
    }
}

// ---- header and rows -----------------------------------------------------------------

void PrintHeaderRow(PrintJob& job, std::vector<ColData>& columns)
{
    HDC dc = job.GetDC();
    int bandHeight = 0;
    for (ColData& column : columns) {
        const FieldBlob* field = column.Field();
        column.headerHeight = 0;
        if (field->captionLength == 0)
            continue;
        column.headerHeight = MeasureText(dc, field->caption, static_cast<int>(field->captionLength), column.width,
                                          column.headerFormat);
        bandHeight = std::max(bandHeight, column.headerHeight);
    }
    if (bandHeight == 0)
        return;
    const int gap = job.lineHeight / 10;
    job.DrawHLine();
    job.y += gap;
    if (bandHeight > job.RemainingHeight())
        job.NewPage();
    PrintBand(job, bandHeight, TextLineHeight(dc), [&](int top, int, int, bool, bool) {
        for (const ColData& column : columns) {
            const FieldBlob* field = column.Field();
            if (field->captionLength == 0)
                continue;
            DrawCell(dc, field->caption, static_cast<int>(field->captionLength), column.x,
                     top + VerticalOffset(column.headerAlign, bandHeight, column.headerHeight), column.width,
                     column.headerHeight, column.headerFormat);
        }
    });
    job.y += gap;
    job.DrawHLine();
    job.y += gap;
}

void PrintRow(PrintJob& job, std::vector<ColData>& columns)
{
    HDC dc = job.GetDC();
    int rowHeight = 0;
    for (ColData& column : columns) {
        column.valueHeight = 0;
        if (column.Length() == 0)
            continue;
        column.valueHeight = MeasureText(dc, column.Text(), column.Length(), column.width, column.valueFormat);
        rowHeight = std::max(rowHeight, std::max(column.valueHeight, column.Field()->height));
    }
    if (rowHeight > job.RemainingHeight() && job.y > 0)
        job.NewPage();
    PrintBand(job, rowHeight, TextLineHeight(dc), [&](int top, int sliceTop, int sliceBottom, bool first, bool last) {
        for (const ColData& column : columns) {
            if (column.Length() == 0)
                continue;
            DrawCell(dc, column.Text(), column.Length(), column.x,
                     top + VerticalOffset(column.valueAlign, rowHeight, column.valueHeight), column.width,
                     column.valueHeight, column.valueFormat);
        }
        // The borders of this slice: the sides along it, the top line on the
        // first slice and the bottom line on the last.
        for (const ColData& column : columns) {
            const DWORD border = column.Field()->border;
            if (border & kBorderLeft)
                job.DrawLine(column.x, sliceTop, column.x, sliceBottom);
            if (border & kBorderRight)
                job.DrawLine(column.x + column.width, sliceTop, column.x + column.width, sliceBottom);
            if (first && (border & kBorderTop))
                job.DrawLine(column.x, top, column.x + column.width, top);
            if (last && (border & kBorderBottom))
                job.DrawLine(column.x, top + rowHeight, column.x + column.width, top + rowHeight);
        }
    });
}

// ---- text blocks --------------------------------------------------------------------

void PrintTextBlocks(PrintJob& job, const ReportDesc& report)
{
    HDC dc = job.GetDC();
    const int width = job.PrintableWidth();
    UINT align = DT_LEFT;
    int pending = 0;       // height of the current run of one-line strings
    bool running = false;
    auto endRun = [&] {
        if (running)
            job.y += pending;
        running = false;
        pending = 0;
    };
    for (int i = 0; i < report.HeaderCount(); ++i) {
        switch (report.HeaderKind(i)) {
        case kBlockAlign:
            align = HorizontalFormat(report.HeaderAlign(i));
            break;
        case kBlockText: {
            int length = 0;
            const wchar_t* text = report.HeaderText(i, &length);
            if (!text || length <= 0)
                break;
            endRun();
            const UINT format = DT_NOPREFIX | DT_EXTERNALLEADING | DT_WORDBREAK | align;
            const int height = MeasureText(dc, text, length, width, format);
            if (height > job.RemainingHeight() && job.y > 0)
                job.NewPage();
            PrintBand(job, height, job.lineHeight, [&](int top, int, int, bool, bool) {
                DrawCell(dc, text, length, 0, top, width, height, format);
            });
            break;
        }
        case kBlockLine:
            endRun();
            job.y += job.lineHeight / 2;
            job.DrawHLine();
            job.y += job.lineHeight / 2;
            break;
        case kBlockString: {
            int length = 0;
            const wchar_t* text = report.HeaderText(i, &length);
            if (!text || length <= 0)
                break;
            const UINT format = DT_NOPREFIX | DT_EXTERNALLEADING | DT_SINGLELINE | align;
            const int height = MeasureText(dc, text, length, width, format);
            if (height > job.RemainingHeight() && job.y > 0) {
                endRun();
                job.NewPage();
            }
            running = true;
            pending = std::max(pending, height);
            DrawCell(dc, text, length, 0, job.y, width, height, format);
            break;
        }
        default:
            break;
        }
    }
    endRun();
}

#include "printing/sheetprint.h"

#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "foundation/datetime.h"
#include "foundation/messages.h"
#include "foundation/textutil.h"
#include "images/pixels/graybitmapinfo.h"
#include "images/viewer/viewerservices.h"
#include "printing/printerprofile.h"
#include "printing/printfailure.h"
#include "printing/printfonts.h"
#include "printing/printsettings.h"
#include "printing/printstatewnd.h"
#include "printing/printtext.h"
#include "printing/reportlayout.h"
#include "resources/strings.h"

#include <algorithm>
#include <cstring>

namespace {

const int kNameLineEnd = 11000;      // the name's field ends here; the birth date follows
const int kDateUnderline = 4000;     // the line under the examination date
const int kPictureGap = 100;         // 1 mm between the texts and the picture

// Page-granular memory released on every path.
class VirtualBlock {
public:
    explicit VirtualBlock(size_t bytes)
        : data_(bytes ? static_cast<BYTE*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
                      : nullptr)
    {
    }
    ~VirtualBlock()
    {
        if (data_)
            VirtualFree(data_, 0, MEM_RELEASE);
    }
    VirtualBlock(const VirtualBlock&) = delete;
    VirtualBlock& operator=(const VirtualBlock&) = delete;
    BYTE* Get() const { return data_; }

private:
    BYTE* data_;
};

bool AbortRequested(const void* window)
{
    return window && static_cast<const DocPrintStateWnd*>(window)->IsAbortRequested();
}

std::wstring FormatDate(const FILETIME& date)
{
    if (date.dwLowDateTime == 0 && date.dwHighDateTime == 0)
        return std::wstring();
    wchar_t text[64] = L"";
    return FormatFileTime(text, 64, DatePicture, &date) > 0 ? text : L"";
}

// Reads a header value as text; empty when it is missing or not text.
std::wstring HeaderValue(HKEY key, const wchar_t* name)
{
    wchar_t text[512] = L"";
    DWORD type = 0, size = sizeof text - sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::wstring();
    text[size / sizeof(wchar_t)] = 0;
    return text;
}

}  // namespace

// ---- arithmetic ----------------------------------------------------------------

PictureFit FitPicture(int pixelWidth, int pixelHeight, int boxWidth, int boxHeight)
{
    if (pixelWidth <= 0 || pixelHeight <= 0 || boxWidth <= 0 || boxHeight <= 0)
        return PictureFit{0, 0};
    if (static_cast<double>(pixelWidth) / pixelHeight <= static_cast<double>(boxWidth) / boxHeight)
        return PictureFit{static_cast<int>(static_cast<long long>(pixelWidth) * boxHeight / pixelHeight), boxHeight};
    return PictureFit{boxWidth, static_cast<int>(static_cast<long long>(pixelHeight) * boxWidth / pixelWidth)};
}

bool CopyRowsBottomUp(const BYTE* top, int width, int height, BYTE* out, bool (*stop)(const void*),
                      const void* stopArg)
{
    const size_t stride = (static_cast<size_t>(width) + 3) & ~static_cast<size_t>(3);
    for (int row = 0; row < height; ++row) {
        if (stop && stop(stopArg))
            return false;
        memcpy(out + stride * row, top + stride * (height - 1 - row), static_cast<size_t>(width));
    }
    return true;
}

// ---- the texts from the database -------------------------------------------------

void ReadSheetTexts(const SnimokPrintCfg& cfg, SheetTexts* texts)
{
    if (cfg.printPatient) {
        BoundStatement query(g_DbSession, L"SELECT Name1, Name2, Name3, Birthday FROM Patient WHERE Patient=?;");
        query.Params().SetValI4(1, cfg.patient);
        if (!query.First())
            throw StrExc{IDS_DATABASE_WORK_ERROR};
        texts->name.clear();
        for (ULONG part = 0; part < 3; ++part) {
            int length = 0;
            const wchar_t* text = RowTextPtr(query.Row(), part, &length);
            while (text && length > 0 && text[length - 1] == L' ')
                --length;   // fixed-width columns come padded
            if (!text || length <= 0)
                continue;
            if (!texts->name.empty())
                texts->name += L' ';
            texts->name.append(text, static_cast<size_t>(std::min(length, 256)));
        }
        if (texts->name.size() > 256)
            texts->name.resize(256);
        FILETIME birthday = {};
        texts->birthday = RowDate(query.Row(), 3, &birthday) ? FormatDate(birthday) : std::wstring();
    }
    // The image's row gives the examination date whenever there is one, and
    // the note when the record takes it from the database.
    texts->examDate = cfg.picture.Get() ? cfg.picture->imageDate : FILETIME{};
    if (cfg.snimok != 0) {
        BoundStatement query(g_DbSession, L"SELECT Apicriz, [Date file] FROM Snimok WHERE Snimok=?");
        query.Params().SetValI4(1, cfg.snimok);
        if (!query.First())
            throw StrExc{IDS_DATABASE_WORK_ERROR};
        FILETIME date = {};
        if (RowDate(query.Row(), 1, &date))
            texts->examDate = date;
        if (cfg.printNote && cfg.noteFromDatabase) {
            int length = 0;
            const wchar_t* note = RowTextPtr(query.Row(), 0, &length);
            const int kNoteChars = 131072 / sizeof(wchar_t);
            texts->note.assign(note ? note : L"", note ? static_cast<size_t>(std::min(length, kNoteChars)) : 0);
        }
    }
}

// ---- the blocks ------------------------------------------------------------------

void PrintReportHeader(PrintJob& job)
{
    JobFont font(job, Font1.Handle());
    PrintKey key;
    if (key.Open(L"Header", KEY_READ, false) != ERROR_SUCCESS)
        return;
    bool printed = false;
    for (const wchar_t* name : {L"Company1", L"Company2"}) {
        const std::wstring company = HeaderValue(key.Get(), name);
        if (company.empty())
            continue;
        job.PrintText(company.c_str(), static_cast<int>(company.size()), PrintFlags::kCentre);
        printed = true;
    }
    // The address at the left and the phone at the right share one line when
    // both fit on it apart; else each has a line of its own.
    const std::wstring address = HeaderValue(key.Get(), L"Address");
    const std::wstring phone = HeaderValue(key.Get(), L"Phon");
    const int addressLength = static_cast<int>(address.size()), phoneLength = static_cast<int>(phone.size());
    if (!address.empty() && !phone.empty() &&
        job.TextWidth(address.c_str(), addressLength) + job.TextWidth(L"  ", 2) +
                job.TextWidth(phone.c_str(), phoneLength) <=
            job.PrintableWidth()) {
        job.PrintText(address.c_str(), addressLength, PrintFlags::kLeft | PrintFlags::kKeepY);
        job.PrintText(phone.c_str(), phoneLength, PrintFlags::kRight | PrintFlags::kKeepY);
        job.y += job.lineHeight;
    } else {
        if (!address.empty())
            job.PrintText(address.c_str(), addressLength, PrintFlags::kLeft);
        if (!phone.empty())
            job.PrintText(phone.c_str(), phoneLength, PrintFlags::kRight);
    }
    printed = printed || !address.empty() || !phone.empty();
    if (printed) {
        job.y += job.lineHeight / 2;
        job.DrawHLine();
        job.y += job.lineHeight / 2;
    }
    const std::wstring cabinet = HeaderValue(key.Get(), L"Cabinet");
    if (cabinet.empty())
        return;
    job.PrintText(cabinet.c_str(), static_cast<int>(cabinet.size()), PrintFlags::kCentre);
    if (printed) {
        job.y += job.lineHeight / 2;
        job.DrawHLine();
        job.y += job.lineHeight / 2;
    }
}

namespace {

// A line of labels (print font 1) and their values (print font 2): both stand
// on one baseline, and a value starts where its label, drawn as measured,
// ends (the labels end in a blank), so that no font makes them meet.
class LabelLine {
public:
    explicit LabelLine(PrintJob& job) : job_(job)
    {
        {
            JobFont font(job, Font1.Handle());
            GetTextMetricsW(job.GetDC(), &label_);
        }
        JobFont font(job, Font2.Handle());
        GetTextMetricsW(job.GetDC(), &value_);
    }

    int Ascent() const { return std::max(label_.tmAscent, value_.tmAscent); }
    // From the line's top to the rule under it.
    int Height() const { return Ascent() + std::max(label_.tmDescent, value_.tmDescent); }
    // From the line's top to the next line's.
    int Step() const { return Height() + std::max(label_.tmExternalLeading, value_.tmExternalLeading); }
    // The height of a value line (the lines of a value that breaks).
    int ValueStep() const { return value_.tmHeight + value_.tmExternalLeading; }

    int LabelWidth(const std::wstring& text) const { return Width(Font1, text.c_str(), static_cast<int>(text.size())); }
    int ValueWidth(const wchar_t* text, int length) const { return Width(Font2, text, length); }

    // Draws a label with its left edge at x on the line whose top is `top`;
    // returns where it ends.
    int Label(int x, int top, const std::wstring& text) const
    {
        JobFont font(job_, Font1.Handle());
        return x + DrawPrintLine(job_.GetDC(), x, top + Ascent() - label_.tmAscent, text.c_str(),
                                 static_cast<int>(text.size()));
    }
    // Draws a value from x, broken into lines up to `right` when it is wider;
    // returns the number of lines drawn (at least 1).
    int Value(int x, int right, int top, const wchar_t* text, int length) const
    {
        JobFont font(job_, Font2.Handle());
        const RECT area = {x, top + Ascent() - value_.tmAscent, right, 0};
        std::vector<PrintLine> lines;
        LayOutPrintText(job_.GetDC(), text, length, right - x, DT_NOPREFIX | DT_WORDBREAK, &lines);
        DrawPrintText(job_.GetDC(), text, length, area, DT_NOPREFIX | DT_WORDBREAK);
        return std::max(1, static_cast<int>(lines.size()));
    }

private:
    int Width(const PrintFont& font, const wchar_t* text, int length) const
    {
        JobFont selected(job_, font.Handle());
        return job_.TextWidth(text, length);
    }

    PrintJob& job_;
    TEXTMETRICW label_ = {}, value_ = {};
};

}  // namespace

void PrintPatientLines(PrintJob& job, const wchar_t* name, int nameLength, const wchar_t* birthday,
                       int birthdayLength)
{
    if (!name)
        nameLength = 0;
    if (!birthday)
        birthdayLength = 0;
    const std::wstring nameLabel = LoadText(IDS_PRINT_LABEL_NAME);
    const std::wstring birthLabel = LoadText(IDS_PRINT_LABEL_BIRTH_DATE) + L" ";
    const LabelLine line(job);
    const int width = job.PrintableWidth();
    const int nameAt = line.LabelWidth(nameLabel);
    const int apart = line.LabelWidth(L" ");
    // The name's field ends at 11 cm, or past the name when it is longer; the
    // birth date follows on the same line when it fits there, else on a line
    // of its own, and a name wider than the page breaks into lines.
    const int nameWidth = line.ValueWidth(name, nameLength);
    int fieldEnd = std::max(std::min(kNameLineEnd, width), nameAt + nameWidth + apart);
    const int birthWidth = line.LabelWidth(birthLabel) + line.ValueWidth(birthday, birthdayLength);
    const bool oneLine = fieldEnd + birthWidth <= width;
    if (!oneLine)
        fieldEnd = width;

    const int top = job.y;
    const int nameLines = line.Value(nameAt, width, top, name, nameLength);
    line.Label(0, top, nameLabel);
    const int rule = top + line.Height() + (nameLines - 1) * line.ValueStep();
    job.DrawLine(nameAt, rule, fieldEnd, rule);
    job.y = top + line.Step() + (nameLines - 1) * line.ValueStep();
    if (oneLine) {
        const int birthAt = line.Label(fieldEnd, top, birthLabel);
        line.Value(birthAt, width, top, birthday, birthdayLength);
        job.DrawLine(birthAt, rule, width, rule);
    } else {
        const int birthTop = job.y;
        const int birthAt = line.Label(0, birthTop, birthLabel);
        line.Value(birthAt, width, birthTop, birthday, birthdayLength);
        job.DrawLine(birthAt, birthTop + line.Height(), width, birthTop + line.Height());
        job.y = birthTop + line.Step();
    }
    job.x = 0;
}

void PrintExamDate(PrintJob& job, const FILETIME& date)
{
    const std::wstring label = LoadText(IDS_PRINT_LABEL_EXAM_DATE) + L" ";
    const std::wstring text = FormatDate(date);
    const LabelLine line(job);
    const int top = job.y;
    const int dateAt = line.Label(0, top, label);
    line.Value(dateAt, job.PrintableWidth(), top, text.c_str(), static_cast<int>(text.size()));
    job.DrawLine(dateAt, top + line.Height(), dateAt + kDateUnderline, top + line.Height());
    job.y = top + line.Step();
    job.x = 0;
}

namespace {

// The note across the printable width, over as many pages as it needs.
void PrintNote(PrintJob& job, const wchar_t* text, int length)
{
    HDC dc = job.GetDC();
    const int width = job.PrintableWidth();
    const int height = MeasurePrintText(dc, text, length, width, DT_NOPREFIX | DT_WORDBREAK);
    if (height <= 0)
        return;
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    job.y += metrics.tmHeight / 4;   // clear of the line under the date
    PrintBand(job, height, metrics.tmHeight, [&](int top, int, int, bool, bool) {
        DrawPrintText(dc, text, length, RECT{0, top, width, top + height}, DT_NOPREFIX | DT_WORDBREAK);
    });
    if (job.y >= job.PrintableHeight())
        job.NewPage();
}

void PrintPicture(PrintJob& job, const SnimokPrintCfg& cfg, const DocPrintStateWnd* window)
{
    job.y += kPictureGap;
    const int width = cfg.pixelWidth, height = cfg.pixelHeight;
    const size_t stride = (static_cast<size_t>(width) + 3) & ~static_cast<size_t>(3);
    VirtualBlock copy(stride * static_cast<size_t>(height));
    if (!copy.Get())
        throw StrExc{IDS_IMAGE_PRINT_OUT_OF_MEMORY};
    if (!CopyRowsBottomUp(cfg.pixels, width, height, copy.Get(), AbortRequested, window))
        throw ExcAbortPrint();

    if (cfg.minWidth > 0 && job.PrintableWidth() < cfg.minWidth)
        throw StrExc{IDS_IMAGE_WIDTH_DOES_NOT_FIT};
    if (cfg.minHeight > 0 && job.PrintableHeight() < cfg.minHeight)
        throw StrExc{IDS_IMAGE_HEIGHT_DOES_NOT_FIT};
    int boxWidth = job.PrintableWidth();
    if (cfg.width >= 1) {
        if (cfg.width > job.PrintableWidth())
            throw StrExc{IDS_IMAGE_WIDTH_DOES_NOT_FIT};
        boxWidth = cfg.width;
    }
    int boxHeight;
    if (cfg.height >= 1) {
        if (cfg.height > job.PrintableHeight())
            throw StrExc{IDS_IMAGE_HEIGHT_DOES_NOT_FIT};
        if (job.RemainingHeight() < cfg.height)
            job.NewPage();
        boxHeight = cfg.height;
    } else {
        boxHeight = job.RemainingHeight();
        if ((cfg.minHeight > 0 && boxHeight < cfg.minHeight) || boxHeight <= 0) {
            job.NewPage();
            boxHeight = job.RemainingHeight();
        }
    }

    GrayBitmapInfo info;
    info.Header().biWidth = width;
    info.Header().biHeight = height;
    info.Header().biClrUsed = 256;
    info.FillPalette(cfg.picture.Get() && cfg.picture->negative != 0);
    const PictureFit fit = FitPicture(width, height, boxWidth, boxHeight);
    StretchDIBits(job.GetDC(), (job.PrintableWidth() - fit.width) / 2, job.y, fit.width, fit.height, 0, 0, width,
                  height, copy.Get(), info.Get(), DIB_RGB_COLORS, SRCCOPY);
    job.y += fit.height;
}

}  // namespace

void PrintSheetPages(PrintJob& job, const SnimokPrintCfg& cfg, const SheetTexts& texts,
                     const DocPrintStateWnd* window)
{
    {
        JobFont font(job, Font2.Handle());
        if (cfg.printHeader)
            PrintReportHeader(job);
        if (cfg.printPatient)
            PrintPatientLines(job, texts.name.c_str(), static_cast<int>(texts.name.size()), texts.birthday.c_str(),
                              static_cast<int>(texts.birthday.size()));
        PrintExamDate(job, texts.examDate);
        if (cfg.printNote) {
            const wchar_t* note = nullptr;
            int length = 0;
            if (cfg.noteFromDatabase) {
                note = texts.note.c_str();
                length = static_cast<int>(texts.note.size());
            } else if (cfg.note && cfg.noteLength > 0) {
                note = cfg.note;
                length = cfg.noteLength;
            }
            if (note && length > 0)
                PrintNote(job, note, length);
        }
        if (cfg.printSnimok && cfg.pixels && cfg.pixelWidth > 0 && cfg.pixelHeight > 0)
            PrintPicture(job, cfg, window);
    }
    if (window && window->IsAbortRequested())
        throw ExcAbortPrint();
}

// ---- the print --------------------------------------------------------------------

void PrintImageSheet(SnimokPrintCfg& cfg, HWND owner)
{
    LoadPrintFonts();
    std::wstring docName = LoadText(IDS_PRINTING_PICTURE);
    if (docName.size() > 256)
        docName.resize(256);
    PrintJob job;
    PrinterProfilePtr profile;
    try {
        GUID guid;
        const bool haveGuid = GetJobProfileGuid(kSnimokJob, &guid);
        if (!OpenJobPrinter(owner, job, profile, false, guid, haveGuid))
            return;
    } catch (const StrExc& e) {
        MessageBoxIdCaption(owner, e.id, IdOrText(0), MB_OK);
        return;
    } catch (const MsgExcept& e) {
        e.Show(owner, MB_OK);
        return;
    }
    DocPrintStateWnd window;
    if (!window.Start(nullptr, docName.c_str())) {
        MessageBoxIdCaption(owner, IDS_PRINT_STATUS_WINDOW_ERROR, IdOrText(0), MB_OK);
        return;
    }
    window.SetStateText(IDS_PRINT_STATE_PREPARING);
    SheetTexts texts;
    bool ready = false;
    try {
        ReadSheetTexts(cfg, &texts);
        ready = true;
    } catch (int) {
        // an integer code: nothing is printed, nothing said
    } catch (...) {
        ShowPrintFailure(window, std::current_exception());
    }
    if (ready) {
        try {
            job.leftMargin = cfg.leftField;
            job.rightMargin = cfg.rightField;
            job.topMargin = cfg.topField;
            job.bottomMargin = cfg.bottomField;
            window.SetPrinterName(profile->deviceName.c_str());
            DOCINFOW info = {};
            info.cbSize = sizeof info;
            info.lpszDocName = docName.c_str();
            const int jobId = job.StartDoc(info);
            window.WatchPrinter(static_cast<DWORD>(jobId));
            job.StartPage();
            window.SetStateText(IDS_PRINT_STATE_PRINTING);
            PrintSheetPages(job, cfg, texts, &window);
            job.EndPage();
            job.EndDoc();
            job.Close();
            window.SetStateText(IDS_PRINT_STATE_WAITING);
            window.WaitJob();
        } catch (...) {
            ShowPrintFailure(window, std::current_exception());
        }
    }
    window.Stop();
    job.Close();
}

void StartDefaultPrintJob(HWND owner, DWORD imageKey, DWORD patientKey)
{
    SnimokPrintCfg cfg = {};
    cfg.printHeader = 1;
    cfg.printPatient = 1;
    cfg.printNote = 1;
    cfg.printSnimok = 0;
    cfg.noteFromDatabase = 1;
    cfg.leftField = cfg.rightField = cfg.topField = cfg.bottomField = 1000;
    cfg.width = cfg.height = cfg.minWidth = cfg.minHeight = 0;
    cfg.snimok = static_cast<int>(imageKey);
    cfg.patient = static_cast<int>(patientKey);
    PrintImageSheet(cfg, owner);
}

void PrintSnimokWithCfg(HWND owner, const PrintSnimokRequest* request)
{
    if (!request || !request->picture)
        return;
    DPicturePtr picture(request->picture);   // held for the print
    SnimokPrintCfg& settings = GetSnimokPrintCfg();
    if (request->ask && !RunSnimokPrintCfgDlg(owner, settings))
        return;
    SnimokPrintCfg cfg = settings;
    cfg.picture = picture;
    cfg.pixels = request->bits;
    cfg.pixelWidth = request->width;
    cfg.pixelHeight = request->height;
    cfg.snimok = static_cast<int>(picture->imageId);
    cfg.patient = static_cast<int>(picture->patient.GetPatientId());
    PrintImageSheet(cfg, owner);
}

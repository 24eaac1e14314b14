#include "print_site.h"

#include "app/reghelpers.h"
#include "common/fixture_helpers.h"
#include "foundation/globals.h"
#include "forms/desccache.h"
#include "printing/printerprofile.h"
#include "printing/printfonts.h"
#include "tools/demosite/sitebuilder.h"
#include "tools/demosite/sitedatabase.h"

#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#define TF_WIDEN2(x) L##x
#define TF_WIDEN(x) TF_WIDEN2(x)

namespace printtest {

namespace {

std::wstring FromUtf8(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::wstring Unescape(const std::wstring& text)
{
    std::wstring out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'&') {
            out += text[i];
            continue;
        }
        const size_t end = text.find(L';', i);
        if (end == std::wstring::npos) {
            out += text[i];
            continue;
        }
        const std::wstring entity = text.substr(i + 1, end - i - 1);
        if (entity == L"amp")
            out += L'&';
        else if (entity == L"lt")
            out += L'<';
        else if (entity == L"gt")
            out += L'>';
        else if (entity == L"quot")
            out += L'"';
        else if (entity == L"apos" || entity == L"#39")
            out += L'\'';
        else
            out += L'&' + entity + L';';
        i = end;
    }
    return out;
}

double Attribute(const std::string& tag, const char* name)
{
    const std::string key = std::string(name) + "=\"";
    const size_t at = tag.find(key);
    return at == std::string::npos ? 0.0 : atof(tag.c_str() + at + key.size());
}

long gFolderCounter = 0;

}  // namespace

// ---- the demo database -----------------------------------------------------------

DemoDatabase::DemoDatabase()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    wchar_t name[64];
    _snwprintf(name, 63, L"tfprint_%lu_%ld_%lu\\", GetCurrentProcessId(), InterlockedIncrement(&gFolderCounter),
               GetTickCount());
    name[63] = 0;
    folder_ = std::wstring(temp) + name;
    CreateDirectoryW(folder_.c_str(), nullptr);
    for (const wchar_t* sub : {L"Image", L"Icon", L"Cfg"})
        CreateDirectoryW((folder_ + sub).c_str(), nullptr);
    wcscpy(ImageFolder, (folder_ + L"Image\\").c_str());
    wcscpy(IconFolder, (folder_ + L"Icon\\").c_str());
    wcscpy(CfgFolder, (folder_ + L"Cfg\\").c_str());
    SpaceMin = 0;
    std::wstring error;
    if (!CreateSiteDatabase(folder_ + L"demo.db", TF_WIDEN(TF_PRINTING_TEST_SCHEMA), error)) {
        error_ = "the demo database cannot be made: " + Narrow(error);
        return;
    }
    patients_ = FillSiteTables(error, false);
    if (patients_.empty() || !MakeSiteImages(patients_, 8, 120, 160, error) || !DescribeSiteImages(4, error)) {
        error_ = "the demo rows cannot be made: " + Narrow(error);
        return;
    }
    ok_ = true;
}

DemoDatabase::~DemoDatabase()
{
    DescCache::Instance().Clear();
    CloseSiteDatabase();
    testfix::RemoveTree(folder_);
}

void DemoDatabase::WriteCfg(const std::wstring& name, const std::wstring& text) const
{
    HANDLE file =
        CreateFileW((folder_ + L"Cfg\\" + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    std::vector<BYTE> bytes = {0xFF, 0xFE};
    for (wchar_t c : text) {
        bytes.push_back(static_cast<BYTE>(c & 0xFF));
        bytes.push_back(static_cast<BYTE>(c >> 8));
    }
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void DemoDatabase::CopySiteCfg(const std::wstring& name, bool russian) const
{
    const wchar_t* folder = russian ? L"cfg\\" : L"cfg\\en\\";
    ASSERT_TRUE(CopyFileW((std::wstring(TF_WIDEN(TF_PRINTING_TEST_SITE)) + folder + name).c_str(),
                          (folder_ + L"Cfg\\" + name).c_str(), FALSE))
        << "the site's " << Narrow(name);
}

void DemoDatabase::Exec(const std::wstring& sql) const
{
    testfix::ExecSetupSql(sql);
}

std::wstring DemoDatabase::Scalar(const std::wstring& sql) const
{
    return testfix::ScalarSql(sql);
}

// ---- the printer set-up ---------------------------------------------------------------

PrintSetup::PrintSetup(const wchar_t* printer)
{
    GetPrinterProfiles().Clear();
    FreePrintFonts();
    HKEY key = settings_.Open(L"Printer");
    if (printer) {
        PrinterProfileList list;
        PrinterProfilePtr profile = list.Add(L"Test PDF");
        profile->driverName = L"wineps.drv";
        profile->deviceName = printer;
        profile->output = L"";
        profile->devMode = PrinterDevMode(printer, false);
        list.SaveProfile(*profile);
        for (const wchar_t* kind : {L"Report", L"Snimok"})
            RegSetValueExW(key, kind, 0, REG_BINARY, reinterpret_cast<const BYTE*>(&profile->guid), sizeof(GUID));
    }
    RegCloseKey(key);
    SetPrintFonts(-16, -13);
}

PrintSetup::~PrintSetup()
{
    GetPrinterProfiles().Clear();
    FreePrintFonts();
}

void PrintSetup::SetPrintFonts(int labels, int values)
{
    FreePrintFonts();
    HKEY key = settings_.Open(L"Printer");
    const struct {
        const wchar_t* name;
        int height;
        LONG weight;
    } fonts[] = {{L"Font1", labels, FW_BOLD}, {L"Font2", values, FW_NORMAL}};
    for (const auto& f : fonts) {
        LOGFONTW font = {};
        wcscpy(font.lfFaceName, L"DejaVu Sans");
        font.lfCharSet = DEFAULT_CHARSET;
        font.lfHeight = f.height;
        font.lfWeight = f.weight;
        if (f.height)
            RegWriteLogFont(font, key, f.name);
        else
            RegDeleteValueW(key, f.name);
    }
    RegCloseKey(key);
}

void PrintSetup::SetHeader(const wchar_t* name, const wchar_t* value)
{
    HKEY key = settings_.Open(L"Header");
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// ---- a memory printer -------------------------------------------------------------------

MemoryPrinter::MemoryPrinter(bool landscape)
{
    caps_ = landscape ? PageDeviceCaps{3508, 2480, 0, 0, 3508, 2480, 300, 300}
                      : PageDeviceCaps{2480, 3508, 0, 0, 2480, 3508, 300, 300};
    dc_ = CreateEnhMetaFileW(nullptr, nullptr, nullptr, nullptr);
    job_.OpenMemory(dc_, caps_);
}

MemoryPrinter::~MemoryPrinter()
{
    job_.Close();
    if (dc_)
        DeleteEnhMetaFile(CloseEnhMetaFile(dc_));
}

void MemoryPrinter::Read()
{
    if (read_)
        return;
    read_ = true;
    job_.Close();
    HENHMETAFILE metafile = CloseEnhMetaFile(dc_);
    dc_ = nullptr;
    EnumEnhMetaFile(nullptr, metafile, Record, this, nullptr);
    DeleteEnhMetaFile(metafile);
}

int CALLBACK MemoryPrinter::Record(HDC, HANDLETABLE*, const ENHMETARECORD* record, int, LPARAM param)
{
    MemoryPrinter* self = reinterpret_cast<MemoryPrinter*>(param);
    const BYTE* bytes = reinterpret_cast<const BYTE*>(record);
    switch (record->iType) {
    case EMR_SETVIEWPORTORGEX:
        ++self->page_;
        break;
    case EMR_EXTCREATEFONTINDIRECTW: {
        const EMREXTCREATEFONTINDIRECTW* font = reinterpret_cast<const EMREXTCREATEFONTINDIRECTW*>(record);
        if (self->fontHeights_.size() <= font->ihFont)
            self->fontHeights_.resize(font->ihFont + 1, 0);
        self->fontHeights_[font->ihFont] = std::abs(static_cast<int>(font->elfw.elfLogFont.lfHeight));
        break;
    }
    case EMR_SELECTOBJECT: {
        const DWORD index = reinterpret_cast<const EMRSELECTOBJECT*>(record)->ihObject;
        if (!(index & 0x80000000) && index < self->fontHeights_.size() && self->fontHeights_[index] > 0)
            self->fontHeight_ = self->fontHeights_[index];
        break;
    }
    case EMR_EXTTEXTOUTW: {
        const EMREXTTEXTOUTW* text = reinterpret_cast<const EMREXTTEXTOUTW*>(record);
        const wchar_t* chars = reinterpret_cast<const wchar_t*>(bytes + text->emrtext.offString);
        int width = 0;
        if (text->emrtext.offDx) {
            const INT* dx = reinterpret_cast<const INT*>(bytes + text->emrtext.offDx);
            for (DWORD i = 0; i < text->emrtext.nChars; ++i)
                width += dx[i];
        }
        self->texts_.push_back(Text{std::wstring(chars, text->emrtext.nChars), text->emrtext.ptlReference.x,
                                    text->emrtext.ptlReference.y, self->page_, width, self->fontHeight_,
                                    (text->emrtext.fOptions & ETO_CLIPPED) != 0});
        break;
    }
    case EMR_MOVETOEX:
        self->cursor_ = POINT{reinterpret_cast<const EMRMOVETOEX*>(record)->ptl.x,
                              reinterpret_cast<const EMRMOVETOEX*>(record)->ptl.y};
        break;
    case EMR_LINETO: {
        const POINTL& to = reinterpret_cast<const EMRLINETO*>(record)->ptl;
        self->lines_.push_back(Line{self->cursor_.x, self->cursor_.y, to.x, to.y, self->page_});
        self->cursor_ = POINT{to.x, to.y};
        break;
    }
    case EMR_STRETCHDIBITS: {
        const EMRSTRETCHDIBITS* dib = reinterpret_cast<const EMRSTRETCHDIBITS*>(record);
        const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(bytes + dib->offBmiSrc);
        bool grey = info->bmiHeader.biBitCount == 8, inverted = grey;
        const DWORD colors = info->bmiHeader.biClrUsed ? info->bmiHeader.biClrUsed : 256;
        for (DWORD i = 0; grey && i < colors; ++i) {
            const RGBQUAD& c = info->bmiColors[i];
            grey = c.rgbRed == c.rgbGreen && c.rgbGreen == c.rgbBlue;
            inverted = inverted && c.rgbRed == 255 - i;
            grey = grey && (c.rgbRed == i || c.rgbRed == 255 - i);
        }
        self->dibs_.push_back(Dib{dib->xDest, dib->yDest, dib->cxDest, dib->cyDest, dib->cxSrc, dib->cySrc,
                                  info->bmiHeader.biBitCount, grey && colors == 256, inverted, self->page_});
        break;
    }
    default:
        break;
    }
    return 1;
}

const MemoryPrinter::Text* MemoryPrinter::Find(const std::wstring& text) const
{
    for (const Text& t : texts_)
        if (t.text == text)
            return &t;
    return nullptr;
}

// ---- reading a PDF ----------------------------------------------------------------------

std::vector<std::string> PdfFiles(const std::wstring& stem)
{
    std::vector<std::string> files;
    wchar_t dir[1024];
    const DWORD n = GetEnvironmentVariableW(L"TF_PDF_DIR", dir, 1024);
    if (n == 0 || n >= 1024)
        return files;
    const std::string unixDir = Narrow(dir);
    std::wstring pattern = L"Z:";
    for (wchar_t c : std::wstring(dir))
        pattern += c == L'/' ? L'\\' : c;
    pattern += L"\\*" + stem + L"*.pdf";
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return files;
    do {
        files.push_back(unixDir + "/" + Narrow(found.cFileName));
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return files;
}

std::string WaitForNewPdf(const std::wstring& stem, const std::vector<std::string>& before)
{
    std::string candidate;
    for (int tries = 0; tries < 600; ++tries) {
        for (const std::string& file : PdfFiles(stem))
            if (std::find(before.begin(), before.end(), file) == before.end())
                candidate = file;
        if (!candidate.empty()) {
            // The name in full is enough: the document's own wait reads it
            // back once it is written in full.
            std::wstring name = L"Z:";
            for (char c : candidate)
                name += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
            const std::wstring base = name.substr(name.find_last_of(L'\\') + 1);
            const std::string done = WaitForPdf(base.substr(0, base.size() - 4));
            return done.empty() ? candidate : done;
        }
        Sleep(100);
    }
    return std::string();
}

std::vector<PdfPage> ReadPdfWords(const std::string& pdf)
{
    int status = -1;
    const std::string html = RunUnix("pdftotext -bbox '" + pdf + "' -", &status);
    std::vector<PdfPage> pages;
    if (status != 0) {
        ADD_FAILURE() << "pdftotext failed: " << html;
        return pages;
    }
    // A page turned by the PDF (landscape) has its words in the turned
    // page's coordinates: its width and height are swapped to match.
    const std::string info = RunUnix("pdfinfo '" + pdf + "'");
    const size_t rot = info.find("Page rot:");
    const int rotation = rot == std::string::npos ? 0 : atoi(info.c_str() + rot + 9);
    size_t at = 0;
    while ((at = html.find('<', at)) != std::string::npos) {
        const size_t close = html.find('>', at);
        if (close == std::string::npos)
            break;
        const std::string tag = html.substr(at, close - at + 1);
        if (tag.compare(0, 6, "<page ") == 0) {
            if (rotation == 90 || rotation == 270)
                pages.push_back(PdfPage{Attribute(tag, "height"), Attribute(tag, "width"), {}});
            else
                pages.push_back(PdfPage{Attribute(tag, "width"), Attribute(tag, "height"), {}});
        } else if (tag.compare(0, 6, "<word ") == 0 && !pages.empty()) {
            const size_t end = html.find("</word>", close);
            if (end == std::string::npos)
                break;
            pages.back().words.push_back(PdfWord{Unescape(FromUtf8(html.substr(close + 1, end - close - 1))),
                                                 Attribute(tag, "xMin"), Attribute(tag, "yMin"),
                                                 Attribute(tag, "xMax"), Attribute(tag, "yMax")});
            at = end;
            continue;
        }
        at = close + 1;
    }
    return pages;
}

std::vector<PdfWord> FindWords(const PdfPage& page, const std::wstring& text)
{
    std::vector<PdfWord> found;
    for (const PdfWord& word : page.words)
        if (word.text == text)
            found.push_back(word);
    return found;
}

}  // namespace printtest

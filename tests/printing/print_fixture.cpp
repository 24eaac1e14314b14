#include "print_fixture.h"

#include "app/inputtext.h"
#include "app/reghelpers.h"
#include "common/window_harness.h"
#include "foundation/globals.h"
#include "foundation/settingskey.h"
#include "ui/button.h"
#include "ui/control_font.h"
#include "ui/tooltip.h"
#include "ui/window_create.h"

#include <commctrl.h>
#include <winspool.h>

#include <cstdio>
#include <cstring>

namespace printtest {

const wchar_t kPdfPrinter[] = L"PDF";
const wchar_t kMarginsPrinter[] = L"PDFMargins";

std::string Narrow(const std::wstring& text)
{
    std::string out;
    for (wchar_t c : text)
        out += c < 128 ? static_cast<char>(c) : '?';
    return out;
}

namespace {

std::wstring Env(const wchar_t* name)
{
    wchar_t value[1024];
    const DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n > 0 && n < 1024 ? std::wstring(value, n) : std::wstring();
}

// A Unix path as Wine's Z: drive shows it.
std::wstring DosPath(const std::string& unixPath)
{
    std::wstring path = L"Z:";
    for (char c : unixPath)
        path += c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return path;
}

std::string PdfDir()
{
    return Narrow(Env(L"TF_PDF_DIR"));
}

// A folder for scratch files of Unix commands.
std::string ScratchDir()
{
    const std::string dir = PdfDir();
    return dir.empty() ? "/tmp" : dir;
}

bool ReadWholeFile(const std::wstring& path, std::string* out)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    out->clear();
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        out->append(buffer, read);
    CloseHandle(file);
    return true;
}

bool WriteWholeFile(const std::wstring& path, const std::string& text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                    written == text.size();
    CloseHandle(file);
    return ok;
}

long gCounter = 0;

}  // namespace

::testing::AssertionResult CupsPrinters()
{
    if (Env(L"TF_PDF_DIR").empty())
        return ::testing::AssertionFailure()
               << "CUPS is not running for this test run: ./test.sh starts a private cupsd with the cups-pdf "
                  "queues \"PDF\" and \"PDFMargins\" (cmake/setup.sh, tf_start_cups) and exports TF_PDF_DIR; "
                  "see its message and build/cups/log";
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed + 1);
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 4, buffer.data(), needed, &needed, &count))
        count = 0;
    const PRINTER_INFO_4W* printers = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    bool pdf = false, margins = false;
    for (DWORD i = 0; i < count; ++i) {
        pdf |= wcscmp(printers[i].pPrinterName, kPdfPrinter) == 0;
        margins |= wcscmp(printers[i].pPrinterName, kMarginsPrinter) == 0;
    }
    if (!pdf || !margins)
        return ::testing::AssertionFailure()
               << "Wine does not list the CUPS printers \"PDF\" and \"PDFMargins\" of this run (CUPS_SERVER="
               << Narrow(Env(L"CUPS_SERVER")) << "): is libcups2:i386 installed and cupsd running?";
    return ::testing::AssertionSuccess();
}

void AwaitIdlePrinters()
{
    int status = -1;
    const std::string queue = RunUnix(
        "for i in $(seq 600); do [ -z \"$(lpstat -o)\" ] && exit 0; sleep 0.1; done; lpstat -o; exit 1", &status,
        90000);
    EXPECT_EQ(0, status) << "CUPS still prints the jobs of the tests before:\n" << queue;
}

namespace {

std::vector<BYTE> PrinterDevModeOnce(const wchar_t* printer, bool landscape)
{
    std::vector<BYTE> bytes;
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(printer), &handle, nullptr))
        return bytes;
    wchar_t* name = const_cast<wchar_t*>(printer);
    const LONG size = DocumentPropertiesW(nullptr, handle, name, nullptr, nullptr, 0);
    if (size > 0) {
        bytes.resize(size);
        DEVMODEW* mode = reinterpret_cast<DEVMODEW*>(bytes.data());
        if (DocumentPropertiesW(nullptr, handle, name, mode, nullptr, DM_OUT_BUFFER) == IDOK) {
            mode->dmFields |= DM_ORIENTATION | DM_PAPERSIZE;
            mode->dmOrientation = landscape ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
            mode->dmPaperSize = DMPAPER_A4;
            DocumentPropertiesW(nullptr, handle, name, mode, mode, DM_IN_BUFFER | DM_OUT_BUFFER);
            bytes.resize(mode->dmSize + mode->dmDriverExtra);
        } else {
            bytes.clear();
        }
    }
    ClosePrinter(handle);
    return bytes;
}

}  // namespace

std::vector<BYTE> PrinterDevMode(const wchar_t* printer, bool landscape)
{
    // Wine's driver reads the printer's PPD from CUPS, and a read may fail
    // while another test process reads it: try again.
    for (int tries = 0; tries < 10; ++tries) {
        std::vector<BYTE> bytes = PrinterDevModeOnce(printer, landscape);
        if (!bytes.empty())
            return bytes;
        Sleep(200);
    }
    ADD_FAILURE() << "no DEVMODE from the driver of the printer (error " << GetLastError() << ")";
    return std::vector<BYTE>();
}

std::wstring UniqueDocName(const wchar_t* stem)
{
    wchar_t name[128];
    _snwprintf(name, 128, L"%ls%lu%lu%ld", stem, GetCurrentProcessId(), GetTickCount() % 100000,
               InterlockedIncrement(&gCounter));
    name[127] = 0;
    return name;
}

namespace {

// Whether the PDF is written in full: Ghostscript, which cups-pdf runs,
// writes the trailer's "%%EOF" last.
bool PdfWhole(const std::wstring& path)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    char tail[64] = {};
    DWORD read = 0;
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
        LARGE_INTEGER from;
        from.QuadPart = size.QuadPart > (LONGLONG)sizeof tail ? size.QuadPart - (LONGLONG)sizeof tail : 0;
        if (!SetFilePointerEx(file, from, nullptr, FILE_BEGIN) || !ReadFile(file, tail, sizeof tail, &read, nullptr))
            read = 0;
    }
    CloseHandle(file);
    std::string end(tail, read);
    while (!end.empty() && (end.back() == '\n' || end.back() == '\r' || end.back() == ' '))
        end.pop_back();
    return end.size() >= 5 && end.compare(end.size() - 5, 5, "%%EOF") == 0;
}

}  // namespace

std::string WaitForPdf(const std::wstring& docName)
{
    const std::string dir = PdfDir();
    if (dir.empty())
        return std::string();
    const std::wstring pattern = DosPath(dir) + L"\\*" + docName + L"*.pdf";
    for (int tries = 0; tries < 600; ++tries) {
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW(pattern.c_str(), &found);
        if (find != INVALID_HANDLE_VALUE) {
            FindClose(find);
            if (PdfWhole(DosPath(dir) + L"\\" + found.cFileName))
                return dir + "/" + Narrow(found.cFileName);
        }
        Sleep(100);
    }
    return std::string();
}

std::string RunUnix(const std::string& command, int* status, DWORD timeoutMs)
{
    char stem[64];
    snprintf(stem, sizeof stem, "/tfcmd-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&gCounter));
    const std::string base = ScratchDir() + stem;
    const std::string script = base + ".sh", out = base + ".out", rc = base + ".rc";
    // The exit status is written last, by a rename: once it is there, all is.
    WriteWholeFile(DosPath(script), "(" + command + ") >'" + out + "' 2>&1; echo $? >'" + rc + ".tmp'; mv '" + rc +
                                        ".tmp' '" + rc + "'\n");
    std::string line = "/bin/sh " + script;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (status)
        *status = -1;
    // Wine starts a Unix program through CreateProcess, but its handle does
    // not tell when the program ends: the status file does.
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return "cannot start /bin/sh";
    if (process.hThread)
        CloseHandle(process.hThread);
    if (process.hProcess)
        CloseHandle(process.hProcess);
    std::string text, code;
    for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
        if (ReadWholeFile(DosPath(rc), &code)) {
            if (status)
                *status = atoi(code.c_str());
            break;
        }
        Sleep(50);
    }
    ReadWholeFile(DosPath(out), &text);
    DeleteFileW(DosPath(script).c_str());
    DeleteFileW(DosPath(out).c_str());
    DeleteFileW(DosPath(rc).c_str());
    return text;
}

bool RenderFirstPage(const std::string& pdf, int dpi, GreyImage* image)
{
    char stem[64];
    snprintf(stem, sizeof stem, "/tfpage-%lu-%ld", GetCurrentProcessId(), InterlockedIncrement(&gCounter));
    const std::string base = ScratchDir() + stem;
    int status = -1;
    const std::string output = RunUnix("pdftoppm -r " + std::to_string(dpi) + " -gray -f 1 -l 1 -singlefile '" +
                                           pdf + "' '" + base + "'",
                                       &status);
    std::string data;
    const bool read = ReadWholeFile(DosPath(base + ".pgm"), &data);
    DeleteFileW(DosPath(base + ".pgm").c_str());
    if (status != 0 || !read) {
        ADD_FAILURE() << "pdftoppm failed (" << status << "): " << output;
        return false;
    }
    // "P5\n<width> <height>\n255\n" then the pixels.
    int width = 0, height = 0, maxValue = 0, consumed = 0;
    if (sscanf(data.c_str(), "P5 %d %d %d%n", &width, &height, &maxValue, &consumed) != 3 || maxValue != 255)
        return false;
    const size_t start = static_cast<size_t>(consumed) + 1;
    if (data.size() < start + static_cast<size_t>(width) * height)
        return false;
    image->width = width;
    image->height = height;
    image->pixels.assign(data.begin() + start, data.begin() + start + static_cast<size_t>(width) * height);
    return true;
}

// ---- settings ----------------------------------------------------------------------

PrivateSettings::PrivateSettings()
{
    wchar_t path[256];
    _snwprintf(path, 256, L"%ls\\Tests\\%lu-%ld", SettingsKeyPath, GetCurrentProcessId(),
               InterlockedIncrement(&gCounter));
    path[255] = 0;
    path_ = path;
    // Wine gives a later process the id of one that ended: a key a crashed
    // test process left behind is not this test's to read.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, path_.c_str());
    HKEY root = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root, nullptr);
    if (root)
        RegCloseKey(root);
    previous_ = SetSettingsRoot(SettingsRoot{HKEY_LOCAL_MACHINE, path_.c_str()});
}

PrivateSettings::~PrivateSettings()
{
    SetSettingsRoot(previous_);
    RegDeleteKeyTree(HKEY_LOCAL_MACHINE, path_.c_str());
}

HKEY PrivateSettings::Open(const wchar_t* sub, bool create) const
{
    std::wstring path = path_;
    if (sub && *sub)
        path += std::wstring(L"\\") + sub;
    HKEY key = nullptr;
    if (create)
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    else
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    return key;
}

// ---- modal windows -----------------------------------------------------------------

void ClickButton(HWND dialog, int id)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

InputClasses::InputClasses()
{
    DControl::InitFont();
    DToolTip::RegisterClass();
    DButton::RegisterClass();
    InpTextWnd::RegisterClass();
}

InputClasses::~InputClasses()
{
    InpTextWnd::UnregisterClass();
    DButton::UnregisterClass();
    DToolTip::UnregisterClass();
    DControl::FreeFont();
}

ModalDriver::ModalDriver()
{
    CloseOnFailure(InpTextWnd::kClassName);
}

}  // namespace printtest

#include "archive/volumeconfig.h"

#include "forms/desclexer.h"

#include <cwchar>

namespace {

enum VolumeKeyword : DWORD {
    kReserv = 1,
    kFile = 2,
    kMinReserv = 3,
    kStep = 4,
    kNSteps = 5,
    kNCopies = 6,
};

const DescKeyword kVolumeKeywords[] = {
    DESC_KEYWORD(L"reserv", kReserv),       DESC_KEYWORD(L"file", kFile),
    DESC_KEYWORD(L"minreserv", kMinReserv), DESC_KEYWORD(L"step", kStep),
    DESC_KEYWORD(L"nsteps", kNSteps),       DESC_KEYWORD(L"ncopies", kNCopies),
};
constexpr int kVolumeKeywordCount = sizeof(kVolumeKeywords) / sizeof(kVolumeKeywords[0]);

const int kMaxListedNames = 102;   // the base name and 101 numbered ones

}  // namespace

int ArjVolumeConfig::SetFolder(const wchar_t* folder)
{
    folder_ = folder ? folder : L"";
    if (folder_.empty() || folder_.back() != L'\\')
        folder_ += L'\\';
    folderSet_ = true;
    MakeFullPath();
    return 1;
}

int ArjVolumeConfig::SetFile(const wchar_t* fileName)
{
    fileName_ = fileName ? fileName : L"";
    MakeFullPath();
    return 1;
}

void ArjVolumeConfig::MakeFullPath()
{
    fullPath_.clear();
    if (folderSet_ && !fileName_.empty())
        fullPath_ = folder_ + fileName_;
}

void ArjVolumeConfig::FreeTable()
{
    reserve_ = 0;
    outstanding_ = 0;
    files_.clear();
}

void ArjVolumeConfig::Free()
{
    FreeTable();
    fileName_.clear();
    fullPath_.clear();
    folder_.clear();
    folderSet_ = false;
}

int ArjVolumeConfig::Load()
{
    FreeTable();
    if (fullPath_.empty())
        throw static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    HANDLE file = CreateFileW(fullPath_.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return 1;   // a disk without the file keeps no reserve
        throw error;
    }
    DWORD high = 0;
    const DWORD low = GetFileSize(file, &high);
    if (low == 0 && high == 0) {
        // An empty file states nothing: no reserve, no names.
        CloseHandle(file);
        return 1;
    }
    DFileBuf text;
    const bool read = ReadTextFile(file, text);
    CloseHandle(file);
    if (!read)
        throw static_cast<DWORD>(ERROR_INVALID_PARAMETER);
    DTextScan scan;
    scan.Init(static_cast<const wchar_t*>(text.Data()), text.Size() / static_cast<LONG>(sizeof(wchar_t)));
    return Parse(scan);
}

int ArjVolumeConfig::Parse(DTextScan& scan)
{
    DescLexer lex(scan);
    std::vector<std::wstring> names;
    DWORD reservMb = 0;
    while (lex.SkipBlanksAt() && !lex.AtEnd()) {
        int length = 0;
        const int code = lex.MatchIdent(kVolumeKeywords, kVolumeKeywordCount, &length);
        if (code < 0)
            throw kUnknownKeyword;
        scan.pos += length;
        lex.SkipBlanks();
        switch (code) {
        case kReserv:
            reservMb = lex.ReadAssignedUInt();
            break;
        case kFile: {
            wchar_t name[kMaxFileNameChars + 1];
            const int chars = lex.ReadAssignedString(name, kMaxFileNameChars);
            try {
                names.emplace_back(name, static_cast<size_t>(chars));
            } catch (...) {
                throw kBadFile;
            }
            break;
        }
        case kMinReserv:
            minReserv_ = lex.ReadAssignedUInt();
            break;
        case kStep:
            step_ = lex.ReadAssignedUInt();
            break;
        case kNSteps:
            nSteps_ = lex.ReadAssignedUInt();
            break;
        case kNCopies:
            nCopies_ = lex.ReadAssignedUInt();
            break;
        default:
            throw kUnknownKeyword;
        }
    }
    reserve_ = static_cast<ULONGLONG>(reservMb) * 1048576ull;
    files_.clear();
    files_.reserve(names.size());
    for (std::wstring& name : names)
        files_.push_back(ReserveFile{std::move(name), 0});
    return 1;
}

int ArjVolumeConfig::CheckFiles()
{
    ULONGLONG sum = 0;
    for (ReserveFile& entry : files_) {
        const std::wstring path = folder_ + entry.name;
        HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_NOT_FOUND) {
                entry.size = 0;
                continue;
            }
            return 0;
        }
        BY_HANDLE_FILE_INFORMATION info;
        const BOOL got = GetFileInformationByHandle(file, &info);
        if (!CloseHandle(file) || !got)
            return 0;
        entry.size = (static_cast<ULONGLONG>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
        sum += entry.size;
    }
    outstanding_ = sum >= reserve_ ? 0 : reserve_ - sum;
    return 1;
}

std::wstring BuildDiskCfgText(DWORD reserveMb, const wchar_t* backupFile, DWORD copies)
{
    if (copies == 0)
        return std::wstring();
    std::wstring text;
    text += static_cast<wchar_t>(0xFEFF);
    text += L"/* Unicode text. */\r\n\r\n";
    wchar_t number[16];
    _snwprintf(number, 15, L"%lu", static_cast<unsigned long>(reserveMb));
    number[15] = 0;
    text += L"Reserv=";
    text += number;
    text += L"\r\n";
    const std::wstring name = backupFile ? backupFile : L"";
    text += L"File=\"" + name + L"\"\r\n";
    for (DWORD i = 1; i < copies && i < static_cast<DWORD>(kMaxListedNames); ++i) {
        _snwprintf(number, 15, L"%lu", static_cast<unsigned long>(i));
        number[15] = 0;
        text += L"File=\"" + name + number + L"\"\r\n";
    }
    return text;
}

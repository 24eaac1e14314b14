// exchange_bench.exe: the image import and the DICOM export on a 3000 x 3000
// 14-bit radiograph, as ratios measured in the same run:
//   - importing its ".xmg" as a new image (the import's reading, the look-up
//     of the file's patient, the save as a new image: row, file, thumbnail)
//     against opening the same file and saving the picture as a new image
//     through the image records alone: at most 1.5x;
//   - saving the picture as a DICOM file through the export server stand-in
//     (tools/dicomsrv, registered in the prefix: bench/run-all.sh does it)
//     against writing its raw pixel bytes to a file: at most 3x.
// The exit status is 1 when a figure is above its limit.
//
//   build/wine-run.sh build/bench/exchange_bench.exe
#include "bench/benchutil.h"
#include "database/dbstart.h"
#include "exchange/dicom/dicomclient.h"
#include "exchange/dicom/dicomsend.h"
#include "exchange/imagefiles/imageimport.h"
#include "foundation/globals.h"
#include "foundation/prompt.h"
#include "images/files/snimokdb.h"
#include "images/files/xmgfile.h"
#include "images/pixels/displaylut.h"
#include "tools/demosite/radiograph.h"
#include "tools/demosite/sitedatabase.h"

#include <objbase.h>
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

int gPrompts = 0;

// A prompt is a failure of the measured road: counted, answered OK.
int CountPrompt(HWND, const wchar_t* text, const wchar_t*, UINT)
{
    ++gPrompts;
    fwprintf(stderr, L"prompt: %ls\n", text ? text : L"");
    return IDOK;
}

HANDLE OpenForReading(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

void DeleteFolderFiles(const std::wstring& folder)
{
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

}  // namespace

int wmain()
{
    using namespace bench;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    SetPromptHook(CountPrompt);
    Verdict verdict;

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"exchbench" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    CreateDirectoryW((folder + L"Image").c_str(), nullptr);
    CreateDirectoryW((folder + L"Icon").c_str(), nullptr);
    wcscpy(ImageFolder, (folder + L"Image\\").c_str());
    wcscpy(IconFolder, (folder + L"Icon\\").c_str());
    SpaceMin = 0;
    std::wstring error;
    if (!CreateSiteDatabase(folder + L"bench.db", TF_EXCHANGE_BENCH_SCHEMA, error)) {
        fwprintf(stderr, L"no database: %ls\n", error.c_str());
        return 1;
    }
    g_DbSession->ExecSql(L"INSERT INTO Patient (Name1, Name2, Name3, Pol) VALUES ('Иванов', 'Пётр', '', 1);", nullptr,
                         nullptr, nullptr, nullptr);

    // The file to import: the radiograph of patient 1 with its text block.
    const int side = 3000;
    DPicturePtr picture = MakeRadiograph(side, side, 14, 42, RadiographKind::Chest);
    if (!picture.Get()) {
        fwprintf(stderr, L"no memory for the picture\n");
        return 1;
    }
    picture->patient.SetName(0, L"Иванов", -1);
    picture->patient.SetName(1, L"Пётр", -1);
    picture->patient.SetPatientId(1);
    picture->patient.SetSex(1);
    SYSTEMTIME taken = {2024, 6, 0, 11, 9, 30, 0, 0};
    SystemTimeToFileTime(&taken, &picture->imageDate);
    const std::wstring source = folder + L"import.xmg";
    {
        HANDLE file = CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD code = 0;
        const int saved = SnimokFile::Save(picture, file, &code, true);
        CloseHandle(file);
        if (!saved) {
            fwprintf(stderr, L"the source file was not written (%lu)\n", code);
            return 1;
        }
    }
    std::vector<uint8_t> lut(kLutSize);
    BuildDisplayLut(lut.data(), 0, 1 << 14, 0.0);

    // ---- import as a new image against open and save through the records ----
    bool ok = true;
    auto openAndSave = [&]() {
        HANDLE file = OpenForReading(source);
        DPicturePtr opened = ReadPictureFile(file);
        CloseHandle(file);
        if (!opened.Get()) {
            ok = false;
            return;
        }
        opened->patient.SetPatientId(1);
        ok = SaveSnimokTx(opened, lut.data()) && ok;
    };
    auto importAndSave = [&]() {
        HANDLE file = OpenForReading(source);
        DPicturePtr picked = ImportXmgFile(file, 0, 0);
        CloseHandle(file);
        if (!picked.Get()) {
            ok = false;
            return;
        }
        ok = SaveSnimokTx(picked, lut.data()) && ok;
    };
    // The two roads alternate, so that the machine's moods reach both alike.
    Timing records = {1e30, 0}, imported = {1e30, 0};
    std::vector<double> recordMs, importMs;
    openAndSave();
    importAndSave();
    for (int run = 0; run < 9; ++run) {
        recordMs.push_back(Measure(openAndSave, 1).best);
        importMs.push_back(Measure(importAndSave, 1).best);
    }
    std::sort(recordMs.begin(), recordMs.end());
    std::sort(importMs.begin(), importMs.end());
    records = Timing{recordMs[0], recordMs[4]};
    imported = Timing{importMs[0], importMs[4]};
    if (!ok || gPrompts)
        verdict.Failed("import_new_image", "an import or a save failed");
    char text[256];
    snprintf(text, sizeof text, "import and save %.1f ms against open and save %.1f ms (medians %.1f, %.1f)",
             imported.best, records.best, imported.median, records.median);
    verdict.Ratio("import_new_image", imported.best / records.best, 1.5, text);
    DeleteFolderFiles(ImageFolder);
    DeleteFolderFiles(IconFolder);

    // ---- DICOM file through the server against the raw bytes written ----
    const size_t bytes = (size_t)side * side * 2;
    const std::wstring raw = folder + L"raw.bin";
    ok = true;
    const Timing written = Measure([&]() {
        HANDLE file = CreateFileW(raw.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        DWORD done = 0;
        ok = WriteFile(file, picture->GetBits(), (DWORD)bytes, &done, nullptr) && done == bytes && ok;
        CloseHandle(file);
    }, 9);
    const std::wstring dicom = folder + L"chest.dcm";
    gPrompts = 0;
    ok = true;
    const Timing saved = Measure([&]() { ok = SaveImageAsDicomFile(picture, nullptr, dicom.c_str()) == 1 && ok; }, 9);
    WIN32_FILE_ATTRIBUTE_DATA info = {};
    GetFileAttributesExW(dicom.c_str(), GetFileExInfoStandard, &info);
    if (!ok || gPrompts || info.nFileSizeLow < bytes)
        verdict.Failed("dicom_save", "the DICOM file was not written");
    snprintf(text, sizeof text, "DICOM file %.1f ms (median %.1f) against %.1f ms for the raw bytes (median %.1f)",
             saved.best, saved.median, written.best, written.median);
    verdict.Ratio("dicom_save", saved.best / written.best, 3.0, text);

    DicomExportClient::Instance().Shutdown();
    CloseSiteDatabase();
    DeleteFileW(raw.c_str());
    DeleteFileW(dicom.c_str());
    DeleteFileW(source.c_str());
    DeleteFolderFiles(folder);
    RemoveDirectoryW((folder + L"Image").c_str());
    RemoveDirectoryW((folder + L"Icon").c_str());
    RemoveDirectoryW(folder.c_str());
    CoUninitialize();
    return verdict.ExitCode();
}

// The demo site's second workstation and the merge settings: see secondsite.h.
#include "tools/demosite/secondsite.h"

#include "database/dbbindparam.h"
#include "database/dberrors.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "foundation/settingskey.h"
#include "images/files/snimokdb.h"
#include "images/files/xmgfile.h"
#include "images/pixels/displaylut.h"
#include "tools/demosite/sitedatabase.h"

#include <string.h>

#include <iterator>
#include <vector>

const wchar_t kSecondWorkstation[] = L"Workstation2";

namespace {

// The site's patients the second workstation knows too, by their first name
// among the demo patients; the first has copies of his site images there.
const wchar_t* const kSharedPatients[] = {L"Brown", L"Иванов"};
// How many of the first shared patient's site images it holds copies of.
const size_t kCopies = 2;
// Its own patients.
const SitePatient kOwnPatients[] = {
    {L"Орлов", L"Григорий", L"Семёнович", 1968, 10, 2, 1},
    // The site's John Smith has a namesake here, born another year: another patient.
    {L"Smith", L"John", L"", 1983, 9, 14, 1},
};

// Its own images, taken after it was installed. Their radiographs are
// numbered from 100 on, so that none has a site image's pixels; the number
// makes the plate a chest's or a limb's, and the description fits it.
struct OwnImage {
    size_t patient;       // among its patients: the shared ones, then its own
    int number;           // its radiograph (SaveSiteRadiograph)
    int daysBack;
    int templateNumber;   // the template its description is made from; -1 for none
};
const OwnImage kOwnImages[] = {
    {0, 100, 2, -1},   // a chest
    {1, 101, 5, 2},    // a limb: a fracture
    {2, 102, 1, 1},    // a chest: pneumonia
    {2, 103, 8, 0},    // a chest, a week before: normal
    {3, 104, 3, -1},   // a limb
};

// The merge settings: the columns carried over, keys marked.
struct MergeColumn {
    const wchar_t* list;   // "Patient" or "Snimok"
    const wchar_t* name;
    DWORD type, maxSize, key;
};
const MergeColumn kMergeColumns[] = {
    {L"Patient", L"Name1", 130, 32, 1},       {L"Patient", L"Name2", 130, 32, 1},
    {L"Patient", L"Name3", 130, 32, 1},       {L"Patient", L"Birthday", 64, 8, 1},
    {L"Patient", L"Pol", 3, 4, 0},            {L"Snimok", L"Orientation", 3, 4, 0},
    {L"Snimok", L"Scale", 4, 4, 0},           {L"Snimok", L"Apicriz", 130, 0x3FFFFFFF, 0},
};
// The patient in the merge window: insert %n is the column of subkey "n".
const wchar_t kFormatString[] = L"%1 %2 %3";
const wchar_t* const kFormatColumns[] = {L"Name1", L"Name2", L"Name3"};
const wchar_t kImportKey[] = L"ImportSettings";

// The second workstation's patients: the shared ones as the site has them, then its own.
bool SecondPatients(std::vector<SitePatient>& patients, std::wstring& error)
{
    for (const wchar_t* name : kSharedPatients) {
        size_t i = 0;
        while (i < DemoPatients().size() && wcscmp(DemoPatients()[i].name1, name) != 0)
            ++i;
        if (i == DemoPatients().size()) {
            error = L"no demo patient named " + std::wstring(name);
            return false;
        }
        patients.push_back(DemoPatients()[i]);
    }
    patients.insert(patients.end(), std::begin(kOwnPatients), std::end(kOwnPatients));
    return true;
}

// A site image the second workstation holds a copy of: its picture as the
// site shows it (pixels, date, display values) and its description.
struct SiteCopy {
    DPicturePtr picture;
    bool described = false;
    std::wstring description;
    LONG diagHelp = 0;
};

// Reads the patient's first site images from the site's database, which is
// closed again. False with the reason.
bool ReadSiteCopies(const std::wstring& siteFolder, const SitePatient& patient, std::vector<SiteCopy>& copies,
                    std::wstring& error)
{
    if (!UseDataFolder(siteFolder, error) || !OpenSiteDatabase(siteFolder + kSiteDatabaseFile, error))
        return false;
    struct Row {
        LONG image = 0;
        std::wstring fileName;
    };
    std::vector<Row> rows;
    try {
        BoundStatement query(g_DbSession, L"SELECT s.Snimok, s.[File name], s.Apicriz, s.DiagHelp FROM Snimok s "
                                          L"JOIN Patient p ON p.Patient=s.Patient WHERE p.Name1=? AND p.Name2=? "
                                          L"AND p.Name3=? AND s.[File name] IS NOT NULL ORDER BY s.Snimok;");
        query.Params().SetStr(1, patient.name1, -1);
        query.Params().SetStr(2, patient.name2, -1);
        query.Params().SetStr(3, patient.name3, -1);
        query.Execute();
        while (rows.size() < kCopies && query.Next()) {
            Row row;
            int length = 0;
            const wchar_t* name = RowTextPtr(query.Row(), 1, &length);
            if (!RowInt(query.Row(), 0, &row.image) || !name)
                continue;
            row.fileName.assign(name, (size_t)length);
            SiteCopy copy;
            if (const wchar_t* text = RowTextPtr(query.Row(), 2, &length)) {
                copy.described = true;
                copy.description.assign(text, (size_t)length);
                RowInt(query.Row(), 3, &copy.diagHelp);
            }
            rows.push_back(row);
            copies.push_back(copy);
        }
    } catch (const DODBErrors& errors) {
        error = L"cannot read the site's images: " + DatabaseText(errors);
        CloseSiteDatabase();
        return false;
    }
    bool ok = true;
    for (size_t i = 0; i < rows.size() && ok; ++i) {
        try {
            copies[i].picture = LoadPictureFileEx((DWORD)rows[i].image, rows[i].fileName.c_str());
        } catch (...) {
        }
        ok = copies[i].picture.Get() != nullptr;
        if (!ok)
            error = L"cannot read the site's image " + rows[i].fileName;
    }
    CloseSiteDatabase();
    return ok;
}

// Saves the copy as a new image of the patient, with the site's description.
bool SaveCopy(const SiteCopy& copy, long patient, std::wstring& error)
{
    static uint8_t lut[kLutTableBytes];
    DPicture* picture = copy.picture.Get();
    picture->patient.SetPatientId((uint32_t)patient);
    BuildDisplayLut(lut, picture->displayOffset, picture->displayWidth, 0.0);
    if (!SaveSnimokTx(copy.picture, lut)) {
        error = L"the copy of a site image could not be saved";
        return false;
    }
    if (!copy.described)
        return true;
    DODBPtr<DODBBindParam> params;
    params.CreateNew();
    params->SetStr(1, copy.description.c_str(), (int)copy.description.size());
    params->SetValI4(2, copy.diagHelp);
    params->SetValI4(3, (LONG)picture->imageId);
    return RunSiteStatement(L"UPDATE Snimok SET Apicriz=?, DiagHelp=(SELECT DiagHelp FROM DiagHelp WHERE DiagHelp=?) "
                            L"WHERE Snimok=?;",
                            params, error);
}

bool FillSecondWorkstation(const SiteOptions& options, const std::vector<SitePatient>& patients,
                           const std::vector<SiteCopy>& copies, std::wstring& error)
{
    const std::vector<long> ids = InsertSitePatients(patients, error);
    if (ids.empty() || !InsertSiteTemplates(options.russian, error))
        return false;
    for (const SiteCopy& copy : copies)
        if (!SaveCopy(copy, ids[0], error))
            return false;
    for (const OwnImage& own : kOwnImages) {
        const DWORD image = SaveSiteRadiograph(ids[own.patient], own.number, options.width, options.height,
                                               own.daysBack, error);
        if (!image || (own.templateNumber >= 0 && !DescribeSiteImage((long)image, (size_t)own.templateNumber, error)))
            return false;
    }
    return true;
}

}  // namespace

bool BuildSecondWorkstation(const SiteOptions& options, const std::wstring& siteFolder, std::wstring& error)
{
    std::vector<SitePatient> patients;
    std::vector<SiteCopy> copies;
    if (!SecondPatients(patients, error) || !ReadSiteCopies(siteFolder, patients[0], copies, error))
        return false;
    std::wstring folder, finalFolder;
    SiteFolders(options, folder, finalFolder);
    if (!MakeDataFolder(folder, finalFolder, options.schemaFile, error))
        return false;
    const bool ok = FillSecondWorkstation(options, patients, copies, error);
    CloseSiteDatabase();
    return ok;
}

bool WriteDemoMergeSettings(const std::wstring& dbPath, std::wstring& error)
{
    std::wstring path = dbPath;
    while (!path.empty() && path.back() == L'\\')
        path.pop_back();
    HKEY root = nullptr;
    LONG status = OpenSettingsKey(nullptr, KEY_ALL_ACCESS, true, &root);
    if (status != ERROR_SUCCESS) {
        error = L"cannot open the settings key (error " + std::to_wstring(status) + L")";
        return false;
    }
    // Written whole every time: nothing of an earlier configuration stays.
    status = RegDeleteTreeW(root, kImportKey);
    if (status == ERROR_FILE_NOT_FOUND)
        status = ERROR_SUCCESS;
    auto setString = [&](const std::wstring& subKey, const wchar_t* name, const wchar_t* value) {
        if (status == ERROR_SUCCESS)
            status = RegSetKeyValueW(root, subKey.c_str(), name, REG_SZ, value,
                                     (DWORD)((wcslen(value) + 1) * sizeof(wchar_t)));
    };
    auto setDword = [&](const std::wstring& subKey, const wchar_t* name, DWORD value) {
        if (status == ERROR_SUCCESS)
            status = RegSetKeyValueW(root, subKey.c_str(), name, REG_DWORD, &value, sizeof value);
    };
    const std::wstring import = kImportKey;
    setString(import, L"DBPath", path.c_str());
    for (const MergeColumn& column : kMergeColumns) {
        const std::wstring key = import + L"\\" + column.list + L"\\" + column.name;
        setDword(key, L"CType", column.type);
        setDword(key, L"MaxSize", column.maxSize);
        setDword(key, L"Req", column.key);
    }
    setString(import + L"\\FormatPatient", L"formatstring", kFormatString);
    for (size_t i = 0; i < sizeof kFormatColumns / sizeof kFormatColumns[0]; ++i)
        setString(import + L"\\FormatPatient\\" + std::to_wstring(i + 1), L"name", kFormatColumns[i]);
    RegCloseKey(root);
    if (status != ERROR_SUCCESS) {
        error = L"cannot write the merge settings (error " + std::to_wstring(status) + L")";
        return false;
    }
    return true;
}

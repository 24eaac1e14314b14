#include "tools/demosite/sitebuilder.h"

#include "database/dbbindparam.h"
#include "database/dberrors.h"
#include "database/dbparams.h"
#include "database/dbstart.h"
#include "database/dbstatement.h"
#include "foundation/settingskey.h"
#include "images/files/datafolders.h"
#include "images/pixels/displaylut.h"
#include "images/files/snimokdb.h"
#include "tools/demosite/radiograph.h"
#include "tools/demosite/secondsite.h"
#include "tools/demosite/sitedatabase.h"

#include <algorithm>
#include <vector>

namespace {

struct Template {
    const wchar_t* name;
    const wchar_t* text;
};

// The diagnosis templates and modalities of the site, in its language.
const Template kTemplatesRu[] = {
    {L"Норма (грудная клетка)", L"Лёгочные поля без очаговых и инфильтративных теней. Корни структурны. "
                                 L"Синусы свободны. Сердце и аорта без особенностей."},
    {L"Пневмония", L"В нижней доле правого лёгкого инфильтрация лёгочной ткани. Рекомендован контроль через 10 дней."},
    {L"Перелом", L"Определяется линия перелома без значительного смещения отломков."},
    {L"Остеохондроз", L"Высота межпозвонковых дисков снижена, краевые костные разрастания."},
};
const Template kTemplatesEn[] = {
    {L"Normal chest", L"Lung fields clear without focal or infiltrative shadows. Hila structured. "
                      L"Sinuses free. Heart and aorta unremarkable."},
    {L"Pneumonia", L"Infiltration of the lung tissue in the lower lobe of the right lung. Control in 10 days."},
    {L"Fracture", L"Transverse fracture line without significant displacement of the fragments."},
    {L"Osteochondrosis", L"Intervertebral disc heights reduced, marginal bony outgrowths."},
};

const wchar_t* const kModalitiesRu[] = {L"CR", L"DX", L"RF", L"Флюорография"};
const wchar_t* const kModalitiesEn[] = {L"CR", L"DX", L"RF", L"Fluorography"};

// The demo clinic's header of the picture sheets, value by value.
const wchar_t* const kHeaderValues[] = {L"Company1", L"Company2", L"Address", L"Phon", L"Cabinet"};
const wchar_t* const kHeaderRu[] = {L"Городская поликлиника № 1", L"Рентгеновское отделение",
                                    L"ул. Больничная, 12", L"тел. (495) 010-20-30", L"Рентгеновский кабинет № 104"};
const wchar_t* const kHeaderEn[] = {L"City Clinic No. 1", L"X-ray Department", L"12 Hospital Street, Springfield",
                                    L"Tel. (555) 010-2030", L"X-ray room 104"};
const size_t kHeaderCount = sizeof kHeaderValues / sizeof kHeaderValues[0];

// The images of the demo site go to the first patients several at a time, so
// that their strips show something at first sight: the first three patients
// get four images each, every later patient one.
const int kBusyPatients = 3;
const int kImagesPerBusyPatient = 4;

size_t PatientOfImage(int image, size_t patients)
{
    const int busy = kBusyPatients * kImagesPerBusyPatient;
    if (patients <= static_cast<size_t>(kBusyPatients))
        return static_cast<size_t>(image) % patients;
    if (image < busy)
        return static_cast<size_t>(image / kImagesPerBusyPatient);
    return kBusyPatients + static_cast<size_t>(image - busy) % (patients - kBusyPatients);
}

FILETIME DateOf(int year, int month, int day)
{
    SYSTEMTIME st = {};
    st.wYear = (WORD)year;
    st.wMonth = (WORD)month;
    st.wDay = (WORD)day;
    FILETIME ft = {};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

bool WriteInitFile(const std::wstring& folder, const std::wstring& finalFolder, std::wstring& error)
{
    const std::wstring text = SiteInitString(finalFolder + kSiteDatabaseFile);
    const std::wstring path = folder + L"dbinit.cfg";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = L"cannot create " + path;
        return false;
    }
    const wchar_t bom = 0xFEFF;
    DWORD done = 0;
    bool ok = WriteFile(file, &bom, 2, &done, nullptr) &&
              WriteFile(file, text.c_str(), (DWORD)(text.size() * 2), &done, nullptr);
    CloseHandle(file);
    if (!ok)
        error = L"cannot write " + path;
    return ok;
}

bool MakeFolder(const std::wstring& path, std::wstring& error)
{
    if (CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS)
        return true;
    error = L"cannot create the folder " + path;
    return false;
}

}  // namespace

bool MakeDataFolder(const std::wstring& folder, const std::wstring& finalFolder, const std::wstring& schemaFile,
                    std::wstring& error)
{
    if (!MakeFolder(folder, error) || !MakeFolder(folder + L"Image", error) || !MakeFolder(folder + L"Icon", error) ||
        !UseDataFolder(folder, error))
        return false;
    return WriteInitFile(folder, finalFolder, error) &&
           CreateSiteDatabase(folder + kSiteDatabaseFile, schemaFile, error);
}

bool UseDataFolder(const std::wstring& folder, std::wstring& error)
{
    const std::wstring image = folder + L"Image\\", icon = folder + L"Icon\\";
    if (image.size() >= MAX_PATH - 32) {
        error = L"the data folder's path is too long";
        return false;
    }
    wcscpy(ImageFolder, image.c_str());
    wcscpy(IconFolder, icon.c_str());
    return true;
}

const std::vector<SitePatient>& DemoPatients()
{
    static const std::vector<SitePatient> patients = {
        {L"Иванов", L"Иван", L"Петрович", 1956, 3, 14, 1},
        {L"Петрова", L"Анна", L"Сергеевна", 1978, 11, 2, 0},
        {L"Сидоров", L"Алексей", L"Николаевич", 1990, 7, 21, 1},
        {L"Кузнецова", L"Мария", L"Игоревна", 1965, 1, 30, 0},
        {L"Смирнов", L"Дмитрий", L"Андреевич", 2001, 5, 9, 1},
        {L"Попова", L"Елена", L"Викторовна", 1949, 12, 25, 0},
        {L"Васильев", L"Сергей", L"Олегович", 1983, 8, 17, 1},
        {L"Соколова", L"Ольга", L"Павловна", 1972, 4, 3, 0},
        {L"Михайлов", L"Андрей", L"Юрьевич", 1995, 9, 12, 1},
        {L"Новикова", L"Татьяна", L"Александровна", 1960, 6, 6, 0},
        {L"Фёдоров", L"Николай", L"Григорьевич", 1938, 2, 28, 1},
        {L"Морозова", L"Светлана", L"Борисовна", 1987, 10, 19, 0},
        {L"Волков", L"Павел", L"Ильич", 2010, 3, 1, 1},
        {L"Алексеева", L"Наталья", L"Дмитриевна", 1969, 7, 7, 0},
        {L"Лебедев", L"Юрий", L"Михайлович", 1952, 11, 11, 1},
        {L"Семёнова", L"Ирина", L"Владимировна", 1993, 1, 15, 0},
        {L"Егоров", L"Виктор", L"Степанович", 1944, 5, 5, 1},
        {L"Павлова", L"Людмила", L"Ивановна", 1958, 8, 8, 0},
        {L"Козлов", L"Артём", L"Евгеньевич", 2005, 12, 31, 1},
        {L"Степанова", L"Галина", L"Фёдоровна", 1947, 4, 22, 0},
        {L"Smith", L"John", L"", 1970, 6, 15, 1},
        {L"Johnson", L"Emily", L"Rose", 1985, 2, 14, 0},
        {L"O'Brien", L"Patrick", L"", 1962, 3, 17, 1},
        {L"Müller", L"Hans", L"Peter", 1955, 9, 30, 1},
        {L"García", L"María", L"José", 1999, 11, 5, 0},
        {L"Nowak", L"Katarzyna", L"", 1976, 7, 28, 0},
        {L"Brown", L"Michael", L"James", 1941, 1, 1, 1},
        {L"Dubois", L"Claire", L"", 1988, 10, 10, 0},
        {L"Rossi", L"Marco", L"", 1967, 5, 20, 1},
        {L"Андреева", L"Вера", L"Николаевна", 1935, 9, 1, 0},
        {L"Захаров", L"Константин", L"Львович", 1980, 2, 29, 1},
        {L"Яковлева", L"Дарья", L"Максимовна", 2015, 6, 1, 0},
        {L"Эйдельман", L"Борис", L"Аронович", 1950, 12, 12, 1},
        {L"Ёлкина", L"Зоя", L"Петровна", 1973, 3, 8, 0},
        {L"Chen", L"Wei", L"", 1992, 8, 8, 1},
        {L"Kowalski", L"Jan", L"", 1959, 4, 4, 1},
    };
    return patients;
}

std::vector<long> InsertSitePatients(const std::vector<SitePatient>& patients, std::wstring& error)
{
    for (const SitePatient& patient : patients) {
        DODBPtr<DODBBindParam> params;
        params.CreateNew();
        params->SetStr(1, patient.name1, -1);
        params->SetStr(2, patient.name2, -1);
        params->SetStr(3, patient.name3, -1);
        params->SetValDate(4, DateOf(patient.year, patient.month, patient.day));
        params->SetValI4(5, patient.sex);
        if (!RunSiteStatement(L"INSERT INTO Patient (Name1, Name2, Name3, Birthday, Pol) VALUES (?, ?, ?, ?, ?);",
                              params, error))
            return {};
    }
    // The keys the database gave, in the order of insertion.
    std::vector<long> ids;
    if (!ReadSiteKeys(L"SELECT Patient FROM Patient ORDER BY Patient;", ids, error))
        return {};
    if (ids.size() != patients.size()) {
        error = L"the patients did not come back";
        return {};
    }
    return ids;
}

bool InsertSiteTemplates(bool russian, std::wstring& error)
{
    const Template* templates = russian ? kTemplatesRu : kTemplatesEn;
    const size_t templateCount = russian ? sizeof kTemplatesRu / sizeof kTemplatesRu[0]
                                         : sizeof kTemplatesEn / sizeof kTemplatesEn[0];
    for (size_t i = 0; i < templateCount; ++i) {
        const Template& t = templates[i];
        DODBPtr<DODBBindParam> params;
        params.CreateNew();
        params->SetStr(1, t.name, -1);
        params->SetStr(2, t.text, -1);
        if (!RunSiteStatement(L"INSERT INTO DiagHelp (Txt, DiagTemplate) VALUES (?, ?);", params, error))
            return false;
    }
    for (const wchar_t* name : russian ? kModalitiesRu : kModalitiesEn) {
        DODBPtr<DODBBindParam> params;
        params.CreateNew();
        params->SetStr(1, name, -1);
        if (!RunSiteStatement(L"INSERT INTO Modality (Name) VALUES (?);", params, error))
            return false;
    }
    return true;
}

std::vector<long> FillSiteTables(std::wstring& error, bool russian)
{
    std::vector<long> ids = InsertSitePatients(DemoPatients(), error);
    if (ids.empty() || !InsertSiteTemplates(russian, error))
        return {};
    return ids;
}

DWORD SaveSiteRadiograph(long patientId, int number, int width, int height, int daysBack, std::wstring& error)
{
    static uint8_t lut[kLutTableBytes];
    const RadiographKind kind = number % 3 == 2 ? RadiographKind::Limb : RadiographKind::Chest;
    const int bits = 12 + number % 3;
    // Limbs are taken on a narrower plate.
    const int w = kind == RadiographKind::Limb ? width * 3 / 5 : width;
    DPicturePtr picture = MakeRadiograph(w, height, bits, 1000u + (unsigned)number, kind);
    if (!picture.Get()) {
        error = L"no memory for a radiograph";
        return 0;
    }
    picture->patient.SetPatientId((uint32_t)patientId);
    SYSTEMTIME now;
    GetSystemTime(&now);
    FILETIME today;
    SystemTimeToFileTime(&now, &today);
    ULARGE_INTEGER date;
    date.LowPart = today.dwLowDateTime;
    date.HighPart = today.dwHighDateTime;
    date.QuadPart -= (ULONGLONG)daysBack * 864000000000ull;
    picture->imageDate.dwLowDateTime = date.LowPart;
    picture->imageDate.dwHighDateTime = date.HighPart;
    picture->negative = number % 5 == 4 ? 1 : 0;
    BuildDisplayLut(lut, picture->displayOffset, picture->displayWidth, 0.0);
    if (!SaveSnimokTx(picture, lut)) {
        error = L"the image could not be saved";
        return 0;
    }
    return picture->imageId;
}

bool MakeSiteImages(const std::vector<long>& patientIds, int count, int width, int height, std::wstring& error)
{
    if (patientIds.empty())
        return count <= 0;
    for (int i = 0; i < count; ++i) {
        if (!SaveSiteRadiograph(patientIds[PatientOfImage(i, patientIds.size())], i, width, height, i * 37 % 400,
                                error))
            return false;
    }
    return true;
}

bool DescribeSiteImage(long image, size_t templateNumber, std::wstring& error)
{
    std::vector<long> templates;
    if (!ReadSiteKeys(L"SELECT DiagHelp FROM DiagHelp ORDER BY DiagHelp;", templates, error))
        return false;
    if (templates.empty())
        return true;
    // The description is the template's text, as the note window fills it
    // when one is chosen.
    const long key = templates[templateNumber % templates.size()];
    DODBPtr<DODBBindParam> params;
    params.CreateNew();
    params->SetValI4(1, key);
    params->SetValI4(2, key);
    params->SetValI4(3, image);
    return RunSiteStatement(L"UPDATE Snimok SET DiagHelp=?, Apicriz=(SELECT DiagTemplate FROM DiagHelp WHERE "
                            L"DiagHelp=?) WHERE Snimok=?;",
                            params, error);
}

bool DescribeSiteImages(int count, std::wstring& error)
{
    std::vector<long> images;
    if (!ReadSiteKeys(L"SELECT Snimok FROM Snimok ORDER BY Snimok;", images, error))
        return false;
    // The first images, each with the next template.
    for (int i = 0; i < count && i < static_cast<int>(images.size()); ++i) {
        if (!DescribeSiteImage(images[static_cast<size_t>(i)], static_cast<size_t>(i), error))
            return false;
    }
    return true;
}

void SiteFolders(const SiteOptions& options, std::wstring& folder, std::wstring& finalFolder)
{
    folder = options.dataFolder;
    if (folder.empty() || folder.back() != L'\\')
        folder += L'\\';
    finalFolder = options.finalFolder.empty() ? folder : options.finalFolder;
    if (finalFolder.back() != L'\\')
        finalFolder += L'\\';
}

bool BuildDemoSite(const SiteOptions& options, std::wstring& error)
{
    std::wstring folder, finalFolder;
    SiteFolders(options, folder, finalFolder);
    if (!MakeDataFolder(folder, finalFolder, options.schemaFile, error))
        return false;
    std::vector<long> ids = FillSiteTables(error, options.russian);
    // The patients with several images are those the list shows first.
    std::vector<long> byName;
    if (ids.size() == DemoPatients().size()) {
        std::vector<size_t> order(ids.size());
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(), [](size_t a, size_t b) {
            return wcscmp(DemoPatients()[a].name1, DemoPatients()[b].name1) < 0;
        });
        for (size_t i : order)
            byName.push_back(ids[i]);
    }
    bool ok = !byName.empty() && MakeSiteImages(byName, options.images, options.width, options.height, error) &&
              DescribeSiteImages(kBusyPatients * kImagesPerBusyPatient / 2, error);
    CloseSiteDatabase();
    if (!ok)
        return false;
    // The second workstation beside it, made from the site; then the site's
    // folders are the program's again.
    SiteOptions second = options;
    second.dataFolder = folder + kSecondWorkstation + L"\\";
    second.finalFolder = finalFolder + kSecondWorkstation + L"\\";
    return BuildSecondWorkstation(second, folder, error) && UseDataFolder(folder, error);
}

bool WriteDemoHeader(bool russian, std::wstring& error)
{
    HKEY key = nullptr;
    LONG status = OpenSettingsKey(L"Header", KEY_READ | KEY_SET_VALUE, true, &key);
    if (status != ERROR_SUCCESS) {
        error = L"cannot open the settings key \"Header\" (error " + std::to_wstring(status) + L")";
        return false;
    }
    // A value the user typed is neither demo clinic's: then the header is theirs.
    bool demo = true;
    for (size_t i = 0; i < kHeaderCount && demo; ++i) {
        wchar_t text[300] = L"";
        DWORD type = 0, size = sizeof text - sizeof(wchar_t);
        if (RegQueryValueExW(key, kHeaderValues[i], nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS)
            continue;
        text[size / sizeof(wchar_t)] = 0;
        demo = type == REG_SZ && (text[0] == 0 || wcscmp(text, kHeaderRu[i]) == 0 || wcscmp(text, kHeaderEn[i]) == 0);
    }
    const wchar_t* const* values = russian ? kHeaderRu : kHeaderEn;
    for (size_t i = 0; i < kHeaderCount && demo && status == ERROR_SUCCESS; ++i)
        status = RegSetValueExW(key, kHeaderValues[i], 0, REG_SZ, reinterpret_cast<const BYTE*>(values[i]),
                                static_cast<DWORD>((wcslen(values[i]) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        error = L"cannot write the clinic header (error " + std::to_wstring(status) + L")";
        return false;
    }
    return true;
}

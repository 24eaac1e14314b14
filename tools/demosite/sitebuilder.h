// The demo site: a data folder with "dbinit.cfg", the database made from the
// schema through the provider, a few dozen patients with Cyrillic and Latin
// names, diagnosis templates, modalities, and synthetic radiographs saved as
// new images by the system's own save (".xmg", ".thb" and their rows); beside
// them the data folder of a second workstation whose database the merge takes
// (secondsite.h).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct SiteOptions {
    std::wstring dataFolder;        // ends with a backslash
    std::wstring finalFolder;       // where the site will live, named by "dbinit.cfg"; empty: dataFolder
    std::wstring schemaFile;
    int images = 24;                // radiographs to make
    int width = 2500, height = 3000;
    bool russian = true;            // the language of the templates and modalities
};

struct SitePatient {
    const wchar_t* name1;
    const wchar_t* name2;
    const wchar_t* name3;
    int year, month, day;
    int sex;                        // non-zero: male
};

// The database file of a site's data folder.
const wchar_t kSiteDatabaseFile[] = L"demo.db";

// The demo patients, in the order they are inserted.
const std::vector<SitePatient>& DemoPatients();

// The options' data folder and the folder "dbinit.cfg" names (the data
// folder when no final folder is given: a site made in a work folder and
// renamed into place names its final folder), each with its backslash.
void SiteFolders(const SiteOptions& options, std::wstring& folder, std::wstring& finalFolder);

// Makes a data folder: the folder, its "Image\" and "Icon\" (made the
// program's folders), "dbinit.cfg" naming the database in `finalFolder`, and
// the empty database from the schema, left open as the process-wide one.
// Both folders end with a backslash. False with the reason.
bool MakeDataFolder(const std::wstring& folder, const std::wstring& finalFolder, const std::wstring& schemaFile,
                    std::wstring& error);
// Makes "Image\" and "Icon\" of the data folder (with its backslash) the
// program's folders; false when the path is too long.
bool UseDataFolder(const std::wstring& folder, std::wstring& error);

// Inserts the patients on the open database, which holds none yet; returns
// their keys in their order, empty on failure (the reason in `error`).
std::vector<long> InsertSitePatients(const std::vector<SitePatient>& patients, std::wstring& error);
// Inserts the diagnosis templates and modalities in the language.
bool InsertSiteTemplates(bool russian, std::wstring& error);
// Inserts the demo patients, templates and modalities on the open database;
// returns the patients' keys in the order of DemoPatients(), empty on failure
// (the reason in `error`).
std::vector<long> FillSiteTables(std::wstring& error, bool russian = true);

// Makes radiograph `number` of the site (its number sets its seed, kind, depth
// and negative flag) of width x height for the patient, dated `daysBack` days
// before now, and saves it as a new image; its key, or 0 with the reason.
DWORD SaveSiteRadiograph(long patientId, int number, int width, int height, int daysBack, std::wstring& error);
// Makes `count` radiographs for the patients (round robin) of width x height
// and saves each as a new image; false with the reason on the first failure.
bool MakeSiteImages(const std::vector<long>& patientIds, int count, int width, int height, std::wstring& error);

// Gives the image the description of template `templateNumber` (counted in
// the templates' order, round robin); false with the reason.
bool DescribeSiteImage(long image, size_t templateNumber, std::wstring& error);
// Gives the first `count` images a description made from the templates, in
// turn; false with the reason.
bool DescribeSiteImages(int count, std::wstring& error);

// The whole site in options.dataFolder: folders, dbinit.cfg, database, rows
// and images, and its second workstation (secondsite.h). The database is
// closed afterwards, the site's image folders are the program's. False with
// the reason.
bool BuildDemoSite(const SiteOptions& options, std::wstring& error);

// The clinic header of the picture sheets ("Header" below the settings key:
// "Company1", "Company2", "Address", "Phon", "Cabinet"), the demo clinic's in
// the language. Written when the key holds no header or a demo one (of either
// language); a header the user has set is kept. False with the reason when
// the key cannot be written.
bool WriteDemoHeader(bool russian, std::wstring& error);

// The demo site: a data folder with "dbinit.cfg", the database made from the
// schema through the provider, a few dozen patients with Cyrillic and Latin
// names, diagnosis templates, modalities, and synthetic radiographs saved as
// new images by the system's own save (".xmg", ".thb" and their rows).
#pragma once

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

// The demo patients, in the order they are inserted.
const std::vector<SitePatient>& DemoPatients();

// Inserts the demo patients, templates and modalities on the open database;
// returns the patients' keys in the order of DemoPatients(), empty on failure
// (the reason in `error`).
std::vector<long> FillSiteTables(std::wstring& error, bool russian = true);

// Makes `count` radiographs for the patients (round robin) of width x height
// and saves each as a new image; false with the reason on the first failure.
bool MakeSiteImages(const std::vector<long>& patientIds, int count, int width, int height, std::wstring& error);

// The whole site in options.dataFolder: folders, dbinit.cfg, database, rows
// and images. The database is closed afterwards. False with the reason.
// Gives the first `count` images a description made from the templates, in
// turn; false with the reason.
bool DescribeSiteImages(int count, std::wstring& error);
bool BuildDemoSite(const SiteOptions& options, std::wstring& error);

// The clinic header of the picture sheets ("Header" below the settings key:
// "Company1", "Company2", "Address", "Phon", "Cabinet"), the demo clinic's in
// the language. Written when the key holds no header or a demo one (of either
// language); a header the user has set is kept. False with the reason when
// the key cannot be written.
bool WriteDemoHeader(bool russian, std::wstring& error);

// The demo site's second workstation: the data folder of another X-ray room,
// kept in the site's folder ("Workstation2"), whose database the main
// window's "Merge databases" merges into the site's, and the merge settings
// that name it.
//
// It holds what a workstation installed from the site's backup a while ago
// would hold: its own database made from the same schema, the site's
// templates and modalities, some of the site's patients (the same names and
// birthday) with copies of some of their images (the same pixels, date,
// display values and description), and since then a few patients of its own
// (a namesake of a site patient born in another year among them) and images
// of its own, some described, every one saved by the system's own save. A
// merge brings its own images and patients and finds the copies here already.
#pragma once

#include "tools/demosite/sitebuilder.h"

#include <string>

// The second workstation's folder in the site's data folder.
extern const wchar_t kSecondWorkstation[];

// Makes the second workstation in options.dataFolder ("dbinit.cfg" naming its
// database in options.finalFolder; image size and language from the options)
// from the site in `siteFolder` (with its backslash), whose database is read
// and closed again and whose images are copied. The new database is closed
// afterwards; the program's image folders are left on the new data folder.
// False with the reason.
bool BuildSecondWorkstation(const SiteOptions& options, const std::wstring& siteFolder, std::wstring& error);

// Installs the site's merge settings ("ImportSettings" below the settings
// key): "DBPath" the second workstation's folder (`dbPath`; a trailing
// backslash is dropped), the patient's names and birthday as his keys, his
// sex carried over, the image's orientation, scale and description carried
// over, the patient shown by his names. Whatever the key held before is
// replaced. False with the reason.
bool WriteDemoMergeSettings(const std::wstring& dbPath, std::wstring& error);

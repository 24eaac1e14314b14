// demosite.exe: builds the demo site of the workstation.
//
//   demosite <data folder> [--schema <file>] [--images <count>] [--size <width>x<height>]
//            [--language en|ru] [--final-folder <folder>] [--second-workstation-of <site folder>]
//   demosite --header en|ru
//   demosite --merge-settings <folder>
//
// The data folder gets "dbinit.cfg", the database "demo.db" made from the
// schema (default "site\schema.sql") through the provider, the "Image\" and
// "Icon\" folders and their files: the first patients several images each,
// the first images a description; and the second workstation in its folder
// "Workstation2" (secondsite.h). The diagnosis templates and modalities are
// in the language given (Russian unless "en"). "dbinit.cfg" names the
// database in the final folder when one is given (a site made in a work
// folder, then renamed). With --second-workstation-of the data folder gets
// only the second workstation of that existing site. Messages the save would
// show are printed. The site's settings are written at every start: with
// --header alone it writes the demo clinic's header of the picture sheets in
// the language into the settings key, unless the user has set a header of
// their own; with --merge-settings, the merge settings naming the folder.
#include "foundation/prompt.h"
#include "tools/demosite/secondsite.h"
#include "tools/demosite/sitebuilder.h"

#include <objbase.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

namespace {

int PrintPrompt(HWND, const wchar_t* text, const wchar_t* caption, UINT)
{
    fwprintf(stderr, L"demosite: %ls%ls%ls\n", caption ? caption : L"", caption ? L": " : L"", text ? text : L"");
    return IDOK;
}

int Usage()
{
    fwprintf(stderr, L"usage: demosite <data folder> [--schema <file>] [--images <count>] "
                     L"[--size <width>x<height>] [--language en|ru] [--final-folder <folder>] "
                     L"[--second-workstation-of <site folder>]\n"
                     L"       demosite --header en|ru\n"
                     L"       demosite --merge-settings <folder>\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 3 && std::wstring(argv[1]) == L"--header") {
        const std::wstring language = argv[2];
        if (language != L"en" && language != L"ru")
            return Usage();
        std::wstring error;
        if (!WriteDemoHeader(language == L"ru", error)) {
            fwprintf(stderr, L"demosite: %ls\n", error.c_str());
            return 1;
        }
        return 0;
    }
    if (argc == 3 && std::wstring(argv[1]) == L"--merge-settings") {
        std::wstring error;
        if (!WriteDemoMergeSettings(argv[2], error)) {
            fwprintf(stderr, L"demosite: %ls\n", error.c_str());
            return 1;
        }
        return 0;
    }
    SiteOptions options;
    std::wstring siteFolder;   // --second-workstation-of
    options.schemaFile = L"site\\schema.sql";
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--schema" && i + 1 < argc) {
            options.schemaFile = argv[++i];
        } else if (arg == L"--images" && i + 1 < argc) {
            options.images = _wtoi(argv[++i]);
        } else if (arg == L"--size" && i + 1 < argc) {
            if (swscanf(argv[++i], L"%dx%d", &options.width, &options.height) != 2)
                return Usage();
        } else if (arg == L"--second-workstation-of" && i + 1 < argc) {
            siteFolder = argv[++i];
            if (siteFolder.empty())
                return Usage();
            if (siteFolder.back() != L'\\')
                siteFolder += L'\\';
        } else if (arg == L"--final-folder" && i + 1 < argc) {
            options.finalFolder = argv[++i];
        } else if (arg == L"--language" && i + 1 < argc) {
            const std::wstring language = argv[++i];
            if (language != L"en" && language != L"ru")
                return Usage();
            options.russian = language == L"ru";
        } else if (!arg.empty() && arg[0] != L'-' && options.dataFolder.empty()) {
            options.dataFolder = arg;
        } else {
            return Usage();
        }
    }
    if (options.dataFolder.empty() || options.images < 0 || options.width < 64 || options.height < 64)
        return Usage();

    SetPromptHook(PrintPrompt);
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        fwprintf(stderr, L"demosite: COM cannot start\n");
        return 1;
    }
    std::wstring error;
    const bool ok = siteFolder.empty() ? BuildDemoSite(options, error)
                                       : BuildSecondWorkstation(options, siteFolder, error);
    CoUninitialize();
    if (!ok) {
        fwprintf(stderr, L"demosite: %ls\n", error.c_str());
        return 1;
    }
    if (siteFolder.empty())
        wprintf(L"demosite: %d images in %ls\n", options.images, options.dataFolder.c_str());
    else
        wprintf(L"demosite: the second workstation of %ls in %ls\n", siteFolder.c_str(), options.dataFolder.c_str());
    return 0;
}

// demosite.exe: builds the demo site of the workstation.
//
//   demosite <data folder> [--schema <file>] [--images <count>] [--size <width>x<height>]
//            [--language en|ru] [--final-folder <folder>]
//   demosite --header en|ru
//
// The data folder gets "dbinit.cfg", the database "demo.db" made from the
// schema (default "site\schema.sql") through the provider, the "Image\" and
// "Icon\" folders and their files: the first patients several images each,
// the first images a description. The diagnosis templates and modalities are
// in the language given (Russian unless "en"). "dbinit.cfg" names the
// database in the final folder when one is given (a site made in a work
// folder, then renamed). Messages the save would show
// are printed. With --header alone it writes the demo clinic's header of the
// picture sheets in the language into the settings key, unless the user has
// set a header of their own (the site's settings are written at every start).
#include "foundation/prompt.h"
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
                     L"[--size <width>x<height>] [--language en|ru] [--final-folder <folder>]\n"
                     L"       demosite --header en|ru\n");
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
    SiteOptions options;
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
    const bool ok = BuildDemoSite(options, error);
    CoUninitialize();
    if (!ok) {
        fwprintf(stderr, L"demosite: %ls\n", error.c_str());
        return 1;
    }
    wprintf(L"demosite: %d images in %ls\n", options.images, options.dataFolder.c_str());
    return 0;
}

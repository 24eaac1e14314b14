// What the initialization table asks of the archive side, declared here and
// filled in by it: the shell never includes its headers.
//
// The archive window ("ArjWindow Class") and the database disk preparation
// window ("DBDiskPreparation") are registered by the table's rows "Register
// ArjWindow" and "Register PrepDiskWnd". The archive side fills the table
// when the program is linked with it (archive/programservices.cpp, compiled
// into the program itself); an empty entry registers nothing and succeeds,
// as a row of a window class the program does not have.
#pragma once

struct ArchiveServices {
    bool (*registerArjWindow)();
    void (*unregisterArjWindow)();
    bool (*registerPrepDiskWnd)();
    void (*unregisterPrepDiskWnd)();
};

const ArchiveServices& GetArchiveServices();
// Installs a table; returns the one it replaces. ArchiveServices{} empties it.
ArchiveServices SetArchiveServices(const ArchiveServices& services);

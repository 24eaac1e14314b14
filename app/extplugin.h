// The external-program plug-in, the one kind of plug-in: it starts an outside
// program with a module path, a command line and a working folder.
//
// Registry, in the plug-in's key (app/plugins.h): the default value is the
// module, "CmdLine" the command line, "DefDir" the working folder (REG_SZ
// each). A value that is missing, empty or not text leaves its string empty;
// the plug-in is still listed and fails, when run, with the system's message.
#pragma once

#include "app/plugins.h"

class ExtProgramPlugin : public DPlugin {
public:
    // A new plug-in with empty strings and flags 0, or null when memory is short.
    static ExtProgramPlugin* Create();

    // The settings dialog ("Program"): 1 after OK, 0 after Close (nothing
    // changed then). The name is shown, not edited; the caller saves.
    int Setup(HWND owner) override;
    BOOL LoadSettings(DRegKey key) override;
    BOOL SaveSettings(DRegKey key) override;
    // CreateProcessW with the module (none when empty: Windows takes the
    // program from the command line), a private writable copy of the command
    // line, the working folder (none when empty: the program's own current
    // folder) and the kept start-up record; both handles are closed at once.
    // A failure shows the system's text for the error.
    void Run() override;
    BOOL CanRun() override { return 1; }

    const DString& Module() const { return module; }
    const DString& CmdLine() const { return cmdLine; }
    const DString& DefDir() const { return defDir; }
    void SetStrings(const wchar_t* moduleText, const wchar_t* cmdLineText, const wchar_t* defDirText);

private:
    ExtProgramPlugin();
    friend struct ProgramDialog;

    DString module;          // the default value: the program file
    DString defDir;          // "DefDir": the program's working folder
    DString cmdLine;         // "CmdLine"
    STARTUPINFOW startup;    // zero but for its size; given to every start
};

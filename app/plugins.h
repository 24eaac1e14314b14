// Plug-ins ("utilities" in the Russian texts): small named tools the staff
// start from the main patient window's "Plugins" button.
//
// Each plug-in is one registry key <settings root>\Plugins\<name>, whose name
// is the plug-in's name and its menu text. The key holds the three flags
// ("StartAuto", "StartManual", "Admin", REG_DWORD) and the values of the
// plug-in's kind; the one kind is the external program (app/extplugin.h).
// A flag of another type or size, or missing, takes its default (0).
//
// DPluginList, one per process, holds the plug-ins in the order the registry
// enumerates their keys. It is read once, when the first main window is
// created (LoadPlugins); the "Plugins" dialog changes the list and the
// registry together, the registry first: a plug-in enters the list only once
// its key is written and leaves it only once its key is deleted. An entry
// whose key could not be opened or whose object could not be made stays
// empty (null); every walk of the list passes over empty entries.
#pragma once

#include "foundation/dstring.h"
#include "foundation/registry.h"

#include <windows.h>

// The plug-in interface: the deleting destructor, then fifteen operations.
class IPlugin {
public:
    virtual ~IPlugin() {}
    virtual BOOL SetName(const wchar_t* text, int length) = 0;
    virtual const wchar_t* GetName() const = 0;       // null when empty
    virtual int GetNameLength() const = 0;
    virtual BOOL IsAutoStart() const = 0;
    virtual void SetAutoStart(BOOL value) = 0;
    virtual BOOL IsEnabled() const = 0;
    virtual void SetEnabled(BOOL value) = 0;
    virtual BOOL IsAdminOnly() const = 0;
    virtual void SetAdminOnly(BOOL value) = 0;
    // Shows the kind's settings dialog; nonzero when the user saved.
    virtual int Setup(HWND owner) = 0;
    // The kind's own values from / into the plug-in's open key.
    virtual BOOL LoadSettings(DRegKey key) = 0;
    virtual BOOL SaveSettings(DRegKey key) = 0;
    // Called with the plug-in's key before the key is deleted; 0 refuses.
    virtual BOOL OnRegistryKey(DRegKey key) = 0;
    virtual void Run() = 0;
    virtual BOOL CanRun() = 0;
};

// The name and the three flags every plug-in has.
class DPlugin : public IPlugin {
public:
    BOOL SetName(const wchar_t* text, int length) override;
    const wchar_t* GetName() const override;
    int GetNameLength() const override;
    BOOL IsAutoStart() const override { return autoStart; }
    void SetAutoStart(BOOL value) override { autoStart = value; }
    BOOL IsEnabled() const override { return disabled ? 0 : 1; }
    void SetEnabled(BOOL value) override { disabled = value ? 0 : 1; }
    BOOL IsAdminOnly() const override { return adminOnly; }
    void SetAdminOnly(BOOL value) override { adminOnly = value; }
    // Releases the key; 1.
    BOOL OnRegistryKey(DRegKey key) override;

protected:
    BOOL autoStart = 0;   // "StartAuto": run when the main window is created
    BOOL disabled = 0;    // "StartManual" nonzero: not offered in the menu
    BOOL adminOnly = 0;   // "Admin": offered to administrators only
    DString name;         // the key's name and the menu text
};

class DPluginList {
public:
    DPluginList() = default;
    ~DPluginList();   // deletes every plug-in
    DPluginList(const DPluginList&) = delete;
    DPluginList& operator=(const DPluginList&) = delete;

    int Count() const { return count_; }
    // The entry, null for an empty one or an index outside 0 to Count() - 1.
    DPlugin* At(int index) const;
    // The index of the plug-in of that name (compared ignoring case, as the
    // registry compares key names), or -1.
    int Find(const wchar_t* name) const;

    // Reads the list once: nothing happens while it holds entries. A missing
    // "Plugins" key gives an empty list.
    void Load();
    // Writes the plug-in's key (created when missing): the three flags, then
    // the kind's values. FALSE when the key or a value cannot be written.
    BOOL SavePlugin(DPlugin* plugin);
    // Writes the plug-in's key, then appends it; the list owns it from then
    // on. FALSE, with the list unchanged and the plug-in still the caller's,
    // for a plug-in without a name or with the name of one in the list, when
    // the key cannot be written or the list cannot grow.
    BOOL Add(DPlugin* plugin);
    // Deletes the entry's key (with anything below it), then the plug-in;
    // later entries move down by one. FALSE, with the list unchanged, for an
    // index outside the list or an empty entry, when the key cannot be
    // opened, the plug-in refuses, or the key cannot be deleted.
    BOOL Remove(int index);
    // Deletes every plug-in and empties the list, so that Load reads again.
    void Clear();

    // <settings root>\Plugins, and the key of one plug-in below the root.
    static void PluginsKeyPath(wchar_t* path, int capacity);
    static bool PluginKeyPath(const wchar_t* name, wchar_t* path, int capacity);

private:
    bool Grow();

    DPlugin** items_ = nullptr;   // owned; process heap; entries may be null
    int capacity_ = 0;
    int count_ = 0;
};

// The process's plug-ins.
extern DPluginList gPluginList;

// How DPluginList::Load makes the plug-in of a key: the external-program
// factory, unless a test puts another in its place (null: none made, the
// entry stays empty). Returns the factory it replaces; null restores the
// program's own.
typedef DPlugin* (*PluginFactory)(const wchar_t* keyName);
PluginFactory SetPluginFactory(PluginFactory factory);

// The main window's uses: the list read once, the automatic plug-ins started
// (in list order, the disabled and administrator-only ones too), whether the
// menu would offer anything, and the menu at a screen point.
void LoadPlugins();
void StartAutoPlugins();
// 1 when BuildPluginMenu would offer at least one plug-in.
int HasPluginMenuItems();
// The plug-ins offered to this user (enabled, and administrator-only ones
// only to administrators): none does nothing, exactly one runs at once,
// more show a menu whose choice runs.
void BuildPluginMenu(HWND owner, int x, int y);

// The "Plugins" management dialog (add, change, delete, run), modal.
void AddPluginDialog(HWND owner);

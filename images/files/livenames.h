// The files that live images' rows name, as a step that deletes or
// overwrites an image's files sees them (the archive jobs' steps, the
// shell's restore from the archive disk and its move to another patient):
// no step deletes (or overwrites with a copy it may delete) a file that
// the row of a live image (a Snimok row with a [File name]) names, whatever
// name its own row gives the file. Such a step builds each path it deletes
// or overwrites with DeletablePath.
//
// A row names a file as the file system finds it: without case, without
// trailing blanks and dots (StoredNameKey), and by a short-name alias: a
// live row "L000~AJC" names "L0000000000000001.xmg" of a folder whose file
// of that long name has that short name. So "s1" of DelImage names the file
// of the live "S1", and of two live rows "S1" and "s1" neither may delete the
// file the other names.
//
// A step reads the live rows once, after its work list (Track each name of
// it, then Read): only the rows whose names share a key with a tracked name
// are kept, and the few live names with "~", so the memory follows the work
// list, not the whole Snimok table. NamedByAnother then asks the file
// system only while such an alias exists: the work stays one lookup in a
// table a file.
#pragma once

#include "database/dbobject.h"
#include "database/dbsession.h"

#include <windows.h>

#include <string>
#include <unordered_map>

class LiveImageNames {
public:
    // No image row of the step's own (a DelImage row is none).
    static const LONG kNoRow = 0;

    // A name of the step's work list.
    void Track(const std::wstring& name);
    // Reads the live rows; throws DODBErrors.
    void Read(const DODBPtr<DODBSession>& session);
    // Whether a live row other than `self` (kNoRow: any) names the file at
    // `path`, built from the stored `name`.
    bool NamedByAnother(const std::wstring& path, const std::wstring& name, LONG self) const;
    // The path of the stored `name` below `folder` (ending with a backslash)
    // for a step that deletes or overwrites the file there: built by
    // BuildStoredFilePath, and only when no live row other than `self` names
    // the file. False, `path` empty and the reason journalled, otherwise.
    bool DeletablePath(std::wstring* path, const std::wstring& folder, const std::wstring& name,
                       const wchar_t* extension, LONG self) const;

private:
    struct Rows {
        LONG first = kNoRow;   // the first live row of the key
        bool several = false;  // more than one live row has it
    };
    // Whether a live row other than `self` has the key.
    bool KeyNamedByAnother(const std::wstring& key, LONG self) const;

    std::unordered_map<std::wstring, Rows> rows_;   // tracked keys and live aliases; first kNoRow: no live row
    bool aliases_ = false;                          // a live name has "~"
};

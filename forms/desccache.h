// DescCache: the parsed descriptions, kept for the life of the program and
// keyed by file name (compared without regard to case).
//
// Every user of a form or list description gets it from here, so a file is
// parsed once. A description that fails to parse is not kept: the failure
// is shown (text 752) and the next request parses and reports it again.
//
// State: a doubly linked list of entries {kind, description}, appended at
// the tail by CreateAndLoad and emptied only by Clear, which runs at the end
// of the program: it writes each description's settings and destroys it.
// Main thread only; there is no lock.
#pragma once

#include <windows.h>

class DescBase;
class DbFormDesc;
class FormDesc;

class DescCache {
public:
    // Kinds of entry.
    enum Kind { kDbForm = 0, kForm = 1 };

    DescCache() : head_(nullptr), tail_(nullptr), count_(0) {}
    // Destroys the descriptions without writing their settings.
    ~DescCache();
    DescCache(const DescCache&) = delete;
    DescCache& operator=(const DescCache&) = delete;

    // The process-wide cache.
    static DescCache& Instance();
    // The process-wide cache's descriptions of a terminated name; null when
    // the file cannot be parsed or the name is cached as the other kind.
    static DbFormDesc* DbFormDescFor(const wchar_t* name);
    static FormDesc* FormDescFor(const wchar_t* name);

    // The same on this cache; `length` -1 means a terminated name.
    DbFormDesc* GetDbFormDesc(const wchar_t* name, int length);
    FormDesc* GetFormDesc(const wchar_t* name, int length);

    // Writes every description's settings, destroys it and frees its entry.
    void Clear();
    int Count() const { return count_; }

    // True when the two names are equal ignoring case (application locale).
    static bool NameCompare(const wchar_t* a, int aLength, const wchar_t* b, int bLength);

private:
    struct Entry {
        Entry* prev;
        Entry* next;
        int kind;
        DescBase* desc;
    };

    Entry* Find(const wchar_t* name, int length) const;
    // Makes and parses a description of the kind; on failure shows text 752
    // and returns null, adding nothing.
    DescBase* CreateAndLoad(int kind, const wchar_t* name, int length);
    DescBase* Get(int kind, const wchar_t* name, int length);

    Entry* head_;
    Entry* tail_;
    int count_;
};

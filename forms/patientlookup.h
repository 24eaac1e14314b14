// PatientLookup: the name and birthday of the main window's current patient
// as one line of text.
//
// When the current row of the patient list changes, the main window runs the
// lookup with the patient's key; one prepared SELECT on the process-wide
// session reads the name parts and the birthday, and the listener gets the
// text (or the database's error text). The SELECT is built once from the
// patient list's database form description (its table and key).
//
// The request value travels with the key unchanged; 0 means that there is no
// patient: the listener then gets no text and the request value 0, also when
// the key names no patient any more.
#pragma once

#include <windows.h>

class DbFormDesc;

// What the main window gives the lookup.
class ListenerBase {
public:
    // The patient's line (null and 0 when there is none), its key and the
    // request value (0: no patient).
    virtual void OnCurrentPatient(const wchar_t* text, int length, DWORD key, DWORD request) = 0;
    // The text of a database error.
    virtual void OnLookupError(const wchar_t* text, int length) = 0;

protected:
    ~ListenerBase() {}
};

class PatientLookup {
public:
    PatientLookup();
    ~PatientLookup();
    PatientLookup(const PatientLookup&) = delete;
    PatientLookup& operator=(const PatientLookup&) = delete;

    void SetListener(ListenerBase* listener) { listener_ = listener; }
    // The key of the last request into `key`; returns its request value.
    DWORD GetIds(DWORD* key) const;

    // Builds "SELECT Name1, Name2, Name3, Birthday FROM <table> WHERE <key>=?;"
    // from the description; 0 (and no SQL) when it cannot be kept.
    int BuildSql(const DbFormDesc& form);
    // Stores key and request value and runs the query; 0 when a database
    // error was reported to the listener.
    int Run(DWORD key, DWORD request);
    // Frees the SQL text.
    void Free();
    const wchar_t* Sql() const { return sql_; }

private:
    int RunGuarded();
    // Throws DODBErrors.
    void Query();
    class Row;
    void Deliver(const Row& row);

    ListenerBase* listener_;
    DWORD key_;       // of the last request
    DWORD request_;   // 0: no patient
    wchar_t* sql_;    // heap copy of the SELECT, or null
};

// The process-wide lookup of the main window's current patient.
extern PatientLookup gPatientLookup;

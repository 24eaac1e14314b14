// The fixture of the tests that reach the real provider through the
// program's own start: a description folder (DescTest), a database made from
// site/schema.sql plus a few tables of the tests' own, a "dbinit.cfg" in the
// data folder naming it, and DbStart, which opens the process-wide session
// that the card, the lookup and the filter use.
//
// The schema is run through the provider as written, statement by statement
// (the text between lines holding only GO), as the server's tools run it.
#pragma once

#include "desc_test_util.h"

#include "forms/dbformdesc.h"
#include "forms/formdesc.h"

#include <memory>
#include <string>
#include <vector>

class KartDbTest : public DescTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs a statement for its effect on the process-wide session; the text
    // of its error is kept in lastError_.
    HRESULT Run(const std::wstring& sql);
    // The first column of the first row as an integer (-1 for none or NULL).
    long long Scalar(const std::wstring& sql);
    // The first column of the first row as text ("<null>" for NULL, "<none>" without a row).
    std::wstring Text(const std::wstring& sql);
    // Inserts a patient and returns its key.
    LONG AddPatient(const wchar_t* name1, const wchar_t* name2 = nullptr, const wchar_t* name3 = nullptr, WORD year = 0,
                    WORD month = 0, WORD day = 0);

    // A database form description parsed from the text (written as `name`).
    std::unique_ptr<DbFormDesc> DbForm(const std::wstring& name, const std::wstring& text);
    std::unique_ptr<FormDesc> Form(const std::wstring& name, const std::wstring& text);
    // A description file of site/cfg copied into the test's folder.
    void CopySiteCfg(const wchar_t* name);

    // The text of the thread's pending database error (consumed).
    static std::wstring ErrorText();
    std::wstring DbPath() const { return folder_ + L"test.db"; }

    std::wstring lastError_;

private:
    void MakeEmpty();
    void Start();
};

struct KartField;

// The card fields of a form's items, as the card makes them (values NULL).
class FormKartFields {
public:
    explicit FormKartFields(const DbFormDesc& form);
    ~FormKartFields();
    FormKartFields(const FormKartFields&) = delete;
    FormKartFields& operator=(const FormKartFields&) = delete;

    KartField** Data() { return fields_.data(); }
    int Count() const { return static_cast<int>(fields_.size()); }
    KartField* operator[](int i) const { return fields_[i]; }

private:
    std::vector<KartField*> fields_;
};

// The tests' own tables, in the server's words.
extern const char kTestTables[];

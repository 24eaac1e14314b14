// A database merge run on the calling thread, as the merge worker runs it,
// for the tests and benchmarks that drive the real engine without its window.
#pragma once

#include "database/dberrors.h"
#include "exchange/merge/importengine.h"
#include "foundation/messages.h"
#include "tools/demosite/sitedatabase.h"   // DatabaseText

#include <string>
#include <vector>

namespace testfix {

// A progress link that keeps only the patients the merge window would show,
// in order, each once per run of his images.
class QuietMergeLink : public IImportLink {
public:
    void SetFinished() override {}
    void SetText0(const wchar_t*, int) override {}
    void SetText1(const wchar_t*, int) override {}
    void SetText2(const wchar_t* text, int length) override
    {
        const std::wstring patient = length < 0 ? std::wstring(text) : std::wstring(text, (size_t)length);
        if (!patient.empty() && (patients.empty() || patients.back() != patient))
            patients.push_back(patient);
    }
    void SetText3(const wchar_t*, int) override {}
    void SetCount0(DWORD) override {}
    void SetCount1(DWORD) override {}
    void SetCount2(DWORD) override {}
    void SetCount3(DWORD) override {}
    void SetInTransaction(bool) override {}

    std::vector<std::wstring> patients;
};

// Runs Init (unless it has run: `init` false), Connect and StartUnion of the
// engine: its state, or -1 with the failure's text in *error.
inline int RunMergeSteps(ImportDBCls& engine, bool init, std::wstring* error)
{
    try {
        if (init)
            engine.Init();
        engine.Connect();
        engine.StartUnion();
        return engine.GetState();
    } catch (const MsgExcept& message) {
        wchar_t text[2048] = {};
        message.GetText(text, 2048);
        if (error)
            *error = text;
    } catch (const DODBErrors& errors) {
        if (error)
            *error = DatabaseText(errors);
    }
    return -1;
}

}  // namespace testfix

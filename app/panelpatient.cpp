// The main image panel's patient line: see panelpatient.h.
#include "app/panelpatient.h"

#include "forms/desccache.h"
#include "forms/patientlookup.h"
#include "foundation/prompt.h"
#include "images/viewer/mainviewwnd.h"
#include "images/viewer/viewerstore.h"

#include <string>

namespace {

const wchar_t kPanelDescName[] = L"main.cfg";

// The panel's side of the lookup: the text of the last answer; a database
// error is shown over the panel.
class PanelListener : public ListenerBase {
public:
    void OnCurrentPatient(const wchar_t* text, int length, DWORD, DWORD) override
    {
        line = text ? std::wstring(text, length > 0 ? length : 0) : std::wstring();
    }
    void OnLookupError(const wchar_t* text, int length) override
    {
        const std::wstring message(text ? text : L"", text && length > 0 ? length : 0);
        MainViewWnd* panel = MainViewWnd::Instance();
        ShowPrompt(panel ? panel->GetHandle() : nullptr, message.c_str(), nullptr, MB_OK);
    }
    std::wstring line;
};

PanelListener gListener;
PatientLookup gLookup;

// The store's caption of a patient; false when the description cannot be had
// or the database failed (the panel then shows nothing).
bool LookupForPanel(uint32_t patientId, const PatientInfo*, wchar_t* text, int capacity)
{
    if (!text || capacity <= 0)
        return false;
    text[0] = 0;
    if (!gLookup.Sql()) {
        DbFormDesc* form = DescCache::DbFormDescFor(kPanelDescName);
        if (!form || !gLookup.BuildSql(*form))
            return false;
        gLookup.SetListener(&gListener);
    }
    gListener.line.clear();
    if (!gLookup.Run(patientId, patientId != 0 ? 1 : 0))
        return false;
    const size_t n = gListener.line.size() < (size_t)capacity - 1 ? gListener.line.size() : (size_t)capacity - 1;
    gListener.line.copy(text, n);
    text[n] = 0;
    return true;
}

}  // namespace

void InstallPanelPatientLookup()
{
    ViewerStore store = GetViewerStore();
    store.lookupPatient = &LookupForPanel;
    SetViewerStore(store);
}

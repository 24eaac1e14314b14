// The patient card, in a file of its own: the image panel opens it without
// pulling in the main patient window.
#include "app/patientcard.h"

#include "forms/kartwnd.h"

int OpenPatientCard(HWND owner, DWORD* key, int recordId)
{
    KartOutcome outcome = {-1, 0, 0};
    const LONG shown = key && recordId > 0 ? static_cast<LONG>(*key) : 0;
    if (!RunKartForm(L"Patient.cfg", owner, shown, recordId > 0 ? recordId : 0, &outcome))
        return -1;
    // The card tells whether it stored anything and which row it showed last.
    if (outcome.result >= 0 && key && outcome.flag > 0)
        *key = static_cast<DWORD>(outcome.key);
    return outcome.result;
}

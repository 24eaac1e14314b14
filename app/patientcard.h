// The patient card: the record card "Patient.cfg", opened by the main patient
// window (new patient, patient info) and by the image panel (the panel's
// patient).
#pragma once

#include <windows.h>

// Opens the card for the patient of the key (record id 0: an empty card for
// a new patient), modal over the owner. -1 when nothing was stored; else 0,
// and *key holds the key of the patient the card showed last.
int OpenPatientCard(HWND owner, DWORD* key, int recordId);

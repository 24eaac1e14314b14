// The main image panel's patient line: the panel asks the viewer's store for
// the caption of a patient, and the program answers with a patient lookup of
// the panel's own on the list description "main.cfg" (the names and the
// birthday as the patient list has them, read from the database each time).
// So an edit in the patient card reaches the caption when the panel reads its
// patient again, and a patient deleted meanwhile is said to be gone instead
// of being shown from an old record.
#pragma once

// Puts the lookup into the viewer's store; the main patient window does it
// before it creates the panel.
void InstallPanelPatientLookup();

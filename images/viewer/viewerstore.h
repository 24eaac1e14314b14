// The viewer's door to the image records and the patient lookup: saving a
// picture's display settings, saving an imported picture as a new image,
// reading its patient, and the caption line of a patient. The panel calls
// only through here, so tests can put a recording store in its place.
#pragma once

#include <stdint.h>

class DPicture;
class PatientInfo;

struct ViewerStore {
    // The display settings of a stored picture, written back to its row.
    bool (*saveViewSettings)(DPicture* picture, const uint8_t* lut);
    // An imported picture saved as a new image (row, file and thumbnail).
    bool (*saveNewImage)(DPicture* picture, const uint8_t* lut);
    // The patient data of the picture's patient, from the database.
    bool (*readPatient)(DPicture* picture);
    // The caption line of a patient (names and birthday); false when the
    // patient cannot be found. `known` is the record the caller has, if any.
    bool (*lookupPatient)(uint32_t patientId, const PatientInfo* known, wchar_t* text, int capacity);
};

const ViewerStore& GetViewerStore();
// Installs a store; returns the one it replaces.
ViewerStore SetViewerStore(const ViewerStore& store);
// The program's own store.
ViewerStore DefaultViewerStore();

// The viewer's own store: the image records of the database. Its patient
// caption is made from the picture's own patient record, in the form the
// patient lookup gives it (the three names and the birthday, separated by
// blanks); the program puts its patient lookup in its place (the shell's
// panelpatient), which reads the patient from the database each time.
#include "images/viewer/viewerstore.h"

#include "foundation/datetime.h"
#include "images/pixels/picture.h"
#include "images/files/snimokdb.h"

#include <wchar.h>

namespace {

bool SaveSettings(DPicture* picture, const uint8_t* lut)
{
    return SaveImageViewSettings(DPicturePtr(picture), lut);
}

bool SaveNew(DPicture* picture, const uint8_t* lut)
{
    return SaveSnimokTx(DPicturePtr(picture), lut);
}

bool ReadPatient(DPicture* picture)
{
    return ReadPatientForPicture(picture);
}

bool CaptionFromRecord(uint32_t patientId, const PatientInfo* known, wchar_t* text, int capacity)
{
    if (!text || capacity <= 0)
        return false;
    text[0] = 0;
    if (!known || patientId == 0)
        return patientId != 0;
    int length = 0;
    for (int i = 0; i < PatientInfo::GetNameCount(); ++i) {
        const int n = _snwprintf(text + length, capacity - length, L"%ls ", known->GetName(i));
        if (n < 0)
            break;
        length += n;
    }
    text[capacity - 1] = 0;
    const FILETIME birthday = known->GetBirthday();
    if ((birthday.dwLowDateTime || birthday.dwHighDateTime) && length < capacity - 1)
        FormatFileTime(text + length, capacity - length, DatePicture, &birthday);
    return true;
}

ViewerStore gStore = DefaultViewerStore();

}  // namespace

ViewerStore DefaultViewerStore()
{
    return ViewerStore{SaveSettings, SaveNew, ReadPatient, CaptionFromRecord};
}

const ViewerStore& GetViewerStore()
{
    return gStore;
}

ViewerStore SetViewerStore(const ViewerStore& store)
{
    ViewerStore old = gStore;
    gStore = store;
    return old;
}

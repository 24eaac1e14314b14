// DPicture: the X-ray image in memory, shared by the main image panel, the
// views, the measurement windows, the description window and printing, and
// always held through DPicturePtr handles.
//
// The pixel state and the raster operations are DPictureBase
// (picturebase.h); this half adds what only the Windows program has: the
// patient record with its names, the image's file name and date, and the
// interlocked reference count. A new picture has count 1; the holder that
// brings it to 0 destroys it (rasters first, then the patient record).
#pragma once

#include "foundation/dstring.h"
#include "foundation/refcount.h"
#include "images/pixels/picturebase.h"

#include <windows.h>

// The patient a picture belongs to: columns "Name1", "Name2", "Name3", "Pol",
// "Birthday", "Patient".
class PatientInfo
{
public:
    PatientInfo();

    // Name indexes run from 0 to 2; other indexes are ignored (Set) or give
    // an empty text (Get). A negative length means a zero-terminated text;
    // a null text clears the name.
    void SetName(int index, const wchar_t* text, int length);
    const wchar_t* GetName(int index) const;
    int GetNameLength(int index) const;
    static int GetNameCount() { return kNames; }

    void SetSex(uint32_t sex) { this->sex = sex; }
    uint32_t GetSex() const { return sex; }
    void SetBirthday(const FILETIME& day) { birthday = day; }
    FILETIME GetBirthday() const { return birthday; }
    void SetPatientId(uint32_t id) { patientId = id; }
    uint32_t GetPatientId() const { return patientId; }

    // Lines of the patient block that a caller may address: 0 to 3.
    static bool IsValidLine(int index) { return index >= 0 && index < 4; }

private:
    static const int kNames = 3;

    DString names[kNames];      // Name1, Name2, Name3
    uint32_t sex;               // "Pol"; the file keeps its low byte
    FILETIME birthday;          // "Birthday"
    uint32_t patientId;         // "Patient"
};

class DPicture : public DPictureBase
{
public:
    DPicture();
    DPicture(int width, int height);    // also allocates both rasters

    PatientInfo patient;
    wchar_t fileName[32];       // file name without folder and extension
    FILETIME imageDate;         // "Date file"

    LONG AddRef();
    // Destroys the picture when the count reaches 0; returns the new count.
    LONG Release();

    using DPictureBase::MapRect;
    void MapRect(const RECT& in, RECT& out) const;

private:
    ~DPicture() = default;      // only Release destroys a picture

    DRefCount refs;             // holders
};

class DPicturePtr
{
public:
    DPicturePtr() : picture(nullptr) {}
    // Holds the picture and adds a reference when it is not null.
    DPicturePtr(DPicture* picture);
    DPicturePtr(const DPicturePtr& other);
    DPicturePtr& operator=(const DPicturePtr& other);  // new reference first, then the old released
    ~DPicturePtr();

    void Reset();                               // release; null
    DPicture* Get() const { return picture; }
    uintptr_t GetRaw() const { return reinterpret_cast<uintptr_t>(picture); }
    DPicture* operator->() const { return picture; }

    // Releases the held picture and holds a new empty one; false (null) when
    // it could not be allocated.
    bool CreateNew();
    // Releases the held picture and holds a new one with both rasters; false
    // when the object (handle null) or a raster (picture without rasters)
    // could not be allocated.
    bool CreateSized(int width, int height);

private:
    DPicture* picture;
};

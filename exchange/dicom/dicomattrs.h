// An image's DICOM attributes as the export server takes them: one
// Automation array of [name, value] pairs, the names being the DICOM
// attribute names in words ("Patient's Name", "Rows", ...).
//
// The VARIANT operations below build and read such values; each clears the
// VARIANT's old value first. DicomAttrList collects the pairs in order and
// turns them into one SAFEARRAY. FillDicomAttributes appends the attributes
// of one picture.
//
// Failures are thrown as the HRESULT of the failing call (E_OUTOFMEMORY when
// an allocation fails), or -1 for a value of the wrong type or an empty list;
// the caller shows them (dicomsend.h). A failed add leaves the list as it was.
#pragma once

#include "images/pixels/picture.h"

#include <windows.h>
#include <oleauto.h>

// ---- VARIANT operations ------------------------------------------------------

void VarSetText(VARIANT& v, const wchar_t* text);          // VT_BSTR
void VarSetInt(VARIANT& v, LONG value);                    // VT_I4
void VarSetFloat(VARIANT& v, float value);                 // VT_R4
// VT_BSTR "dd/MM/yyyy" and "hh:mm:ss" (24-hour) of a FILETIME; an empty text
// for the zero FILETIME, which stands for a date nobody entered.
void VarSetDate(VARIANT& v, const FILETIME& time);
void VarSetTime(VARIANT& v, const FILETIME& time);
// VT_ARRAY | VT_VARIANT of `count` empty elements, from index 0.
void VarCreateArray(VARIANT& v, ULONG count);
// Element i of an array VARIANT; throws when the VARIANT is no array of
// VARIANTs or the index is refused.
VARIANT* VarElement(const VARIANT& v, LONG i);
LONG VarElementCount(const VARIANT& v);
// VariantCopy of `value` into element i.
void VarCopyInto(const VARIANT& array, LONG i, const VARIANT& value);
// The BSTR or VT_I4 value; -1 is thrown for another type.
BSTR VarReadText(const VARIANT& v);
LONG VarReadInt(const VARIANT& v);

// ---- the attribute list --------------------------------------------------------

class DicomAttrList
{
public:
    DicomAttrList() = default;
    ~DicomAttrList() { Clear(); }
    DicomAttrList(const DicomAttrList&) = delete;
    DicomAttrList& operator=(const DicomAttrList&) = delete;

    // A new pair with the name at the tail; the result is its value, which
    // the caller sets (array values: names, orientation, spacing).
    VARIANT* Append(const wchar_t* name);
    void AddInt(const wchar_t* name, LONG value);
    void AddText(const wchar_t* name, const wchar_t* text);
    void AddFloat(const wchar_t* name, float value);
    void AddDate(const wchar_t* name, const FILETIME& time);
    void AddTime(const wchar_t* name, const FILETIME& time);
    void AddVariant(const wchar_t* name, const VARIANT& value);

    // One element per pair, in list order; the pairs move into the array and
    // the list is left empty. An empty list throws -1 and allocates nothing.
    // The caller owns the array (SafeArrayDestroy).
    SAFEARRAY* ToSafeArray();
    void Clear();
    int Count() const { return count_; }

private:
    struct Node
    {
        Node* next;
        VARIANT pair;       // array of two: the name, the value
    };
    Node* NewNode(const wchar_t* name);
    void Link(Node* node);
    static void FreeNode(Node* node);

    Node* head_ = nullptr;
    Node* tail_ = nullptr;
    int count_ = 0;
};

// Acquisition values that the picture does not hold: stamped into an image
// only when the settings give them (subkey "Dicom" of the settings key,
// foundation/settingskey.h: REG_SZ values named as the attributes: "View Position", "KVP",
// "Distance Source to Detector", "Exposure Time", "Exposure", "Image Area
// Dose Product"). Nothing measured them otherwise.
struct DicomAcquisition
{
    bool hasViewPosition = false;
    wchar_t viewPosition[17] = {};
    bool hasKvp = false;
    float kvp = 0;
    bool hasDistance = false;
    float distance = 0;
    bool hasExposureTime = false;
    LONG exposureTime = 0;
    bool hasExposure = false;
    LONG exposure = 0;
    bool hasDose = false;
    float dose = 0;
};
// The values the settings give (none when the key is missing).
DicomAcquisition ReadDicomAcquisition();

// Appends the attributes of one picture, in this order: Patient's Name (the
// three name parts), Accession Number, Patient's Birth Date, Patient's Sex
// ("M"/"F"), Patient ID (the unsigned key in decimal), Study Date, Study
// Time, Study Description ("Tobal"), Study ID, Series Date, Series Time,
// Series Number (1), [View Position], Image Date, Image Time, Image Number
// (1), Patient Orientation ("P", "F"), Rows, Columns, Bits Allocated (16:
// the section holds two bytes a pixel), Bits Stored (the picture's depth),
// Pixel Representation (0), [KVP], [Distance Source to Detector], [Exposure
// Time], [Exposure], [Image Area Dose Product], Pixel Spacing (down,
// across), Window Center (half the picture's maximum value), Window Width
// (the maximum value). The bracketed ones only when `acquisition` gives them.
void FillDicomAttributes(const DPicturePtr& picture, DicomAttrList& list, const DicomAcquisition& acquisition);

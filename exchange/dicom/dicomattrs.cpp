// DICOM attribute values and list: see dicomattrs.h.
#include "exchange/dicom/dicomattrs.h"

#include "foundation/datetime.h"
#include "foundation/settingskey.h"

#include <stdio.h>
#include <stdlib.h>

#include <new>

namespace {

[[noreturn]] void Throw(HRESULT code)
{
    throw code;
}

void Check(HRESULT code)
{
    if (FAILED(code))
        Throw(code);
}

void SetFormatted(VARIANT& v, const FILETIME& time, const wchar_t* picture)
{
    wchar_t text[32] = {};
    if ((time.dwLowDateTime != 0 || time.dwHighDateTime != 0) && FormatFileTime(text, 32, picture, &time) < 0)
        text[0] = 0;
    VarSetText(v, text);
}

SAFEARRAY* ArrayOf(const VARIANT& v)
{
    if (V_VT(&v) != (VT_ARRAY | VT_VARIANT) || !V_ARRAY(&v))
        Throw(DISP_E_TYPEMISMATCH);
    return V_ARRAY(&v);
}

}  // namespace

// ---- VARIANT operations --------------------------------------------------------

void VarSetText(VARIANT& v, const wchar_t* text)
{
    VariantClear(&v);
    BSTR copy = SysAllocString(text ? text : L"");
    if (!copy)
        Throw(E_OUTOFMEMORY);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = copy;
}

void VarSetInt(VARIANT& v, LONG value)
{
    VariantClear(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
}

void VarSetFloat(VARIANT& v, float value)
{
    VariantClear(&v);
    V_VT(&v) = VT_R4;
    V_R4(&v) = value;
}

void VarSetDate(VARIANT& v, const FILETIME& time)
{
    SetFormatted(v, time, L"dd/MM/yyyy");
}

void VarSetTime(VARIANT& v, const FILETIME& time)
{
    SetFormatted(v, time, L"hh:mm:ss");
}

void VarCreateArray(VARIANT& v, ULONG count)
{
    VariantClear(&v);
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, count);
    if (!array)
        Throw(E_OUTOFMEMORY);
    V_VT(&v) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&v) = array;
}

VARIANT* VarElement(const VARIANT& v, LONG i)
{
    void* element = nullptr;
    Check(SafeArrayPtrOfIndex(ArrayOf(v), &i, &element));
    return static_cast<VARIANT*>(element);
}

LONG VarElementCount(const VARIANT& v)
{
    SAFEARRAY* array = ArrayOf(v);
    LONG low = 0, high = -1;
    if (SafeArrayGetDim(array) != 1)
        Throw(DISP_E_TYPEMISMATCH);
    Check(SafeArrayGetLBound(array, 1, &low));
    Check(SafeArrayGetUBound(array, 1, &high));
    return high - low + 1;
}

void VarCopyInto(const VARIANT& array, LONG i, const VARIANT& value)
{
    Check(VariantCopy(VarElement(array, i), const_cast<VARIANT*>(&value)));
}

BSTR VarReadText(const VARIANT& v)
{
    if (V_VT(&v) != VT_BSTR)
        throw -1;
    return V_BSTR(&v);
}

LONG VarReadInt(const VARIANT& v)
{
    if (V_VT(&v) != VT_I4)
        throw -1;
    return V_I4(&v);
}

// ---- the list ------------------------------------------------------------------

DicomAttrList::Node* DicomAttrList::NewNode(const wchar_t* name)
{
    Node* node = new (std::nothrow) Node;
    if (!node)
        Throw(E_OUTOFMEMORY);
    node->next = nullptr;
    VariantInit(&node->pair);
    try {
        VarCreateArray(node->pair, 2);
        VarSetText(*VarElement(node->pair, 0), name);
    } catch (...) {
        FreeNode(node);
        throw;
    }
    return node;
}

void DicomAttrList::Link(Node* node)
{
    if (tail_)
        tail_->next = node;
    else
        head_ = node;
    tail_ = node;
    ++count_;
}

void DicomAttrList::FreeNode(Node* node)
{
    VariantClear(&node->pair);
    delete node;
}

VARIANT* DicomAttrList::Append(const wchar_t* name)
{
    Node* node = NewNode(name);
    Link(node);
    return VarElement(node->pair, 1);
}

// Each typed add makes its node whole before linking it: a failure leaves the
// list as it was.
#define TF_DICOM_ADD(Method, Type, Setter)                          \
    void DicomAttrList::Method(const wchar_t* name, Type value)     \
    {                                                               \
        Node* node = NewNode(name);                                 \
        try {                                                       \
            Setter(*VarElement(node->pair, 1), value);              \
        } catch (...) {                                             \
            FreeNode(node);                                         \
            throw;                                                  \
        }                                                           \
        Link(node);                                                 \
    }
TF_DICOM_ADD(AddInt, LONG, VarSetInt)
TF_DICOM_ADD(AddText, const wchar_t*, VarSetText)
TF_DICOM_ADD(AddFloat, float, VarSetFloat)
TF_DICOM_ADD(AddDate, const FILETIME&, VarSetDate)
TF_DICOM_ADD(AddTime, const FILETIME&, VarSetTime)
#undef TF_DICOM_ADD

void DicomAttrList::AddVariant(const wchar_t* name, const VARIANT& value)
{
    Node* node = NewNode(name);
    try {
        VarCopyInto(node->pair, 1, value);
    } catch (...) {
        FreeNode(node);
        throw;
    }
    Link(node);
}

SAFEARRAY* DicomAttrList::ToSafeArray()
{
    if (count_ == 0)
        throw -1;
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, (ULONG)count_);
    if (!array)
        Throw(E_OUTOFMEMORY);
    VARIANT* elements = nullptr;
    const HRESULT hr = SafeArrayAccessData(array, reinterpret_cast<void**>(&elements));
    if (FAILED(hr)) {
        SafeArrayDestroy(array);
        Throw(hr);
    }
    // The pairs move into the array: no copy, nothing that can fail.
    int i = 0;
    for (Node* node = head_; node;) {
        Node* next = node->next;
        elements[i++] = node->pair;
        VariantInit(&node->pair);
        delete node;
        node = next;
    }
    SafeArrayUnaccessData(array);
    head_ = tail_ = nullptr;
    count_ = 0;
    return array;
}

void DicomAttrList::Clear()
{
    for (Node* node = head_; node;) {
        Node* next = node->next;
        FreeNode(node);
        node = next;
    }
    head_ = tail_ = nullptr;
    count_ = 0;
}

// ---- acquisition settings ----------------------------------------------------

namespace {

bool ReadSetting(HKEY key, const wchar_t* name, wchar_t* out, DWORD chars)
{
    DWORD type = 0, size = chars * sizeof(wchar_t);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(out), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    out[chars - 1] = 0;
    if (size / sizeof(wchar_t) < chars)
        out[size / sizeof(wchar_t)] = 0;
    return out[0] != 0;
}

bool ReadFloat(HKEY key, const wchar_t* name, float* out)
{
    wchar_t text[64];
    if (!ReadSetting(key, name, text, 64))
        return false;
    wchar_t* end = nullptr;
    const double value = wcstod(text, &end);
    if (!end || end == text || *end != 0 || !(value > 0) || value > 1e9)
        return false;
    *out = (float)value;
    return true;
}

bool ReadInt(HKEY key, const wchar_t* name, LONG* out)
{
    wchar_t text[64];
    if (!ReadSetting(key, name, text, 64))
        return false;
    wchar_t* end = nullptr;
    const long value = wcstol(text, &end, 10);
    if (!end || end == text || *end != 0 || value < 0)
        return false;
    *out = value;
    return true;
}

}  // namespace

DicomAcquisition ReadDicomAcquisition()
{
    DicomAcquisition a;
    HKEY key = nullptr;
    if (OpenSettingsKey(L"Dicom", KEY_READ, false, &key) != ERROR_SUCCESS)
        return a;
    a.hasViewPosition = ReadSetting(key, L"View Position", a.viewPosition, 17);
    a.hasKvp = ReadFloat(key, L"KVP", &a.kvp);
    a.hasDistance = ReadFloat(key, L"Distance Source to Detector", &a.distance);
    a.hasExposureTime = ReadInt(key, L"Exposure Time", &a.exposureTime);
    a.hasExposure = ReadInt(key, L"Exposure", &a.exposure);
    a.hasDose = ReadFloat(key, L"Image Area Dose Product", &a.dose);
    RegCloseKey(key);
    return a;
}

// ---- one picture's attributes --------------------------------------------------

void FillDicomAttributes(const DPicturePtr& handle, DicomAttrList& list, const DicomAcquisition& acquisition)
{
    const DPicture* picture = handle.Get();
    if (!picture)
        Throw(E_POINTER);
    const PatientInfo& patient = picture->patient;

    VARIANT* names = list.Append(L"Patient's Name");
    VarCreateArray(*names, 3);
    for (int i = 0; i < 3; ++i)
        VarSetText(*VarElement(*names, i), patient.GetName(i));
    list.AddInt(L"Accession Number", (LONG)picture->imageId);
    list.AddDate(L"Patient's Birth Date", patient.GetBirthday());
    list.AddText(L"Patient's Sex", patient.GetSex() ? L"M" : L"F");
    // The patient's key is unsigned: 0xFFFFFFFF is 4294967295, never -1.
    wchar_t id[16];
    _snwprintf(id, 15, L"%lu", (unsigned long)patient.GetPatientId());
    id[15] = 0;
    list.AddText(L"Patient ID", id);
    const FILETIME when = picture->imageDate;
    list.AddDate(L"Study Date", when);
    list.AddTime(L"Study Time", when);
    list.AddText(L"Study Description", L"Tobal");
    list.AddInt(L"Study ID", (LONG)picture->imageId);
    list.AddDate(L"Series Date", when);
    list.AddTime(L"Series Time", when);
    list.AddInt(L"Series Number", 1);
    if (acquisition.hasViewPosition)
        list.AddText(L"View Position", acquisition.viewPosition);
    list.AddDate(L"Image Date", when);
    list.AddTime(L"Image Time", when);
    list.AddInt(L"Image Number", 1);
    VARIANT* orientation = list.Append(L"Patient Orientation");
    VarCreateArray(*orientation, 2);
    VarSetText(*VarElement(*orientation, 0), L"P");
    VarSetText(*VarElement(*orientation, 1), L"F");
    list.AddInt(L"Rows", picture->height);
    list.AddInt(L"Columns", picture->width);
    // The section holds two bytes a pixel whatever the depth: 16 bits are
    // allocated, the picture's depth of them stored.
    list.AddInt(L"Bits Allocated", 16);
    const int depth = picture->bitsPerPixel >= 1 && picture->bitsPerPixel <= 16 ? picture->bitsPerPixel : 16;
    list.AddInt(L"Bits Stored", depth);
    list.AddInt(L"Pixel Representation", 0);
    if (acquisition.hasKvp)
        list.AddFloat(L"KVP", acquisition.kvp);
    if (acquisition.hasDistance)
        list.AddFloat(L"Distance Source to Detector", acquisition.distance);
    if (acquisition.hasExposureTime)
        list.AddInt(L"Exposure Time", acquisition.exposureTime);
    if (acquisition.hasExposure)
        list.AddInt(L"Exposure", acquisition.exposure);
    if (acquisition.hasDose)
        list.AddFloat(L"Image Area Dose Product", acquisition.dose);
    // Pixel Spacing is the distance between rows, then between columns.
    VARIANT* spacing = list.Append(L"Pixel Spacing");
    VarCreateArray(*spacing, 2);
    VarSetFloat(*VarElement(*spacing, 0), (float)picture->spacingY);
    VarSetFloat(*VarElement(*spacing, 1), (float)picture->spacingX);
    const double maximum = picture->levels > 0 ? picture->levels : (double)(1 << depth);
    list.AddFloat(L"Window Center", (float)(maximum / 2.0));
    list.AddFloat(L"Window Width", (float)maximum);
}

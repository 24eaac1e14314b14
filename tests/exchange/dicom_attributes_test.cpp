// The DICOM attribute list of one picture: the names in their order with
// their VARIANT types and values, the unmeasured acquisition values only
// from the settings, 16 bits allocated whatever the depth; the list's and
// the VARIANT operations' refusals.
#include "exchange/dicom/dicomattrs.h"

#include "exchange_fixture.h"

#include <oleauto.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace exchtest;

namespace {

struct Attribute
{
    std::wstring name;
    VARTYPE type;
    std::wstring text;      // VT_BSTR
    LONG number;            // VT_I4
    float real;             // VT_R4
    std::vector<std::wstring> texts;    // arrays of VT_BSTR
    std::vector<float> reals;           // arrays of VT_R4
};

// The attributes of the picture as the server receives them.
std::vector<Attribute> AttributesOf(const DPicturePtr& picture)
{
    std::vector<Attribute> out;
    DicomAttrList list;
    FillDicomAttributes(picture, list, ReadDicomAcquisition());
    SAFEARRAY* array = list.ToSafeArray();
    EXPECT_EQ(0, list.Count());
    VARIANT whole;
    VariantInit(&whole);
    V_VT(&whole) = VT_ARRAY | VT_VARIANT;
    V_ARRAY(&whole) = array;
    const LONG count = VarElementCount(whole);
    for (LONG i = 0; i < count; ++i) {
        const VARIANT& pair = *VarElement(whole, i);
        EXPECT_EQ(2, VarElementCount(pair));
        Attribute a = {};
        a.name = VarReadText(*VarElement(pair, 0));
        const VARIANT& value = *VarElement(pair, 1);
        a.type = V_VT(&value);
        if (a.type == VT_BSTR)
            a.text = V_BSTR(&value);
        else if (a.type == VT_I4)
            a.number = V_I4(&value);
        else if (a.type == VT_R4)
            a.real = V_R4(&value);
        else if (a.type == (VT_ARRAY | VT_VARIANT))
            for (LONG k = 0; k < VarElementCount(value); ++k) {
                const VARIANT& e = *VarElement(value, k);
                if (V_VT(&e) == VT_BSTR)
                    a.texts.push_back(V_BSTR(&e));
                else if (V_VT(&e) == VT_R4)
                    a.reals.push_back(V_R4(&e));
            }
        out.push_back(a);
    }
    VariantClear(&whole);
    return out;
}

std::vector<std::wstring> Names(const std::vector<Attribute>& attributes)
{
    std::vector<std::wstring> names;
    for (const Attribute& a : attributes)
        names.push_back(a.name);
    return names;
}

const VARTYPE kArray = VT_ARRAY | VT_VARIANT;

}  // namespace

TEST(DicomAttributes, TheThirtyAttributesComeInOrderWithTheirTypes)
{
    TestSettings settings;
    settings.SetString(L"Dicom", L"View Position", L"PA");
    settings.SetString(L"Dicom", L"KVP", L"96");
    settings.SetString(L"Dicom", L"Distance Source to Detector", L"1200");
    settings.SetString(L"Dicom", L"Exposure Time", L"20");
    settings.SetString(L"Dicom", L"Exposure", L"16");
    settings.SetString(L"Dicom", L"Image Area Dose Product", L"1.0");
    const std::vector<Attribute> a = AttributesOf(TestPicture(64, 48, 12));

    struct Expected
    {
        const wchar_t* name;
        VARTYPE type;
    };
    const Expected expected[30] = {
        {L"Patient's Name", kArray},       {L"Accession Number", VT_I4},  {L"Patient's Birth Date", VT_BSTR},
        {L"Patient's Sex", VT_BSTR},       {L"Patient ID", VT_BSTR},      {L"Study Date", VT_BSTR},
        {L"Study Time", VT_BSTR},          {L"Study Description", VT_BSTR}, {L"Study ID", VT_I4},
        {L"Series Date", VT_BSTR},         {L"Series Time", VT_BSTR},     {L"Series Number", VT_I4},
        {L"View Position", VT_BSTR},       {L"Image Date", VT_BSTR},      {L"Image Time", VT_BSTR},
        {L"Image Number", VT_I4},          {L"Patient Orientation", kArray}, {L"Rows", VT_I4},
        {L"Columns", VT_I4},               {L"Bits Allocated", VT_I4},    {L"Bits Stored", VT_I4},
        {L"Pixel Representation", VT_I4},  {L"KVP", VT_R4},               {L"Distance Source to Detector", VT_R4},
        {L"Exposure Time", VT_I4},         {L"Exposure", VT_I4},          {L"Image Area Dose Product", VT_R4},
        {L"Pixel Spacing", kArray},        {L"Window Center", VT_R4},     {L"Window Width", VT_R4},
    };
    ASSERT_EQ(30u, a.size());
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(expected[i].name, a[i].name) << i;
        EXPECT_EQ(expected[i].type, a[i].type) << i;
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Иванов", L"Пётр", L"Сергеевич"}), a[0].texts);
    EXPECT_EQ(305, a[1].number);
    EXPECT_EQ(L"12/03/1961", a[2].text);
    EXPECT_EQ(L"M", a[3].text);
    EXPECT_EQ(L"17", a[4].text);
    EXPECT_EQ(L"18/08/2004", a[5].text);
    EXPECT_EQ(L"09:05:07", a[6].text);
    EXPECT_EQ(L"Tobal", a[7].text);
    EXPECT_EQ(305, a[8].number);
    EXPECT_EQ(L"18/08/2004", a[9].text);
    EXPECT_EQ(L"09:05:07", a[10].text);
    EXPECT_EQ(1, a[11].number);
    EXPECT_EQ(L"PA", a[12].text);
    EXPECT_EQ(L"18/08/2004", a[13].text);
    EXPECT_EQ(L"09:05:07", a[14].text);
    EXPECT_EQ(1, a[15].number);
    EXPECT_EQ((std::vector<std::wstring>{L"P", L"F"}), a[16].texts);
    EXPECT_EQ(48, a[17].number);
    EXPECT_EQ(64, a[18].number);
    EXPECT_EQ(16, a[19].number);
    EXPECT_EQ(12, a[20].number);
    EXPECT_EQ(0, a[21].number);
    EXPECT_FLOAT_EQ(96.0f, a[22].real);
    EXPECT_FLOAT_EQ(1200.0f, a[23].real);
    EXPECT_EQ(20, a[24].number);
    EXPECT_EQ(16, a[25].number);
    EXPECT_FLOAT_EQ(1.0f, a[26].real);
    EXPECT_EQ((std::vector<float>{0.2f, 0.15f}), a[27].reals);
    EXPECT_FLOAT_EQ(2048.0f, a[28].real);
    EXPECT_FLOAT_EQ(4096.0f, a[29].real);
}

TEST(DicomAttributes, UnmeasuredAcquisitionValuesAreLeftOutWithoutSettings)
{
    TestSettings settings;
    // A value that is no number counts as none.
    settings.SetString(L"Dicom", L"KVP", L"high");
    const std::vector<std::wstring> names = Names(AttributesOf(TestPicture(8, 8, 10)));
    EXPECT_EQ(24u, names.size());
    for (const wchar_t* left : {L"View Position", L"KVP", L"Distance Source to Detector", L"Exposure Time",
                                L"Exposure", L"Image Area Dose Product"})
        EXPECT_EQ(names.end(), std::find(names.begin(), names.end(), left)) << std::wstring(left).c_str();
    EXPECT_EQ(L"Series Number", names[11]);
    EXPECT_EQ(L"Image Date", names[12]);
    EXPECT_EQ(L"Pixel Representation", names[20]);
    EXPECT_EQ(L"Pixel Spacing", names[21]);
}

TEST(DicomAttributes, SixteenBitsAreAllocatedWhateverTheDepth)
{
    TestSettings settings;
    for (int depth : {1, 8, 12, 14, 16}) {
        const std::vector<Attribute> a = AttributesOf(TestPicture(4, 4, depth));
        ASSERT_EQ(L"Bits Allocated", a[18].name);
        EXPECT_EQ(16, a[18].number) << depth;
        EXPECT_EQ(depth, a[19].number) << depth;
    }
}

TEST(DicomAttributes, SexAndUnknownDatesAreSentAsTheyAre)
{
    TestSettings settings;
    DPicturePtr picture = TestPicture(4, 4, 8);
    picture->patient.SetSex(0);
    picture->patient.SetBirthday(FILETIME{0, 0});
    const std::vector<Attribute> a = AttributesOf(picture);
    EXPECT_EQ(L"F", a[3].text);
    // A birthday nobody entered is no date in 1601.
    EXPECT_EQ(L"", a[2].text);
}

TEST(DicomAttributes, TheListRefusesWhatItCannotDo)
{
    DicomAttrList list;
    EXPECT_THROW(list.ToSafeArray(), int);
    list.AddInt(L"Rows", 3);
    list.AddText(L"Patient ID", L"5");
    EXPECT_EQ(2, list.Count());
    SAFEARRAY* array = list.ToSafeArray();
    ASSERT_NE(nullptr, array);
    SafeArrayDestroy(array);
    EXPECT_EQ(0, list.Count());
    EXPECT_THROW(list.ToSafeArray(), int);

    VARIANT v;
    VariantInit(&v);
    VarSetInt(v, 7);
    EXPECT_EQ(7, VarReadInt(v));
    EXPECT_THROW(VarReadText(v), int);
    EXPECT_THROW(VarElement(v, 0), HRESULT);
    EXPECT_THROW(VarElementCount(v), HRESULT);
    VarSetText(v, L"x");
    EXPECT_THROW(VarReadInt(v), int);
    VarCreateArray(v, 2);
    EXPECT_EQ(2, VarElementCount(v));
    EXPECT_THROW(VarElement(v, 2), HRESULT);
    VARIANT seven;
    VariantInit(&seven);
    VarSetFloat(seven, 7.5f);
    VarCopyInto(v, 1, seven);
    EXPECT_EQ(VT_R4, V_VT(VarElement(v, 1)));
    VariantClear(&v);
}

// The picture's handle and reference count, and its patient record.
#include "images/pixels/picture.h"
#include "images/pixels/pixmem.h"

#include <gtest/gtest.h>

namespace {

LONG Count(DPicture* p)
{
    p->AddRef();
    return p->Release();
}

TEST(PicturePtr, FactoriesMakePicturesWithOneReference)
{
    DPicturePtr a;
    EXPECT_EQ(0u, a.GetRaw());
    ASSERT_TRUE(a.CreateNew());
    EXPECT_NE(0u, a.GetRaw());
    EXPECT_EQ(1, Count(a.Get()));
    EXPECT_EQ(nullptr, a->GetBits());
    EXPECT_EQ(1.0, a->scale);
    EXPECT_EQ(0, a->stored);

    ASSERT_TRUE(a.CreateSized(30, 20));
    EXPECT_EQ(30, a->width);
    EXPECT_EQ(20, a->zoomedHeight);
    EXPECT_NE(nullptr, a->GetBits());
    EXPECT_NE(nullptr, a->GetWorkBits());
}

TEST(PicturePtr, CreateSizedWithoutRastersKeepsTheEmptyPicture)
{
    DPicturePtr a;
    SetPixelAllocFailure(1);
    EXPECT_FALSE(a.CreateSized(30, 20));
    SetPixelAllocFailure(-1);
    ASSERT_NE(nullptr, a.Get());
    EXPECT_EQ(nullptr, a->GetBits());
    EXPECT_EQ(nullptr, a->GetWorkBits());
}

TEST(PicturePtr, CopiesAndAssignmentsCountReferences)
{
    DPicturePtr a;
    ASSERT_TRUE(a.CreateNew());
    DPicture* p = a.Get();
    {
        DPicturePtr b(a);
        EXPECT_EQ(2, Count(p));
        DPicturePtr c;
        c = b;
        EXPECT_EQ(3, Count(p));
        DPicturePtr d(p);   // a handle from a raw picture adds its own reference
        EXPECT_EQ(4, Count(p));
    }
    EXPECT_EQ(1, Count(p));
    a = a;
    EXPECT_EQ(1, Count(p));
    EXPECT_EQ(p, a.Get());
}

TEST(PicturePtr, NullHandlesStayNull)
{
    DPicturePtr a;
    DPicturePtr b(a);
    DPicturePtr c(static_cast<DPicture*>(nullptr));
    EXPECT_EQ(nullptr, b.Get());
    EXPECT_EQ(nullptr, c.Get());
    DPicturePtr d;
    ASSERT_TRUE(d.CreateNew());
    d = a;
    EXPECT_EQ(nullptr, d.Get());
    d.Reset();
    EXPECT_EQ(0u, d.GetRaw());
}

TEST(PicturePtr, AssignmentReleasesTheOldPicture)
{
    DPicturePtr a, b;
    ASSERT_TRUE(a.CreateNew());
    ASSERT_TRUE(b.CreateNew());
    DPicture* keep = b.Get();
    keep->AddRef();
    a = b;
    EXPECT_EQ(3, Count(keep));
    b.Reset();
    a.Reset();
    EXPECT_EQ(0, keep->Release());
}

TEST(PatientRecord, NamesAreThreeAndIndexedFromZero)
{
    PatientInfo info;
    EXPECT_EQ(3, PatientInfo::GetNameCount());
    info.SetName(0, L"Ivanov", -1);
    info.SetName(1, L"Petr Sergeevich", 4);
    info.SetName(2, L"", -1);
    info.SetName(3, L"beyond", -1);     // ignored, never written past the names
    info.SetName(-1, L"before", -1);
    EXPECT_STREQ(L"Ivanov", info.GetName(0));
    EXPECT_STREQ(L"Petr", info.GetName(1));
    EXPECT_EQ(4, info.GetNameLength(1));
    EXPECT_STREQ(L"", info.GetName(2));
    EXPECT_STREQ(L"", info.GetName(3));
    EXPECT_EQ(0, info.GetNameLength(3));
    EXPECT_EQ(3, PatientInfo::GetNameCount());
    info.SetName(0, nullptr, 0);
    EXPECT_STREQ(L"", info.GetName(0));
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(PatientInfo::IsValidLine(i));
    EXPECT_FALSE(PatientInfo::IsValidLine(4));
    EXPECT_FALSE(PatientInfo::IsValidLine(-1));
}

TEST(PatientRecord, CopiesKeepTheirOwnNamesWhenOneChanges)
{
    PatientInfo a;
    a.SetName(0, L"Sidorova", -1);
    PatientInfo b = a;
    b.SetName(0, L"Smirnova", -1);
    EXPECT_STREQ(L"Sidorova", a.GetName(0));
    EXPECT_STREQ(L"Smirnova", b.GetName(0));
}

TEST(PatientRecord, NumbersAndBirthday)
{
    PatientInfo info;
    EXPECT_EQ(0u, info.GetSex());
    info.SetSex(0x102);
    info.SetPatientId(4000000000u);
    FILETIME day = {0x89ABCDEF, 0x01D2};
    info.SetBirthday(day);
    EXPECT_EQ(0x102u, info.GetSex());
    EXPECT_EQ(4000000000u, info.GetPatientId());
    EXPECT_EQ(0x89ABCDEFu, info.GetBirthday().dwLowDateTime);
    EXPECT_EQ(0x01D2u, info.GetBirthday().dwHighDateTime);
}

TEST(PictureMappingWin, RectOverloadMatches)
{
    DPicturePtr a;
    ASSERT_TRUE(a.CreateSized(100, 50));
    a->zoom = 2.0;
    a->zoomedWidth = 200;
    a->zoomedHeight = 100;
    a->viewOriginX = 5;
    RECT in = {10, 10, 20, 30}, out;
    a->MapRect(in, out);
    EXPECT_EQ(15, out.left);
    EXPECT_EQ(20, out.top);
    EXPECT_EQ(35, out.right);
    EXPECT_EQ(60, out.bottom);
}

} // namespace

// Every orientation, full size and reduced: what is saved is the stored
// raster at full resolution, and loading it and applying the orientation
// gives back the raster that was shown.
#include "images/files/xmgfile.h"

#include "foundation/lefields.h"
#include "imagefiles_fixture.h"

#include <gtest/gtest.h>

#include <string.h>

using namespace imgtest;

namespace {

class XmgOrientationTest : public ::testing::TestWithParam<std::tuple<int, bool>>
{
protected:
    DataFolder folder;
};

TEST_P(XmgOrientationTest, SavedLoadedAndOrientedGivesTheShownRaster)
{
    const int orientation = std::get<0>(GetParam());
    const bool reduced = std::get<1>(GetParam());
    const int storedW = 70, storedH = 44;

    // A picture loaded from its stored raster and oriented for the view.
    DPicturePtr p = PatternPicture(storedW, storedH, 12);
    p->spacingX = 0.1;
    p->spacingY = 0.2;
    p->imageFlags = DPictureBase::kSpacingKnown;
    p->orientation = orientation;
    ASSERT_EQ(1, p->ApplyOrientation());
    p->RefreshWork();
    const int shownW = p->width, shownH = p->height;
    const double shownSpacingX = p->spacingX, shownSpacingY = p->spacingY;
    std::vector<uint16_t> shown(p->GetBits(), p->GetBits() + (size_t)shownW * shownH);
    if (reduced) {
        p->Reduce(3);
        p->ApplySharpen();
        ASSERT_LT(p->width, shownW);
    }

    const std::wstring path = folder.Path() + L"o.xmg";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    DWORD error = 0;
    ASSERT_EQ(1, SnimokFile::Save(p, file, &error, false));
    CloseHandle(file);

    // The file holds the stored raster, full size, with the stored spacings.
    std::wstring message;
    DPicturePtr q = LoadFile(path, false, false, &message);
    ASSERT_TRUE(q.Get()) << std::string(message.begin(), message.end());
    ASSERT_EQ(storedW, q->width);
    ASSERT_EQ(storedH, q->height);
    std::vector<uint16_t> stored = PatternRaster(storedW, storedH, 12);
    EXPECT_EQ(0, memcmp(stored.data(), q->GetBits(), stored.size() * 2));
    EXPECT_NEAR(0.1, q->spacingX, 1e-6);
    EXPECT_NEAR(0.2, q->spacingY, 1e-6);

    // The viewer applies the orientation kept in the database.
    q->orientation = orientation;
    ASSERT_EQ(1, q->ApplyOrientation());
    ASSERT_EQ(shownW, q->width);
    ASSERT_EQ(shownH, q->height);
    EXPECT_EQ(0, memcmp(shown.data(), q->GetBits(), shown.size() * 2));
    EXPECT_NEAR(shownSpacingX, q->spacingX, 1e-6);
    EXPECT_NEAR(shownSpacingY, q->spacingY, 1e-6);
}

INSTANTIATE_TEST_SUITE_P(EveryOrientation, XmgOrientationTest,
                         ::testing::Combine(::testing::Range(0, 8), ::testing::Bool()));

TEST(XmgOrientation, ShownThreeHundredByTwoHundredAtOrientationFourIsWrittenTwoHundredWide)
{
    DataFolder folder;
    DPicturePtr stored = PatternPicture(200, 300, 12);
    DPicturePtr p = PatternPicture(200, 300, 12);
    p->orientation = 4;
    ASSERT_EQ(1, p->ApplyOrientation());
    ASSERT_EQ(300, p->width);
    ASSERT_EQ(200, p->height);
    const std::wstring path = folder.Path() + L"four.xmg";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    DWORD error = 0;
    ASSERT_EQ(1, SnimokFile::Save(p, file, &error, false));
    CloseHandle(file);
    std::vector<BYTE> f = ReadBytes(path);
    EXPECT_EQ(200u, GetLe32(&f[24]));
    EXPECT_EQ(300u, GetLe32(&f[28]));
    std::wstring message;
    DPicturePtr q = LoadFile(path, false, false, &message);
    ASSERT_TRUE(q.Get());
    EXPECT_EQ(0, memcmp(stored->GetBits(), q->GetBits(), 200 * 300 * 2));
}

TEST(XmgOrientation, MirroredPictureReopensMirrored)
{
    // Orientation 2 (left and right exchanged): the saved file must not be the
    // shown raster, or the viewer would mirror it once more on opening.
    DataFolder folder;
    DPicturePtr p = PatternPicture(50, 20, 12);
    ASSERT_EQ(1, p->MirrorHorizontal());
    ASSERT_EQ(2, p->orientation);
    std::vector<uint16_t> shown(p->GetBits(), p->GetBits() + 50 * 20);
    const std::wstring path = folder.Path() + L"mirror.xmg";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    DWORD error = 0;
    ASSERT_EQ(1, SnimokFile::Save(p, file, &error, false));
    CloseHandle(file);
    std::wstring message;
    DPicturePtr q = LoadFile(path, false, false, &message);
    ASSERT_TRUE(q.Get());
    q->orientation = 2;
    ASSERT_EQ(1, q->ApplyOrientation());
    EXPECT_EQ(0, memcmp(shown.data(), q->GetBits(), shown.size() * 2));
    EXPECT_EQ(shown[0], PatternRaster(50, 20, 12)[49]);
}

}  // namespace

// The whole road of a picture through the panel and the image records: open,
// adjust window and level, turn, save as a new image, save the settings
// again, reopen from the file and the database.
#include "common/window_harness.h"
#include "foundation/globals.h"
#include "imagefiles_fixture.h"
#include "images/viewer/mainviewwnd.h"
#include "images/files/snimokdb.h"
#include "images/viewer/statwnd.h"
#include "images/viewer/viewerstore.h"
#include "images/files/xmgfile.h"
#include "ui/init_rows.h"
#include "common/menu_script.h"

#include <memory>
#include <vector>

using namespace imgtest;

namespace {

class ViewerRoundTripTest : public ImageDbTest
{
protected:
    void SetUp() override
    {
        ImageDbTest::SetUp();
        Exec(L"INSERT INTO Patient (Patient, Name1, Name2, Name3, Birthday, Pol) "
             L"VALUES (17, 'Kuznetsov', 'Ivan', 'Petrovich', NULL, 1);");
        IsAdministrator = false;
        ASSERT_TRUE(RunInitRows(ControlLibraryRows, ControlLibraryRowCount, nullptr));
        ASSERT_TRUE(RegisterViewerClasses());
        host.reset(new harness::HostWindow(300, 200, 40, 40));
        SetViewerStore(DefaultViewerStore());
        MenuScript::Install();   // every menu answered with nothing chosen
        PrepareSettings() = PrepareSnimokSettings{0, 0, 0};
        ASSERT_EQ(1, CreateMainView(host->Hwnd()));
        panel = MainViewWnd::Instance();
    }
    void TearDown() override
    {
        DestroyMainView();
        host.reset();
        MenuScript::Remove();
        UnregisterViewerClasses();
        UndoInitRows(ControlLibraryRows, ControlLibraryRowCount);
        ImageDbTest::TearDown();
    }

    std::unique_ptr<harness::HostWindow> host;
    MainViewWnd* panel = nullptr;
};

}  // namespace

TEST_F(ViewerRoundTripTest, OpenAdjustRotateSaveReopenKeepsPixelsAndSettings)
{
    DPicturePtr p = PatternPicture(300, 200, 12);
    ASSERT_TRUE(p.Get());
    p->patient.SetPatientId(17);
    p->displayOffset = 0;
    p->displayWidth = 4096;
    p->scale = 1.0;
    p->viewCentreX = 150;
    p->viewCentreY = 100;
    SYSTEMTIME day = {2020, 1, 3, 1, 10, 20, 30, 0};
    SystemTimeToFileTime(&day, &p->imageDate);
    ShowMainViewRefresh(p);
    SnimokWnd* view = panel->GetActiveView();
    ASSERT_TRUE(view);
    ASSERT_EQ(p.Get(), view->GetSnimok().Get());

    panel->OnOffsetChanged(-100, true);
    panel->OnWidthChanged(2000, true);
    ASSERT_EQ(1, view->RotateClockwise());
    panel->Command(kButtonNegative, false);
    panel->Command(kButtonSave, false);
    ASSERT_EQ(1, p->stored) << "saved as a new image";
    ASSERT_NE(0u, p->imageId);
    const std::wstring fileName = p->fileName;
    EXPECT_EQ(L'K', fileName[0]);
    EXPECT_TRUE(Exists(folder->ImagePath(fileName)));
    EXPECT_TRUE(Exists(folder->IconPath(fileName)));

    // Later changes are written back to the row.
    panel->OnWidthChanged(2500, true);
    view->SetScale(2.0, 80, 160);
    panel->Command(kButtonSave, false);
    EXPECT_EQ(L"2500", Scalar(L"SELECT Contrast FROM Snimok WHERE Snimok=" + std::to_wstring(p->imageId) + L";"));

    const std::vector<uint16_t> shown(p->GetBits(), p->GetBits() + (size_t)p->width * p->height);
    const int width = p->width, height = p->height, orientation = p->orientation;
    const int cx = p->viewCentreX, cy = p->viewCentreY;
    std::vector<uint8_t> buffer(view->GetBits(), view->GetBits() + (size_t)view->GetStride() * view->GetViewHeight());
    const uint32_t id = p->imageId;
    panel->Command(kButtonExit, false);
    EXPECT_FALSE(panel->IsShown());

    DPicturePtr q = LoadPictureFileEx(id, fileName.c_str());
    ASSERT_TRUE(q.Get());
    ShowMainViewRefresh(q);
    SnimokWnd* again = panel->GetActiveView();
    ASSERT_TRUE(again);
    ASSERT_EQ(q.Get(), again->GetSnimok().Get());
    EXPECT_EQ(width, q->width);
    EXPECT_EQ(height, q->height);
    EXPECT_EQ(orientation, q->orientation);
    EXPECT_EQ(-100, q->displayOffset);
    EXPECT_EQ(2500, q->displayWidth);
    EXPECT_EQ(1, q->negative);
    EXPECT_EQ(2.0, q->scale);
    EXPECT_EQ(cx, q->viewCentreX);
    EXPECT_EQ(cy, q->viewCentreY);
    EXPECT_EQ(0, memcmp(shown.data(), q->GetBits(), shown.size() * 2)) << "the same pixels, the same way up";
    ASSERT_EQ(buffer.size(), (size_t)again->GetStride() * again->GetViewHeight());
    EXPECT_EQ(0, memcmp(buffer.data(), again->GetBits(), buffer.size())) << "and the same picture on screen";
    EXPECT_EQ(-100, panel->GetLevelOffset());
    EXPECT_EQ(2500, panel->GetLevelWidth());
}

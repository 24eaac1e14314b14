// The main image panel's commands on the shell's own services, as the
// program installs them (InstallViewerServices): the note window, the patient
// card, the template menu, the image strip window and the service menu.
// Printing keeps the viewer tests' stand-ins.
#include "../images/viewer_fixture.h"

#include "app/iconsbar.h"
#include "app/iconsnimok.h"
#include "app/exchangeservices.h"
#include "app/mainmenus.h"
#include "app/notesnimok.h"
#include "app/viewerservices.h"
#include "app_fixture.h"
#include "common/prompt_script.h"
#include "database/dbstart.h"
#include "foundation/globals.h"
#include "tools/demosite/sitedatabase.h"

namespace {

DPicturePtr PatientPicture(uint32_t patient = 17, int w = 90, int h = 60)
{
    DPicturePtr p = MakePicture(w, h, [](int x, int y) { return 1000 + 3 * x + 7 * y; });
    p->patient.SetPatientId(patient);
    p->stored = 1;
    p->imageId = 44;
    return p;
}

// A data folder of its own ("Image\" and "Icon\" as the program's folders)
// and a database of the site schema; its rows are given known keys.
class PanelDatabase {
public:
    PanelDatabase() : folder(L"tfpanel")
    {
        CreateDirectoryW(folder.File(L"Image").c_str(), nullptr);
        CreateDirectoryW(folder.File(L"Icon").c_str(), nullptr);
        wcscpy(ImageFolder, folder.File(L"Image\\").c_str());
        wcscpy(IconFolder, folder.File(L"Icon\\").c_str());
        std::wstring error;
        ok = CreateSiteDatabase(folder.File(L"panel.db"), std::wstring(TF_SITE_DIR) + L"schema.sql", error);
        EXPECT_TRUE(ok) << std::string(error.begin(), error.end());
    }
    ~PanelDatabase() { CloseSiteDatabase(); }
    void Exec(const std::wstring& sql, const wchar_t* keyedTable = nullptr)
    {
        if (keyedTable)
            g_DbSession->ExecSql((std::wstring(L"SET IDENTITY_INSERT ") + keyedTable + L" ON").c_str(), nullptr,
                                 nullptr, nullptr, nullptr);
        EXPECT_TRUE(SUCCEEDED(g_DbSession->ExecSql(sql.c_str(), nullptr, nullptr, nullptr, nullptr)))
            << std::string(sql.begin(), sql.end());
        if (keyedTable)
            g_DbSession->ExecSql((std::wstring(L"SET IDENTITY_INSERT ") + keyedTable + L" OFF").c_str(), nullptr,
                                 nullptr, nullptr, nullptr);
    }
    apptest::TempFolder folder;
    bool ok = false;
};

class PanelShellTest : public ViewerTest {
protected:
    void SetUp() override
    {
        ViewerTest::SetUp();
        InstallViewerServices();
        PrepareSettings() = PrepareSnimokSettings{0, 0, 0};
        ASSERT_EQ(1, CreateMainView(host->Hwnd()));
        panel = MainViewWnd::Instance();
        ASSERT_TRUE(panel);
    }
    void TearDown() override
    {
        DestroyMainView();
        RemoveViewerServices();
        ViewerTest::TearDown();
    }

    MainViewWnd* panel = nullptr;
};

TEST_F(PanelShellTest, TheProgramsTableFillsEveryShellEntryAndLeavesPrinting)
{
    const ViewerServices& s = GetViewerServices();
    EXPECT_TRUE(s.showMainPatientWindow && s.openPatientCard && s.setNoteFromTemplateMenu && s.showServiceMenu &&
                s.runImageStrip && s.newNote);
    EXPECT_TRUE(s.printSnimokWithCfg && s.chooseSnimokProfile) << "the stand-ins for printing stay";
    RemoveViewerServices();
    EXPECT_FALSE(GetViewerServices().showMainPatientWindow || GetViewerServices().openPatientCard ||
                 GetViewerServices().setNoteFromTemplateMenu || GetViewerServices().showServiceMenu ||
                 GetViewerServices().runImageStrip || GetViewerServices().newNote);
    EXPECT_TRUE(GetViewerServices().printSnimokWithCfg);
}

}  // namespace

TEST_F(PanelShellTest, DescriptionAsksToSaveAnUnsavedPictureFirst)
{
    PanelDatabase db;
    ASSERT_TRUE(db.ok);
    db.Exec(L"INSERT INTO Patient (Patient, Name1) VALUES (17, N'Ivanov');", L"Patient");
    db.Exec(L"INSERT INTO Snimok (Snimok, Patient, Apicriz) VALUES (305, 17, N'saved just now');", L"Snimok");
    ASSERT_TRUE(NoteSnimokWnd::RegisterClass());
    DPicturePtr p = PatientPicture();
    p->stored = 0;
    ShowMainViewRefresh(p);
    StandInCalls().clear();
    {
        PromptScript script({IDNO});
        panel->Command(kButtonDescription, false);
        ASSERT_EQ(1u, script.Count());
        EXPECT_EQ(L"Picture Not Saved/nSave?", script.Last().text);
    }
    ASSERT_TRUE(panel->GetActiveView()->Note());
    EXPECT_FALSE(panel->GetActiveView()->Note()->GetHwnd());
    {
        PromptScript script({IDYES});
        StoreLog::Calls().clear();
        panel->Command(kButtonDescription, false);
        EXPECT_EQ(std::vector<std::string>{"new image"}, StoreLog::Calls());
    }
    // The note of the new image opens, editable, over the view.
    NoteSnimokWnd& note = static_cast<NoteSnimokWnd&>(*panel->GetActiveView()->Note());
    ASSERT_TRUE(note.GetHwnd());
    EXPECT_TRUE(note.IsEditable());
    EXPECT_EQ(305u, note.GetImageId());
    EXPECT_EQ(17u, note.GetPatientId());
    wchar_t text[64] = {};
    GetWindowTextW(note.GetEdit(), text, 64);
    EXPECT_STREQ(L"saved just now", text);
    note.Destroy();
    NoteSnimokWnd::UnregisterClass();
}

TEST_F(PanelShellTest, CommandsReachTheShellAndPrinting)
{
    PanelDatabase db;
    ASSERT_TRUE(db.ok);
    db.Exec(L"INSERT INTO DiagHelp (Txt, DiagTemplate) VALUES (N'Fracture', N'A fracture is seen.');");
    ShowMainViewRefresh(PatientPicture());
    StandInCalls().clear();
    {
        // Pat Info opens the shell's patient card "Patient.cfg"; this site has
        // no descriptions, so the card says that it cannot read it.
        PromptScript script({IDOK});
        panel->Command(kButtonPatient, false);
        ASSERT_EQ(1u, script.Count());
        EXPECT_EQ(L"File \"Patient.cfg\" interpretating error", script.Last().text);
    }
    panel->Command(kButtonDescription, true);
    panel->Command(kButtonPrint, false);
    MenuScript::Answers() = {1, 2};
    panel->Command(kButtonPrint, true);
    panel->Command(kButtonPrint, true);
    std::vector<std::string> names;
    for (const StandInCall& c : StandInCalls())
        names.push_back(c.name);
    EXPECT_EQ((std::vector<std::string>{"PrintSnimokWithCfg", "ChooseSnimokProfile", "PrintSnimokWithCfg"}), names);
    ASSERT_EQ(3u, StandInCalls().size());
    EXPECT_EQ(0, StandInCalls()[0].flag) << "printed without asking";
    EXPECT_EQ(panel->GetActiveView()->GetViewWidth(), StandInCalls()[0].x);
    EXPECT_EQ(1, StandInCalls()[2].flag) << "asked for the settings";
    // The right click on Description showed the templates (nothing chosen).
    ASSERT_EQ(3u, MenuScript::Seen().size());
    ASSERT_EQ(1u, MenuScript::Seen()[0].size());
    EXPECT_EQ(L"Fracture", MenuScript::Seen()[0][0].text);
    EXPECT_EQ(L"Set Printer Settings...", MenuScript::Seen()[1][0].text);
    EXPECT_EQ(L"Print Image...", MenuScript::Seen()[1][1].text);
}

namespace {
// What the "Pictures" window showed before a timer closed it.
struct StripSeen {
    int runs = 0;
    DWORD patient = 0;
    RECT window = {};
};
StripSeen gStripSeen;
void CALLBACK CloseStripWindow(HWND, UINT, UINT_PTR id, DWORD)
{
    KillTimer(nullptr, id);
    if (IconsBar* bar = IconsBar::Current()) {
        ++gStripSeen.runs;
        gStripSeen.patient = bar->Strip().PatientKey();
        GetWindowRect(bar->GetHwnd(), &gStripSeen.window);
        PostMessageW(bar->GetHwnd(), WM_CLOSE, 0, 0);
    }
}
}  // namespace

TEST_F(PanelShellTest, CaptionIconOpensTheStripAndTheServiceMenu)
{
    PanelDatabase db;
    ASSERT_TRUE(db.ok);
    ASSERT_TRUE(IconSnimok::RegisterClass());
    ASSERT_TRUE(IconsBar::RegisterClass());
    ShowMainViewRefresh(PatientPicture(21));
    StandInCalls().clear();
    gStripSeen = StripSeen();
    SetTimer(nullptr, 0, 50, &CloseStripWindow);
    MenuScript::Seen().clear();   // the fixture's script answers every menu with nothing chosen
    SendMessageW(panel->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(panel->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(40, 5));
    SendMessageW(panel->GetHandle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 5));
    // The strip of the panel's patient opened at (16, 0) and ran until closed.
    EXPECT_EQ(1, gStripSeen.runs);
    EXPECT_EQ(21u, gStripSeen.patient);
    EXPECT_EQ(16, gStripSeen.window.left);
    EXPECT_EQ(0, gStripSeen.window.top);
    EXPECT_FALSE(IconsBar::Current());
    // The right click showed the shell's service menu.
    ASSERT_EQ(1u, MenuScript::Seen().size());
    ASSERT_FALSE(MenuScript::Seen()[0].empty());
    EXPECT_EQ(L"Show printer status", MenuScript::Seen()[0][0].text);
    EXPECT_TRUE(StandInCalls().empty());
    IconsBar::UnregisterClass();
    IconSnimok::UnregisterClass();
}

// An imported picture is new to the database: it opens on the middle of its
// raster, as a stored picture whose row holds no view centre does, not on its
// top-left corner.
TEST_F(PanelShellTest, AnImportedPictureOpensOnTheMiddleOfItsRaster)
{
    ExchangeServices services = {};
    services.importImageFile = [](HWND, DWORD, int) {
        // As the file import gives it: new, and no view centre read from anywhere.
        DPicturePtr p = PatientPicture(17, 1800, 1500);
        p->stored = 0;
        p->imageId = 0;
        p->viewCentreX = p->viewCentreY = 0;
        return p;
    };
    const ExchangeServices previous = SetExchangeServices(services);
    OnServiceCommand(host->Hwnd(), kServiceImportPicture, 0);
    SetExchangeServices(previous);
    SnimokWnd* view = panel->GetActiveView();
    ASSERT_TRUE(view && view->GetSnimok().Get());
    EXPECT_EQ(900, view->GetSnimok()->viewCentreX);
    EXPECT_EQ(750, view->GetSnimok()->viewCentreY);
    ASSERT_LT(view->GetViewWidth(), 1800) << "the picture is larger than its view at 100%";
    EXPECT_NEAR(900, view->ViewToImageX(view->GetViewWidth() / 2), 1);
    EXPECT_NEAR(750, view->ViewToImageY(view->GetViewHeight() / 2), 1);
}

// A clinic prints all day from one process: reports and image sheets, each
// with its state window on a thread of its own, sixteen times in a row with
// and without the print fonts set. A window thread that damaged the heap as
// it ended crashed such a process after about a dozen prints.
#include "print_site.h"

#include "images/viewer/viewerservices.h"
#include "printing/printstatewnd.h"
#include "printing/sheetprint.h"

using namespace printtest;

namespace {

class PrintClassesR {
public:
    PrintClassesR() { DocPrintStateWnd::RegisterClass(); }
    ~PrintClassesR() { DocPrintStateWnd::UnregisterClass(); }

private:
    InputClasses controls_;
};

}  // namespace

class ManyPrints : public ::testing::TestWithParam<bool> {};

TEST_P(ManyPrints, InOneProcess)
{
    REQUIRE_CUPS();
    PrintClassesR classes;
    DemoDatabase db;
    ASSERT_TRUE(db.Ok()) << db.Error();
    PrintSetup setup(kPdfPrinter);
    if (!GetParam())
        setup.SetPrintFonts(0, 0);
    setup.SetHeader(L"Company1", L"Central Clinic");
    setup.SetHeader(L"Address", L"Moscow, Lenina 1");
    setup.SetHeader(L"Phon", L"+7 495 123-45-67");
    const long patient = db.Patients()[0];
    const int image = std::stoi(db.Scalar(L"SELECT MIN(Snimok) FROM Snimok WHERE Patient=" +
                                          std::to_wstring(patient) + L" AND Apicriz IS NOT NULL;"));
    std::vector<BYTE> pixels(static_cast<size_t>(64) * 32, 0x80);
    DPicturePtr picture;
    ASSERT_TRUE(picture.CreateNew());
    picture->imageId = static_cast<uint32_t>(image);
    picture->patient.SetPatientId(static_cast<uint32_t>(patient));
    const PrintSnimokRequest request = {nullptr, pixels.data(), 64, 32, 0, picture.Get()};
    wchar_t countText[16] = L"";
    const int count = GetEnvironmentVariableW(L"TF_PRINTS", countText, 16) ? _wtoi(countText) : 16;
    for (int i = 0; i < count; ++i) {
        PrinterLock lock;
        if (i % 2)
            PrintSnimokWithCfg(nullptr, &request);
        else
            StartDefaultPrintJob(nullptr, static_cast<DWORD>(image), static_cast<DWORD>(patient));
    }
}

INSTANTIATE_TEST_SUITE_P(Fonts, ManyPrints, ::testing::Values(true, false));

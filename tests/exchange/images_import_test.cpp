// Image file import on a database made from the site schema: ".xmg" files of
// both versions become new pictures of the file's patient (found by name,
// birthday and sex, Cyrillic names in any case, or inserted) or of the given
// one; BMP files of 8 and 24 bits, bottom-up and top-down, become 8-bit
// pictures of the given patient; every picture is then saved as a new image
// through the image records alone. Crafted bad files are refused with their
// messages, and nothing reaches the database.
#include "exchange/imagefiles/imageimport.h"

#include "database/dbstart.h"
#include "database/dberrors.h"
#include "database/dbstatement.h"
#include "exchange_fixture.h"
#include "images_file_builders.h"
#include "foundation/messages.h"
#include "images/files/snimokdb.h"
#include "images/files/xmgfile.h"
#include "images/imagefiles_fixture.h"
#include "images/pixels/displaylut.h"
#include "resources/strings.h"

#include <algorithm>
#include <memory>
#include <vector>

using namespace exchtest;

namespace {

FILETIME Birthday(const XmgShape& shape)
{
    return FILETIME{shape.birthdayLow, shape.birthdayHigh};
}

FILETIME Day(WORD year, WORD month, WORD day)
{
    SYSTEMTIME s = {year, month, 0, day, 0, 0, 0, 0};
    FILETIME f;
    SystemTimeToFileTime(&s, &f);
    return f;
}

class ImportTest : public imgtest::ImageDbTest
{
protected:
    void SetUp() override
    {
        ImageDbTest::SetUp();
        files.reset(new TempFolder(L"import"));
        lut.resize(kLutSize);
        BuildDisplayLut(lut.data(), 0, 4096, 0.0);
    }
    void TearDown() override
    {
        files.reset();
        ImageDbTest::TearDown();
    }

    DWORD AddPatient(const wchar_t* name1, const wchar_t* name2, const wchar_t* name3, FILETIME birthday, int sex)
    {
        try {
            BoundStatement insert(g_DbSession,
                                  L"INSERT INTO Patient (Name1, Name2, Name3, Birthday, Pol) VALUES (?, ?, ?, ?, ?);");
            insert.Params().SetStr(1, name1, -1);
            insert.Params().SetStr(2, name2, -1);
            insert.Params().SetStr(3, name3, -1);
            if (birthday.dwLowDateTime || birthday.dwHighDateTime)
                insert.Params().SetValDate(4, birthday);
            else
                insert.Params().SetValDate(4, birthday, DBSTATUS_S_ISNULL);
            insert.Params().SetValI4(5, sex);
            insert.Run();
        } catch (const DODBErrors& errors) {
            wchar_t text[1024] = {};
            errors.GetText(text, 1023);
            ADD_FAILURE() << "the patient was not added: " << std::wstring(text).c_str();
        }
        return (DWORD)std::stol(Scalar(L"SELECT MAX(Patient) FROM Patient;"));
    }

    std::wstring Write(const std::wstring& name, const std::vector<uint8_t>& bytes)
    {
        const std::wstring path = files->File(name);
        WriteFileBytes(path, bytes);
        return path;
    }

    // The reader on the file as the import opens it.
    template <class Import>
    DPicturePtr WithFile(const std::wstring& path, Import import)
    {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        EXPECT_NE(INVALID_HANDLE_VALUE, file);
        DPicturePtr picture = import(file);
        CloseHandle(file);
        return picture;
    }
    DPicturePtr Xmg(const std::vector<uint8_t>& bytes, DWORD patient, int ask)
    {
        return WithFile(Write(L"in.xmg", bytes), [&](HANDLE f) { return ImportXmgFile(f, patient, ask); });
    }
    DPicturePtr Bmp(const std::vector<uint8_t>& bytes, DWORD patient)
    {
        return WithFile(Write(L"in.bmp", bytes), [&](HANDLE f) { return ImportBmpFile(f, patient); });
    }

    // Saves the picture as a new image and reads its file back.
    void SaveAndCompare(const DPicturePtr& picture, DWORD patient)
    {
        const long images = Count(L"Snimok");
        ASSERT_TRUE(SaveSnimokTx(picture, lut.data()));
        EXPECT_EQ(images + 1, Count(L"Snimok"));
        EXPECT_EQ(1, picture->stored);
        EXPECT_EQ(std::to_wstring(patient),
                  Scalar(L"SELECT Patient FROM Snimok WHERE Snimok=" + std::to_wstring(picture->imageId) + L";"));
        std::wstring message;
        DPicturePtr back = imgtest::LoadFile(folder->ImagePath(picture->fileName), true, true, &message);
        ASSERT_TRUE(back.Get()) << std::string(message.begin(), message.end());
        ASSERT_EQ(picture->width, back->width);
        ASSERT_EQ(picture->height, back->height);
        EXPECT_EQ(0, memcmp(picture->GetBits(), back->GetBits(), (size_t)back->width * back->height * 2));
        EXPECT_EQ(patient, back->patient.GetPatientId());
    }

    std::unique_ptr<TempFolder> files;
    std::vector<uint8_t> lut;
};

std::vector<uint16_t> Widen(const std::vector<uint8_t>& grey)
{
    return std::vector<uint16_t>(grey.begin(), grey.end());
}

std::vector<uint16_t> Pixels(const DPicturePtr& p)
{
    return std::vector<uint16_t>(p->GetBits(), p->GetBits() + (size_t)p->width * p->height);
}

}  // namespace

TEST_F(ImportTest, AVersionTwoFileOfAKnownPatientIsFoundWhateverTheCaseOfTheNames)
{
    XmgShape shape;
    const DWORD patient = AddPatient(L"ИВАНОВ", L"ПЁТР", L"СЕРГЕЕВИЧ", Birthday(shape), 1);
    AddPatient(L"Иванов", L"Пётр", L"Сергеевич", Birthday(shape), 0);     // another sex: another patient
    const long patients = Count(L"Patient");
    DPicturePtr picture = Xmg(MakeXmg(shape, XmgPattern(shape)), 0, 0);
    ASSERT_TRUE(picture.Get());
    EXPECT_EQ(patient, picture->patient.GetPatientId());
    EXPECT_EQ(patients, Count(L"Patient"));
    EXPECT_STREQ(L"ИВАНОВ", picture->patient.GetName(0));
    EXPECT_EQ(0, picture->stored);
    EXPECT_EQ(XmgPattern(shape), Pixels(picture));
    EXPECT_EQ(12, picture->bitsPerPixel);
    SaveAndCompare(picture, patient);
}

TEST_F(ImportTest, AVersionOneFileOfAnUnknownPatientBringsItsPatient)
{
    XmgShape shape;
    shape.version = 1;
    shape.names = {u"Петрова", u"Анна", u""};
    shape.sex = 0;
    const FILETIME born = Day(1981, 7, 9);   // what a datetime column keeps exactly
    shape.birthdayLow = born.dwLowDateTime;
    shape.birthdayHigh = born.dwHighDateTime;
    AddPatient(L"Петрова", L"Анна", L"", Day(1970, 1, 2), 0);     // another birthday
    const long patients = Count(L"Patient");
    DPicturePtr picture = Xmg(MakeXmg(shape, XmgPattern(shape)), 0, 0);
    ASSERT_TRUE(picture.Get());
    EXPECT_EQ(patients + 1, Count(L"Patient"));
    const DWORD patient = picture->patient.GetPatientId();
    EXPECT_EQ(L"Петрова", Scalar(L"SELECT Name1 FROM Patient WHERE Patient=" + std::to_wstring(patient) + L";"));
    EXPECT_EQ(L"0", Scalar(L"SELECT Pol FROM Patient WHERE Patient=" + std::to_wstring(patient) + L";"));
    EXPECT_EQ(Birthday(shape).dwLowDateTime, picture->patient.GetBirthday().dwLowDateTime);
    EXPECT_EQ(XmgPattern(shape), Pixels(picture));
    SaveAndCompare(picture, patient);

    // The next import of that file finds the patient it brought.
    DPicturePtr again = Xmg(MakeXmg(shape, XmgPattern(shape)), 0, 0);
    ASSERT_TRUE(again.Get());
    EXPECT_EQ(patient, again->patient.GetPatientId());
    EXPECT_EQ(patients + 1, Count(L"Patient"));
}

TEST_F(ImportTest, AskedForThePatientTheUserChoosesTheFilesOrTheCurrentOne)
{
    XmgShape shape;
    const DWORD current = AddPatient(L"Сидоров", L"Олег", L"", Day(1950, 5, 6), 1);
    const DWORD own = AddPatient(L"Иванов", L"Пётр", L"Сергеевич", Birthday(shape), 1);
    const std::vector<uint8_t> file = MakeXmg(shape, XmgPattern(shape));
    PromptScript prompts({IDNO, IDYES, IDCANCEL});

    DPicturePtr picture = Xmg(file, current, 1);
    ASSERT_TRUE(picture.Get());
    EXPECT_EQ(current, picture->patient.GetPatientId());
    EXPECT_EQ(L"Import patient?", prompts.Last().text);
    EXPECT_EQ(L"Import Picture", prompts.Last().caption);
    EXPECT_EQ((UINT)(MB_YESNOCANCEL | MB_SYSTEMMODAL), prompts.Last().flags & (MB_TYPEMASK | MB_MODEMASK));

    picture = Xmg(file, current, 1);
    ASSERT_TRUE(picture.Get());
    EXPECT_EQ(own, picture->patient.GetPatientId());

    EXPECT_FALSE(Xmg(file, current, 1).Get());
    EXPECT_EQ(3u, prompts.Count());
}

TEST_F(ImportTest, APatientWithoutABirthdayIsFoundAndBroughtWithout)
{
    // Files of patients whose birthday nobody entered hold a zero date,
    // which no datetime column keeps.
    XmgShape shape;
    shape.birthdayLow = shape.birthdayHigh = 0;
    const DWORD known = AddPatient(L"Иванов", L"Пётр", L"Сергеевич", FILETIME{0, 0}, 1);
    DPicturePtr picture = Xmg(MakeXmg(shape, XmgPattern(shape)), 0, 0);
    ASSERT_TRUE(picture.Get());
    EXPECT_EQ(known, picture->patient.GetPatientId());

    shape.names = {u"Новиков", u"Илья", u""};
    const long patients = Count(L"Patient");
    picture = Xmg(MakeXmg(shape, XmgPattern(shape)), 0, 0);
    ASSERT_TRUE(picture.Get());
    EXPECT_EQ(patients + 1, Count(L"Patient"));
    EXPECT_EQ(L"<null>", Scalar(L"SELECT Birthday FROM Patient WHERE Patient=" +
                                std::to_wstring(picture->patient.GetPatientId()) + L";"));
    SaveAndCompare(picture, picture->patient.GetPatientId());
}

TEST_F(ImportTest, AFileWithoutPatientDataIsNotImportedForItsOwnPatient)
{
    XmgShape shape;
    shape.texts = false;
    const long patients = Count(L"Patient");
    PromptScript prompts({IDOK});
    EXPECT_FALSE(Xmg(MakeXmg(shape, XmgPattern(shape)), 0, 0).Get());
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(imgtest::StringText(IDS_IMPORT_NO_PATIENT_DATA), prompts.Last().text);
    EXPECT_EQ(L"Import Picture", prompts.Last().caption);
    EXPECT_EQ(patients, Count(L"Patient"));
}

TEST_F(ImportTest, DamagedXmgFilesAreRefusedWithTheirMessages)
{
    XmgShape shape;
    std::vector<uint8_t> file = MakeXmg(shape, XmgPattern(shape));
    file[0] = 'X';
    PromptScript prompts({IDOK, IDOK});
    EXPECT_FALSE(Xmg(file, 0, 0).Get());
    EXPECT_EQ(imgtest::StringText(IDS_PICTURE_VERSION_ERROR), prompts.Last().text);
    file = MakeXmg(shape, XmgPattern(shape));
    file.resize(file.size() - 3);
    EXPECT_FALSE(Xmg(file, 0, 0).Get());
    EXPECT_EQ(2u, prompts.Count());
    EXPECT_EQ(0, Count(L"Patient"));
}

TEST_F(ImportTest, BmpFilesOfEightAndTwentyFourBitsBecomePicturesOfTheGivenPatient)
{
    const DWORD patient = AddPatient(L"Kuznetsov", L"Ivan", L"", FILETIME{0, 0}, 1);
    for (int bits : {8, 24}) {
        for (bool topDown : {false, true}) {
            BmpShape shape;
            shape.bits = bits;
            shape.topDown = topDown;
            shape.width = 37;
            shape.height = 21;
            const std::vector<uint8_t> grey = GreyPattern(shape.width, shape.height);
            const std::wstring path = Write(L"in.bmp", MakeBmp(shape, grey));
            DPicturePtr picture = WithFile(path, [&](HANDLE f) { return ImportBmpFile(f, patient); });
            ASSERT_TRUE(picture.Get()) << bits << " bits, top-down " << topDown;
            EXPECT_EQ(37, picture->width);
            EXPECT_EQ(21, picture->height);
            EXPECT_EQ(Widen(grey), Pixels(picture)) << bits << " bits, top-down " << topDown;
            EXPECT_EQ(picture->GetBits(), picture->GetWorkBits());
            EXPECT_EQ(8, picture->bitsPerPixel);
            EXPECT_EQ(*std::max_element(grey.begin(), grey.end()), picture->levels);
            EXPECT_EQ(0, picture->displayOffset);
            EXPECT_EQ(256, picture->displayWidth);
            EXPECT_EQ(0, picture->stored);
            EXPECT_EQ(patient, picture->patient.GetPatientId());
            EXPECT_STREQ(L"Kuznetsov", picture->patient.GetName(0));
            // The file's creation time is the picture's date.
            HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
            FILETIME created = {};
            GetFileTime(file, &created, nullptr, nullptr);
            CloseHandle(file);
            EXPECT_EQ(0, CompareFileTime(&created, &picture->imageDate));
            SaveAndCompare(picture, patient);
        }
    }
}

TEST_F(ImportTest, CraftedBadBmpFilesAreRefusedWithTheirMessages)
{
    const DWORD patient = AddPatient(L"Kuznetsov", L"Ivan", L"", FILETIME{0, 0}, 1);
    BmpShape shape;
    const std::vector<uint8_t> valid = MakeBmp(shape, GreyPattern(shape.width, shape.height));
    struct Case
    {
        std::vector<uint8_t> bytes;
        unsigned message;
    };
    std::vector<Case> cases;
    cases.push_back(Case{std::vector<uint8_t>(valid.begin(), valid.begin() + 20), IDS_BMP_READ_ERROR});
    cases.push_back(Case{valid, IDS_BMP_NOT_BMP});
    cases.back().bytes[1] = 'X';
    cases.push_back(Case{valid, IDS_BMP_COMPRESSION});
    Le32(cases.back().bytes, 30, 1);
    cases.push_back(Case{valid, IDS_BMP_COLOR_COUNT});
    Le16(cases.back().bytes, 28, 4);
    cases.push_back(Case{valid, IDS_BMP_NOT_BMP});
    Le32(cases.back().bytes, 18, 0x8000);
    Le32(cases.back().bytes, 22, 0x8000);
    cases.push_back(Case{std::vector<uint8_t>(valid.begin(), valid.end() - 2), IDS_BMP_SEEK_ERROR});
    cases.push_back(Case{valid, IDS_BMP_SEEK_ERROR});
    Le32(cases.back().bytes, 46, 200);      // a palette of 200 entries runs into the pixels... and
    Le32(cases.back().bytes, 14, 0x7FFFFFF0);   // an information header that would end past the file

    PromptScript prompts;
    for (const Case& c : cases) {
        prompts.Answer(IDOK);
        EXPECT_FALSE(Bmp(c.bytes, patient).Get()) << c.message;
        EXPECT_EQ(imgtest::StringText(c.message), prompts.Last().text) << c.message;
        EXPECT_EQ(imgtest::StringText(IDS_BMP_IMPORT), prompts.Last().caption);
        EXPECT_EQ((UINT)MB_SYSTEMMODAL, prompts.Last().flags & MB_MODEMASK);
    }
    EXPECT_EQ(cases.size(), prompts.Count());
    EXPECT_EQ(0, Count(L"Snimok"));
}

// A window waiting to be painted is painted while a BMP is read, not after:
// the largest picture from a slow disk or share never leaves the windows blank.
TEST_F(ImportTest, WindowsArePaintedWhileABmpIsRead)
{
    harness::HostWindow host(200, 100, 60, 60);
    BmpShape shape;
    shape.bits = 24;
    shape.width = 1;
    shape.height = 100000;
    const std::wstring path = Write(L"tall.bmp", MakeBmp(shape, GreyPattern(1, 100000)));
    UpdateWindow(host.Hwnd());
    host.ClearMessages();
    InvalidateRect(host.Hwnd(), nullptr, TRUE);
    unsigned error = ~0u;
    DPicturePtr picture = WithFile(path, [&](HANDLE f) {
        DPicturePtr read;
        error = ReadBmpPicture(f, read, 0);
        return read;
    });
    EXPECT_EQ(0u, error);
    EXPECT_EQ(1u, host.MessagesOf(WM_PAINT).size());
    ASSERT_TRUE(picture.Get());
    EXPECT_EQ(100000, picture->height);
}

TEST_F(ImportTest, ABmpForAPatientWhoIsNotThereIsRefused)
{
    BmpShape shape;
    PromptScript prompts({IDOK});
    EXPECT_FALSE(Bmp(MakeBmp(shape, GreyPattern(shape.width, shape.height)), 4711).Get());
    EXPECT_EQ(imgtest::StringText(IDS_PATIENT_NOT_FOUND), prompts.Last().text);
}

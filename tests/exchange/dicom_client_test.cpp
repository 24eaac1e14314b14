// The DICOM export client against the stand-in server (tools/dicomsrv):
// connecting to a running server and to none, the DCOM setting, one working
// object at a time; SaveImage's file checked by dcmtk and dicom3tools and
// compared with the picture; the server's failures shown with their texts;
// sending to one target, to the chosen one of two, to none; the pixel
// section that someone else holds.
#include "exchange/dicom/dicomattrs.h"
#include "exchange/dicom/dicomclient.h"
#include "exchange/dicom/dicomsend.h"

#include "exchange_fixture.h"
#include "foundation/textutil.h"
#include "resources/resource.h"
#include "resources/strings.h"

#include <oleauto.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

using namespace exchtest;

namespace {

DicomExportClient& Client()
{
    return DicomExportClient::Instance();
}

class DicomServerTest : public DicomServerCase
{
};

// The HKLM value "EnableDCOM" away while it lives.
class WithoutDcomSetting
{
public:
    WithoutDcomSetting()
    {
        DWORD size = sizeof saved_;
        had_ = RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Ole", L"EnableDCOM", RRF_RT_REG_SZ, nullptr,
                            saved_, &size) == ERROR_SUCCESS;
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Ole", L"EnableDCOM");
    }
    ~WithoutDcomSetting()
    {
        const wchar_t* value = had_ ? saved_ : L"Y";
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Ole", L"EnableDCOM", REG_SZ, value,
                        (DWORD)((wcslen(value) + 1) * sizeof(wchar_t)));
    }

private:
    wchar_t saved_[16] = {};
    bool had_ = false;
};

// The value of one element as dcmdump shows it ("[...]" of texts, the
// numbers of binary ones); "<missing>" when the element is not there.
std::string DumpValue(const std::string& dump, const std::string& tag)
{
    std::istringstream lines(dump);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.compare(0, tag.size(), tag) != 0)
            continue;
        if (line.find("(no value available)") != std::string::npos)
            return "";
        const size_t open = line.find('[');
        const size_t close = line.rfind(']');
        if (open != std::string::npos && close != std::string::npos && close > open)
            return line.substr(open + 1, close - open - 1);
        // Binary values: after the VR, up to the "#".
        const size_t hash = line.find('#');
        std::string value = line.substr(tag.size() + 4, hash == std::string::npos ? std::string::npos
                                                                                  : hash - tag.size() - 4);
        while (!value.empty() && value.back() == ' ')
            value.pop_back();
        return value;
    }
    return "<missing>";
}

std::vector<std::string> LinesWith(const std::string& text, const std::string& word)
{
    std::vector<std::string> found;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (line.find(word) != std::string::npos)
            found.push_back(line);
    return found;
}

// The system's text of an error code without its line break.
std::wstring SystemText(DWORD code)
{
    wchar_t* text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                   code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring out = text ? text : L"";
    if (text)
        LocalFree(text);
    while (!out.empty() && (out.back() == L'\n' || out.back() == L'\r' || out.back() == L' '))
        out.pop_back();
    return out;
}

std::wstring Utf16(const std::string& utf8)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring out(n > 0 ? (size_t)n : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], n);
    return out.c_str();
}

// Invalidates a window from a thread of its own while it lives, anew once it has
// painted: a window whose thread keeps it painted gets WM_PAINT after WM_PAINT.
class Invalidator
{
public:
    explicit Invalidator(HWND window) : window_(window)
    {
        stop_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
    }
    ~Invalidator()
    {
        SetEvent(stop_);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
        CloseHandle(stop_);
    }

private:
    static DWORD WINAPI Run(void* self)
    {
        Invalidator* me = static_cast<Invalidator*>(self);
        while (WaitForSingleObject(me->stop_, 10) == WAIT_TIMEOUT)
            if (!GetUpdateRect(me->window_, nullptr, FALSE))
                InvalidateRect(me->window_, nullptr, TRUE);
        return 0;
    }
    HWND window_;
    HANDLE stop_ = nullptr;
    HANDLE thread_ = nullptr;
};

// The message of a server that did not answer, with its line break as the
// formatter writes it.
std::wstring NoAnswerText(unsigned seconds)
{
    std::wstring text = LoadText(IDS_DICOM_NO_ANSWER);
    text.replace(text.find(L"%1!u!"), 5, std::to_wstring(seconds));
    return text.replace(text.find(L'\n'), 1, L"\r\n");
}

// The attributes and the pixel section of a picture, as a save makes them.
struct SaveArguments
{
    explicit SaveArguments(const DPicturePtr& picture)
        : section(new PixelSection(DicomExportClient::kSectionName, picture->GetBits(),
                                   (size_t)picture->width * picture->height * 2))
    {
        DicomAttrList list;
        FillDicomAttributes(picture, list, DicomAcquisition());
        array = list.ToSafeArray();
    }
    ~SaveArguments() { SafeArrayDestroy(array); }
    SAFEARRAY* array = nullptr;
    std::unique_ptr<PixelSection> section;
};

}  // namespace

TEST_F(DicomServerTest, ConnectsToTheRunningServer)
{
    settings->AddTarget(L"PACS", L"");
    HANDLE server = StartDicomServerByHand();
    ASSERT_TRUE(server);
    ASSERT_EQ(1, Client().Init());
    ASSERT_EQ(1, Client().GetTargetList());
    ASSERT_EQ(1, Client().TargetCount());
    EXPECT_STREQ(L"PACS", Client().TargetName(0));
    EXPECT_EQ(nullptr, Client().TargetName(1));

    // The client talks to that process: once it is gone, a call fails and
    // says so.
    StopDicomServers();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(server, 0));
    CloseHandle(server);
    PromptScript prompts({IDOK});
    EXPECT_EQ(0, Client().Reset(L"000001_17_305"));
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(0u, prompts.Last().text.find(L"Ошибка вызова Invoke(Reset) HRESULT=8")) << prompts.Last().text.c_str();
    EXPECT_EQ(nullptr, prompts.Last().owner);
}

TEST_F(DicomServerTest, StartsTheServerWhenNoneRuns)
{
    settings->AddTarget(L"PACS", L"");
    ASSERT_FALSE(DicomServerRunning());
    ASSERT_EQ(1, Client().Init());
    EXPECT_TRUE(DicomServerRunning());
    EXPECT_EQ(1, Client().GetTargetList());
    EXPECT_EQ(1, Client().TargetCount());
}

TEST_F(DicomServerTest, EveryConnectionLetsGoOfTheWorkingObjectBefore)
{
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(1, Client().Init());
    Client().Shutdown();
    // A server that COM started ends when nobody holds one of its objects:
    // a working object kept by an earlier connection would keep it alive.
    EXPECT_TRUE(harness::PumpUntil([] { return !DicomServerRunning(); }, 20000));
}

TEST_F(DicomServerTest, WithoutTheDcomSettingNoServerIsLookedFor)
{
    WithoutDcomSetting noDcom;
    EXPECT_THROW(Client().Init(), HRESULT);
    EXPECT_FALSE(Client().Connected());
    EXPECT_FALSE(DicomServerRunning());
    EXPECT_EQ(0, Client().GetTargetList());
    EXPECT_EQ(0, Client().Reset(L"x"));
}

TEST_F(DicomServerTest, SaveImageWritesAFileTheCheckersAcceptWithThePicturesData)
{
    TempFolder out(L"dcm");
    const std::wstring path = out.File(L"chest.dcm");
    DPicturePtr picture = TestPicture(64, 48, 12);
    ASSERT_EQ(1, SaveImageAsDicomFile(picture, host.Hwnd(), path.c_str()));
    ASSERT_TRUE(FileThere(path));
    const std::string unix = UnixPath(path);
    ASSERT_FALSE(unix.empty());

    const std::string test = RunHostTool("/usr/bin/dcmftest", unix);
    EXPECT_EQ(0u, test.find("yes:")) << test;
    const std::string iod = RunHostTool("/usr/bin/dciodvfy", unix);
    EXPECT_TRUE(LinesWith(iod, "Error").empty()) << iod;

    const std::string dump = RunHostTool("/usr/bin/dcmdump", "+L -Un " + unix);
    EXPECT_EQ("ISO_IR 192", DumpValue(dump, "(0008,0005)"));
    EXPECT_EQ("1.2.840.10008.5.1.4.1.1.1", DumpValue(dump, "(0008,0016)"));
    EXPECT_EQ("CR", DumpValue(dump, "(0008,0060)"));
    EXPECT_EQ(L"Иванов^Пётр^Сергеевич", Utf16(DumpValue(dump, "(0010,0010)")));
    EXPECT_EQ("17", DumpValue(dump, "(0010,0020)"));
    EXPECT_EQ("19610312", DumpValue(dump, "(0010,0030)"));
    EXPECT_EQ("M", DumpValue(dump, "(0010,0040)"));
    EXPECT_EQ("305", DumpValue(dump, "(0008,0050)"));
    EXPECT_EQ("20040818", DumpValue(dump, "(0008,0020)"));
    EXPECT_EQ("090507", DumpValue(dump, "(0008,0030)"));
    EXPECT_EQ("Tobal", DumpValue(dump, "(0008,1030)"));
    EXPECT_EQ("305", DumpValue(dump, "(0020,0010)"));
    EXPECT_EQ("1", DumpValue(dump, "(0020,0011)"));
    EXPECT_EQ("1", DumpValue(dump, "(0020,0013)"));
    EXPECT_EQ("P\\F", DumpValue(dump, "(0020,0020)"));
    EXPECT_EQ("48", DumpValue(dump, "(0028,0010)"));
    EXPECT_EQ("64", DumpValue(dump, "(0028,0011)"));
    EXPECT_EQ("16", DumpValue(dump, "(0028,0100)"));
    EXPECT_EQ("12", DumpValue(dump, "(0028,0101)"));
    EXPECT_EQ("11", DumpValue(dump, "(0028,0102)"));
    EXPECT_EQ("0", DumpValue(dump, "(0028,0103)"));
    EXPECT_EQ("MONOCHROME2", DumpValue(dump, "(0028,0004)"));
    EXPECT_EQ("0.2\\0.15", DumpValue(dump, "(0028,0030)"));
    EXPECT_EQ("2048", DumpValue(dump, "(0028,1050)"));
    EXPECT_EQ("4096", DumpValue(dump, "(0028,1051)"));
    // Nothing that was never measured.
    for (const char* tag : {"(0018,0060)", "(0018,1110)", "(0018,1150)", "(0018,1152)", "(0018,115e)"})
        EXPECT_EQ("<missing>", DumpValue(dump, tag)) << tag;
    EXPECT_EQ("", DumpValue(dump, "(0018,5101)")) << "View Position is present, empty";

    // The pixel data, the file's last bytes, are the picture's raster.
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    const size_t pixelBytes = 64u * 48u * 2u;
    ASSERT_GT(bytes.size(), pixelBytes + 12);
    EXPECT_EQ(0, memcmp(bytes.data() + bytes.size() - pixelBytes, picture->GetBits(), pixelBytes));
    EXPECT_EQ(0x7FE0, bytes[bytes.size() - pixelBytes - 12] | (bytes[bytes.size() - pixelBytes - 11] << 8));
}

TEST_F(DicomServerTest, EveryDepthGivesAValidFile)
{
    TempFolder out(L"dcm");
    for (int depth : {8, 16}) {
        const std::wstring path = out.File(L"depth" + std::to_wstring(depth) + L".dcm");
        DPicturePtr picture = TestPicture(33, 17, depth);
        ASSERT_EQ(1, SaveImageAsDicomFile(picture, host.Hwnd(), path.c_str()));
        const std::string unix = UnixPath(path);
        EXPECT_EQ(0u, RunHostTool("/usr/bin/dcmftest", unix).find("yes:"));
        const std::string iod = RunHostTool("/usr/bin/dciodvfy", unix);
        EXPECT_TRUE(LinesWith(iod, "Error").empty()) << depth << " bits:\n" << iod;
        const std::string dump = RunHostTool("/usr/bin/dcmdump", unix);
        EXPECT_EQ(std::to_string(depth), DumpValue(dump, "(0028,0101)"));
        EXPECT_EQ("16", DumpValue(dump, "(0028,0100)"));
    }
}

TEST_F(DicomServerTest, TheServersFailuresAreShownWithTheirTexts)
{
    TempFolder out(L"dcm");
    const std::wstring path = out.File(L"x.dcm");
    DPicturePtr picture = TestPicture(8, 8, 8);
    settings->AddTarget(L"PACS", L"");
    PromptScript prompts;

    settings->FailWithText(L"SaveImage", L"The disk is full.");
    prompts.Answer(IDOK);
    EXPECT_EQ(0, SaveImageAsDicomFile(picture, host.Hwnd(), path.c_str()));
    EXPECT_EQ(L"The disk is full.", prompts.Last().text);
    EXPECT_FALSE(prompts.Last().hasCaption);
    EXPECT_FALSE(FileThere(path));

    settings->ClearFaults();
    settings->FailWithHresult(L"SaveImage", E_FAIL);
    prompts.Answer(IDOK);
    EXPECT_EQ(0, SaveImageAsDicomFile(picture, host.Hwnd(), path.c_str()));
    EXPECT_EQ(L"Ошибка вызова Invoke(SaveImage) HRESULT=80004005", prompts.Last().text);

    settings->ClearFaults();
    settings->AnswerWithType(L"SaveImage", L"empty");
    prompts.Answer(IDOK);
    EXPECT_EQ(0, SaveImageAsDicomFile(picture, host.Hwnd(), path.c_str()));
    EXPECT_EQ(L"Ошибка SaveImage", prompts.Last().text);

    settings->ClearFaults();
    settings->AnswerWithType(L"SendImage", L"number");
    prompts.Answer(IDOK);
    EXPECT_EQ(0, SendPictureToDicomServer(picture, host.Hwnd()));
    EXPECT_EQ(L"Ошибка SendImage", prompts.Last().text);

    settings->ClearFaults();
    settings->FailWithHresult(L"DeleteImage", DISP_E_EXCEPTION);
    settings->AnswerWithType(L"ResetImage", L"empty");
    prompts.Answer(IDOK);
    prompts.Answer(IDOK);
    EXPECT_EQ(0, Client().Delete(L"000001_17_305"));
    EXPECT_EQ(L"Ошибка вызова Invoke(Delete) HRESULT=80020009", prompts.Last().text);
    EXPECT_EQ(0, Client().Reset(L"000001_17_305"));
    EXPECT_EQ(L"Ошибка Reset", prompts.Last().text);

    // The server's own refusal of an unknown entry.
    settings->ClearFaults();
    prompts.Answer(IDOK);
    EXPECT_EQ(0, Client().Delete(L"no such entry"));
    EXPECT_NE(std::wstring::npos, prompts.Last().text.find(L"no such entry"));
    EXPECT_EQ(7u, prompts.Count());
}

TEST_F(DicomServerTest, ConnectionFailuresAreShownWithTheSystemsText)
{
    DPicturePtr picture = TestPicture(8, 8, 8);
    settings->FailWithHresult(L"Instance", E_ACCESSDENIED);
    PromptScript prompts({IDOK});
    EXPECT_EQ(0, SendPictureToDicomServer(picture, host.Hwnd()));
    ASSERT_EQ(1u, prompts.Count());
    const std::wstring system = SystemText((DWORD)E_ACCESSDENIED);
    ASSERT_FALSE(system.empty());
    EXPECT_EQ(0u, prompts.Last().text.find(system)) << prompts.Last().text.c_str();
}

// A stopped server (every thread of it suspended) freezes nothing: each call
// gives up at the limit with the window painted all along and says so; until
// the server answers, every call is refused at once; a call it answers late
// is carried out then (its section lived with it), and the program goes on.
TEST_F(DicomServerTest, AServerThatDoesNotAnswerIsGivenUpOnAndTheProgramStaysUsable)
{
    TempFolder out(L"dcm");
    const std::wstring late = out.File(L"late.dcm"), refused = out.File(L"refused.dcm"),
                       after = out.File(L"after.dcm");
    DPicturePtr picture = TestPicture(64, 48, 12);
    ASSERT_EQ(1, Client().Init());
    DicomExportClient::SetCallLimitMs(1500);
    PromptScript prompts({IDOK, IDOK, IDOK, IDOK});
    struct Case
    {
        const char* what;
        std::function<int()> call;
    };
    const Case cases[] = {
        // The user's road: the connection is the first call that waits.
        {"save", [&] { return SaveImageAsDicomFile(picture, host.Hwnd(), refused.c_str()); }},
        // A member of a connected client, with the pixels it hands over.
        {"SaveImage", [&] {
             SaveArguments arguments(picture);
             return Client().SaveImage(late.c_str(), arguments.array, std::move(arguments.section));
         }},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(1, Client().Init()) << c.what;
        StoppedDicomServers stopped;
        ASSERT_GT(stopped.Count(), 0u);
        const size_t promptsBefore = prompts.Count();
        host.ClearMessages();
        DWORD took = 0;
        {
            Invalidator invalidator(host.Hwnd());
            const DWORD start = GetTickCount();
            EXPECT_EQ(0, c.call()) << c.what;
            took = GetTickCount() - start;
        }
        EXPECT_GE(took, 1400u) << c.what;
        EXPECT_LT(took, 15000u) << c.what << ": given up at the limit, not at the default of 30 s";
        EXPECT_GE(host.MessagesOf(WM_PAINT).size(), 3u) << c.what << ": the window was not painted meanwhile";
        ASSERT_EQ(promptsBefore + 1, prompts.Count()) << c.what;
        EXPECT_EQ(NoAnswerText(2), prompts.Last().text) << c.what;
        EXPECT_FALSE(DicomExportClient::Answering());

        // Refused at once while the server has not answered (an asking call waits out 30 s).
        DicomExportClient::SetCallLimitMs(0);
        const DWORD start = GetTickCount();
        EXPECT_EQ(0, SaveImageAsDicomFile(picture, host.Hwnd(), refused.c_str())) << c.what;
        EXPECT_LT(GetTickCount() - start, 15000u) << c.what;
        DicomExportClient::SetCallLimitMs(1500);
        ASSERT_EQ(promptsBefore + 2, prompts.Count()) << c.what;
        EXPECT_EQ(LoadText(IDS_DICOM_STILL_BUSY), prompts.Last().text);

        stopped.Resume();
        EXPECT_TRUE(harness::PumpUntil([] { return DicomExportClient::Answering(); }, 20000)) << c.what;
    }
    EXPECT_FALSE(FileThere(refused));
    EXPECT_TRUE(FileThere(late)) << "the server carried out the call it answered late";
    DicomExportClient::SetCallLimitMs(0);
    EXPECT_EQ(30000u, DicomExportClient::CallLimitMs());
    EXPECT_EQ(1, SaveImageAsDicomFile(picture, host.Hwnd(), after.c_str()));
    EXPECT_TRUE(FileThere(after));
    EXPECT_EQ(4u, prompts.Count());
}

// A name longer than the VR holds keeps every component, each cut by
// characters to its share; the patient's unsigned key is written as the
// number it is.
TEST_F(DicomServerTest, ALongNameKeepsItsComponentsAndTheKeyStaysUnsigned)
{
    TempFolder out(L"dcm");
    struct Case
    {
        std::wstring family, given, middle;
        DWORD id;
        std::wstring name;   // as the file holds it
        std::string key;
    };
    const Case cases[] = {
        {std::wstring(255, L'W'), L"Peter", L"Sergeyevich", 0xFFFFFFFF,
         std::wstring(46, L'W') + L"^Peter^Sergeyevich", "4294967295"},
        {std::wstring(255, L'Ж'), std::wstring(100, L'П'), L"Сергеевич", 0x80000000,
         std::wstring(27, L'Ж') + L"^" + std::wstring(26, L'П') + L"^Сергеевич", "2147483648"},
    };
    int n = 0;
    for (const Case& c : cases) {
        DPicturePtr picture = TestPicture(16, 12, 10);
        picture->patient.SetName(0, c.family.c_str(), -1);
        picture->patient.SetName(1, c.given.c_str(), -1);
        picture->patient.SetName(2, c.middle.c_str(), -1);
        picture->patient.SetPatientId(c.id);
        const std::wstring path = out.File((L"long" + std::to_wstring(++n) + L".dcm").c_str());
        ASSERT_EQ(1, SaveImageAsDicomFile(picture, host.Hwnd(), path.c_str()));
        const std::string unix = UnixPath(path);
        const std::string dump = RunHostTool("/usr/bin/dcmdump", "+L -Un " + unix);
        EXPECT_EQ(c.name, Utf16(DumpValue(dump, "(0010,0010)")));
        EXPECT_EQ(64u, c.name.size());
        EXPECT_EQ(c.key, DumpValue(dump, "(0010,0020)"));
    }
    // dicom3tools counts bytes, not characters: the Latin name is checked.
    const std::string iod = RunHostTool("/usr/bin/dciodvfy", UnixPath(out.File(L"long1.dcm")));
    EXPECT_TRUE(LinesWith(iod, "Error").empty()) << iod;
}

TEST_F(DicomServerTest, WithOneTargetTheImageGoesThereWithoutAQuestion)
{
    TempFolder received(L"pacs");
    settings->AddTarget(L"PACS", received.Path());
    DPicturePtr picture = TestPicture(16, 12, 10);
    ASSERT_EQ(1, SendPictureToDicomServer(picture, host.Hwnd()));
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((received.Path() + L"*.dcm").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, find);
    FindClose(find);
    const std::string unix = UnixPath(received.Path() + found.cFileName);
    EXPECT_EQ(0u, RunHostTool("/usr/bin/dcmftest", unix).find("yes:"));
    EXPECT_EQ("16", DumpValue(RunHostTool("/usr/bin/dcmdump", unix), "(0028,0011)"));
}

TEST_F(DicomServerTest, WithTwoTargetsTheUserChoosesOne)
{
    TempFolder first(L"pacs1"), second(L"pacs2");
    settings->AddTarget(L"Archive", first.Path());
    settings->AddTarget(L"Radiology", second.Path());
    DPicturePtr picture = TestPicture(16, 12, 10);
    std::vector<std::wstring> listed;
    {
        DialogDriver driver;
        driver.Then([] { return FindOwnDialog(LoadText(IDS_DICOM_SERVERS)); }, [&](HWND dialog) {
            HWND list = GetDlgItem(dialog, IDC_DICOM_SERVER_LIST);
            for (int i = 0; i < (int)SendMessageW(list, LB_GETCOUNT, 0, 0); ++i) {
                wchar_t text[64] = {};
                SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
                listed.push_back(text);
            }
            EXPECT_EQ(host.Hwnd(), GetWindow(dialog, GW_OWNER));
            // OK without a choice does nothing.
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
            EXPECT_TRUE(IsWindow(dialog));
            SendMessageW(list, LB_SETCURSEL, 1, 0);
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        });
        ASSERT_EQ(1, SendPictureToDicomServer(picture, host.Hwnd()));
    }
    EXPECT_EQ((std::vector<std::wstring>{L"Archive", L"Radiology"}), listed);
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((second.Path() + L"*.dcm").c_str(), &found);
    EXPECT_NE(INVALID_HANDLE_VALUE, find);
    if (find != INVALID_HANDLE_VALUE)
        FindClose(find);
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW((first.Path() + L"*.dcm").c_str(), &found));

    // Cancel sends nothing and asks nothing more.
    DialogDriver driver;
    driver.Press(LoadText(IDS_DICOM_SERVERS), IDCANCEL);
    EXPECT_EQ(0, SendPictureToDicomServer(picture, host.Hwnd()));
}

TEST_F(DicomServerTest, WithoutTargetsTheUserIsTold)
{
    PromptScript prompts({IDOK});
    EXPECT_EQ(0, SendPictureToDicomServer(TestPicture(8, 8, 8), host.Hwnd()));
    ASSERT_EQ(1u, prompts.Count());
    EXPECT_EQ(L"Не сконфигурированы DICOM Servers", prompts.Last().text);
}

TEST_F(DicomServerTest, ASendToATargetBeyondTheListIsNotMade)
{
    settings->AddTarget(L"PACS", L"");
    ASSERT_EQ(1, Client().Init());
    ASSERT_EQ(1, Client().GetTargetList());
    settings->FailWithText(L"SendImage", L"called");
    PromptScript prompts;
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    EXPECT_EQ(0, Client().SendPicture(1, array));
    EXPECT_EQ(0, Client().SendPicture(-1, array));
    SafeArrayDestroy(array);
    EXPECT_EQ(0u, prompts.Count());
}

TEST_F(DicomServerTest, ASectionOfThatNameThatExistsIsNotWrittenInto)
{
    TempFolder out(L"dcm");
    const std::wstring path = out.File(L"x.dcm");
    // Someone else's section of 16 bytes under the name.
    HANDLE other = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 16,
                                      DicomExportClient::kSectionName);
    ASSERT_TRUE(other);
    PromptScript prompts({IDOK});
    EXPECT_EQ(0, SaveImageAsDicomFile(TestPicture(64, 64, 12), host.Hwnd(), path.c_str()));
    ASSERT_EQ(1u, prompts.Count());
    const std::wstring system = SystemText(ERROR_ALREADY_EXISTS);
    ASSERT_FALSE(system.empty());
    EXPECT_EQ(0u, prompts.Last().text.find(system)) << prompts.Last().text.c_str();
    EXPECT_FALSE(FileThere(path));
    CloseHandle(other);

    // Once it is gone, the next save makes its own and closes it again; its
    // file is deleted right after, on a thread of its own.
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const size_t filesBefore = FilesIn(temp, L"zdc*.tmp").size();
    ASSERT_EQ(1, SaveImageAsDicomFile(TestPicture(64, 64, 12), host.Hwnd(), path.c_str()));
    HANDLE left = OpenFileMappingW(FILE_MAP_READ, FALSE, DicomExportClient::kSectionName);
    EXPECT_EQ(nullptr, left);
    if (left)
        CloseHandle(left);
    EXPECT_TRUE(harness::PumpUntil([&] { return FilesIn(temp, L"zdc*.tmp").size() == filesBefore; }, 10000));
}

// The choice of the target in both languages: its caption and buttons in the
// running language, whole and apart, the targets listed.
class DicomServersPictures : public DicomServerTest, public ::testing::WithParamInterface<LANGID>
{
};

TEST_P(DicomServersPictures, TheChoiceOfTheTargetLooksRight)
{
    harness::ThreadLanguage language(GetParam());
    settings->AddTarget(L"Archive", L"");
    settings->AddTarget(L"Radiology", L"");
    const std::wstring title = LoadText(IDS_DICOM_SERVERS);
    std::wstring faults = L"not opened";
    int listed = 0;
    DialogDriver driver;
    driver.Then([&] { return FindOwnDialog(title); }, [&](HWND dialog) {
        SendDlgItemMessageW(dialog, IDC_DICOM_SERVER_LIST, LB_SETCURSEL, 1, 0);
        listed = (int)SendDlgItemMessageW(dialog, IDC_DICOM_SERVER_LIST, LB_GETCOUNT, 0, 0);
        faults = LookFaults(dialog, title, {{IDOK, IDS_OK}, {IDCANCEL, IDS_CANCEL}}, GetParam() == 0x419,
                            L"dicom-servers");
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(0, SendPictureToDicomServer(TestPicture(8, 8, 8), host.Hwnd()));
    EXPECT_EQ(2, listed);
    EXPECT_EQ(L"", faults);
}

INSTANTIATE_TEST_SUITE_P(DicomBothLanguages, DicomServersPictures, ::testing::Values(0x409, 0x419));

TEST_F(DicomServerTest, ATargetListOfTheWrongShapeGivesNoTargets)
{
    settings->AddTarget(L"PACS", L"");
    ASSERT_EQ(1, Client().Init());
    ASSERT_EQ(1, Client().GetTargetList());
    ASSERT_EQ(1, Client().TargetCount());
    for (const wchar_t* kind : {L"number", L"empty"}) {
        settings->AnswerWithType(L"GetTargetList", kind);
        EXPECT_EQ(0, Client().GetTargetList()) << kind;
        EXPECT_EQ(0, Client().TargetCount()) << kind;
        settings->ClearFaults();
    }
    // A text where the array belongs is no list either, and sending then
    // says that no target is configured.
    settings->FailWithText(L"GetTargetList", L"PACS");
    PromptScript prompts({IDOK});
    EXPECT_EQ(0, SendPictureToDicomServer(TestPicture(8, 8, 8), host.Hwnd()));
    EXPECT_EQ(L"Не сконфигурированы DICOM Servers", prompts.Last().text);
}

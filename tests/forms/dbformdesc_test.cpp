// Database form descriptions: sections in English and Russian, repeated
// sections, buttons and their roles and events, "child" pairs, "nosave",
// and the per-form settings in the registry.
#include "common/settings_root.h"
#include "desc_test_util.h"
#include "forms/dbformdesc.h"
#include "forms/descheap.h"
#include "foundation/globals.h"
#include "ui/button.h"

#include <string>
#include <vector>

namespace {

std::wstring Str(const wchar_t* text, int length) { return text ? std::wstring(text, length) : L"<null>"; }
std::wstring Str(const DStrBuf& b) { return Str(b.GetString(), b.Length()); }

const wchar_t kHead[] = L"table = \"Patient\" key = \"Patient\"\n";

}  // namespace

class DbFormDescTest : public DescTest {
protected:
    // Parses `text` as "t.cfg"; the result.
    int ParseText(DbFormDesc& desc, const std::wstring& text)
    {
        WriteCfg(L"t.cfg", text);
        return desc.Parse(L"t.cfg");
    }
};

TEST_F(DbFormDescTest, AllSectionsInEnglish)
{
    DbFormDesc desc;
    ASSERT_EQ(1,
        ParseText(desc,
            L"form { caption = \"Patient\" width = -600 height = -2 }\n"
            L"table = \"Patient\"\n"
            L"key = \"Patient\"\n"
            L"orderby = \"Name1, Name2\"\n"
            L"items { {\"Family name\", \"Name1\", char(40) notnull rowid checkrow}\n"
            L"        {\"Modality\", \"Modality\", int32, reference {\"Modality\",\"Modality\",\"Txt\",char(32)}} }\n"
            L"list { {\"Family name\", \"Name1\", char(40), width = 200} {\"Birthday\", \"Birthday\", date} }\n"
            L"child { {\"Notes\" \"Patient\"} }\n"
            L"buttons { { caption = \"Save\" tooltip = \"Save (F2)\" click = \"addupdate\" } }\n"
            L"nosave\n"));
    EXPECT_EQ(std::wstring(L"Patient"), desc.Caption());
    EXPECT_EQ(-600, desc.Width());
    EXPECT_EQ(-2, desc.Height());
    EXPECT_EQ(L"Patient", Str(desc.Table()));
    EXPECT_EQ(L"Patient", Str(desc.Key()));
    EXPECT_EQ(L"Name1, Name2", Str(desc.Order()));
    ASSERT_EQ(2, desc.Items().count);
    EXPECT_EQ(kControlList, desc.Items()[1]->controlKind);
    ASSERT_EQ(2, desc.List().count);
    EXPECT_EQ(200, desc.List()[0]->width);
    ASSERT_EQ(1, desc.ChildCount());
    EXPECT_EQ(L"Notes", Str(desc.Child(0).first));
    EXPECT_EQ(L"Patient", Str(desc.Child(0).second));
    ASSERT_EQ(1, desc.ButtonCount());
    EXPECT_EQ(L"Save", Str(desc.Button(0).caption));
    EXPECT_EQ(L"Save (F2)", Str(desc.Button(0).tooltip));
    EXPECT_EQ(L"", Str(desc.Button(0).string));
    EXPECT_EQ(kEventAddUpdate, desc.Button(0).click);
    EXPECT_TRUE(desc.NoSave());
    EXPECT_TRUE(Records().empty());
}

TEST_F(DbFormDescTest, AllSectionsInRussian)
{
    DbFormDesc desc;
    ASSERT_EQ(1,
        ParseText(desc,
            L"форма { заголовок = \"Пациент\" }\n"
            L"таблица = \"Patient\" ключ = \"Patient\" порядок = \"Name1\"\n"
            L"элементы { {\"Фамилия\", \"Name1\", char(40)} }\n"
            L"список { {\"Фамилия\", \"Name1\", char(40)} }\n"
            L"кнопки { сервер { заголовок = \"Записать\" подсказка = \"F2\" иконка = \"none.ico\"\n"
            L"                  строка = \"x.cfg\" щелчок = \"formopen\" пщелчок = \"close\" сщелчок = \"new\" } }\n"));
    EXPECT_EQ(std::wstring(L"Пациент"), desc.Caption());
    EXPECT_EQ(L"Name1", Str(desc.Order()));
    ASSERT_EQ(1, desc.ButtonCount());
    const ItemDesc& b = desc.Button(0);
    EXPECT_EQ(L"Записать", Str(b.caption));
    EXPECT_EQ(L"x.cfg", Str(b.string));
    EXPECT_EQ(nullptr, b.icon);   // the file does not exist
    EXPECT_EQ(kEventFormOpen, b.click);
    EXPECT_EQ(kEventClose, b.rclick);
    EXPECT_EQ(kEventNew, b.mclick);
    EXPECT_EQ(1, b.HasHandler(kEventNew));
    EXPECT_EQ(0, b.HasHandler(kEventDelete));
    EXPECT_EQ(0, b.HasHandler(0));
    EXPECT_EQ(0, b.HasHandler(6));
    EXPECT_EQ(1, desc.HasEvent(kEventClose));
    EXPECT_EQ(0, desc.HasEvent(kEventAddUpdate));
}

TEST_F(DbFormDescTest, RepeatedSectionsReplaceValuesAndAccumulateLists)
{
    DbFormDesc desc;
    ASSERT_EQ(1, ParseText(desc,
                           L"table = \"A\" key = \"ka\" orderby = \"1\"\n"
                           L"items { {\"X\",\"x\",int32} } list { {\"X\",\"x\",int32} }\n"
                           L"buttons { { caption = \"One\" click = \"close\" } }\n"
                           L"table = \"B\" key = \"kb\" orderby = \"2\"\n"
                           L"items { {\"Y\",\"y\",int32} } list { {\"Y\",\"y\",int32} }\n"
                           L"buttons { { caption = \"Two\" click = \"new\" } }\n"));
    EXPECT_EQ(L"B", Str(desc.Table()));
    EXPECT_EQ(L"kb", Str(desc.Key()));
    EXPECT_EQ(L"2", Str(desc.Order()));
    EXPECT_EQ(2, desc.Items().count);
    EXPECT_EQ(2, desc.List().count);
    ASSERT_EQ(2, desc.ButtonCount());
    EXPECT_EQ(L"One", Str(desc.Button(0).caption));
    EXPECT_EQ(L"Two", Str(desc.Button(1).caption));
}

TEST_F(DbFormDescTest, WithoutTableOrKeyIsAnUnknownException)
{
    DbFormDesc a;
    EXPECT_EQ(0, ParseText(a, L"key = \"k\" items { }"));
    DbFormDesc b;
    EXPECT_EQ(0, ParseText(b, L"table = \"t\" key = \"\""));
    const std::vector<JournalLine> r = Records();
    ASSERT_EQ(2u, r.size());
    EXPECT_EQ(L"Form \"t.cfg\" compilation error (unknown exception)", r[0].text);
    EXPECT_EQ(static_cast<DWORD>(-1), r[1].code);
}

TEST_F(DbFormDescTest, ReferenceInTheListIsRefused)
{
    DbFormDesc desc;
    EXPECT_EQ(0, ParseText(desc, std::wstring(kHead) +
                                     L"list { {\"M\",\"m\",int32, reference {\"T\",\"K\",\"S\",char(5)}} }"));
    EXPECT_EQ(L"Use reference is not allowed.", OnlyRecord().text);
}

// ---- Buttons ----

TEST_F(DbFormDescTest, LaborantButtonWithUnknownHandlerIsDropped)
{
    DbFormDesc desc;
    ASSERT_EQ(1, ParseText(desc, std::wstring(kHead) +
                                     L"buttons { laborant { caption = \"Hidden\" click = \"explode\" }\n"
                                     L"          { caption = \"Close\" click = \"close\" }\n"
                                     L"          лаборант сервер { caption = \"Also hidden\" } }"));
    ASSERT_EQ(1, desc.ButtonCount());
    EXPECT_EQ(L"Close", Str(desc.Button(0).caption));
    EXPECT_TRUE(Records().empty());
}

TEST_F(DbFormDescTest, UnknownHandlerOnAKeptButtonIsRefused)
{
    DbFormDesc desc;
    EXPECT_EQ(0, ParseText(desc, std::wstring(kHead) +
                                     L"buttons {\n server { caption = \"X\" click = \"explode\" } }"));
    const JournalLine r = OnlyRecord();
    EXPECT_EQ(L"Button function \"explode\" not found", r.text);
    EXPECT_EQ(2u, r.code);   // the line of the name
}

TEST_F(DbFormDescTest, HandlerNamesMatchByPrefixIgnoringCase)
{
    DbFormDesc desc;
    ASSERT_EQ(1, ParseText(desc, std::wstring(kHead) + L"buttons { { click = \"DELETE\" rclick = \"closeCard\"" +
                                     L" mclick = \"AddUpdate\" } }"));
    EXPECT_EQ(kEventDelete, desc.Button(0).click);
    EXPECT_EQ(kEventClose, desc.Button(0).rclick);
    EXPECT_EQ(kEventAddUpdate, desc.Button(0).mclick);
    EXPECT_EQ(L"", Str(desc.Button(0).caption));
}

TEST_F(DbFormDescTest, HandlerGivenTwiceOrEmpty)
{
    DbFormDesc a;
    EXPECT_EQ(0, ParseText(a, std::wstring(kHead) + L"buttons { { click = \"close\" click = \"new\" } }"));
    EXPECT_EQ(L"Button function redefining", OnlyRecord().text);
}

TEST_F(DbFormDescTest, EmptyHandlerName)
{
    DbFormDesc b;
    EXPECT_EQ(0, ParseText(b, std::wstring(kHead) + L"buttons { { click = \"\" } }"));
    EXPECT_EQ(L"Invalid button function name", OnlyRecord().text);
}

TEST_F(DbFormDescTest, ButtonAttributeFaults)
{
    struct Case {
        const wchar_t* buttons;
        int code;
    } cases[] = {
        {L"{ caption = \"a\" caption = \"b\" }", -2},
        {L"{ icon = \"a\" icon = \"b\" }", -3},
        {L"{ tooltip = \"a\" tooltip = \"b\" }", -4},
        {L"{ string = \"a\" string = \"b\" }", -5},
        {L"{ colour = \"a\" }", -1},
        {L"{ captions = \"a\" }", -1},
        {L"admin { }", 2},
        {L"serverX { }", 2},
        {L"( )", 2},
    };
    for (const Case& c : cases) {
        DbFormDesc desc;
        EXPECT_EQ(0, ParseText(desc, std::wstring(kHead) + L"buttons { " + c.buttons + L" }"));
        const std::vector<JournalLine> r = Records();
        ASSERT_FALSE(r.empty());
        EXPECT_EQ(static_cast<DWORD>(c.code), r.back().code) << testing::PrintToString(std::wstring(c.buttons));
    }
}

TEST_F(DbFormDescTest, RoleWordAtTheEndOfTheText)
{
    DbFormDesc desc;
    EXPECT_EQ(0, ParseText(desc, std::wstring(kHead) + L"buttons { server"));
    EXPECT_EQ(1u, OnlyRecord().code);
}

TEST_F(DbFormDescTest, ButtonsSectionNeedsABrace)
{
    DbFormDesc desc;
    EXPECT_EQ(0, ParseText(desc, std::wstring(kHead) + L"buttons ( )"));
    EXPECT_EQ(2u, OnlyRecord().code);
}

// ---- Child pairs ----

TEST_F(DbFormDescTest, ChildPairs)
{
    DbFormDesc desc;
    ASSERT_EQ(1, ParseText(desc, std::wstring(kHead) + L"child { {\"A\" \"a\"} {\"B\"\n\"b\"} }"));
    ASSERT_EQ(2, desc.ChildCount());
    EXPECT_EQ(L"B", Str(desc.Child(1).first));
    EXPECT_EQ(L"b", Str(desc.Child(1).second));
    DbFormDesc bad;
    EXPECT_EQ(0, ParseText(bad, std::wstring(kHead) + L"child { {\"A\" \"a\" \"b\"} }"));
    EXPECT_EQ(2u, OnlyRecord().code);
}

// ---- nosave ----

TEST_F(DbFormDescTest, NoSaveMayBeTheLastSection)
{
    // The word may end the text, or blanks, line breaks and comments may follow.
    for (const wchar_t* tail : {L"nosave", L"nosave  ", L"nosave\r\n\r\n", L"nosave // end\n", L"nosave /* end */"}) {
        DbFormDesc desc;
        ASSERT_EQ(1, ParseText(desc, std::wstring(kHead) + tail)) << testing::PrintToString(std::wstring(tail));
        EXPECT_TRUE(desc.NoSave());
    }
    DbFormDesc before;
    ASSERT_EQ(1, ParseText(before, std::wstring(L"nosave ") + kHead));
    EXPECT_TRUE(before.NoSave());
    EXPECT_TRUE(Records().empty());
}

TEST_F(DbFormDescTest, SectionWordAtTheEndOfTheTextIsEndOfFile)
{
    DbFormDesc desc;
    EXPECT_EQ(0, ParseText(desc, std::wstring(kHead) + L"orderby"));
    EXPECT_EQ(1u, OnlyRecord().code);
}

TEST_F(DbFormDescTest, StringsSectionIsNotImplemented)
{
    DbFormDesc desc;
    EXPECT_EQ(0, ParseText(desc, std::wstring(kHead) + L"строки { }"));
    EXPECT_EQ(4u, OnlyRecord().code);
}

TEST_F(DbFormDescTest, AFailedParseLeavesNothingBehind)
{
    const LONG before = DescHeap::Outstanding();
    {
        DbFormDesc desc;
        EXPECT_EQ(0, ParseText(desc, std::wstring(kHead) +
                                         L"items { {\"A\",\"a\",int32} } list { {\"A\",\"a\",int32} }\n"
                                         L"buttons { { click = \"close\" } } child { {\"x\" \"y\"} }\n"
                                         L"items { {\"B\",\"b\",bogus} }"));
        EXPECT_EQ(0, desc.Items().count);
        EXPECT_EQ(0, desc.ButtonCount());
        EXPECT_EQ(before, DescHeap::Outstanding());
    }
    EXPECT_EQ(before, DescHeap::Outstanding());
}

// ---- Settings ----

class DbFormSettingsTest : public DbFormDescTest {
protected:
    void SetUp() override
    {
        DbFormDescTest::SetUp();
        name_ = UniqueName(L"settings");
        key_ = std::wstring(SettingsKeyPath) + L"\\" + name_;
    }
    void TearDown() override
    {
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, key_.c_str());
        DbFormDescTest::TearDown();
    }

    void SetDword(const wchar_t* value, DWORD data)
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        RegSetValueExW(key, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof(data));
        RegCloseKey(key);
    }
    void SetBinary(const wchar_t* value, const void* data, DWORD size, DWORD type = REG_BINARY)
    {
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        RegSetValueExW(key, value, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    // The stored DWORD, or 0xDEADBEEF when there is none.
    DWORD GetDword(const wchar_t* value)
    {
        DWORD data = 0xDEADBEEF, size = sizeof(data), type = 0;
        RegGetValueW(HKEY_LOCAL_MACHINE, key_.c_str(), value, RRF_RT_ANY, &type, &data, &size);
        return data;
    }
    bool KeyExists()
    {
        HKEY key;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        RegCloseKey(key);
        return true;
    }
    int Parse(DbFormDesc& desc, const wchar_t* extra = L"")
    {
        WriteCfg(name_, std::wstring(kHead) + extra +
                            L"list { {\"A\",\"a\",int32} {\"B\",\"b\",int32} {\"C\",\"c\",int32, width = 77} }");
        return desc.Parse(name_.c_str());
    }

    std::wstring name_;
    std::wstring key_;
};

TEST_F(DbFormSettingsTest, WithoutStoredSettingsTheFormsFontAndFileWidths)
{
    DbFormDesc desc;
    ASSERT_EQ(1, Parse(desc));
    EXPECT_EQ(std::wstring(GetFormsFont()->lfFaceName), desc.Font().lfFaceName);
    EXPECT_EQ(-1, desc.List()[0]->width);
    EXPECT_EQ(77, desc.List()[2]->width);
    EXPECT_FALSE(KeyExists());   // reading creates nothing
}

TEST_F(DbFormSettingsTest, StoredWidthsAndFontAreRead)
{
    SetDword(L"Column0", 120);
    SetDword(L"Column1", 5);   // below 10: the default width
    LOGFONTW font = {};
    font.lfHeight = -17;
    wcscpy(font.lfFaceName, L"Stored Face");
    SetBinary(L"Font", &font, sizeof(font));
    DbFormDesc desc;
    ASSERT_EQ(1, Parse(desc));
    EXPECT_EQ(120, desc.List()[0]->width);
    EXPECT_EQ(-1, desc.List()[1]->width);
    EXPECT_EQ(77, desc.List()[2]->width);   // no Column2: the reading stopped
    EXPECT_EQ(-17, desc.Font().lfHeight);
    EXPECT_EQ(std::wstring(L"Stored Face"), desc.Font().lfFaceName);
}

TEST_F(DbFormSettingsTest, AWrongValueEndsTheReadingAndAShortFontIsNotTaken)
{
    SetDword(L"Column0", 150);
    SetBinary(L"Column1", "ab", 2);
    SetDword(L"Column2", 300);
    BYTE shortFont[91] = {};
    SetBinary(L"Font", shortFont, sizeof(shortFont));
    DbFormDesc desc;
    ASSERT_EQ(1, Parse(desc));
    EXPECT_EQ(150, desc.List()[0]->width);
    EXPECT_EQ(-1, desc.List()[1]->width);
    EXPECT_EQ(77, desc.List()[2]->width);
    EXPECT_EQ(std::wstring(GetFormsFont()->lfFaceName), desc.Font().lfFaceName);
}

TEST_F(DbFormSettingsTest, RoundTripThroughSave)
{
    {
        DbFormDesc desc;
        ASSERT_EQ(1, Parse(desc));
        desc.List()[0]->width = 250;
        desc.List()[1]->width = 3;
        EXPECT_EQ(1, desc.SaveSettings());
    }
    EXPECT_EQ(250u, GetDword(L"Column0"));
    EXPECT_EQ(3u, GetDword(L"Column1"));
    EXPECT_EQ(77u, GetDword(L"Column2"));
    EXPECT_EQ(0xDEADBEEFu, GetDword(L"Column3"));
    DbFormDesc again;
    ASSERT_EQ(1, Parse(again));
    EXPECT_EQ(250, again.List()[0]->width);
    EXPECT_EQ(-1, again.List()[1]->width);
    EXPECT_EQ(77, again.List()[2]->width);
}

TEST_F(DbFormSettingsTest, NoSaveReadsAndWritesNothing)
{
    SetDword(L"Column0", 120);
    LOGFONTW font = {};
    wcscpy(font.lfFaceName, L"Stored Face");
    SetBinary(L"Font", &font, sizeof(font));
    DbFormDesc desc;
    ASSERT_EQ(1, Parse(desc, L"nosave\n"));
    EXPECT_EQ(-1, desc.List()[0]->width);
    EXPECT_EQ(std::wstring(GetFormsFont()->lfFaceName), desc.Font().lfFaceName);
    desc.List()[1]->width = 400;
    EXPECT_EQ(1, desc.SaveSettings());
    EXPECT_EQ(0xDEADBEEFu, GetDword(L"Column1"));
}

TEST_F(DbFormSettingsTest, SettingsFollowTheSettingsRoot)
{
    const std::wstring root = L"Software\\TobalFluoroTests\\" + name_;
    {
        SettingsRootScope scope(HKEY_CURRENT_USER, root.c_str());
        DbFormDesc desc;
        ASSERT_EQ(1, Parse(desc));
        desc.List()[0]->width = 222;
        EXPECT_EQ(1, desc.SaveSettings());
        DbFormDesc again;
        ASSERT_EQ(1, Parse(again));
        EXPECT_EQ(222, again.List()[0]->width);
    }
    EXPECT_FALSE(KeyExists()) << "nothing written below the program's own settings key";
    DWORD width = 0, size = sizeof width;
    EXPECT_EQ(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, (root + L"\\" + name_).c_str(), L"Column0",
                                          RRF_RT_REG_DWORD, nullptr, &width, &size));
    EXPECT_EQ(222u, width);
    RegDeleteTreeW(HKEY_CURRENT_USER, root.c_str());
}

// ---- Buttons as controls ----

namespace {

// A 16 x 16 icon file, 32 bits per pixel.
std::vector<BYTE> IconFile()
{
    std::vector<BYTE> b;
    auto put16 = [&](WORD v) { b.push_back(static_cast<BYTE>(v)); b.push_back(static_cast<BYTE>(v >> 8)); };
    auto put32 = [&](DWORD v) { put16(static_cast<WORD>(v)); put16(static_cast<WORD>(v >> 16)); };
    const DWORD pixels = 16 * 16 * 4, mask = 16 * 4, image = 40 + pixels + mask;
    put16(0); put16(1); put16(1);                           // icon directory, one image
    b.push_back(16); b.push_back(16); b.push_back(0); b.push_back(0);
    put16(1); put16(32); put32(image); put32(6 + 16);       // its entry
    put32(40); put32(16); put32(32); put16(1); put16(32);   // BITMAPINFOHEADER, height doubled
    put32(0); put32(pixels + mask); put32(0); put32(0); put32(0); put32(0);
    for (DWORD i = 0; i < 16 * 16; ++i)
        put32(0xFF2080C0);
    b.insert(b.end(), mask, 0);
    return b;
}

}  // namespace

TEST_F(DbFormDescTest, IconsAreLoadedFromTheDescriptionFolder)
{
    const std::vector<BYTE> icon = IconFile();
    HANDLE f = CreateFileW((folder_ + L"save.ico").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    DWORD written = 0;
    WriteFile(f, icon.data(), static_cast<DWORD>(icon.size()), &written, nullptr);
    CloseHandle(f);

    DbFormDesc desc;
    ASSERT_EQ(1,
        ParseText(desc,
            std::wstring(kHead)
                + L"form { icon = \"save.ico\" }\n"
                  L"buttons { { caption = \"Save\" icon = \"save.ico\" click = \"addupdate\" rclick = \"close\" }\n"
                  L"          { mclick = \"new\" } }"));
    EXPECT_NE(nullptr, desc.Icon());
    ASSERT_EQ(2, desc.ButtonCount());
    EXPECT_NE(nullptr, desc.Button(0).icon);
    EXPECT_EQ(nullptr, desc.Button(1).icon);

    DButtonDesc control = {};
    control.style = DButtonStyle::kVisible | DButtonStyle::kHoverTimeout;
    desc.Button(0).ToControlItem(control);
    EXPECT_EQ(std::wstring(L"Save"), control.caption);
    EXPECT_EQ(desc.Button(0).icon, control.icon);
    EXPECT_EQ(IconSize, control.iconWidth);
    EXPECT_EQ(IconSize, control.iconHeight);
    EXPECT_EQ(0x80044000u, control.style);

    DButtonDesc second = {};
    desc.Button(1).ToControlItem(second);
    EXPECT_EQ(nullptr, second.caption);
    EXPECT_EQ(nullptr, second.icon);
    EXPECT_EQ(0x8000u, second.style);
}

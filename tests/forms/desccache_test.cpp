// The description cache: one parse per name, names compared ignoring case,
// failures shown and not kept, descriptions destroyed when it is cleared.
#include "common/prompt_script.h"
#include "desc_test_util.h"
#include "forms/dbformdesc.h"
#include "forms/desccache.h"
#include "forms/descheap.h"
#include "forms/formdesc.h"

#include <string>

namespace {

const wchar_t kMain[] = L"table = \"Patient\" key = \"Patient\" nosave\nlist { {\"Name\", \"Name1\", char(40)} }\n";
const wchar_t kFilter[] = L"items { {\"Name\", \"Name1\", char(40)} }\n";

}  // namespace

using DescCacheTest = DescTest;

TEST_F(DescCacheTest, ANameInOtherCaseFindsTheSameDescription)
{
    WriteCfg(L"main.cfg", kMain);
    DescCache cache;
    DbFormDesc* first = cache.GetDbFormDesc(L"main.cfg", -1);
    ASSERT_NE(nullptr, first);
    // The file is not read again: even a broken one is not noticed.
    WriteCfg(L"main.cfg", L"broken");
    EXPECT_EQ(first, cache.GetDbFormDesc(L"MAIN.CFG", -1));
    EXPECT_EQ(first, cache.GetDbFormDesc(L"Main.Cfg and more", 8));
    EXPECT_EQ(1, cache.Count());
    EXPECT_TRUE(Records().empty());
}

TEST_F(DescCacheTest, TheOtherKindUnderACachedNameIsNull)
{
    WriteCfg(L"main.cfg", kMain);
    DescCache cache;
    ASSERT_NE(nullptr, cache.GetDbFormDesc(L"main.cfg", -1));
    EXPECT_EQ(nullptr, cache.GetFormDesc(L"main.cfg", -1));   // no prompt: nothing was read
    WriteCfg(L"filt.cfg", kFilter);
    FormDesc* filter = cache.GetFormDesc(L"filt.cfg", -1);
    ASSERT_NE(nullptr, filter);
    EXPECT_EQ(nullptr, cache.GetDbFormDesc(L"FILT.cfg", -1));
    EXPECT_EQ(filter, cache.GetFormDesc(L"filt.CFG", -1));
    EXPECT_EQ(2, cache.Count());
}

TEST_F(DescCacheTest, AFailureIsShownAndNotCached)
{
    WriteCfg(L"bad.cfg", L"table = \"t\"");   // no key
    DescCache cache;
    PromptScript script({IDOK, IDOK});
    EXPECT_EQ(nullptr, cache.GetDbFormDesc(L"bad.cfg", -1));
    ASSERT_EQ(1u, script.Count());
    const PromptRecord shown = script.Last();
    EXPECT_EQ(L"File \"bad.cfg\" interpretating error", shown.text);
    EXPECT_EQ(nullptr, shown.owner);
    EXPECT_EQ(static_cast<UINT>(MB_TASKMODAL | MB_ICONERROR), shown.flags);
    EXPECT_EQ(0, cache.Count());
    EXPECT_EQ(L"Form \"bad.cfg\" compilation error (unknown exception)", OnlyRecord().text);

    // The next request reads the file again and reports it again.
    EXPECT_EQ(nullptr, cache.GetDbFormDesc(L"bad.cfg", -1));
    EXPECT_EQ(2u, script.Count());
    EXPECT_EQ(2u, Records().size());

    WriteCfg(L"bad.cfg", kMain);
    EXPECT_NE(nullptr, cache.GetDbFormDesc(L"bad.cfg", -1));
    EXPECT_EQ(2u, script.Count());
}

TEST_F(DescCacheTest, AMissingFileIsShownWithoutARecord)
{
    DescCache cache;
    PromptScript script({IDOK});
    EXPECT_EQ(nullptr, cache.GetFormDesc(L"absent.cfg", -1));
    EXPECT_EQ(L"File \"absent.cfg\" interpretating error", script.Last().text);
    EXPECT_TRUE(Records().empty());
}

TEST_F(DescCacheTest, ClearSavesSettingsAndDestroysTheDescriptions)
{
    const std::wstring name = UniqueName(L"cache");
    WriteCfg(name, L"table = \"t\" key = \"k\" list { {\"A\",\"a\",int32} }");
    WriteCfg(L"filt.cfg", kFilter);
    const LONG before = DescHeap::Outstanding();
    {
        DescCache cache;
        DbFormDesc* desc = cache.GetDbFormDesc(name.c_str(), -1);
        ASSERT_NE(nullptr, desc);
        ASSERT_NE(nullptr, cache.GetFormDesc(L"filt.cfg", -1));
        desc->List()[0]->width = 321;
        EXPECT_GT(DescHeap::Outstanding(), before);
        cache.Clear();
        EXPECT_EQ(0, cache.Count());
        EXPECT_EQ(before, DescHeap::Outstanding());
        cache.Clear();   // a second clear at exit finds nothing
    }
    const std::wstring key = std::wstring(SettingsKeyPath) + L"\\" + name;
    DWORD width = 0, size = sizeof(width);
    EXPECT_EQ(ERROR_SUCCESS,
              RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Column0", RRF_RT_REG_DWORD, nullptr, &width, &size));
    EXPECT_EQ(321u, width);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, key.c_str());
}

TEST_F(DescCacheTest, NamesCompareByLengthAndCase)
{
    EXPECT_TRUE(DescCache::NameCompare(L"Main.cfg", 8, L"MAIN.CFG", 8));
    EXPECT_TRUE(DescCache::NameCompare(L"Пациент.cfg", 11, L"ПАЦИЕНТ.CFG", 11));
    EXPECT_FALSE(DescCache::NameCompare(L"main.cfg", 8, L"main.cf", 7));
    EXPECT_FALSE(DescCache::NameCompare(L"main.cfg", 8, L"mains.cf", 8));
}

TEST_F(DescCacheTest, TheProcessWideCache)
{
    WriteCfg(L"pw_main.cfg", kMain);
    WriteCfg(L"pw_filt.cfg", kFilter);
    DbFormDesc* desc = DescCache::DbFormDescFor(L"pw_main.cfg");
    ASSERT_NE(nullptr, desc);
    EXPECT_EQ(desc, DescCache::Instance().GetDbFormDesc(L"PW_MAIN.cfg", -1));
    EXPECT_NE(nullptr, DescCache::FormDescFor(L"pw_filt.cfg"));
    DescCache::Instance().Clear();
}

// Form descriptions (filter forms): window sections, fields and reference
// sections, in English and Russian words.
#include "desc_test_util.h"
#include "forms/descheap.h"
#include "forms/formdesc.h"

#include <string>

namespace {

std::wstring Str(const wchar_t* text, int length) { return text ? std::wstring(text, length) : L"<null>"; }

}  // namespace

using FormDescTest = DescTest;

TEST_F(FormDescTest, WindowItemsAndReferencesInEnglish)
{
    WriteCfg(L"filt.cfg",
             L"// the patient filter\n"
             L"form { caption = \"Patient filter\" width = -500 height=-2 }\n"
             L"items {\n"
             L"  {\"Family name\", \"Name1\", char(40)}\n"
             L"  {\"Birthday\", \"Birthday\", date}\n"
             L"}\n"
             L"reference {\n"
             L"  name = \"Images\" table = \"Snimok\" key = \"Snimok\"\n"
             L"  basetable = \"Patient\" basekey = \"Patient\" refkey = \"Patient\"\n"
             L"  items { {\"Date\", \"DateSnimok\", date} }\n"
             L"}\n");
    FormDesc desc;
    ASSERT_EQ(1, desc.Parse(L"filt.cfg"));
    EXPECT_EQ(L"filt.cfg", Str(desc.GetName(), desc.GetNameLength()));
    EXPECT_EQ(std::wstring(L"Patient filter"), desc.Caption());
    EXPECT_EQ(-500, desc.Width());
    EXPECT_EQ(-2, desc.Height());
    EXPECT_EQ(nullptr, desc.Icon());
    ASSERT_EQ(2, desc.Fields().count);
    EXPECT_EQ(L"Name1", Str(desc.Fields()[0]->column, desc.Fields()[0]->columnLength));
    EXPECT_EQ(kFieldDate, desc.Fields()[1]->type);
    ASSERT_EQ(1, desc.RefCount());
    const FormRefDesc* ref = desc.Ref(0);
    EXPECT_EQ(L"Images", Str(ref->String(kRefName), ref->StringLength(kRefName)));
    EXPECT_EQ(L"Snimok", Str(ref->String(kRefTable), ref->StringLength(kRefTable)));
    EXPECT_EQ(L"Snimok", Str(ref->String(kRefKey), ref->StringLength(kRefKey)));
    EXPECT_EQ(L"Patient", Str(ref->String(kRefBaseTable), ref->StringLength(kRefBaseTable)));
    EXPECT_EQ(L"Patient", Str(ref->String(kRefBaseKey), ref->StringLength(kRefBaseKey)));
    EXPECT_EQ(L"Patient", Str(ref->String(kRefRefKey), ref->StringLength(kRefRefKey)));
    ASSERT_EQ(1, ref->fields.count);
    EXPECT_EQ(L"DateSnimok", Str(ref->fields[0]->column, ref->fields[0]->columnLength));
    EXPECT_TRUE(Records().empty());
}

TEST_F(FormDescTest, RussianWordsAndAbsentReferenceTexts)
{
    WriteCfg(L"ru.cfg",
             L"ФОРМА { заголовок = \"Фильтр\" ширина = 300 высота = 200 }\n"
             L"элементы { {\"Фамилия\", \"Name1\", char(40)} }\n"
             L"ссылка { имя = \"Снимки\" таблица = \"Snimok\" бключ = \"Patient\" сключ = \"Patient\"\n"
             L"         элементы { {\"Дата\", \"DateSnimok\", date} } }\n");
    FormDesc desc;
    ASSERT_EQ(1, desc.Parse(L"ru.cfg"));
    EXPECT_EQ(std::wstring(L"Фильтр"), desc.Caption());
    EXPECT_EQ(300, desc.Width());
    EXPECT_EQ(200, desc.Height());
    ASSERT_EQ(1, desc.Fields().count);
    EXPECT_EQ(L"Фамилия", Str(desc.Fields()[0]->caption, desc.Fields()[0]->captionLength));
    ASSERT_EQ(1, desc.RefCount());
    EXPECT_EQ(nullptr, desc.Ref(0)->String(kRefKey));
    EXPECT_EQ(0, desc.Ref(0)->StringLength(kRefBaseTable));
    EXPECT_EQ(L"Снимки", Str(desc.Ref(0)->String(kRefName), desc.Ref(0)->StringLength(kRefName)));
}

TEST_F(FormDescTest, RepeatedSectionsAccumulateFieldsAndReplaceTheWindow)
{
    WriteCfg(L"rep.cfg",
             L"form { caption = \"First\" width = 10 height = 20 }\n"
             L"items { {\"A\", \"a\", int32} }\n"
             L"form { width = 30 }\n"
             L"items { {\"B\", \"b\", int32} {\"C\", \"c\", int32} }\n");
    FormDesc desc;
    ASSERT_EQ(1, desc.Parse(L"rep.cfg"));
    ASSERT_EQ(3, desc.Fields().count);
    EXPECT_EQ(L"C", Str(desc.Fields()[2]->caption, desc.Fields()[2]->captionLength));
    // The second window section replaces all four values.
    EXPECT_EQ(std::wstring(L""), desc.Caption());
    EXPECT_EQ(30, desc.Width());
    EXPECT_EQ(0, desc.Height());
}

TEST_F(FormDescTest, WindowSectionFaults)
{
    WriteCfg(L"a.cfg", L"form ( caption = \"x\" )");
    FormDesc a;
    EXPECT_EQ(0, a.Parse(L"a.cfg"));
    EXPECT_EQ(1u, OnlyRecord().code);   // "{" missing is end of text, not syntax
}

TEST_F(FormDescTest, UnknownWindowKeyIsASyntaxError)
{
    WriteCfg(L"b.cfg", L"form { colour = 5 }");
    FormDesc b;
    EXPECT_EQ(0, b.Parse(L"b.cfg"));
    EXPECT_EQ(L"Form \"b.cfg\" syntax error (0, 14)", OnlyRecord().text);
}

TEST_F(FormDescTest, ReferenceWithoutAnyTextFailsWithoutARecord)
{
    WriteCfg(L"r.cfg", L"reference { items { {\"A\",\"a\",int32} } }");
    FormDesc desc;
    const LONG before = DescHeap::Outstanding();
    EXPECT_EQ(0, desc.Parse(L"r.cfg"));
    EXPECT_TRUE(Records().empty());
    EXPECT_EQ(before, DescHeap::Outstanding());
}

// A form without a field to edit (a filter file reduced to a comment, or a
// window section alone) is refused where it is read, with a record naming the
// file; fields in a reference section alone are enough.
TEST_F(FormDescTest, AFormWithoutFieldsIsRefusedWithARecord)
{
    const LONG before = DescHeap::Outstanding();
    WriteCfg(L"c.cfg", L"// nothing but a comment\n");
    FormDesc comment;
    EXPECT_EQ(0, comment.Parse(L"c.cfg"));
    EXPECT_EQ(L"File \"c.cfg\" describes no fields", OnlyRecord().text);
    WriteCfg(L"w.cfg", L"форма { заголовок = \"Фильтр\" }\nэлементы { }\n");
    FormDesc window;
    EXPECT_EQ(0, window.Parse(L"w.cfg"));
    EXPECT_EQ(2u, Records().size());
    EXPECT_EQ(before, DescHeap::Outstanding());
    WriteCfg(L"r.cfg", L"reference { name = \"Images\" table = \"Snimok\" items { {\"D\",\"d\",date} } }");
    FormDesc refOnly;
    EXPECT_EQ(1, refOnly.Parse(L"r.cfg"));
    EXPECT_EQ(2u, Records().size());
}

// A form holds at most 16 reference sections: the 16th is kept, a 17th refuses the form.
TEST_F(FormDescTest, SixteenReferenceSectionsAreKeptASeventeenthIsRefused)
{
    for (int count : {16, 17}) {
        std::wstring text = L"items { {\"A\",\"a\",int32} }\n";
        for (int i = 0; i < count; ++i)
            text += L"reference { name = \"R" + std::to_wstring(i) + L"\" table = \"T\" items { {\"D\",\"d\",date} } }\n";
        WriteCfg(L"refs.cfg", text);
        FormDesc desc;
        const LONG before = DescHeap::Outstanding();
        const bool kept = count == 16;
        EXPECT_EQ(kept ? 1 : 0, desc.Parse(L"refs.cfg")) << count;
        EXPECT_EQ(kept ? count : 0, desc.RefCount()) << count;
        if (!kept) {
            EXPECT_EQ(before, DescHeap::Outstanding()) << count;
        }
    }
}

TEST_F(FormDescTest, ReferencesAreAllowedInFormFields)
{
    WriteCfg(L"f.cfg", L"items { {\"M\",\"Modality\",int32, reference {\"Modality\",\"Modality\",\"Txt\",char(32)}} }");
    FormDesc desc;
    ASSERT_EQ(1, desc.Parse(L"f.cfg"));
    EXPECT_EQ(kControlList, desc.Fields()[0]->controlKind);
}

TEST_F(FormDescTest, UnknownSectionAndMissingFile)
{
    WriteCfg(L"u.cfg", L"items { }\nlist { }");
    FormDesc desc;
    EXPECT_EQ(0, desc.Parse(L"u.cfg"));
    EXPECT_EQ(L"Form \"u.cfg\" syntax error (1, 5)", OnlyRecord().text);
    FormDesc missing;
    EXPECT_EQ(0, missing.Parse(L"none.cfg"));
    EXPECT_EQ(1u, Records().size());   // no record for a missing file
}

TEST_F(FormDescTest, ParseWithNullReadsTheFileAgainInPlace)
{
    WriteCfg(L"again.cfg", L"items { {\"A\",\"a\",int32} }");
    FormDesc desc;
    EXPECT_EQ(0, desc.Parse(nullptr));   // no name yet
    ASSERT_EQ(1, desc.Parse(L"again.cfg"));
    WriteCfg(L"again.cfg", L"items { {\"A\",\"a\",int32} {\"B\",\"b\",int32} }");
    ASSERT_EQ(1, desc.Parse(nullptr));
    EXPECT_EQ(2, desc.Fields().count);
    desc.SetName(L"other.cfg");
    EXPECT_EQ(std::wstring(L"other.cfg"), desc.GetName());
}

TEST_F(FormDescTest, DestroyGivesEveryBlockBack)
{
    WriteCfg(L"d.cfg",
             L"items { {\"A\",\"a\",bool, format {\"y\" \"n\"}} {\"D\",\"d\",datetime, default = now} }\n"
             L"reference { name = \"n\" items { {\"B\",\"b\",int32} } }\n"
             L"reference { table = \"t\" }\n");
    const LONG before = DescHeap::Outstanding();
    {
        FormDesc desc;
        ASSERT_EQ(1, desc.Parse(L"d.cfg"));
        EXPECT_GT(DescHeap::Outstanding(), before);
        desc.Destroy();
        EXPECT_EQ(before, DescHeap::Outstanding());
        EXPECT_EQ(0, desc.Fields().count);
        EXPECT_EQ(0, desc.RefCount());
        ASSERT_EQ(1, desc.Parse(L"d.cfg"));
    }
    EXPECT_EQ(before, DescHeap::Outstanding());
}

TEST_F(FormDescTest, OutOfMemoryAtEveryAllocationFailsCleanly)
{
    WriteCfg(L"m.cfg",
             L"items { {\"A\",\"a\",bool, format {\"y\" \"n\"}} {\"D\",\"d\",datetime, default = now} }\n"
             L"reference { name = \"n\" items { {\"B\",\"b\",int32, reference {\"T\",\"K\",\"S\",char(5)}} } }\n");
    const LONG before = DescHeap::Outstanding();
    int failures = 0;
    for (LONG n = 0; n < 100; ++n) {
        FormDesc desc;
        DescHeap::FailAfter(n);
        const int ok = desc.Parse(L"m.cfg");
        DescHeap::FailAfter(-1);
        if (ok) {
            EXPECT_EQ(1, desc.RefCount());
            break;
        }
        ++failures;
        desc.Destroy();
        EXPECT_EQ(before, DescHeap::Outstanding()) << "allocation " << n;
    }
    EXPECT_GT(failures, 5);
    EXPECT_EQ(before, DescHeap::Outstanding());
}

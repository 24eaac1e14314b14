// Field blocks: every type word, flag and attribute, the packed FieldBlob,
// and the journal text of each fault.
#include "desc_test_util.h"
#include "forms/descheap.h"
#include "forms/fielddesc.h"
#include "forms/fieldvalue.h"
#include "foundation/applocale.h"
#include "foundation/datetime.h"

#include <memory>
#include <string>

namespace {

struct BlobFree {
    void operator()(FieldBlob* b) const { DescHeap::Free(b); }
};
using Blob = std::unique_ptr<FieldBlob, BlobFree>;

std::wstring Str(const wchar_t* text, DWORD length) { return text ? std::wstring(text, length) : L"<null>"; }

}  // namespace

class FieldTest : public DescTest {
protected:
    // Parses one field block; the code thrown, or -1000 with the blob set.
    int Parse(const std::wstring& text, Blob* out = nullptr, bool refs = true)
    {
        TextCursor c(text);
        DescLexer lex(c.scan);
        const LONG before = DescHeap::Outstanding();
        int code = -1000;
        try {
            FieldBlob* blob = ParseFieldBlock(lex, refs);
            if (out)
                out->reset(blob);
            else
                DescHeap::Free(blob);
        } catch (int thrown) {
            code = thrown;
            // An abandoned field leaves nothing behind.
            EXPECT_EQ(before, DescHeap::Outstanding()) << testing::PrintToString(text);
        }
        line_ = c.scan.line;
        column_ = c.scan.pos - c.scan.lineStart;
        return code;
    }

    Blob Good(const std::wstring& text, bool refs = true)
    {
        Blob blob;
        EXPECT_EQ(-1000, Parse(text, &blob, refs)) << testing::PrintToString(text);
        return blob;
    }

    // The fault is code 0 with exactly one record of the text.
    void ExpectText(const std::wstring& text, const wchar_t* message, bool refs = true)
    {
        EXPECT_EQ(kDescReported, Parse(text, nullptr, refs)) << testing::PrintToString(text);
        EXPECT_EQ(message, OnlyRecord().text) << testing::PrintToString(text);
    }

    LONG line_ = 0, column_ = 0;
};

// ---- Types ----

TEST_F(FieldTest, EveryBaseTypeHasItsValueSizeBindingAndControl)
{
    struct Case {
        const wchar_t* type;
        DWORD base;
        DWORD valueSize;
        WORD bind;
        DWORD control;
    } cases[] = {
        {L"int8", kFieldInt8, 4, kBindI4, kControlEdit},
        {L"int16", kFieldInt16, 4, kBindI4, kControlEdit},
        {L"int32", kFieldInt32, 4, kBindI4, kControlEdit},
        {L"bool", kFieldBool, 4, kBindI4, kControlCheck},
        {L"char(10)", kFieldText, 22, kBindWStr, kControlEdit},
        {L"varchar (10)", kFieldText, 22, kBindWStr, kControlEdit},
        {L"datetime", kFieldDateTime, 8, kBindFileTime, kControlEdit},
        {L"date", kFieldDate, 8, kBindFileTime, kControlEdit},
        {L"time", kFieldTime, 8, kBindFileTime, kControlEdit},
    };
    for (const Case& c : cases) {
        Blob b = Good(std::wstring(L"{\"Cap\", \"col\", ") + c.type + L"}");
        ASSERT_TRUE(b) << testing::PrintToString(std::wstring(c.type));
        EXPECT_EQ(c.base, b->type);
        EXPECT_EQ(c.valueSize, b->valueSize);
        EXPECT_EQ(c.bind, b->bindType);
        EXPECT_EQ(c.control, b->controlKind);
        EXPECT_EQ(c.base == kFieldText ? 10u : 0u, b->textSize);
    }
}

TEST_F(FieldTest, TextFieldWithSizeAndNotNull)
{
    Blob b = Good(L"{ \"Family name\" , \"Name1\" , char( 40) notnull }");
    ASSERT_TRUE(b);
    EXPECT_EQ(L"Family name", Str(b->caption, b->captionLength));
    EXPECT_EQ(0, b->caption[b->captionLength]);
    EXPECT_EQ(L"Name1", Str(b->column, b->columnLength));
    EXPECT_EQ(kFieldText | kFieldNotNull, b->type);
    EXPECT_EQ(40u, b->textSize);
    EXPECT_EQ(82u, b->valueSize);
    EXPECT_EQ(130, b->bindType);
    EXPECT_EQ(1u, b->controlKind);
    EXPECT_EQ(-1, b->width);
    EXPECT_EQ(nullptr, b->format);
    EXPECT_EQ(nullptr, b->reference);
    EXPECT_EQ(nullptr, b->defaultValue);
    EXPECT_GE(b->size, sizeof(FieldBlob));
}

TEST_F(FieldTest, EveryFlagInAnyOrder)
{
    Blob b = Good(L"{\"A\",\"a\", notnull rowid unsigned checkrow special counter int32}");
    ASSERT_TRUE(b);
    EXPECT_EQ(kFieldInt32 | kFieldNotNull | kFieldRowId | kFieldUnsigned | kFieldCheckRow | kFieldSpecial |
                  kFieldCounter,
              b->type);
    Blob c = Good(L"{\"A\",\"a\", INT32 NotNull}");
    ASSERT_TRUE(c);
    EXPECT_EQ(kFieldInt32 | kFieldNotNull, c->type);
}

TEST_F(FieldTest, TypeFaults)
{
    ExpectText(L"{\"A\",\"a\", int32 int16}", L"Type redefining.");
}

TEST_F(FieldTest, UnknownTypeWord)
{
    ExpectText(L"{\"A\",\"a\", integer}", L"Type not identified");
}

TEST_F(FieldTest, TypeWordGluedToLettersIsUnknown)
{
    ExpectText(L"{\"A\",\"a\", int32x}", L"Type not identified");
}

TEST_F(FieldTest, FlagTwiceOnlyFlagsAndSizeFaults)
{
    EXPECT_EQ(kDescFlagTwice, Parse(L"{\"A\",\"a\", notnull int32 notnull}"));
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", notnull}"));
    EXPECT_EQ(-1000, Parse(L"{\"A\",\"a\", char( 5)}"));
    EXPECT_EQ(kDescBadSize, Parse(L"{\"A\",\"a\", char(5 )}"));
    EXPECT_EQ(kDescBadSize, Parse(L"{\"A\",\"a\", char 5}"));
    EXPECT_EQ(kDescMissing, Parse(L"{\"A\",\"a\", char()}"));
    EXPECT_TRUE(Records().empty());
}

TEST_F(FieldTest, TextSizeBeyondWhatCanBeBoundIsRefused)
{
    Blob b = Good(L"{\"A\",\"a\", char(32767)}");
    ASSERT_TRUE(b);
    EXPECT_EQ(65536u, b->valueSize);
    EXPECT_EQ(kDescMissing, Parse(L"{\"A\",\"a\", char(32768)}"));
    EXPECT_EQ(kDescMissing, Parse(L"{\"A\",\"a\", char(2147483648)}"));
}

// Each integer column takes its whole range, ends included, and not one more
// at either end; "-0" is an unsigned column's 0.
TEST(FieldInteger, EachWidthTakesItsRangeToBothEndsAndNothingBeyond)
{
    const DWORD u = kFieldUnsigned;
    const struct {
        DWORD type;
        long long least, most;
    } widths[] = {
        {kFieldInt8, -128, 127},
        {kFieldInt8 | u, 0, 255},
        {kFieldInt16, -32768, 32767},
        {kFieldInt16 | u, 0, 65535},
        {kFieldInt32, -2147483648LL, 2147483647},
        {kFieldInt32 | u, 0, 4294967295LL},
    };
    for (const auto& w : widths) {
        for (long long number : {w.least, w.most, w.least - 1, w.most + 1}) {
            const std::wstring text = std::to_wstring(number);
            const bool inside = number >= w.least && number <= w.most;
            DWORD value = 0xDEADBEEF;
            EXPECT_EQ(inside ? kParseOk : kParseOutOfRange, ParseFieldInteger(text.c_str(), w.type, true, &value))
                << number << " type " << w.type;
            EXPECT_EQ(inside ? static_cast<DWORD>(number) : 0xDEADBEEF, value) << number << " type " << w.type;
        }
    }
    DWORD zero = 0xDEADBEEF;
    EXPECT_EQ(kParseOk, ParseFieldInteger(L"-0", kFieldInt8 | u, true, &zero));
    EXPECT_EQ(0u, zero);
}

TEST_F(FieldTest, BlockGrammarFaults)
{
    EXPECT_EQ(kDescSyntax, Parse(L"(\"A\",\"a\", int32}"));
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\" \"a\", int32}"));
    EXPECT_EQ(kDescEndOfText, Parse(L"{A,\"a\", int32}"));
    EXPECT_EQ(kDescEndOfText, Parse(L"{\"A\",\"a\", int32, width = 3"));
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", int32, colour = 3}"));
    EXPECT_EQ(kDescMissing, Parse(L"{\"A\",\"a\", int32, = 3}"));
    EXPECT_TRUE(Records().empty());
}

TEST_F(FieldTest, UnknownWordIsReportedAfterTheBlanks)
{
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", int32,\n colour  = 3}"));
    EXPECT_EQ(1, line_);
    EXPECT_EQ(10, column_);
}

TEST_F(FieldTest, SomethingOtherThanACommaAfterTheType)
{
    ExpectText(L"{\"A\",\"a\", int32 ; width = 3}", L"Type not identified");
}

TEST_F(FieldTest, SomethingOtherThanACommaBetweenAttributes)
{
    ExpectText(L"{\"A\",\"a\", int32, width = 3 height = 4}", L"Unknown keyword");
}

// ---- Attributes ----

TEST_F(FieldTest, WidthHeightAndControl)
{
    Blob b = Good(L"{\"A\",\"a\", int32, width = -500, height=2, width=7}");
    ASSERT_TRUE(b);
    EXPECT_EQ(7, b->width);
    EXPECT_EQ(2, b->height);
    Blob c = Good(L"{\"A\",\"a\", int32, control = 120}");
    ASSERT_TRUE(c);
    EXPECT_EQ(120, c->width);
    EXPECT_EQ(0, c->height);
    EXPECT_EQ(1u, c->controlKind);
}

TEST_F(FieldTest, AlignWords)
{
    Blob b = Good(L"{\"A\",\"a\", int32, align =center|vcenter, capalign=right}");
    ASSERT_TRUE(b);
    EXPECT_EQ(5u, b->align);
    EXPECT_EQ(8u, b->capAlign);
    Blob c = Good(L"{\"A\",\"a\", int32, align=bottom |left}");
    ASSERT_TRUE(c);
    EXPECT_EQ(2u, c->align);
    EXPECT_EQ(kDescMissing, Parse(L"{\"A\",\"a\", int32, align = center}"));
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", int32, align=left|right}"));
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", int32, align=middle}"));
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", int32, align center}"));
}

TEST_F(FieldTest, UnknownAlignWordIsReportedAtTheWord)
{
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", int32, align=middle}"));
    EXPECT_EQ(23, column_);
}

TEST_F(FieldTest, BorderWords)
{
    Blob b = Good(L"{\"A\",\"a\", int32, border = left | bottom}");
    ASSERT_TRUE(b);
    EXPECT_EQ(9u, b->border);
    Blob c = Good(L"{\"A\",\"a\", int32, border=0}");
    ASSERT_TRUE(c);
    EXPECT_EQ(0u, c->border);
    Blob d = Good(L"{\"A\",\"a\", int32, border=top|right|left|bottom}");
    ASSERT_TRUE(d);
    EXPECT_EQ(15u, d->border);
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", int32, border=centre}"));
    EXPECT_EQ(kDescMissing, Parse(L"{\"A\",\"a\", int32, border=|left}"));
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", int32, border left}"));
}

TEST_F(FieldTest, FormatTextOnEachTypeThatTakesOne)
{
    for (const wchar_t* type : {L"int8", L"int16", L"int32", L"char(8)", L"datetime", L"date", L"time"}) {
        Blob b = Good(std::wstring(L"{\"A\",\"a\", ") + type + L", format \"%05i\"}");
        ASSERT_TRUE(b);
        EXPECT_EQ(L"%05i", Str(b->FormatText(), b->formatLength));
        EXPECT_EQ(nullptr, b->BoolTexts());
    }
}

TEST_F(FieldTest, FormatRedefined)
{
    ExpectText(L"{\"A\",\"a\", int32, format \"a\", format \"b\"}", L"Format redefining");
}

TEST_F(FieldTest, FormatOfBoolHoldsTwoTexts)
{
    Blob b = Good(L"{\"Sex\",\"Sex\", bool, format {\"Male\" \"Female\"} }");
    ASSERT_TRUE(b);
    EXPECT_EQ(3u, b->controlKind);
    const FieldBoolTexts* t = b->BoolTexts();
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(2u, t->count);
    EXPECT_EQ(L"Male", Str(t->text1, t->length1));
    EXPECT_EQ(L"Female", Str(t->text2, t->length2));
    EXPECT_EQ(0, t->text2[t->length2]);
    EXPECT_EQ(0u, b->formatLength);
}

TEST_F(FieldTest, SecondBoolFormatReplacesTheTextsAndFreesNothingTwice)
{
    const LONG before = DescHeap::Outstanding();
    Blob b = Good(L"{\"A\",\"a\", bool, format {\"a\" \"b\"}, format {\"Yes\" \"No\"}}");
    ASSERT_TRUE(b);
    const FieldBoolTexts* t = b->BoolTexts();
    ASSERT_NE(nullptr, t);
    EXPECT_EQ(L"Yes", Str(t->text1, t->length1));
    EXPECT_EQ(L"No", Str(t->text2, t->length2));
    // Only the blob is left: the first texts' blocks were not lost.
    EXPECT_EQ(before + 1, DescHeap::Outstanding());
}

TEST_F(FieldTest, BoolFormatWithoutBraceIsNotAllowed)
{
    ExpectText(L"{\"A\",\"a\", bool, format \"a\" \"b\"}", L"Format for present field cannot be defined");
}

TEST_F(FieldTest, BoolFormatWithoutClosingBrace)
{
    ExpectText(
        L"{\"A\",\"a\", bool, format {\"a\" \"b\" \"c\"}}", L"Format for type BOOL syntax error, waiting char '}'");
}

TEST_F(FieldTest, DefaultKinds)
{
    struct Case {
        const wchar_t* text;
        int kind;
    } cases[] = {
        {L"{\"A\",\"a\", datetime, default = now}", kDefaultNow},
        {L"{\"A\",\"a\", date, default=date}", kDefaultToday},
        {L"{\"A\",\"a\", time, default=time}", kDefaultTimeNow},
        {L"{\"A\",\"a\", int32, default = null}", kDefaultNull},
        {L"{\"A\",\"a\", char(5), default = NULL}", kDefaultNull},
        {L"{\"A\",\"a\", datetime, default = string ( \"\")}", kDefaultNull},
    };
    for (const Case& c : cases) {
        Blob b = Good(c.text);
        ASSERT_TRUE(b);
        ASSERT_NE(nullptr, b->defaultValue);
        EXPECT_EQ(c.kind, b->defaultValue->kind) << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(0u, b->defaultValue->dataSize);
    }
}

TEST_F(FieldTest, DefaultStringKeepsItsText)
{
    Blob b = Good(L"{\"A\",\"a\", date, default = string ( \"today\")}");
    ASSERT_TRUE(b);
    ASSERT_NE(nullptr, b->defaultValue);
    EXPECT_EQ(kDefaultString, b->defaultValue->kind);
    EXPECT_EQ(12u, b->defaultValue->dataSize);
    EXPECT_EQ(std::wstring(L"today"), b->defaultValue->Text());
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", date, default = string \"x\"}"));
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", date, default = string (\"x\" )}"));
}

TEST_F(FieldTest, DefaultQuotedDateIsParsedByTheFieldType)
{
    // Dates are read with the application locale: a Russian one here.
    const LCID saved = gAppLocale.GetLcid();
    gAppLocale.SetLcid(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_DEFAULT), SORT_DEFAULT));
    struct Restore {
        LCID lcid;
        ~Restore() { gAppLocale.SetLcid(lcid); }
    } restore{saved};
    Blob b = Good(L"{\"A\",\"a\", date, default = \"05.03.2001\"}");
    ASSERT_TRUE(b);
    ASSERT_NE(nullptr, b->defaultValue);
    EXPECT_EQ(kDefaultFileTime, b->defaultValue->kind);
    EXPECT_EQ(8u, b->defaultValue->dataSize);
    SYSTEMTIME st;
    ASSERT_TRUE(FileTimeToSystemTime(b->defaultValue->FileTime(), &st));
    EXPECT_EQ(2001, st.wYear);
    EXPECT_EQ(3, st.wMonth);
    EXPECT_EQ(5, st.wDay);

    Blob t = Good(L"{\"A\",\"a\", time, default = \"12:30:15\"}");
    ASSERT_TRUE(t);
    ASSERT_TRUE(FileTimeToSystemTime(t->defaultValue->FileTime(), &st));
    EXPECT_EQ(kTimeValueYear, st.wYear);
    EXPECT_EQ(12, st.wHour);
    EXPECT_EQ(30, st.wMinute);

    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", date, default = \"\"}"));
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", date, default = \"not a date\"}"));
}

TEST_F(FieldTest, DefaultFaults)
{
    EXPECT_EQ(kDescNotImplemented, Parse(L"{\"A\",\"a\", int32, default = 5}"));
    EXPECT_EQ(kDescNotImplemented, Parse(L"{\"A\",\"a\", bool, default = now}"));
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", datetime, default = tomorrow}"));
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", datetime, default = 5}"));   // digits make an identifier
    EXPECT_EQ(kDescMissing, Parse(L"{\"A\",\"a\", datetime, default = -5}"));
    EXPECT_EQ(kDescSyntax, Parse(L"{\"A\",\"a\", datetime, default now}"));
    EXPECT_TRUE(Records().empty());
}

TEST_F(FieldTest, DefaultRedefinedIsRecordedWithCodeZero)
{
    EXPECT_EQ(kDescReported, Parse(L"{\"A\",\"a\", datetime,\n default = now, default = null}"));
    const JournalLine r = OnlyRecord();
    EXPECT_EQ(L"Default value redefining", r.text);
    EXPECT_EQ(0u, r.code);
}

// ---- References ----

TEST_F(FieldTest, ReferenceRecordWithAndWithoutFormFile)
{
    Blob b = Good(L"{\"Modality\",\"Modality\", int32, reference {\"Modality\", \"Modality\", \"Txt\", char(32)}}");
    ASSERT_TRUE(b);
    EXPECT_EQ(2u, b->controlKind);
    const FieldRef* r = b->reference;
    ASSERT_NE(nullptr, r);
    EXPECT_EQ(L"Modality", Str(r->table, r->tableLength));
    EXPECT_EQ(L"Modality", Str(r->keyColumn, r->keyColumnLength));
    EXPECT_EQ(L"Txt", Str(r->shownColumn, r->shownColumnLength));
    EXPECT_EQ(L"", Str(r->formFile, r->formFileLength));
    EXPECT_EQ(kFieldText, r->type);
    EXPECT_EQ(130, r->bindType);
    EXPECT_EQ(66u, r->valueSize);
    EXPECT_EQ(32u, r->textSize);

    Blob c = Good(L"{\"M\",\"m\", int32, reference {\"T\",\"K\",\"S\", varchar(255) , \"Modality.cfg\" }, width=5}");
    ASSERT_TRUE(c);
    EXPECT_EQ(L"Modality.cfg", Str(c->reference->formFile, c->reference->formFileLength));
    EXPECT_EQ(5, c->width);
}

TEST_F(FieldTest, ReferenceThatDoesNotFitTheField)
{
    EXPECT_EQ(kDescMissing, Parse(L"{\"M\",\"m\", char(5), reference {\"T\",\"K\",\"S\", char(32)}}"));
    EXPECT_EQ(kDescMissing, Parse(L"{\"M\",\"m\", int32, reference {\"T\",\"K\",\"S\", int32}}"));
    EXPECT_EQ(kDescMissing, Parse(L"{\"M\",\"m\", int32, reference {\"T\",\"K\",\"S\", char(256)}}"));
    EXPECT_EQ(kDescSyntax, Parse(L"{\"M\",\"m\", int32, reference {\"T\" \"K\",\"S\", char(5)}}"));
}

TEST_F(FieldTest, ReferenceNotAllowedInAList)
{
    ExpectText(L"{\"M\",\"m\", int32, reference {\"T\",\"K\",\"S\", char(5)}}", L"Use reference is not allowed.",
               false);
}

TEST_F(FieldTest, ReferenceRedefined)
{
    ExpectText(L"{\"M\",\"m\", int32, reference {\"T\",\"K\",\"S\", char(5)}, reference {\"T\",\"K\",\"S\", char(5)}}",
               L"Reference redefining");
}

TEST_F(FieldTest, ReferenceWithoutOpeningBrace)
{
    ExpectText(L"{\"M\",\"m\", int32, reference \"T\",\"K\",\"S\", char(5)}", L"Char '{' is waiting");
}

TEST_F(FieldTest, ReferenceWithoutClosingBrace)
{
    ExpectText(L"{\"M\",\"m\", int32, reference {\"T\",\"K\",\"S\", char(5), \"f.cfg\" \"x\"}}",
               L"Char '}' is waiting");
}

TEST_F(FieldTest, TextFaultsRecordTheLineAsCode)
{
    EXPECT_EQ(kDescReported, Parse(L"{\"A\",\"a\",\n\n int32 int16}"));
    EXPECT_EQ(2u, OnlyRecord().code);
}

// ---- Lists ----

TEST_F(FieldTest, FieldListKeepsFileOrder)
{
    TextCursor c(L"{ {\"A\",\"a\",int32} {\"B\",\"b\",date}\n{\"C\",\"c\",bool} }");
    DescLexer lex(c.scan);
    DescList list;
    ParseFieldList(lex, list, true);
    ASSERT_EQ(3, list.Count());
    DescStrArray array;
    ASSERT_TRUE(array.MoveFrom(list));
    EXPECT_EQ(0, list.Count());
    ASSERT_EQ(3, array.count);
    EXPECT_EQ(L"A", Str(array[0]->caption, array[0]->captionLength));
    EXPECT_EQ(L"B", Str(array[1]->caption, array[1]->captionLength));
    EXPECT_EQ(L"C", Str(array[2]->caption, array[2]->captionLength));
}

TEST_F(FieldTest, FieldListFaults)
{
    for (const wchar_t* text : {L"( {\"A\",\"a\",int32} }", L"{ {\"A\",\"a\",int32} x }"}) {
        TextCursor c(text);
        DescLexer lex(c.scan);
        DescList list;
        EXPECT_EQ(kDescSyntax, ThrownCode([&] { ParseFieldList(lex, list, true); }));
        list.Clear(FreeFieldBlob);
    }
}

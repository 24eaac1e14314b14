// Declared-type mapping and column descriptions: see types.h.
#include "provider/types.h"

#include <cwctype>

namespace zelk {
namespace {

TypeDesc Fixed(DBTYPE type, DBLENGTH size, BYTE precision, BYTE scale = 0xFF)
{
    TypeDesc t;
    t.type = type;
    t.size = size;
    t.precision = precision;
    t.scale = scale;
    t.fixedLength = true;
    return t;
}

wchar_t Lower(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

}  // namespace

bool SameName(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

TypeDesc IntegerType() { return Fixed(DBTYPE_I4, 4, 10); }
TypeDesc BigIntType() { return Fixed(DBTYPE_I8, 8, 19); }
TypeDesc FloatType() { return Fixed(DBTYPE_R8, 8, 15); }

TypeDesc TextType(DBLENGTH characters)
{
    TypeDesc t;
    t.type = DBTYPE_WSTR;
    t.size = characters;
    if (characters >= kLongTextSize) {
        t.size = kLongTextSize;
        t.isLong = true;
    }
    return t;
}

TypeDesc TypeFromDeclared(const std::wstring& declared, bool& known)
{
    // Name: letters (and blanks between words) without brackets; argument: the first number in parentheses.
    std::wstring name;
    long argument = -1;
    bool max = false;
    size_t i = 0;
    while (i < declared.size() && declared[i] != L'(') {
        wchar_t c = declared[i++];
        if (c == L'[' || c == L']' || c == L'"')
            continue;
        if (iswspace(c)) {
            if (!name.empty() && name.back() != L' ')
                name += L' ';
            continue;
        }
        name += Lower(c);
    }
    while (!name.empty() && name.back() == L' ')
        name.pop_back();
    if (i < declared.size()) {
        ++i;
        while (i < declared.size() && iswspace(declared[i]))
            ++i;
        if (i < declared.size() && iswdigit(declared[i]))
            argument = wcstol(declared.c_str() + i, nullptr, 10);
        else if (declared.size() - i >= 3 && Lower(declared[i]) == L'm' && Lower(declared[i + 1]) == L'a' &&
                 Lower(declared[i + 2]) == L'x')
            max = true;
    }

    known = true;
    if (name == L"int" || name == L"integer")
        return IntegerType();
    if (name == L"bigint")
        return BigIntType();
    if (name == L"smallint")
        return Fixed(DBTYPE_I2, 2, 5);
    if (name == L"tinyint")
        return Fixed(DBTYPE_UI1, 1, 3);
    if (name == L"bit" || name == L"boolean")
        return Fixed(DBTYPE_BOOL, 2, 0xFF);
    if (name == L"real")
        return Fixed(DBTYPE_R4, 4, 7);
    if (name == L"float")
        return argument > 0 && argument <= 24 ? Fixed(DBTYPE_R4, 4, 7) : FloatType();
    if (name == L"double" || name == L"double precision")
        return FloatType();
    if (name == L"datetime" || name == L"smalldatetime" || name == L"datetime2" || name == L"date")
        return Fixed(DBTYPE_DBTIMESTAMP, 16, 23, 3);
    if (name == L"nchar" || name == L"char" || name == L"nvarchar" || name == L"varchar" ||
        name == L"national char" || name == L"national character varying") {
        TypeDesc t = TextType(max ? kLongTextSize : static_cast<DBLENGTH>(argument > 0 ? argument : 1));
        t.fixedLength = (name == L"nchar" || name == L"char" || name == L"national char") && !max;
        return t;
    }
    if (name == L"ntext" || name == L"text")
        return TextType(kLongTextSize);
    known = false;
    return TextType(4000);
}

}  // namespace zelk

#include "forms/sqltext.h"

#include <new>
#include <stdexcept>

SqlText& SqlText::Append(const wchar_t* text)
{
    if (text == nullptr)
        return *this;
    return Append(text, static_cast<int>(wcslen(text)));
}

SqlText& SqlText::Append(const wchar_t* text, int count)
{
    if (failed_ || text == nullptr || count <= 0)
        return *this;
    try {
        text_.append(text, static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        failed_ = true;
    } catch (const std::length_error&) {
        failed_ = true;
    }
    return *this;
}

void SqlText::Clear()
{
    text_.clear();
    failed_ = false;
}

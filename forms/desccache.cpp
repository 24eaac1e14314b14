#include "forms/desccache.h"

#include "forms/dbformdesc.h"
#include "forms/descheap.h"
#include "forms/formdesc.h"
#include "foundation/applocale.h"
#include "foundation/messages.h"
#include "resources/strings.h"

#include <new>
#include <string.h>

DescCache::~DescCache()
{
    while (Entry* entry = head_) {
        head_ = entry->next;
        delete entry->desc;
        DescHeap::Free(entry);
    }
    tail_ = nullptr;
    count_ = 0;
}

DescCache& DescCache::Instance()
{
    static DescCache cache;
    return cache;
}

DbFormDesc* DescCache::DbFormDescFor(const wchar_t* name) { return Instance().GetDbFormDesc(name, -1); }

FormDesc* DescCache::FormDescFor(const wchar_t* name) { return Instance().GetFormDesc(name, -1); }

DbFormDesc* DescCache::GetDbFormDesc(const wchar_t* name, int length)
{
    return static_cast<DbFormDesc*>(Get(kDbForm, name, length));
}

FormDesc* DescCache::GetFormDesc(const wchar_t* name, int length)
{
    return static_cast<FormDesc*>(Get(kForm, name, length));
}

bool DescCache::NameCompare(const wchar_t* a, int aLength, const wchar_t* b, int bLength)
{
    return aLength == bLength &&
           CompareStringW(gAppLocale.GetLcid(), NORM_IGNORECASE | SORT_STRINGSORT, a, aLength, b, bLength) ==
               CSTR_EQUAL;
}

DescCache::Entry* DescCache::Find(const wchar_t* name, int length) const
{
    for (Entry* entry = head_; entry; entry = entry->next) {
        if (NameCompare(entry->desc->GetName(), entry->desc->GetNameLength(), name, length))
            return entry;
    }
    return nullptr;
}

DescBase* DescCache::Get(int kind, const wchar_t* name, int length)
{
    if (!name)
        return nullptr;
    if (length < 0)
        length = lstrlenW(name);
    if (Entry* entry = Find(name, length))
        return entry->kind == kind ? entry->desc : nullptr;
    return CreateAndLoad(kind, name, length);
}

DescBase* DescCache::CreateAndLoad(int kind, const wchar_t* name, int length)
{
    // The descriptions take terminated names.
    wchar_t text[kDescNameChars + 1];
    const int kept = length < kDescNameChars ? length : kDescNameChars;
    memcpy(text, name, kept * sizeof(wchar_t));
    text[kept] = 0;

    DescBase* desc = nullptr;
    if (kind == kDbForm)
        desc = new (std::nothrow) DbFormDesc;
    else
        desc = new (std::nothrow) FormDesc;
    Entry* entry = static_cast<Entry*>(DescHeap::Alloc(sizeof(Entry)));
    if (!desc || !entry || length > kDescNameChars || !desc->Parse(text)) {
        delete desc;
        DescHeap::Free(entry);
        MessageBoxIdFormat(nullptr, IdOrText(static_cast<const wchar_t*>(nullptr)), MB_TASKMODAL | MB_ICONERROR,
                           IdOrText(IDS_FORM_FILE_ERROR), text);
        return nullptr;
    }
    entry->prev = tail_;
    entry->next = nullptr;
    entry->kind = kind;
    entry->desc = desc;
    if (tail_)
        tail_->next = entry;
    else
        head_ = entry;
    tail_ = entry;
    ++count_;
    return desc;
}

void DescCache::Clear()
{
    while (Entry* entry = head_) {
        head_ = entry->next;
        if (head_)
            head_->prev = nullptr;
        else
            tail_ = nullptr;
        --count_;
        entry->desc->SaveSettings();
        // The description goes with its entry: nothing else owns it.
        delete entry->desc;
        DescHeap::Free(entry);
    }
}

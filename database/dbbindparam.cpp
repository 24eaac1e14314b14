#include "database/dbbindparam.h"

#include "database/dbcommand.h"
#include "database/dberrors.h"
#include "database/dbparams.h"
#include "resources/strings.h"

#include <cstddef>

namespace {

const ULONG kInitialSlots = 4;
const ULONG kMaxByRefChars = 32768;   // 65,536 bytes: the most any text is bound with
const ULONG kItemHeader = offsetof(ValueItem, value);

// The value length a type implies when the caller gives none.
ULONG ImpliedLength(DBTYPE type)
{
    switch (type) {
    case DBTYPE_I2:
    case DBTYPE_UI2:
        return 2;
    case DBTYPE_I4:
    case DBTYPE_UI4:
    case DBTYPE_R4:
        return 4;
    case DBTYPE_R8:
    case DBTYPE_I8:
    case DBTYPE_UI8:
    case DBTYPE_FILETIME:
        return 8;
    case DBTYPE_I1:
    case DBTYPE_UI1:
        return 1;
    default:
        return 0;
    }
}

// Value bytes an item of the type and length needs (terminator included).
ULONG ItemRoom(DBTYPE type, ULONG length)
{
    ULONG room = length + (type == DBTYPE_WSTR ? 2 : 0);
    return room < 4 ? 4 : room;
}

}  // namespace

DODBBindParam::DODBBindParam() : items(nullptr), valueCount(0), slotCount(kInitialSlots)
{
    items = static_cast<ValueItem**>(DODBAlloc(sizeof(ValueItem*) * kInitialSlots));
}

DODBBindParam::~DODBBindParam()
{
    Clear();
}

void DODBBindParam::Clear()
{
    if (items != nullptr) {
        for (ULONG i = 0; i < slotCount; ++i)
            if (items[i] != nullptr)
                DODBFree(items[i]);
        DODBFree(items);
        items = nullptr;
    }
    slotCount = kInitialSlots;
    valueCount = 0;
}

BOOL DODBBindParam::Init(ULONG slots)
{
    Clear();
    if (slots == 0)
        slots = kInitialSlots;
    items = static_cast<ValueItem**>(DODBAlloc(sizeof(ValueItem*) * slots));
    if (items == nullptr)
        return FALSE;
    slotCount = slots;
    return TRUE;
}

BOOL DODBBindParam::Reset()
{
    return Init(kInitialSlots);
}

BOOL DODBBindParam::ExistOrdinal(ULONG ordinal, int* slot)
{
    if (items == nullptr) {
        DODBAddError(E_FAIL, IDS_DB_NO_BIND_PARAM, L"DODBParams::ExistOrdinal");
        return FALSE;
    }
    for (ULONG i = 0; i < slotCount; ++i) {
        if (items[i] != nullptr && items[i]->ordinal == ordinal) {
            if (slot != nullptr)
                *slot = (int)i;
            return TRUE;
        }
    }
    return FALSE;
}

int DODBBindParam::FreeSlot() const
{
    if (items == nullptr)
        return -1;
    for (ULONG i = 0; i < slotCount; ++i)
        if (items[i] == nullptr)
            return (int)i;
    return -1;
}

int DODBBindParam::Grow()
{
    const ULONG oldSlots = items != nullptr ? slotCount : 0;
    const ULONG newSlots = slotCount + kInitialSlots;
    ValueItem** larger = static_cast<ValueItem**>(DODBAlloc(sizeof(ValueItem*) * newSlots));
    if (larger == nullptr)
        return -1;
    if (items != nullptr) {
        CopyMemory(larger, items, sizeof(ValueItem*) * oldSlots);
        DODBFree(items);
    }
    items = larger;
    slotCount = newSlots;
    return (int)oldSlots;
}

ValueItem* DODBBindParam::AllocItem(int slot, DBTYPE type, ULONG length)
{
    const ULONG room = ItemRoom(type, length);
    ValueItem* item = static_cast<ValueItem*>(DODBAlloc(kItemHeader + (room > 8 ? room : 8)));
    if (item == nullptr)
        return nullptr;
    item->room = room;
    items[slot] = item;
    ++valueCount;
    return item;
}

void DODBBindParam::Remove(int slot)
{
    if (items == nullptr || slot < 0 || (ULONG)slot >= slotCount || items[slot] == nullptr)
        return;
    DODBFree(items[slot]);
    items[slot] = nullptr;
    --valueCount;
}

const ValueItem* DODBBindParam::Item(ULONG slot) const
{
    return items != nullptr && slot < slotCount ? items[slot] : nullptr;
}

BOOL DODBBindParam::SetVal(ULONG ordinal, DBTYPE type, const void* value, ULONG length, DBSTATUS status)
{
    static const wchar_t kSource[] = L"DODBParams::SetVal";
    DODBClearError();
    // A fixed-size value always occupies its whole size: the value is read
    // from the caller with that size whatever length came with it.
    if (status == DBSTATUS_S_OK && length < ImpliedLength(type))
        length = ImpliedLength(type);
    const ULONG storedLength = status == DBSTATUS_S_OK ? length : 0;
    const DBTYPE roomType = (type & DBTYPE_BYREF) ? (DBTYPE)DBTYPE_I4 : type;
    const ULONG room = ItemRoom(roomType, (type & DBTYPE_BYREF) ? sizeof(void*) : storedLength);

    int slot = -1;
    ValueItem* item = nullptr;
    if (items != nullptr && ExistOrdinal(ordinal, &slot)) {
        item = items[slot];
        // Reuse the item when it is large enough and not wastefully large.
        if (item->room < room || item->room > room + 16) {
            Remove(slot);
            item = AllocItem(slot, roomType, (type & DBTYPE_BYREF) ? sizeof(void*) : storedLength);
            if (item == nullptr) {
                DODBSetError(E_FAIL, IDS_DB_PARAMETER_ALLOC, kSource);
                return FALSE;
            }
        } else {
            ZeroMemory(item->value, item->room);
        }
    } else {
        slot = FreeSlot();
        if (slot < 0) {
            slot = Grow();
            if (slot < 0) {
                DODBSetError(E_FAIL, IDS_DB_PARAMETER_REALLOC, kSource);
                return FALSE;
            }
        }
        item = AllocItem(slot, roomType, (type & DBTYPE_BYREF) ? sizeof(void*) : storedLength);
        if (item == nullptr) {
            DODBSetError(E_FAIL, IDS_DB_PARAMETER_ALLOC, kSource);
            return FALSE;
        }
    }
    item->ordinal = ordinal;
    item->type = type;
    item->status = status;
    item->length = 0;
    if (status != DBSTATUS_S_OK)
        return TRUE;

    item->length = length;
    if (type & DBTYPE_BYREF) {
        CopyMemory(item->value, &value, sizeof(void*));
        return TRUE;
    }
    switch (type) {
    case DBTYPE_I1: {
        LONG widened = value != nullptr ? *static_cast<const signed char*>(value) : 0;
        CopyMemory(item->value, &widened, 4);
        break;
    }
    case DBTYPE_UI1: {
        LONG widened = value != nullptr ? *static_cast<const BYTE*>(value) : 0;
        CopyMemory(item->value, &widened, 4);
        break;
    }
    case DBTYPE_I2:
    case DBTYPE_UI2: {
        // Sign-extended for both: only the low two bytes are ever bound.
        LONG widened = value != nullptr ? *static_cast<const SHORT*>(value) : 0;
        CopyMemory(item->value, &widened, 4);
        break;
    }
    case DBTYPE_I4:
    case DBTYPE_UI4:
    case DBTYPE_R4:
        if (value != nullptr)
            CopyMemory(item->value, value, 4);
        break;
    case DBTYPE_R8:
    case DBTYPE_I8:
    case DBTYPE_UI8:
    case DBTYPE_FILETIME:
        if (value != nullptr)
            CopyMemory(item->value, value, 8);
        break;
    case DBTYPE_WSTR:
        if (value != nullptr)
            CopyMemory(item->value, value, length);
        item->value[length] = 0;
        item->value[length + 1] = 0;
        break;
    default:
        Remove(slot);
        DODBAddError(E_FAIL, IDS_DB_PARAMETER_TYPE, kSource);
        return FALSE;
    }
    return TRUE;
}

BOOL DODBBindParam::SetValI1(ULONG ordinal, signed char value, DBSTATUS status)
{
    return SetVal(ordinal, DBTYPE_I1, &value, 1, status);
}

BOOL DODBBindParam::SetValI2(ULONG ordinal, SHORT value, DBSTATUS status)
{
    return SetVal(ordinal, DBTYPE_I2, &value, 2, status);
}

BOOL DODBBindParam::SetValI4(ULONG ordinal, LONG value, DBSTATUS status)
{
    return SetVal(ordinal, DBTYPE_I4, &value, 4, status);
}

BOOL DODBBindParam::SetValUI1(ULONG ordinal, BYTE value, DBSTATUS status)
{
    return SetVal(ordinal, DBTYPE_UI1, &value, 1, status);
}

BOOL DODBBindParam::SetValUI2(ULONG ordinal, USHORT value, DBSTATUS status)
{
    return SetVal(ordinal, DBTYPE_UI2, &value, 2, status);
}

BOOL DODBBindParam::SetValUI4(ULONG ordinal, ULONG value, DBSTATUS status)
{
    return SetVal(ordinal, DBTYPE_UI4, &value, 4, status);
}

BOOL DODBBindParam::SetValR4(ULONG ordinal, float value, DBSTATUS status)
{
    return SetVal(ordinal, DBTYPE_R4, &value, 4, status);
}

BOOL DODBBindParam::SetValR8(ULONG ordinal, double value, DBSTATUS status)
{
    return SetVal(ordinal, DBTYPE_R8, &value, 8, status);
}

BOOL DODBBindParam::SetValDate(ULONG ordinal, const FILETIME& value, DBSTATUS status)
{
    return SetVal(ordinal, DBTYPE_FILETIME, &value, 8, status);
}

BOOL DODBBindParam::SetStr(ULONG ordinal, const wchar_t* text, int chars, DBSTATUS status)
{
    DODBClearError();
    if (status == DBSTATUS_S_ISNULL || status == DBSTATUS_S_DEFAULT)
        return SetVal(ordinal, DBTYPE_WSTR, nullptr, 0, status);
    if (status != DBSTATUS_S_OK) {
        DODBSetError(E_FAIL, IDS_DB_STATUS_VALUE, L"DODBParams::SetStr");
        return FALSE;
    }
    if (text == nullptr)
        text = L"";
    if (chars < 0)
        chars = (int)wcslen(text);
    // An empty text is still a text: SetVal would take a length of 0 as "none".
    return SetVal(ordinal, DBTYPE_WSTR, text, (ULONG)chars * 2, status);
}

BOOL DODBBindParam::SetValTyped(ULONG ordinal, DBTYPE type, void* variable, ULONG length, DBSTATUS status)
{
    const DBTYPE base = type & ~DBTYPE_BYREF;
    return SetVal(ordinal, base | DBTYPE_BYREF, variable, base == DBTYPE_WSTR ? length : 4, status);
}

bool DODBBindParam::HasByRefTexts() const
{
    for (ULONG i = 0; items != nullptr && i < slotCount; ++i)
        if (items[i] != nullptr && items[i]->type == (DBTYPE_BYREF | DBTYPE_WSTR))
            return true;
    return false;
}

HRESULT DODBBindParam::RefreshByRefLengths(DODBParams* block, const wchar_t* source) const
{
    if (items == nullptr || block == nullptr)
        return S_OK;
    for (ULONG i = 0; i < slotCount; ++i) {
        const ValueItem* item = items[i];
        if (item == nullptr || item->type != (DBTYPE_BYREF | DBTYPE_WSTR) || item->status != DBSTATUS_S_OK)
            continue;
        const wchar_t* text = nullptr;
        CopyMemory(&text, item->value, sizeof(text));
        size_t chars = text != nullptr ? wcsnlen(text, kMaxByRefChars + 1) : 0;
        if (chars > kMaxByRefChars) {
            DODBSetError(E_FAIL, IDS_DB_BUFFER_SIZE, source);
            return E_FAIL;
        }
        int index = block->IndexOfOrdinal(item->ordinal);
        if (index >= 0)
            block->SetLength((ULONG)index, (DBLENGTH)chars * 2);
    }
    return S_OK;
}

BOOL DODBBindParam::MakeParams(DODBPtr<DODBParams>& block)
{
    static const wchar_t kSource[] = L"DODBParams::CreateParams";
    DODBClearError();
    if (items == nullptr || valueCount == 0) {
        DODBSetError(E_FAIL, IDS_DB_NO_PARAMETER_COUNT, kSource);
        return FALSE;
    }
    if (!block.IsSet()) {
        if (!block.CreateNew()) {
            DODBSetError(E_FAIL, IDS_DB_CREATE_PARAMS, kSource);
            return FALSE;
        }
    } else {
        block->Clear();
    }
    if (FAILED(block->SetNumParams(valueCount)))
        return FALSE;
    ULONG bound = 0;
    for (ULONG i = 0; i < slotCount && bound < valueCount; ++i) {
        const ValueItem* item = items[i];
        if (item == nullptr)
            continue;
        if (FAILED(block->SetParamBind(bound, item->ordinal, item->type, item->length, DBPARAMIO_INPUT)))
            return FALSE;
        ++bound;
    }
    if (FAILED(block->AllocStructForParams()))
        return FALSE;
    for (ULONG i = 0; i < slotCount; ++i) {
        const ValueItem* item = items[i];
        if (item == nullptr)
            continue;
        int index = block->IndexOfOrdinal(item->ordinal);
        const void* value = item->status == DBSTATUS_S_OK ? item->value : nullptr;
        if (FAILED(block->SetValue((ULONG)index, value, item->length, item->status)))
            return FALSE;
    }
    return SUCCEEDED(RefreshByRefLengths(block.Get(), kSource));
}

BOOL DODBBindParam::CreateParams(DODBCommand* command, DODBPtr<DODBParams>& block)
{
    DODBClearError();
    if (command == nullptr || command->GetAccessor() == nullptr) {
        DODBAddError(E_FAIL, IDS_DB_COMMAND_NOT_INITIALIZED, L"DODBBindParam::CreateParams");
        return FALSE;
    }
    if (!MakeParams(block))
        return FALSE;
    return SUCCEEDED(block->CreateParamAccessor(command->GetAccessor()));
}

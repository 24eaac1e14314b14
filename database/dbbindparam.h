// DODBBindParam: a loose list of parameter values keyed by ordinal.
//
// Callers fill it in any order; just before execution it becomes a
// DODBParams (MakeParams), whose bindings follow the slot order. Values are
// stored by value (copied at SetVal) or by reference (SetValTyped: the
// caller's variable is read at each execution; it must outlive them).
//
// Slots: an array of item pointers, 4 at construction, growing by 4; an
// empty slot is null. The records of its methods name the class "DODBParams".
#pragma once

#include "database/dbobject.h"
#include "database/oledbinc.h"

class DODBCommand;
class DODBParams;

// One stored value: header and value in one DODBAlloc block.
struct ValueItem
{
    ULONG ordinal;      // parameter ordinal, from 1
    DBTYPE type;        // as stored (DBTYPE_BYREF added for references)
    DBSTATUS status;    // 0 OK, 3 ISNULL, 13 DEFAULT
    ULONG length;       // value length in bytes
    ULONG room;         // bytes of value room allocated behind the header
    BYTE value[8];      // at least 4 bytes of value; more follow for strings
};

class DODBBindParam : public DODBObject
{
public:
    DODBBindParam();
    ~DODBBindParam() override;

    void Clear();
    BOOL Reset();
    BOOL Init(ULONG slots);

    BOOL ExistOrdinal(ULONG ordinal, int* slot);
    int FreeSlot() const;
    int Grow();
    ValueItem* AllocItem(int slot, DBTYPE type, ULONG length);
    void Remove(int slot);
    ULONG Count() const { return valueCount; }
    ULONG SlotCount() const { return slotCount; }
    // The item of a slot, or null.
    const ValueItem* Item(ULONG slot) const;

    BOOL SetVal(ULONG ordinal, DBTYPE type, const void* value, ULONG length, DBSTATUS status);
    BOOL SetValI1(ULONG ordinal, signed char value, DBSTATUS status = DBSTATUS_S_OK);
    BOOL SetValI2(ULONG ordinal, SHORT value, DBSTATUS status = DBSTATUS_S_OK);
    BOOL SetValI4(ULONG ordinal, LONG value, DBSTATUS status = DBSTATUS_S_OK);
    BOOL SetValUI1(ULONG ordinal, BYTE value, DBSTATUS status = DBSTATUS_S_OK);
    BOOL SetValUI2(ULONG ordinal, USHORT value, DBSTATUS status = DBSTATUS_S_OK);
    BOOL SetValUI4(ULONG ordinal, ULONG value, DBSTATUS status = DBSTATUS_S_OK);
    BOOL SetValR4(ULONG ordinal, float value, DBSTATUS status = DBSTATUS_S_OK);
    BOOL SetValR8(ULONG ordinal, double value, DBSTATUS status = DBSTATUS_S_OK);
    BOOL SetValDate(ULONG ordinal, const FILETIME& value, DBSTATUS status = DBSTATUS_S_OK);
    BOOL SetStr(ULONG ordinal, const wchar_t* text, int chars, DBSTATUS status = DBSTATUS_S_OK);
    // Stores a reference to the caller's variable (its type gets DBTYPE_BYREF).
    BOOL SetValTyped(ULONG ordinal, DBTYPE type, void* variable, ULONG length, DBSTATUS status);

    // A parameter block holding the stored values, bound in slot order.
    BOOL MakeParams(DODBPtr<DODBParams>& block);
    // MakeParams, then the block's parameter accessor on the command.
    BOOL CreateParams(DODBCommand* command, DODBPtr<DODBParams>& block);

    // Gives every by-reference wide string of the list its current length in
    // the block (the caller may have changed the text since it was bound).
    // A text longer than 32,768 characters fails with a record naming the source.
    HRESULT RefreshByRefLengths(DODBParams* block, const wchar_t* source) const;
    // Whether the list holds a by-reference wide string that RefreshByRefLengths would look at.
    bool HasByRefTexts() const;

private:
    ValueItem** items;   // slotCount pointers, or null
    ULONG valueCount;    // occupied slots
    ULONG slotCount;     // slots
};

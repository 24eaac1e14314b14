// KartField: one field of a record card, its value and its control, and the
// operations that move values between the fields, their controls and the
// checks that run before a save.
//
// A field's value is value-size bytes behind the record (one DescHeap block
// per field). Its length is -1 for NULL, else the value's bytes: 4 for
// integers and yes/no, 8 for dates and times (a FILETIME in local time),
// 2 x characters for text (UTF-16, not terminated in the value; the block
// keeps room for a terminator). A length of 0 or below counts as NULL
// wherever a value is bound or shown.
//
// The value changes only through ReadFromControl, the defaults, a load from
// the database and the click of a yes/no button. Parsing and formatting are
// plain functions of the value (ParseText, FormatText), so they are tested
// without windows; ReadFromControl and Show only add the control.
#pragma once

#include "forms/fielddesc.h"

#include <windows.h>

class DButton;
class DbFormDesc;
class DbKartWindow;
struct KartField;

// Codes of KartError and the string each is shown with ("%1": the caption).
enum KartErrorCode {
    kKartErrorInternal = 0,   // 359 "Unknown internal error": type and control do not fit
    kKartErrorRead = 1,       // 355 "Error reading field "%1""
    kKartErrorFormat = 2,     // 356 "Invalid "%1" field format"
    kKartErrorRequired = 3,   // 357 ""%1" field requires data"
    kKartErrorLink = 4,       // 358 "Internal error linking data in "%1" field"
};

// The card form's exception: the field concerned and the code.
struct KartError {
    KartField* field;
    int code;
};

struct KartField {
    const DbFormDesc* owner;    // the form the card shows
    const FieldBlob* desc;      // the field's description
    DbKartWindow* window;       // the card window, or null
    HWND control;               // edit or combo box, or null
    DButton* check;             // the yes/no button, or null
    DButton* refButton;         // opens the referenced form's card, or null
    KartField* prev;            // focus chain; null at the ends
    KartField* next;
    int captionX;               // layout: caption position
    int captionY;
    int controlX;               // layout: control rectangle
    int controlY;
    int controlWidth;
    int controlHeight;
    int captionWidth;
    int captionAlign;           // DrawText alignment: 0 left, 1 centred, 2 right
    int length;                 // -1: NULL; else bytes of the value

    // A new field for the description (value NULL), from DescHeap; null when
    // the heap refuses.
    static KartField* Create(const DbFormDesc* owner, const FieldBlob* desc);
    static void Free(KartField* field);

    BYTE* Value() { return reinterpret_cast<BYTE*>(this + 1); }
    const BYTE* Value() const { return reinterpret_cast<const BYTE*>(this + 1); }
    DWORD Base() const { return FieldBase(desc->type); }
    bool IsNull() const { return length <= 0; }
    void SetNull() { length = -1; }

    // Typed access to the value.
    DWORD Word() const { return *reinterpret_cast<const DWORD*>(Value()); }
    void SetWord(DWORD value);
    const FILETIME& Time() const { return *reinterpret_cast<const FILETIME*>(Value()); }
    void SetTime(const FILETIME& value);
    const wchar_t* Chars() const { return reinterpret_cast<const wchar_t*>(Value()); }
    int CharCount() const { return length > 0 ? length / 2 : 0; }
    // Stores a text, cut to what the value holds; an empty text is NULL.
    void SetChars(const wchar_t* text, int count);
    // Characters a text value can hold.
    int MaxChars() const { return desc->valueSize >= 2 ? static_cast<int>(desc->valueSize / 2) - 1 : 0; }

    // Edit-control texts: the value from a typed text (throws KartError with
    // code 2 for a text that is not of the field's type, 0 for a type that
    // has no text form), and the value as text (-1 for such a type).
    void ParseText(const wchar_t* text);
    int FormatText(wchar_t* out, int capacity) const;

    // Control to value, by control kind; throws KartError.
    static void ReadFromControl(KartField* field);
    // Value to control; false when it cannot be shown. A yes/no field whose
    // control is not a button throws KartError with code 0.
    static bool Show(KartField* field);
    // Refills a list field from its reference and selects the current value's
    // item; false on any failure (nothing thrown).
    static bool FillLookup(KartField* field);
};

// Input mask test: 'A' a letter (made upper case), 'a' a letter (made lower
// case), '0' a digit, '_' any character, '*' the rest of the text; any other
// mask character fails. The text must be used up with the mask.
bool MaskMatches(wchar_t* text, const wchar_t* mask, int textLength, int maskLength);

// Operations over the card's fields in form order.
namespace KartForm {
// ReadFromControl on every field; the first error ends it (thrown).
void ReadAll(int count, KartField** fields);
// Reads the "rowid" fields only; returns how many there are.
int ReadKeyFields(int count, KartField** fields);
// Shows every field; false at the first that cannot be shown.
bool ShowAll(int count, KartField** fields);
// Gives every field its default value.
void ApplyDateDefaults(int count, KartField** fields);
// ReadKeyFields, false when there are none, else the checks and true.
bool ReadAndCheckKeys(int count, KartField** fields);
}  // namespace KartForm

namespace KartFields {
// The checks before a save: a "notnull" field must have a value, a text field
// with an input mask must match it. Throws KartError (3 or 2).
void Check(int count, KartField** fields);
}  // namespace KartFields

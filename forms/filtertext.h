// The filter form's values as text: what one value editor's text means for a
// condition, and how a condition's value is shown in an editor. Plain
// functions of the condition, so they are tested without windows.
#pragma once

#include "forms/dbfilter.h"

// Reads a typed text into value `index` of the condition, by the field's
// type: integers (within their column's range; a sign only for signed
// fields), text (up to the text size), dates and times (the application
// locale; a datetime's time may be left out). An empty text makes the value
// empty. Throws EMsg: 554 "Invalid format value", 555 for a number out of
// range, 556 "Unknown type of value", 553 for a yes/no or list field (their
// values do not come from text).
void FilterReadText(FilterCondition& condition, int index, const wchar_t* text);

// For "Substring": a "%" is appended to a text shorter than the text size
// that does not end with one; "%" alone becomes empty. Returns the new length.
int FilterSubstringText(wchar_t* text, int length, int textSize);

// Value `index` as an editor shows it (empty for an empty value): integers
// in decimal, text as stored, dates and times by the program's pictures,
// yes/no as "Yes" or "No".
std::wstring FilterValueText(const FilterCondition& condition, int index);

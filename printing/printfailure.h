// What the report and picture-sheet printers do with a failure once their
// document has begun: the failure's text in the print-state window's state
// line, a beep, and the window left open until the user closes it.
#pragma once

#include <exception>
#include <string>

class DocPrintStateWnd;

// The text of a failure of printing: a StrExc's string, all the texts of a
// DODBErrors (649 "Error while working with database" when it has none), a
// MsgExcept's text, 641 "Unhandled exception" for anything else. Empty for
// ExcAbortPrint (the user stopped: nothing to say).
std::wstring PrintFailureText(std::exception_ptr failure);

// Shows the failure (when it has a text) in the window's state line, the
// window reading as failed (DocPrintStateWnd::ShowFailure), beeps and waits
// until the user closes the window.
void ShowPrintFailure(DocPrintStateWnd& window, std::exception_ptr failure);

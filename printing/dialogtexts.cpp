#include "printing/dialogtexts.h"

#include "foundation/globals.h"

void ApplyDialogTexts(HWND dialog, const DialogText* texts)
{
    for (const DialogText* t = texts; t->text; ++t) {
        wchar_t text[256];
        if (!LoadStringW(hInstance, t->text, text, 256))
            continue;
        if (t->control == 0)
            SetWindowTextW(dialog, text);
        else
            SetDlgItemTextW(dialog, t->control, text);
    }
}

void EndModal(HWND dialog, INT_PTR result)
{
    EndDialog(dialog, result);
}

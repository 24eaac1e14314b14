// Dialog texts from the string table: see dialogtexts.h.
#include "exchange/dicom/dialogtexts.h"

#include "foundation/textutil.h"

void SetDialogTexts(HWND dialog, const DialogText* texts, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        HWND target = texts[i].control ? GetDlgItem(dialog, texts[i].control) : dialog;
        if (target)
            SetWindowTextW(target, LoadText(texts[i].text).c_str());
    }
}

// The archive windows' buttons: see archivebutton.h.
#include "archive/archivebutton.h"

#include "archive/workerbase.h"
#include "foundation/globals.h"
#include "resources/resource.h"

#include <string>

namespace {

const int kButtonIconSize = 24;

}  // namespace

bool CreateArchiveButton(DButton& button, HWND owner, void* cookie, UINT caption, UINT icon,
                         const DButtonInput* input, const DButtonNotify* notify)
{
    const std::wstring text = ArchiveText(caption);
    HICON picture = static_cast<HICON>(
        LoadImageW(hInstance, MAKEINTRESOURCEW(icon), IMAGE_ICON, kButtonIconSize, kButtonIconSize, 0));
    DButtonDesc d = {sizeof(DButtonDesc),
                     owner,
                     DButtonStyle::kVisible | DButtonStyle::kOwnsIcon | DButtonStyle::kIconThenCaption |
                         DButtonStyle::kSideBySide,
                     0,
                     0,
                     0,
                     0,
                     cookie,
                     text.c_str(),
                     picture,
                     kButtonIconSize,
                     kButtonIconSize,
                     hInstance,
                     input,
                     notify};
    return button.Create(&d);
}

HICON LoadArchiveIcon()
{
    return static_cast<HICON>(LoadImageW(hInstance, MAKEINTRESOURCEW(IDI_ARCHIVE), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
}

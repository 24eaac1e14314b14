#include "forms/descbase.h"

#include "forms/descenv.h"
#include "foundation/globals.h"

#include <string.h>

namespace {

// Builds CfgFolder + the name; false when the name is empty, too long,
// or the path does not fit.
bool DescPath(const wchar_t* name, int length, wchar_t* path, int capacity)
{
    if (!name)
        return false;
    if (length < 0)
        length = lstrlenW(name);
    const int folder = lstrlenW(CfgFolder);
    if (length <= 0 || length > kDescNameChars || folder + length >= capacity)
        return false;
    memcpy(path, CfgFolder, folder * sizeof(wchar_t));
    memcpy(path + folder, name, length * sizeof(wchar_t));
    path[folder + length] = 0;
    return true;
}

enum WindowKey { kKeyCaption = 0, kKeyIcon = 1, kKeyWidth = 2, kKeyHeight = 3 };

const DescKeyword kWindowKeys[] = {
    DESC_KEYWORD(L"caption", kKeyCaption),   DESC_KEYWORD(L"icon", kKeyIcon),
    DESC_KEYWORD(L"width", kKeyWidth),       DESC_KEYWORD(L"height", kKeyHeight),
    DESC_KEYWORD(L"заголовок", kKeyCaption), DESC_KEYWORD(L"иконка", kKeyIcon),
    DESC_KEYWORD(L"ширина", kKeyWidth),      DESC_KEYWORD(L"высота", kKeyHeight),
};

}  // namespace

bool ReadDescFile(const wchar_t* name, DFileBuf& file, DTextScan& scan)
{
    wchar_t path[MAX_PATH + kDescNameChars + 2];
    if (!DescPath(name, -1, path, MAX_PATH + kDescNameChars + 2))
        return false;
    if (!ReadTextFileByName(path, file))
        return false;
    scan.Init(static_cast<const wchar_t*>(file.Data()), file.Size() / static_cast<LONG>(sizeof(wchar_t)));
    return true;
}

HICON LoadDescIcon(const wchar_t* name, int length)
{
    wchar_t path[MAX_PATH + kDescNameChars + 2];
    if (!DescPath(name, length, path, MAX_PATH + kDescNameChars + 2))
        return nullptr;
    return static_cast<HICON>(LoadImageW(nullptr, path, IMAGE_ICON, IconSize, IconSize, LR_LOADFROMFILE));
}

HICON LoadDescIconN(const wchar_t* name, int length)
{
    wchar_t path[MAX_PATH + kDescNameChars + 2];
    if (!DescPath(name, length, path, MAX_PATH + kDescNameChars + 2))
        return nullptr;
    return static_cast<HICON>(LoadImageW(nullptr, path, IMAGE_ICON, 0, 0, LR_LOADFROMFILE | LR_DEFAULTSIZE));
}

DescWindow::DescWindow() : caption(256), icon(nullptr), width(0), height(0) {}

DescWindow::~DescWindow()
{
    if (icon)
        DestroyIcon(icon);
}

void DescWindow::Clear()
{
    caption.Clear();
    if (icon)
        DestroyIcon(icon);
    icon = nullptr;
    width = 0;
    height = 0;
}

void ParseWindowAttrs(DescLexer& lex, DescWindow& window)
{
    if (lex.Peek() != L'{')
        ThrowDescFault(kDescEndOfText);
    lex.Advance();
    wchar_t caption[256];
    wchar_t icon[256];
    int captionLength = 0, iconLength = 0, width = 0, height = 0;
    for (;;) {
        lex.SkipBlanks();
        if (lex.Peek() == L'}') {
            lex.Advance();
            break;
        }
        switch (ReadSectionWord(lex, kWindowKeys, DescRows(kWindowKeys))) {
        case kKeyCaption:
            captionLength = lex.ReadAssignedString(caption, 256);
            break;
        case kKeyIcon:
            iconLength = lex.ReadAssignedString(icon, 256);
            break;
        case kKeyWidth:
            width = lex.ReadAssignedInt();
            break;
        case kKeyHeight:
            height = lex.ReadAssignedInt();
            break;
        }
    }
    window.Clear();
    if (captionLength > 0)
        window.caption.Assign(caption, captionLength);
    if (iconLength > 0)
        window.icon = LoadDescIconN(icon, iconLength);
    window.width = width;
    window.height = height;
}

int ReadSectionWord(DescLexer& lex, const DescKeyword* table, int rows, int noValueCode)
{
    int length;
    const int code = lex.MatchIdent(table, rows, &length);
    lex.Scan().pos += length;
    if (code == noValueCode)
        return code;
    lex.SkipBlanks();
    if (code < 0)
        ThrowDescFault(kDescSyntax);
    return code;
}

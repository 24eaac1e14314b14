// The window class and anchoring of the owner-drawn controls.
#include "ui/control_base.h"

#include "ui/window_create.h"

bool RegisterControlClass(ControlClass& cls, HINSTANCE instance)
{
    if (cls.registered)
        return false;
    if (!RegisterObjectClass(cls.name, cls.style, instance, cls.background))
        return false;
    cls.registered = true;
    return true;
}

bool UnregisterControlClass(ControlClass& cls, HINSTANCE instance)
{
    if (!cls.registered)
        return false;
    ::UnregisterClassW(cls.name, instance);
    cls.registered = false;
    return true;
}

void AnchorToParent(DWORD style, HWND parent, int width, int height, int* x, int* y)
{
    RECT client = {};
    if (parent)
        ::GetClientRect(parent, &client);
    if (style & ControlStyle::kAnchorLeft)
        *x = 0;
    else if (style & ControlStyle::kAnchorRight)
        *x = client.right - width;
    if (style & ControlStyle::kAnchorTop)
        *y = 0;
    else if (style & ControlStyle::kAnchorBottom)
        *y = client.bottom - height;
}

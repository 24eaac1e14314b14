// The style bits of the owner-drawn controls' descriptors.
//
// Every control descriptor carries a style word. A meaning that several
// controls give the same bit is named once, here; each control's own style
// namespace (DButtonStyle, DHeaderStyle, DScrollStyle, DListViewStyle,
// DUpDownStyle, and the thumbnail cell's IconCellStyle) takes these by name
// and adds the bits only it has. Callers always write the names: a style word
// is never spelled as a number outside these definitions.
//
// The values are the descriptors' own and never change. Where a control's
// descriptor keeps a meaning at a bit of its own (the button keeps its two
// record-copy bits beside its layout bits, and each control keeps its
// notification-copy bit where its descriptor has room), the control's
// namespace says so next to the name.
#pragma once

#include <windows.h>

namespace ControlStyle {
constexpr DWORD kVisible = 0x80000000;       // shown at creation, without activation
constexpr DWORD kCopyInput = 0x40000000;     // the control keeps its own copy of the input-event record
constexpr DWORD kAnchorLeft = 0x20000000;    // x = 0 in the parent's client area
constexpr DWORD kAnchorRight = 0x10000000;   // x = parent width - width (ignored with kAnchorLeft)
constexpr DWORD kAnchorTop = 0x08000000;     // y = 0
constexpr DWORD kAnchorBottom = 0x04000000;  // y = parent height - height (ignored with kAnchorTop)
constexpr DWORD kAnchorMask = kAnchorLeft | kAnchorRight | kAnchorTop | kAnchorBottom;
}  // namespace ControlStyle

// Moves (x, y) of a control of the given size to the parent's edges that the
// anchor bits of `style` name; the other coordinate is left as it is.
void AnchorToParent(DWORD style, HWND parent, int width, int height, int* x, int* y);

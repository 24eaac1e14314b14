#include "ui/dwindow.h"

#include "ui/window_errors.h"

#include <stdlib.h>

namespace {

inline int LoSigned(UINT_PTR v) { return static_cast<short>(LOWORD(v)); }
inline int HiSigned(UINT_PTR v) { return static_cast<short>(HIWORD(v)); }
inline UINT Lo(UINT_PTR v) { return LOWORD(v); }
inline UINT Hi(UINT_PTR v) { return HIWORD(v); }

// Unpacks a packet into the arguments of argument shape S (1 to 12) and calls.
template <int S> struct Call;
template <> struct Call<1> { template <class F> static auto Do(const MsgPacket& p, F f) { return (p.object->*f)(); } };
template <> struct Call<2> { template <class F> static auto Do(const MsgPacket& p, F f) { return (p.object->*f)(p.wParam); } };
template <> struct Call<3> { template <class F> static auto Do(const MsgPacket& p, F f) { return (p.object->*f)(p.lParam); } };
template <> struct Call<4> {
    template <class F> static auto Do(const MsgPacket& p, F f) { return (p.object->*f)(p.wParam, p.lParam); }
};
template <> struct Call<5> {
    template <class F> static auto Do(const MsgPacket& p, F f) { return (p.object->*f)(LoSigned(p.wParam), HiSigned(p.wParam)); }
};
template <> struct Call<6> {
    template <class F> static auto Do(const MsgPacket& p, F f) { return (p.object->*f)(Lo(p.wParam), Hi(p.wParam)); }
};
template <> struct Call<7> {
    template <class F> static auto Do(const MsgPacket& p, F f) { return (p.object->*f)(LoSigned(p.lParam), HiSigned(p.lParam)); }
};
template <> struct Call<8> {
    template <class F> static auto Do(const MsgPacket& p, F f) { return (p.object->*f)(Lo(p.lParam), Hi(p.lParam)); }
};
template <> struct Call<9> {
    template <class F> static auto Do(const MsgPacket& p, F f)
    {
        return (p.object->*f)(LoSigned(p.wParam), HiSigned(p.wParam), p.lParam);
    }
};
template <> struct Call<10> {
    template <class F> static auto Do(const MsgPacket& p, F f) { return (p.object->*f)(Lo(p.wParam), Hi(p.wParam), p.lParam); }
};
template <> struct Call<11> {
    template <class F> static auto Do(const MsgPacket& p, F f)
    {
        return (p.object->*f)(p.wParam, LoSigned(p.lParam), HiSigned(p.lParam));
    }
};
template <> struct Call<12> {
    template <class F> static auto Do(const MsgPacket& p, F f) { return (p.object->*f)(p.wParam, Lo(p.lParam), Hi(p.lParam)); }
};

template <int K>
LRESULT Crack(const MsgPacket& packet, DMsgHandler handler)
{
    using F = typename MsgCrack::KindSig<K>::template Fn<DWindow>;
    F f = reinterpret_cast<F>(handler);
    if constexpr (K <= 12) {
        Call<K>::Do(packet, f);
        return 0;
    } else {
        return Call<K - 12>::Do(packet, f);
    }
}

// Kind 25: the handler paints between BeginPaint and EndPaint; EndPaint runs
// even when the handler throws.
LRESULT CrackPaint(const MsgPacket& packet, DMsgHandler handler)
{
    using F = MsgCrack::KindSig<MsgCrack::kPaint>::Fn<DWindow>;
    F f = reinterpret_cast<F>(handler);
    HWND hwnd = packet.object->GetHwnd();
    struct PaintScope {
        HWND hwnd;
        PAINTSTRUCT ps;
        ~PaintScope() { EndPaint(hwnd, &ps); }
    } scope{hwnd, {}};
    BeginPaint(hwnd, &scope.ps);
    return (packet.object->*f)(&scope.ps);
}

}  // namespace

const MsgCrack::MapCracker MsgCrack::Map[MsgCrack::kKindCount + 1] = {
    nullptr,    Crack<1>,   Crack<2>,   Crack<3>,   Crack<4>,   Crack<5>,   Crack<6>,   Crack<7>,   Crack<8>,
    Crack<9>,   Crack<10>,  Crack<11>,  Crack<12>,  Crack<13>,  Crack<14>,  Crack<15>,  Crack<16>,  Crack<17>,
    Crack<18>,  Crack<19>,  Crack<20>,  Crack<21>,  Crack<22>,  Crack<23>,  Crack<24>,  CrackPaint,
};

DWindow::~DWindow()
{
    Destroy();
}

DMessageMap* DWindow::GetMessageMap()
{
    static DMessageMapEntry entries[] = {DMapEnd()};
    static DMessageMap map = {-1, 0, entries};
    return &map;
}

LRESULT DWindow::Dispatch(const DMessageMapEntry& entry, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (entry.kind < 1 || entry.kind > MsgCrack::kKindCount)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    MsgPacket packet = {this, message, wParam, lParam};
    return MsgCrack::Map[entry.kind](packet, entry.handler);
}

LRESULT DWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    DMessageMap* map = GetMessageMap();
    if (!map || !map->entries)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    const DMessageMapEntry* e = map->entries;
    int hi = map->count - 1;
    if (hi < 0) {
        // Never sorted (or empty): scan up to the end entry.
        for (; e->kind != 0; ++e)
            if (e->message == message)
                return Dispatch(*e, message, wParam, lParam);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    int lo = 0;
    if (e[0].message > message || e[hi].message < message)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        if (e[mid].message == message)
            return Dispatch(e[mid], message, wParam, lParam);
        if (e[mid].message < message)
            lo = mid + 1;
        else
            hi = mid - 1;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

int DWindow::CompareMapEntries(const void* a, const void* b)
{
    const DMessageMapEntry* x = static_cast<const DMessageMapEntry*>(a);
    const DMessageMapEntry* y = static_cast<const DMessageMapEntry*>(b);
    return static_cast<int>(x->message - y->message);
}

void DWindow::SortMessageMap(DMessageMap* map)
{
    if (!map->entries) {
        map->count = 0;
        return;
    }
    int n = 0;
    while (map->entries[n].kind != 0)
        ++n;
    map->count = n;
    if (n > 0)
        qsort(map->entries, n, sizeof(DMessageMapEntry), CompareMapEntries);
}

bool DWindow::CreateEx(DWindowCreateDesc* desc)
{
    if (!desc)
        return false;
    if (!desc->windowProc)
        desc->windowProc = StaticWndProc;
    std::exception_ptr earlier = TakeWindowException();
    CreationSlot::Put(desc);
    HWND created = CreateWindowExW(desc->exStyle, desc->className, desc->title, desc->style, desc->x, desc->y,
                                   desc->width, desc->height, desc->parent, desc->menuOrId, desc->instance,
                                   desc->param);
    CreationSlot::Take();
    std::exception_ptr thrown = TakeWindowException();
    RestoreWindowException(earlier);
    if (thrown) {
        if (created && IsWindow(created))
            DestroyWindow(created);
        std::rethrow_exception(thrown);
    }
    return created != nullptr;
}

bool DWindow::Create(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU menuOrId, HINSTANCE instance, void* param)
{
    DWindowCreateDesc desc = {this,  &hwnd,  0,      nullptr, exStyle,  className, title,    style,
                              x,     y,      width,  height,  parent,   menuOrId,  instance, param};
    return CreateEx(&desc);
}

bool DWindow::RegisterMapClass(const WindowClass& cls)
{
    return RegisterClassWith(cls, FirstMessageProc) != 0;
}

bool DWindow::RegisterClassEx(WNDCLASSEXW* wc)
{
    wc->lpfnWndProc = FirstMessageProc;
    return ::RegisterClassExW(wc) != 0;
}

LRESULT CALLBACK DWindow::FirstMessageProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWindowCreateDesc* desc = static_cast<DWindowCreateDesc*>(CreationSlot::Take());
    if (!desc)
        return -1;
    try {
        DMessageMap* map = desc->object->GetMessageMap();
        if (map && map->count < 0)
            SortMessageMap(map);
    } catch (...) {
        KeepWindowException();
        return FailedMessageResult(message);
    }
    SetWindowLongW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(desc->windowProc));
    SetWindowLongW(hwnd, desc->extraIndex, reinterpret_cast<LONG_PTR>(desc->object));
    if (desc->handleField)
        *desc->handleField = hwnd;
    desc->object->hwnd = hwnd;   // the map's handlers and DefWindowProcW need it, whatever the field named
    return CallWindowProcW(desc->windowProc, hwnd, message, wParam, lParam);
}

LRESULT CALLBACK DWindow::StaticWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWindow* object = WindowObject<DWindow>(hwnd);
    if (!object)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    LRESULT result;
    try {
        result = object->WindowProc(message, wParam, lParam);
    } catch (...) {
        KeepWindowException();
        result = FailedMessageResult(message);
    }
    // The window is gone: the object must not keep its handle, which the
    // system may hand to another window. (A handler that deletes its object at
    // WM_NCDESTROY clears index 0 first; then the object is not touched here.)
    if (message == WM_NCDESTROY && WindowObject<DWindow>(hwnd) == object) {
        SetWindowLongW(hwnd, 0, 0);
        if (object->hwnd == hwnd)
            object->hwnd = nullptr;
    }
    return result;
}

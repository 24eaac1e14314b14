#include "ui/handler_table.h"

using namespace MsgCrack;

namespace {

inline int LoSigned(UINT_PTR v) { return static_cast<short>(LOWORD(v)); }
inline int HiSigned(UINT_PTR v) { return static_cast<short>(HIWORD(v)); }

// Calls a handler of shape S with the packet's arguments after the object
// arguments `obj` (none for the static table).
template <Shape S> struct Unpack;
template <> struct Unpack<A> { template <class Fn, class Pk, class... Ob> static auto Do(Fn f, Pk& p, Ob... o) { return f(o...); } };
template <> struct Unpack<B> : Unpack<A> {};
template <> struct Unpack<C> {
    template <class Fn, class Pk, class... Ob> static auto Do(Fn f, Pk& p, Ob... o) { return f(o..., p.wParam, p.lParam); }
};
template <> struct Unpack<D> : Unpack<C> {};
template <> struct Unpack<J> : Unpack<C> {};
template <> struct Unpack<E> { template <class Fn, class Pk, class... Ob> static auto Do(Fn f, Pk& p, Ob... o) { return f(o..., p.wParam); } };
template <> struct Unpack<G> : Unpack<E> {};
template <> struct Unpack<F> { template <class Fn, class Pk, class... Ob> static auto Do(Fn f, Pk& p, Ob... o) { return f(o..., p.lParam); } };
template <> struct Unpack<H> : Unpack<F> {};
template <> struct Unpack<I> {
    template <class Fn, class Pk, class... Ob> static auto Do(Fn f, Pk& p, Ob... o)
    {
        return f(o..., LoSigned(p.lParam), HiSigned(p.lParam), p.wParam);
    }
};
template <> struct Unpack<K> {
    template <class Fn, class Pk, class... Ob> static auto Do(Fn f, Pk& p, Ob... o) { return f(o..., p.hwnd, p.lParam); }
};
template <> struct Unpack<L> {
    template <class Fn, class Pk, class... Ob> static auto Do(Fn f, Pk& p, Ob... o)
    {
        return f(o..., static_cast<UINT>(LOWORD(p.wParam)), static_cast<UINT>(HIWORD(p.wParam)), p.lParam);
    }
};
template <> struct Unpack<M> {
    template <class Fn, class Pk, class... Ob> static auto Do(Fn f, Pk& p, Ob... o)
    {
        return f(o..., LoSigned(p.lParam), HiSigned(p.lParam));
    }
};
template <> struct Unpack<N> : Unpack<M> {};
template <> struct Unpack<O> {
    template <class Fn, class Pk, class... Ob> static auto Do(Fn f, Pk& p, Ob... o)
    {
        return f(o..., p.wParam, LoSigned(p.lParam), HiSigned(p.lParam));
    }
};
template <> struct Unpack<P> {
    template <class Fn, class Pk, class... Ob> static auto Do(Fn f, Pk& p, Ob... o)
    {
        return f(o..., LoSigned(p.wParam), HiSigned(p.wParam));
    }
};
template <> struct Unpack<Q> {
    template <class Fn, class Pk, class... Ob> static auto Do(Fn f, Pk& p, Ob... o)
    {
        return f(o..., LoSigned(p.wParam), HiSigned(p.wParam), p.lParam);
    }
};
template <> struct Unpack<R> : Unpack<Q> {};

template <Shape S>
void CrackMember(MemberMsgPacket& p)
{
    using Fn = typename Sig<S, void*>::Fn;
    Fn f = reinterpret_cast<Fn>(p.handler);
    if constexpr (std::is_void<decltype(Unpack<S>::Do(f, p, p.object))>::value)
        Unpack<S>::Do(f, p, p.object);
    else
        p.result = Unpack<S>::Do(f, p, p.object);
}

template <Shape S>
void CrackStatic(StaticMsgPacket& p)
{
    using Fn = typename Sig<S>::Fn;
    Fn f = reinterpret_cast<Fn>(p.handler);
    if constexpr (std::is_void<decltype(Unpack<S>::Do(f, p))>::value)
        Unpack<S>::Do(f, p);
    else
        p.result = Unpack<S>::Do(f, p);
}

// The unpacking routine of each shape, in the order of MsgCrack::Shape.
#define MSG_SHAPE_CRACKERS(Crack)                                                                                     \
    {                                                                                                                  \
        nullptr, Crack<A>, Crack<B>, Crack<C>, Crack<D>, Crack<E>, Crack<F>, Crack<G>, Crack<H>, Crack<I>, Crack<J>,   \
            Crack<K>, Crack<L>, Crack<M>, Crack<N>, Crack<O>, Crack<P>, Crack<Q>, Crack<R>,                           \
    }
constexpr MemberCracker kMemberByShape[kShapeCount] = MSG_SHAPE_CRACKERS(CrackMember);
constexpr StaticCracker kStaticByShape[kShapeCount] = MSG_SHAPE_CRACKERS(CrackStatic);

template <class Cracker>
constexpr std::array<Cracker, 1024> BuildTable(const Cracker (&byShape)[kShapeCount])
{
    std::array<Cracker, 1024> table{};
    for (UINT m = 0; m < 1024; ++m)
        table[m] = byShape[ShapeOf(m)];
    return table;
}

}  // namespace

const std::array<MemberCracker, 1024> MsgCrack::Member = BuildTable(kMemberByShape);
const std::array<StaticCracker, 1024> MsgCrack::Static = BuildTable(kStaticByShape);

const MemberCracker MsgCrack::MemberByShape[kShapeCount] = MSG_SHAPE_CRACKERS(CrackMember);
const StaticCracker MsgCrack::StaticByShape[kShapeCount] = MSG_SHAPE_CRACKERS(CrackStatic);
#undef MSG_SHAPE_CRACKERS

LRESULT DispatchMemberTable(const HandlerTable& table, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    AnyHandler handler = nullptr;
    MemberCracker cracker = nullptr;
    if (message < 1024) {
        handler = table.handlers[message];
        cracker = Member[message];
    } else if (const HandlerEntry* entry = table.FindPrivate(message)) {
        handler = entry->handler;
        cracker = MemberByShape[entry->shape];
    }
    if (handler && cracker) {
        MemberMsgPacket packet = {hwnd, wParam, lParam, 0, WindowObject<void>(hwnd), handler};
        if (packet.object) {
            cracker(packet);
            return packet.result;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT DispatchStaticTable(const HandlerTable& table, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    AnyHandler handler = nullptr;
    StaticCracker cracker = nullptr;
    if (message < 1024) {
        handler = table.handlers[message];
        cracker = Static[message];
    } else if (const HandlerEntry* entry = table.FindPrivate(message)) {
        handler = entry->handler;
        cracker = StaticByShape[entry->shape];
    }
    if (handler && cracker) {
        StaticMsgPacket packet = {hwnd, wParam, lParam, 0, handler};
        cracker(packet);
        return packet.result;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Per-class handler tables: dispatch by message number.
//
// The owner-drawn controls and the small table-dispatched windows keep one
// HandlerTable per class: 1,024 handler slots indexed by message number, zero
// when not handled, filled once when the class is registered. The class's
// window procedure (TableWindowProc) hands a message that has a handler to
// the unpacking routine that MsgCrack::Member assigns to its number, with the
// object found at index 0 of the window's extra bytes; everything else goes to
// DefWindowProcW. Windows whose state is global use MsgCrack::Static, the
// same without the object.
//
// Handlers are put into a table with OnMessage<WM_x, &Class::Method>() (or
// OnStatic<WM_x, &Function>()), which refuses at compile time a message
// without a shape and a handler whose signature is not its message's shape.
// Private messages go into the same list and are dispatched the same way;
// a window procedure never tests a message before dispatching it.
#pragma once

#include "ui/msg_shapes.h"
#include "ui/window_create.h"
#include "ui/window_errors.h"

#include <array>
#include <type_traits>

namespace MsgCrack {

typedef void (*AnyHandler)();   // a handler as stored in a table

struct MemberMsgPacket {
    HWND hwnd;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;     // 0 on entry
    void* object;       // GetWindowLongW(hwnd, 0)
    AnyHandler handler;
};

struct StaticMsgPacket {
    HWND hwnd;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result;
    AnyHandler handler;
};

// Handler signatures by shape: Sig<S, Obj...>::Fn, where Obj is void* for
// member tables and nothing for static ones.
template <Shape S, class... Obj> struct Sig;
template <class... Ob> struct Sig<A, Ob...> { using Fn = void (*)(Ob...); };
template <class... Ob> struct Sig<B, Ob...> { using Fn = LRESULT (*)(Ob...); };
template <class... Ob> struct Sig<C, Ob...> { using Fn = void (*)(Ob..., WPARAM, LPARAM); };
template <class... Ob> struct Sig<D, Ob...> { using Fn = LRESULT (*)(Ob..., WPARAM, LPARAM); };
template <class... Ob> struct Sig<E, Ob...> { using Fn = void (*)(Ob..., WPARAM); };
template <class... Ob> struct Sig<F, Ob...> { using Fn = void (*)(Ob..., LPARAM); };
template <class... Ob> struct Sig<G, Ob...> { using Fn = LRESULT (*)(Ob..., WPARAM); };
template <class... Ob> struct Sig<H, Ob...> { using Fn = LRESULT (*)(Ob..., LPARAM); };
template <class... Ob> struct Sig<I, Ob...> { using Fn = void (*)(Ob..., int, int, WPARAM); };
template <class... Ob> struct Sig<J, Ob...> { using Fn = void (*)(Ob..., WPARAM, LPARAM); };
template <class... Ob> struct Sig<K, Ob...> { using Fn = LRESULT (*)(Ob..., HWND, LPARAM); };
template <class... Ob> struct Sig<L, Ob...> { using Fn = LRESULT (*)(Ob..., UINT, UINT, LPARAM); };
template <class... Ob> struct Sig<M, Ob...> { using Fn = LRESULT (*)(Ob..., int, int); };
template <class... Ob> struct Sig<N, Ob...> { using Fn = void (*)(Ob..., int, int); };
template <class... Ob> struct Sig<O, Ob...> { using Fn = LRESULT (*)(Ob..., WPARAM, int, int); };
template <class... Ob> struct Sig<P, Ob...> { using Fn = LRESULT (*)(Ob..., int, int); };
template <class... Ob> struct Sig<Q, Ob...> { using Fn = LRESULT (*)(Ob..., int, int, LPARAM); };
template <class... Ob> struct Sig<R, Ob...> { using Fn = void (*)(Ob..., int, int, LPARAM); };

typedef void (*MemberCracker)(MemberMsgPacket& packet);
typedef void (*StaticCracker)(StaticMsgPacket& packet);

// The unpacking routines by message number (null: the message has no shape).
extern const std::array<MemberCracker, 1024> Member;
extern const std::array<StaticCracker, 1024> Static;
// The same routines by shape, for the private messages (null for kNoShape).
extern const MemberCracker MemberByShape[kShapeCount];
extern const StaticCracker StaticByShape[kShapeCount];

// Adapts a member function of T to the table's plain signature (object first).
template <auto Method> struct MethodThunk;
template <class T, class Ret, class... Args, Ret (T::*Method)(Args...)>
struct MethodThunk<Method> {
    using Fn = Ret (*)(void*, Args...);
    static Ret Call(void* self, Args... args) { return (static_cast<T*>(self)->*Method)(args...); }
};

}  // namespace MsgCrack

struct HandlerEntry {
    UINT message;
    MsgCrack::AnyHandler handler;
    MsgCrack::Shape shape = MsgCrack::kNoShape;   // read for private messages only
};

// A member-table entry: Method is a member of the class whose object the
// window holds at index 0. The message may be a standard one or a private
// one that declares its shape (MsgCrack::PrivateShape).
template <UINT Message, auto Method>
HandlerEntry OnMessage()
{
    constexpr MsgCrack::Shape shape = MsgCrack::MessageShape<Message>();
    static_assert(shape != MsgCrack::kNoShape, "this message has no cracker shape");
    using Thunk = MsgCrack::MethodThunk<Method>;
    static_assert(std::is_same<typename Thunk::Fn, typename MsgCrack::Sig<shape, void*>::Fn>::value,
                  "the handler's signature does not match its message's shape");
    return HandlerEntry{Message, reinterpret_cast<MsgCrack::AnyHandler>(&Thunk::Call), shape};
}

// A static-table entry: a plain function.
template <UINT Message, auto Function>
HandlerEntry OnStatic()
{
    constexpr MsgCrack::Shape shape = MsgCrack::MessageShape<Message>();
    static_assert(shape != MsgCrack::kNoShape, "this message has no cracker shape");
    static_assert(std::is_same<decltype(Function), typename MsgCrack::Sig<shape>::Fn>::value,
                  "the handler's signature does not match its message's shape");
    return HandlerEntry{Message, reinterpret_cast<MsgCrack::AnyHandler>(Function), shape};
}

struct HandlerTable {
    MsgCrack::AnyHandler handlers[1024];   // zero-initialised static storage: nothing handled

    // The private messages a class handles, kept beside the table (a message
    // from 1024 on never indexes it) and dispatched the same way, by shape.
    static constexpr int kMaxPrivate = 4;
    HandlerEntry privates[kMaxPrivate];
    int privateCount;

    void Fill(const HandlerEntry* entries, size_t count)
    {
        for (size_t i = 0; i < count; ++i) {
            if (entries[i].message < 1024)
                handlers[entries[i].message] = entries[i].handler;
            else if (HandlerEntry* known = const_cast<HandlerEntry*>(FindPrivate(entries[i].message)))
                *known = entries[i];   // filled again when the class is registered again
            else if (privateCount < kMaxPrivate)
                privates[privateCount++] = entries[i];
        }
    }
    // The entry of a private message, or null.
    const HandlerEntry* FindPrivate(UINT message) const
    {
        for (int i = 0; i < privateCount; ++i)
            if (privates[i].message == message)
                return &privates[i];
        return nullptr;
    }
};

// The body of the window procedure of a class with a member table (the
// handlers take the object). May throw.
LRESULT DispatchMemberTable(const HandlerTable& table, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// The body of the window procedure of a class with a static table (its state
// is global). May throw.
LRESULT DispatchStaticTable(const HandlerTable& table, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// The window procedure of a table-dispatched class T whose objects hold their
// window handle in a public member `hwnd`: dispatches through the table,
// keeps an exception instead of letting it cross into the system, and clears
// the object's handle after WM_NCDESTROY (a handler that deletes the object
// at WM_NCDESTROY clears index 0 first).
template <class T, const HandlerTable& Table>
LRESULT CALLBACK TableWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result;
    try {
        result = DispatchMemberTable(Table, hwnd, message, wParam, lParam);
    } catch (...) {
        KeepWindowException();
        result = FailedMessageResult(message);
    }
    if (message == WM_NCDESTROY) {
        if (T* object = WindowObject<T>(hwnd)) {
            SetWindowLongW(hwnd, 0, 0);
            if (object->hwnd == hwnd)
                object->hwnd = nullptr;
        }
    }
    return result;
}

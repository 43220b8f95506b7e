// Message maps: constant tables that bind window messages to member handlers,
// written in the class they belong to and chained to the base class's map.
//
//   class CMyDlg : public CDialog {
//       ...
//       BEGIN_MSG_MAP(CMyDlg, CDialog)
//           afx::OnWmPaint<&CMyDlg::OnPaint>(),
//           afx::OnCommand<&CMyDlg::OnOK>(IDOK),
//       END_MSG_MAP()
//   };
//
// Each entry unpacks wParam and lParam for its handler's signature. A message
// is offered to the maps of the object's class and its bases, the most
// derived first; within a map entries are tried from the top, and the first
// that matches handles the message. A class without a map of its own uses
// its base's. The tables are constants: nothing is built when the program
// starts.
#pragma once

#include "afx/win32.h"

#include <type_traits>

namespace afx {

// A window message as the window procedure received it.
struct Message {
    UINT id;
    WPARAM wParam;
    LPARAM lParam;
};

struct MessageMap;

} // namespace afx

// The root of every class with a message map: windows and the application.
class CCmdTarget {
public:
    CCmdTarget() = default;
    CCmdTarget(const CCmdTarget&) = delete;
    CCmdTarget& operator=(const CCmdTarget&) = delete;
    virtual ~CCmdTarget() = default;

    // The map of this class and its bases: none.
    static const afx::MessageMap* GetThisMessageMap();

protected:
    // The map of the object's own class (BEGIN_MSG_MAP overrides it).
    virtual const afx::MessageMap* GetMessageMap() const { return GetThisMessageMap(); }

    // Calls the first entry that matches `message` in the maps of the
    // object's class and its bases; false when none matches.
    bool DispatchToMaps(const afx::Message& message, LRESULT& result);
};

namespace afx {

using Invoker = LRESULT (*)(CCmdTarget& target, const Message& message);

struct MessageEntry {
    UINT message = 0;
    bool isCommand = false;   // WM_COMMAND of one identifier, from a menu, an accelerator or a click
    UINT command = 0;
    Invoker invoke = nullptr;   // null ends a map

    bool Matches(const Message& m) const
    {
        if (m.id != message)
            return false;
        return !isCommand || (LOWORD(m.wParam) == command && HIWORD(m.wParam) == 0);
    }
};

struct MessageMap {
    const MessageMap* (*base)();   // the base class's map, or null
    const MessageEntry* entries;   // up to the entry without a handler
};

namespace detail {

template <class Handler>
struct HandlerClass;
template <class R, class C, class... A>
struct HandlerClass<R (C::*)(A...)> {
    using Type = C;
};

// The object a handler of its class is called on.
template <auto handler>
auto& Target(CCmdTarget& target)
{
    return static_cast<typename HandlerClass<decltype(handler)>::Type&>(target);
}

} // namespace detail

// --- Entries, one per message kind the layer and the program handle. ---

// WM_INITDIALOG: the handler's answer says whether the system should put
// the focus on the first control.
template <auto handler>
constexpr MessageEntry OnWmInitDialog()
{
    return {WM_INITDIALOG, false, 0, [](CCmdTarget& t, const Message&) {
                return LRESULT((detail::Target<handler>(t).*handler)() ? TRUE : FALSE);
            }};
}

// WM_SYSCOMMAND: the command identifier and its parameter (the cursor
// position for mouse-chosen commands).
template <auto handler>
constexpr MessageEntry OnWmSysCommand()
{
    return {WM_SYSCOMMAND, false, 0, [](CCmdTarget& t, const Message& m) {
                (detail::Target<handler>(t).*handler)(static_cast<UINT>(m.wParam), m.lParam);
                return LRESULT(0);
            }};
}

template <auto handler>
constexpr MessageEntry OnWmPaint()
{
    return {WM_PAINT, false, 0, [](CCmdTarget& t, const Message&) {
                (detail::Target<handler>(t).*handler)();
                return LRESULT(0);
            }};
}

// WM_QUERYDRAGICON: the cursor to show while a minimised window is dragged.
template <auto handler>
constexpr MessageEntry OnWmQueryDragIcon()
{
    return {WM_QUERYDRAGICON, false, 0, [](CCmdTarget& t, const Message&) {
                return reinterpret_cast<LRESULT>((detail::Target<handler>(t).*handler)());
            }};
}

// WM_COMMAND from a menu, an accelerator or a button click with identifier `id`.
template <auto handler>
constexpr MessageEntry OnCommand(UINT id)
{
    return {WM_COMMAND, true, id, [](CCmdTarget& t, const Message&) {
                (detail::Target<handler>(t).*handler)();
                return LRESULT(0);
            }};
}

} // namespace afx

// The map of `theClass`, after its base class's: last in its class body, as
// the macros leave the access private. Between the two: the entries, each
// followed by a comma. cppcheck-afx.cfg repeats both macros for cppcheck.
#define BEGIN_MSG_MAP(theClass, baseClass)                                          \
public:                                                                             \
    static const afx::MessageMap* GetThisMessageMap()                               \
    {                                                                               \
        static_assert(std::is_base_of_v<baseClass, theClass>, "a map chains to a base class"); \
        using TheBaseClass = baseClass;                                             \
        static constexpr afx::MessageEntry entries[] = {

#define END_MSG_MAP()                                                               \
            afx::MessageEntry{}};                                                   \
        static constexpr afx::MessageMap map{&TheBaseClass::GetThisMessageMap, entries}; \
        return &map;                                                                \
    }                                                                               \
                                                                                    \
protected:                                                                          \
    const afx::MessageMap* GetMessageMap() const override { return GetThisMessageMap(); } \
                                                                                    \
private:

// Message maps: tables that bind window messages to member handlers.
//
//   const afx::MessageMap<CMyDlg> CMyDlg::messageMap = {
//       afx::OnWmPaint(&CMyDlg::OnPaint),
//       afx::OnCommand(IDOK, &CMyDlg::OnOK),
//   };
//
// Each entry unpacks wParam and lParam for its handler's signature. Entries
// are tried from the top; the first that matches handles the message. A class
// with a map dispatches to it in OnWndMsg and then hands over to its base
// class, so a derived class's entries come before its base's.
#pragma once

#include "afx/win32.h"

#include <functional>
#include <initializer_list>
#include <optional>
#include <type_traits>
#include <vector>

namespace afx {

// A window message as the window procedure received it.
struct Message {
    UINT id;
    WPARAM wParam;
    LPARAM lParam;
};

template <class T>
class MessageEntry {
public:
    using Handler = std::function<LRESULT(T&, const Message&)>;

    MessageEntry(UINT message, Handler handler) : m_message(message), m_handler(std::move(handler)) {}
    MessageEntry(UINT message, UINT command, Handler handler)
        : m_message(message), m_command(command), m_handler(std::move(handler)) {}

    // A base class's entry serves in a derived class's map.
    template <class Base, class = std::enable_if_t<std::is_base_of_v<Base, T> && !std::is_same_v<Base, T>>>
    MessageEntry(const MessageEntry<Base>& base)
        : m_message(base.m_message), m_command(base.m_command),
          m_handler([handler = base.m_handler](T& target, const Message& m) { return handler(target, m); }) {}

    // Command entries take menu, accelerator and button clicks (code 0)
    // of their identifier only.
    bool Matches(const Message& m) const
    {
        if (m.id != m_message)
            return false;
        return !m_command || (LOWORD(m.wParam) == *m_command && HIWORD(m.wParam) == 0);
    }

    LRESULT Invoke(T& target, const Message& m) const { return m_handler(target, m); }

private:
    template <class> friend class MessageEntry;

    UINT m_message;
    std::optional<UINT> m_command;
    Handler m_handler;
};

template <class T>
class MessageMap {
public:
    MessageMap(std::initializer_list<MessageEntry<T>> entries) : m_entries(entries) {}

    // Calls the first matching entry's handler; false when none matches.
    bool Dispatch(T& target, const Message& m, LRESULT& result) const
    {
        for (const MessageEntry<T>& entry : m_entries) {
            if (entry.Matches(m)) {
                result = entry.Invoke(target, m);
                return true;
            }
        }
        return false;
    }

private:
    std::vector<MessageEntry<T>> m_entries;
};

// --- Entries, one per message kind the layer and the program handle. ---

// WM_INITDIALOG: the handler's answer says whether the system should put
// the focus on the first control.
template <class T>
MessageEntry<T> OnWmInitDialog(bool (T::*handler)())
{
    return {WM_INITDIALOG, [handler](T& t, const Message&) { return LRESULT((t.*handler)() ? TRUE : FALSE); }};
}

// WM_SYSCOMMAND: the command identifier and its parameter (the cursor
// position for mouse-chosen commands).
template <class T>
MessageEntry<T> OnWmSysCommand(void (T::*handler)(UINT, LPARAM))
{
    return {WM_SYSCOMMAND, [handler](T& t, const Message& m) {
                (t.*handler)(static_cast<UINT>(m.wParam), m.lParam);
                return LRESULT(0);
            }};
}

template <class T>
MessageEntry<T> OnWmPaint(void (T::*handler)())
{
    return {WM_PAINT, [handler](T& t, const Message&) {
                (t.*handler)();
                return LRESULT(0);
            }};
}

// WM_QUERYDRAGICON: the cursor to show while a minimised window is dragged.
template <class T>
MessageEntry<T> OnWmQueryDragIcon(HCURSOR (T::*handler)())
{
    return {WM_QUERYDRAGICON, [handler](T& t, const Message&) {
                return reinterpret_cast<LRESULT>((t.*handler)());
            }};
}

// Any other message, the program's own included: the handler unpacks the
// parameters itself and its answer goes back to the sender.
template <class T>
MessageEntry<T> OnMessage(UINT message, LRESULT (T::*handler)(WPARAM, LPARAM))
{
    return {message, [handler](T& t, const Message& m) { return (t.*handler)(m.wParam, m.lParam); }};
}

// WM_COMMAND from a menu, an accelerator or a button click with identifier `id`.
template <class T>
MessageEntry<T> OnCommand(UINT id, void (T::*handler)())
{
    return {WM_COMMAND, id, [handler](T& t, const Message&) {
                (t.*handler)();
                return LRESULT(0);
            }};
}

} // namespace afx

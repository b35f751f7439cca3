#pragma once
// A page that runs a nested event loop (exec, processEvents) may be closed and
// deleted meanwhile. Guard `this` before the loop and test it afterwards:
//   PageGuard alive(this); dialog.exec(); if (!alive) return;
#include <QPointer>

template <class T>
class PageGuardT {
public:
    explicit PageGuardT(T* page) : m_page(page) {}
    explicit operator bool() const { return !m_page.isNull(); }
    T* get() const { return m_page.data(); }
private:
    QPointer<T> m_page;
};

#include <QObject>
using PageGuard = PageGuardT<QObject>;

// Closes the page a static page pointer holds and clears the pointer at once
// (the page itself is deleted later); false when the pointer held none.
template <class T>
bool closePagePointer(T*& pointer)
{
    T* page = pointer;
    if (!page)
        return false;
    pointer = nullptr;
    page->close();
    return true;
}

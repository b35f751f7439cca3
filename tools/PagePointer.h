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

#pragma once
// The pages the screenshot tool draws, beyond the main window and the common
// dialogs. Each entry makes one page over the main window; pages.cpp holds the
// list, one guarded entry per page.
#include <QString>
#include <QWidget>
#include <functional>
#include <type_traits>
#include <vector>

struct PageShot {
    QString name;                       // the PNG is page_<name>.png
    std::function<QWidget*()> open;     // null result: the page could not be made
};

std::vector<PageShot>& pageShots();

struct PageShotEntry {
    PageShotEntry(const char* name, std::function<QWidget*()> open) { pageShots().push_back({name, open}); }
};

// Makes a page with whichever of the usual constructors it has:
// (QWidget* parent), (QString argument, QWidget* parent) or (QString argument).
template <class Page>
QWidget* makePage(const QString& argument)
{
    if constexpr (std::is_constructible_v<Page, QWidget*>)
        return new Page(nullptr);
    else if constexpr (std::is_constructible_v<Page, QString, QWidget*>)
        return new Page(argument, nullptr);
    else if constexpr (std::is_constructible_v<Page, QString>)
        return new Page(argument);
    else
        return nullptr;
}

// One line per page: SHOT(file name, class, argument for a (QString, ...) constructor).
// The page's own pointer (inst...) is set by its constructor or by the entry.
#define SHOT(name, Page, argument) \
    static PageShotEntry shot_##Page(name, [] { return makePage<Page>(argument); })

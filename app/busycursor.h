#pragma once

#include <QCursor>
#include <QGuiApplication>

// Shows the busy pointer over the whole program for as long as it lives, so a
// wait for a page is seen to be one. Guards nest; the pointer comes back when
// the outermost one goes, however its scope is left.
class BusyCursor final
{
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(QCursor(Qt::BusyCursor)); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

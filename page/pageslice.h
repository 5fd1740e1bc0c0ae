#pragma once

#include <QString>
#include <QStringView>

// A stretch of a page that shares the page's text rather than copying it: the
// page stays alive, unchanged, for as long as a stretch refers into it.
class PageSlice final
{
public:
    PageSlice() = default;
    explicit PageSlice(const QString &page)
        : m_page(page)
        , m_length(page.size())
    {}

    QStringView view() const { return QStringView(m_page).mid(m_from, m_length); }
    // The stretch `part` of the same page; `part` must lie inside view().
    PageSlice sub(QStringView part) const;
    bool sharesPageWith(const PageSlice &other) const { return m_page.constData() == other.m_page.constData(); }
    // Keeps the first `length` characters only, in a text of their own, and so
    // lets go of the page.
    void keepOnlyFirst(qsizetype length);
    // The stretch as a text of its own; the page itself when it is all of it.
    QString toString() const;

private:
    QString m_page;
    qsizetype m_from = 0;
    qsizetype m_length = 0;
};

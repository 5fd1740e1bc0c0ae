#include "page/pageslice.h"

PageSlice PageSlice::sub(QStringView part) const
{
    PageSlice slice;
    slice.m_page = m_page;
    slice.m_from = part.isEmpty() ? 0 : part.data() - m_page.constData();
    slice.m_length = part.size();
    return slice;
}

void PageSlice::keepOnlyFirst(qsizetype length)
{
    if (m_from == 0 && length == m_page.size())
        return;
    m_page = view().left(length).toString();
    m_from = 0;
    m_length = m_page.size();
}

QString PageSlice::toString() const
{
    if (m_from == 0 && m_length == m_page.size())
        return m_page;
    return view().toString();
}

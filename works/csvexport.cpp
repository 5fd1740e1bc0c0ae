#include "works/csvexport.h"

#include <algorithm>

namespace works {

namespace {

// What a spreadsheet would run instead of show: a cell that starts like a
// formula is kept as text by a leading apostrophe, and control characters
// (other than tab) that a terminal or a parser might act on are dropped.
QString disarmed(const QString &raw)
{
    QString field;
    field.reserve(raw.size() + 1);
    for (const QChar c : raw) {
        if (c.unicode() >= 0x20 || c == QLatin1Char('\t'))
            field += c;
    }
    static const QString kFormulaStarts = QStringLiteral("=+-@\t");
    if (!field.isEmpty() && kFormulaStarts.contains(field.front()))
        field.prepend(QLatin1Char('\''));
    return field;
}

void appendField(QString &out, const QString &raw)
{
    static const QString kNeedsQuotes = QStringLiteral(",\"");
    const QString field = disarmed(raw);
    if (std::none_of(field.cbegin(), field.cend(), [](QChar c) { return kNeedsQuotes.contains(c); })) {
        out += field;
        return;
    }
    out += QLatin1Char('"');
    for (const QChar c : field) {
        if (c == QLatin1Char('"'))
            out += QLatin1Char('"');
        out += c;
    }
    out += QLatin1Char('"');
}

void appendRow(QString &out, const QStringList &fields)
{
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += QLatin1Char(',');
        appendField(out, fields[i]);
    }
    out += QLatin1String("\r\n");
}

} // namespace

QStringList exportColumns()
{
    return {QStringLiteral("序号"), QStringLiteral("音乐ID"), QStringLiteral("音乐名称"), QStringLiteral("音乐地址")};
}

QByteArray toCsv(const QStringList &header, const QList<QStringList> &records)
{
    QString out;
    appendRow(out, header);
    for (const QStringList &record : records)
        appendRow(out, record);
    return out.toUtf8();
}

QString exportedText(int count)
{
    return QStringLiteral("已导出 %1 个作品 ..").arg(count);
}

QString exportFailedText(const QString &cause)
{
    return QStringLiteral("列表导出失败: ") + cause;
}

} // namespace works

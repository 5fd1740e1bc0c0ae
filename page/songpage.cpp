#include "app/controls.h"
#include "app/form1.h"

// The parse: a song page cut into the song record and the details panels.

QString &program::workId()
{
    static QString id;
    return id;
}

void Form1::connectLookupHandlers()
{
    connect(aicAlphaImage3, &ImageButton::clicked, this, &Form1::aicAlphaImage3_Click);
}

QString Form1::songTitle() const
{
    QString caption = Label2->caption();
    const QString prefix = QStringLiteral("演唱歌曲：");
    if (caption.startsWith(prefix))
        caption.remove(0, prefix.size());
    return caption;
}

void Form1::aicAlphaImage3_Click()
{}

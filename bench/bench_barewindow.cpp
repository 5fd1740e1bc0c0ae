// The yardsticks for bench_startup: an empty window of the main window's size,
// shown as soon as the application exists; with --caption, the same window
// with one line of Chinese in the window's font, which is what any window
// with Chinese text pays for the font configuration and the first glyphs.

#include <QApplication>
#include <QLabel>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(1063, 575);
    if (QCoreApplication::arguments().contains(QStringLiteral("--caption"))) {
        QFont font;
        font.setFamilies({QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
        font.setPointSize(9);
        window.setFont(font);
        auto *caption = new QLabel(QStringLiteral("请输入Cantora网页版地址：（无需Cantora会员）"), &window);
        caption->move(16, 16);
    }
    window.show();
    return app.exec();
}

// The main window's controls at their fixed places. Children are created from
// the bottom of the stacking order up, so each new one lies above the last.

#include "app/controls.h"
#include "app/form1.h"
#include "app/layout.h"
#include "update/updatecheck.h"

#include <QCursor>
#include <QHeaderView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QTreeWidget>

#include <iterator>

namespace {

const QColor kWhite(Qt::white);

QFont yaHei(qreal points)
{
    QFont font;
    font.setFamilies(
        layout::installedFamilies({QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
                                   QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")}));
    font.setPointSizeF(points);
    return font;
}

QCursor pointingHand()
{
    const QPixmap hand(QStringLiteral(":/art/hand.png"));
    return hand.isNull() ? QCursor(Qt::PointingHandCursor) : QCursor(hand, 5, 0);
}

using layout::autoLabel;
using layout::button;
using layout::named;
using layout::textBox;

Label *fixedLabel(QWidget *parent, const char *name, const QString &caption, QRect box)
{
    auto *l = named(new Label(caption, Label::Sizing::Fixed, parent), name);
    l->setGeometry(box);
    return l;
}

Panel *panel(QWidget *parent, const char *name, QRect box)
{
    auto *p = named(new Panel(parent), name);
    p->setGeometry(box);
    return p;
}

ImageBox *hiddenPicture(QWidget *parent, const char *name, const QString &resource)
{
    auto *image = named(new ImageBox(layout::artPicture(resource), false, parent), name);
    image->hide();
    return image;
}

} // namespace

void Form1::createControls()
{
    // Pictures that the frame painting draws from.
    Image8 = hiddenPicture(this, "Image8", QStringLiteral(":/art/banner.png"));
    Image9 = hiddenPicture(this, "Image9", QStringLiteral(":/art/titlebuttons.png"));
    Image10 = hiddenPicture(this, "Image10", QStringLiteral(":/art/frame.png"));

    const QPixmap defaultAvatar = layout::artPicture(QStringLiteral(":/art/avatar.png"));
    Image2 = named(new ImageBox(defaultAvatar, true, this), "Image2");
    Image2->setGeometry(584, 328, 129, 129);

    Image3 = named(new ImageBox(layout::artPicture(QStringLiteral(":/art/swatch.png")), true, this), "Image3");
    Image3->setGeometry(8, 536, 1060, 36);

    Label8[0] = autoLabel(this, "Label8(0)", QStringLiteral("运行提示："), {32, 549});
    Line1 = named(new LineControl({112, 544}, {112, 564}, kWhite, this), "Line1");
    Label8[1] = autoLabel(this, "Label8(1)", update::checkingText(), {128, 549});
    Line2 = named(new LineControl({928, 544}, {928, 564}, kWhite, this), "Line2");
    Label8[2] = autoLabel(this, "Label8(2)", QStringLiteral("Orvandel出品"), {968, 549});
    for (Label *label : Label8) {
        label->setProperty("statusBar", true);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, kWhite);
        label->setPalette(palette);
    }

    Label11[1] =
        autoLabel(this, "Label11(1)", QStringLiteral("请输入Cantora网页版地址：（无需Cantora会员）"), {536, 112});
    Label11[1]->setFont(yaHei(10.5));
    Label11[1]->adjustSize();
    Label11[0] =
        fixedLabel(this, "Label11(0)", QStringLiteral("Cantora歌手主页地址：(需Cantora会员)"), {16, 112, 233, 17});
    Label11[0]->setFont(yaHei(10.5));
    Label11[0]->setWordWrap(false);

    aicAlphaImage3 =
        named(new ImageButton(layout::artPicture(QStringLiteral(":/art/parse.png")), this), "aicAlphaImage3");
    aicAlphaImage3->setGeometry(936, 72, 106, 100);
    aicAlphaImage3->setToolTip(QStringLiteral("提取音乐"));
    aicAlphaImage3->setCursor(pointingHand());

    ListView1 = named(new QTreeWidget(this), "ListView1");
    ListView1->setGeometry(16, 184, 505, 337);
    ListView1->setRootIsDecorated(false);
    ListView1->setItemsExpandable(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setColumnCount(4);
    {
        struct Column
        {
            const char *key;
            const char *header;
            int width;
        };
        static const Column columns[] = {
            {"xh", "序号", 60},
            {"yy", "音乐ID", 100},
            {"mc", "音乐名称(双击可解析文件地址)", 260},
            {"dz", "音乐地址", 0},
        };
        auto *header = new QTreeWidgetItem;
        for (int i = 0; i < 4; ++i) {
            header->setText(i, QString::fromUtf8(columns[i].header));
            header->setData(i, Qt::UserRole, QString::fromUtf8(columns[i].key));
            header->setTextAlignment(i, Qt::AlignLeft | Qt::AlignVCenter);
        }
        ListView1->setHeaderItem(header);
        QHeaderView *h = ListView1->header();
        h->setStretchLastSection(false);
        h->setMinimumSectionSize(0);
        h->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        for (int i = 0; i < 4; ++i)
            h->resizeSection(i, columns[i].width);
        // The address column carries a value in every row but is never seen.
        h->setSectionHidden(3, true);
    }
    // The whole list shows the hand, its header included.
    ListView1->setCursor(pointingHand());

    Command3 = button(this, "Command3", QStringLiteral("Orvandel系列软件"), {848, 480, 105, 41});
    Command4 = button(this, "Command4", QStringLiteral("Orvandel官网"), {760, 480, 81, 41});
    Command5 = button(this, "Command5", QStringLiteral("退出程序"), {960, 480, 81, 41});
    Command9 = button(this, "Command9", QStringLiteral("粘贴地址"), {824, 112, 89, 17});
    Text1 = textBox(this, "Text1", {536, 144, 377, 18});
    Text1->setMaxLength(Form1::kAddressMaxLength);
    Text1->setEnabled(false);
    Command12 = button(this, "Command12", QStringLiteral("清空列表"), {424, 112, 97, 57});
    Command12->setEnabled(false);
    Command11 = button(this, "Command11", QStringLiteral("粘贴地址"), {232, 112, 73, 17});
    Text2 = textBox(this, "Text2", {16, 144, 289, 18});
    Text2->setMaxLength(Form1::kAddressMaxLength);
    Text2->setEnabled(false);
    Command10 = button(this, "Command10", QStringLiteral("批量获取"), {320, 112, 97, 57});
    Command10->setEnabled(false);

    Slider1 = named(new QSlider(Qt::Horizontal, this), "Slider1");
    Slider1->setGeometry(752, 448, 297, 25);
    Slider1->setRange(0, 1000);
    Slider1->setPageStep(5);
    Slider1->setSingleStep(1);

    createSingerPanel();
    createWorkPanel();
    createDownloadPanel();
    setUpKeyboardAndNames();

    C1.DialogTitle = QStringLiteral("选择要下载的路径");
    C1.filterDescription = QStringLiteral("MP3音乐文件");
    C1.pattern = QStringLiteral("*.mp3");

    Timer3 = named(new QTimer(this), "Timer3");
    Timer3->setInterval(100);
    Timer4 = named(new QTimer(this), "Timer4");
    Timer4->setInterval(2000);
}

// What a keyboard or a screen reader needs beyond the captions: the picture
// buttons take the focus, Tab runs as the eye reads the window, and controls
// without a caption of their own are named after the text beside them.
void Form1::setUpKeyboardAndNames()
{
    // By Tab only: a mouse click leaves the round button without a focus frame.
    aicAlphaImage3->setFocusPolicy(Qt::TabFocus);
    aicAlphaImage4->setFocusPolicy(Qt::StrongFocus);
    QWidget *const order[] = {Text2,          Command11, Command10, Command12, ListView1, Text1,         Command9,
                              aicAlphaImage3, Command7,  Command16, Command13, Command8,  Command2,      Slider1,
                              Command4,       Command3,  Command5,  Command1,  Command6,  aicAlphaImage4};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    const auto name = [](QWidget *widget, const char *text, const char *description = nullptr) {
        widget->setAccessibleName(QString::fromUtf8(text));
        if (description)
            widget->setAccessibleDescription(QString::fromUtf8(description));
    };
    name(Text1, "Cantora网页版地址", "粘贴作品网页地址后按回车提取音乐");
    name(Command9, "粘贴歌曲地址");
    name(aicAlphaImage3, "提取音乐");
    name(Text2, "Cantora歌手主页地址", "粘贴歌手主页地址后按回车批量获取");
    name(Command11, "粘贴歌手主页地址");
    name(ListView1, "歌手作品列表", "按回车或双击提取所选作品");
    name(aicAlphaImage1, "歌手头像");
    name(aicAlphaImage2, "MV");
    name(Slider1, "音量");
    name(Picture3, "音乐下载器", "按Esc关闭");
    name(aicAlphaImage4, "关闭", "关闭音乐下载器");
    name(ProgressBar1, "下载进度");
}

void Form1::createSingerPanel()
{
    Picture1 = panel(this, "Picture1", {536, 184, 217, 337});
    Image1 = named(new ImageBox(layout::artPicture(QStringLiteral(":/art/avatar.png")), true, Picture1), "Image1");
    Image1->setGeometry(24, 16, 164, 164);
    aicAlphaImage1 =
        named(new ImageButton(layout::artPicture(QStringLiteral(":/art/avatarmask.png")), Picture1), "aicAlphaImage1");
    aicAlphaImage1->setGeometry(24, 16, 164, 164);
    Label1 = autoLabel(Picture1, "Label1", QStringLiteral("歌手名：未查询"), {8, 200});
    Label4 = autoLabel(Picture1, "Label4", QStringLiteral("粉丝数：未查询"), {8, 224});
    Label3 = autoLabel(Picture1, "Label3", QStringLiteral("描述信息："), {8, 248});
    Label10 = fixedLabel(Picture1, "Label10", QStringLiteral("请输入地址进行信息提取"), {8, 272, 196, 60});
}

void Form1::createWorkPanel()
{
    Picture2 = panel(this, "Picture2", {760, 184, 281, 249});
    Label2 = autoLabel(Picture2, "Label2", QStringLiteral("演唱歌曲：未查询"), {16, 13});
    Label5 = autoLabel(Picture2, "Label5", QStringLiteral("播放次数：未查询"), {16, 37});
    Label6 = autoLabel(Picture2, "Label6", QStringLiteral("收到礼物：未查询"), {16, 61});
    Label7 = autoLabel(Picture2, "Label7", QStringLiteral("分享次数：未查询"), {16, 85});
    Label9 = autoLabel(Picture2, "Label9", QStringLiteral("评论数量：未查询"), {16, 109});
    Command16 = button(Picture2, "Command16", QStringLiteral("无法播放?"), {144, 133, 121, 33});
    Command2 = button(Picture2, "Command2", QStringLiteral("下载音乐"), {16, 208, 249, 33});
    Command7 = button(Picture2, "Command7", QStringLiteral("在线播放"), {16, 133, 121, 33});
    Command8 = button(Picture2, "Command8", QStringLiteral("获取MV"), {144, 171, 121, 33});
    Command13 = button(Picture2, "Command13", QStringLiteral("复制地址"), {16, 171, 121, 33});
    aicAlphaImage2 =
        named(new ImageButton(layout::artPicture(QStringLiteral(":/art/mvbadge.png")), Picture2), "aicAlphaImage2");
    aicAlphaImage2->setGeometry(128, 8, 32, 23);
    aicAlphaImage2->hide();
}

void Form1::createDownloadPanel()
{
    Picture3 = panel(this, "Picture3", {304, 56, 497, 433});
    Picture3->setFrameShape(QFrame::Box);

    Label12 = autoLabel(Picture3, "Label12", QStringLiteral("音乐下载器"), {24, 24});
    Label12->setFont(yaHei(14.25));
    Label12->adjustSize();

    aicAlphaImage4 =
        named(new ImageButton(layout::artPicture(QStringLiteral(":/art/close16.png")), Picture3), "aicAlphaImage4");
    aicAlphaImage4->setGeometry(464, 8, 16, 16);
    aicAlphaImage4->setToolTip(QStringLiteral("关闭"));
    aicAlphaImage4->setCursor(pointingHand());

    Picture4 = panel(Picture3, "Picture4", {24, 128, 441, 49});
    Label13 = autoLabel(Picture4, "Label13", QStringLiteral("如需更换在此请选择下载的路径："), {8, 16});
    Command1 = button(Picture4, "Command1", QStringLiteral("浏览.."), {328, 8, 105, 33});

    Picture5 = panel(Picture3, "Picture5", {24, 192, 441, 217});
    Label14 = autoLabel(Picture5, "Label14", QStringLiteral("音乐信息："), {16, 16});
    Label16 = autoLabel(Picture5, "Label16", QStringLiteral("音乐名称："), {16, 80});
    Label17 = autoLabel(Picture5, "Label17", QStringLiteral("演唱歌手："), {16, 56});
    Command6 = button(Picture5, "Command6", QStringLiteral("开始下载"), {16, 152, 409, 41});
    ProgressBar1 = named(new QProgressBar(Picture5), "ProgressBar1");
    ProgressBar1->setGeometry(16, 120, 401, 25);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);

    Picture6 = panel(Picture3, "Picture6", {24, 64, 441, 49});
    Label15 = autoLabel(Picture6, "Label15",
                        QStringLiteral("默认路径：当前程序文件目录下“Music”文件夹中( 音乐名称自动填写 )"), {16, 16});

    Picture3->hide();
}

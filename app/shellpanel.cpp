#include "app/shellpanel.h"

#include "app/form1ui.h"
#include "app/services.h"

#include <QLineEdit>
#include <QWidget>

ShellPanel::ShellPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, ClipboardService &clipboard,
                       Launcher &launcher, const AppConfig &config, QWidget *window)
    : Handlers(status, life, window)
    , Text1(ui.Text1)
    , Text2(ui.Text2)
    , m_clipboard(clipboard)
    , m_launcher(launcher)
    , m_config(config)
    , m_window(window)
{}

void ShellPanel::Command3_Click()
{
    m_launcher.openAddress(m_config.forumUrl);
}

void ShellPanel::Command4_Click()
{
    m_launcher.openAddress(m_config.homeUrl);
}

void ShellPanel::Command5_Click()
{
    m_window->close();
}

void ShellPanel::Command9_Click()
{
    Text1->clear();
    Text1->setText(m_clipboard.text());
}

void ShellPanel::Command11_Click()
{
    Text2->clear();
    Text2->setText(m_clipboard.text());
}

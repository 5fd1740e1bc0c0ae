#pragma once

#include "app/handlers.h"
#include "config/appconfig.h"

class ClipboardService;
class Launcher;
class QLineEdit;
class QWidget;
struct Form1Ui;

// The window's own buttons: the two paste buttons, the maker's links and exit.
class ShellPanel final : public Handlers
{
public:
    ShellPanel(const Form1Ui &ui, StatusLine &status, const WindowLife &life, ClipboardService &clipboard,
               Launcher &launcher, const AppConfig &config, QWidget *window);

    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command9_Click();
    void Command11_Click();

private:
    QLineEdit *const Text1;
    QLineEdit *const Text2;

    ClipboardService &m_clipboard;
    Launcher &m_launcher;
    const AppConfig &m_config;
    QWidget *const m_window;
};

#pragma once

#include <QDialog>

class Label;
class Launcher;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The video viewer: shows the video address and the embed line, and opens
// the video page in the web browser. A fixed-size dialog; it keeps nothing
// of its own beyond its controls and where the page lies.
class Form2 final : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kClientWidth = 634;
    static constexpr int kClientHeight = 188;

    Form2(Launcher &launcher, QString pagePath, QWidget *parent);

    QGroupBox *Frame1 = nullptr;
    Label *Label1 = nullptr;
    QLineEdit *Text1 = nullptr;
    Label *Label2 = nullptr;
    QLineEdit *Text2 = nullptr;
    QGroupBox *Frame2 = nullptr;
    Label *Label3 = nullptr;
    QPushButton *Command1 = nullptr;

private:
    void Form_Load();
    void Command1_Click();

    Launcher &m_launcher;
    QString m_pagePath;
};

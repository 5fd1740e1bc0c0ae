#pragma once

#include <QDialog>

class Label;
class Launcher;
class MessageBoxService;
struct FilePlaces;
class QGroupBox;
class QLineEdit;
class QPushButton;

// The video viewer: shows the video address and the embed line, and opens
// the video page in the web browser. A fixed-size dialog; it keeps nothing
// of its own beyond its controls and where the page lies, which `places`
// decides and its note names.
class Form2 final : public QDialog
{
    Q_OBJECT
public:
    static constexpr int kClientWidth = 634;
    static constexpr int kClientHeight = 188;

    Form2(Launcher &launcher, MessageBoxService &messageBox, const FilePlaces &places, QWidget *parent);

    QGroupBox *Frame1 = nullptr;
    Label *Label1 = nullptr;
    QLineEdit *Text1 = nullptr;
    Label *Label2 = nullptr;
    QLineEdit *Text2 = nullptr;
    QGroupBox *Frame2 = nullptr;
    Label *Label3 = nullptr;
    QPushButton *Command1 = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void Form_Load();
    // Centres the whole window, frame and title bar included, on its screen.
    void centreOnScreen();
    void Command1_Click();
    // Label3: where the page was written, centred as designed when it is the
    // program's own folder, else across the frame beside the button.
    void placePageNote(const FilePlaces &places);

    Launcher &m_launcher;
    MessageBoxService &m_messageBox;
    QString m_pagePath;
    // The frame the window was last centred with; the window manager may
    // tell its real size only after the window is shown.
    QMargins m_centredFrame;
};

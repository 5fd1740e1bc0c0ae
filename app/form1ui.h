#pragma once

#include <QString>

#include <array>

class ImageBox;
class ImageButton;
class Label;
class LineControl;
class Panel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimer;
class QTreeWidget;

// The save dialog's fixed settings; it has no widget of its own until shown.
struct SaveDialogSettings final
{
    QString DialogTitle;
    QString filterDescription;
    QString pattern;
};

// Every control of the main window under the name the rest of the program
// knows it by (also its object name, so tests can find it with findChild).
// The window creates them all at construction; none is ever replaced.
struct Form1Ui
{
    // The address boxes take this many characters at most: far more than any
    // address, and little enough that whatever a broken service or clipboard
    // hands them is laid out without a pause.
    static constexpr int kAddressMaxLength = 2048;

    // Pictures that other parts of the window draw from; never shown.
    ImageBox *Image8 = nullptr;
    ImageBox *Image9 = nullptr;
    ImageBox *Image10 = nullptr;

    // Bottom strip and status bar.
    ImageBox *Image2 = nullptr;
    ImageBox *Image3 = nullptr;
    std::array<Label *, 3> Label8{};
    LineControl *Line1 = nullptr;
    LineControl *Line2 = nullptr;

    // Song-page address row.
    std::array<Label *, 2> Label11{};
    QPushButton *Command9 = nullptr;
    QLineEdit *Text1 = nullptr;
    ImageButton *aicAlphaImage3 = nullptr;

    // Singer works area.
    QPushButton *Command11 = nullptr;
    QPushButton *Command10 = nullptr;
    QPushButton *Command12 = nullptr;
    QLineEdit *Text2 = nullptr;
    QTreeWidget *ListView1 = nullptr;

    // Singer panel.
    Panel *Picture1 = nullptr;
    ImageButton *aicAlphaImage1 = nullptr;
    ImageBox *Image1 = nullptr;
    Label *Label1 = nullptr;
    Label *Label4 = nullptr;
    Label *Label3 = nullptr;
    Label *Label10 = nullptr;

    // Work panel.
    Panel *Picture2 = nullptr;
    QPushButton *Command16 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *Command7 = nullptr;
    QPushButton *Command8 = nullptr;
    QPushButton *Command13 = nullptr;
    Label *Label2 = nullptr;
    Label *Label5 = nullptr;
    Label *Label6 = nullptr;
    Label *Label7 = nullptr;
    Label *Label9 = nullptr;
    ImageButton *aicAlphaImage2 = nullptr;

    // Volume, links and exit.
    QSlider *Slider1 = nullptr;
    QPushButton *Command4 = nullptr;
    QPushButton *Command3 = nullptr;
    QPushButton *Command5 = nullptr;
    SaveDialogSettings C1;
    QTimer *Timer3 = nullptr;
    QTimer *Timer4 = nullptr;

    // Download panel.
    Panel *Picture3 = nullptr;
    Panel *Picture4 = nullptr;
    Panel *Picture5 = nullptr;
    Panel *Picture6 = nullptr;
    Label *Label12 = nullptr;
    Label *Label13 = nullptr;
    Label *Label14 = nullptr;
    Label *Label15 = nullptr;
    Label *Label16 = nullptr;
    Label *Label17 = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *Command6 = nullptr;
    QProgressBar *ProgressBar1 = nullptr;
    ImageButton *aicAlphaImage4 = nullptr;
};

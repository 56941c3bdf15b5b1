// The About window "Info Kelo the Scriv" (Form2): product name, a one-line
// description, the author, the download page as a link and a notice text.
//
// It opens beside the main window's right edge when the screen has room for
// it (else at the screen's left edge) and slides open from its narrowest to
// its full width. A picture pair swaps under the mouse; the second picture,
// like the button "ist ja gut", closes the window. Closing unloads it: the
// next opening builds it afresh and slides again.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace kelo {

class ClickableLabel;
class DesktopLauncher;

// Where the About window goes, in twips. Left and top are relative to the
// screen's left and top edges.
struct AboutPlacement {
    double left = 0;
    double top = 0;
};

// The placement rule: against the main window's right edge when the screen
// has at least 5520 twips of room to its right, else at the left edge;
// always level with the main window's top.
AboutPlacement placeAboutWindow(double screenWidth, double mainLeft, double mainTop,
                                double mainWidth);

class Form2 : public QWidget {
    Q_OBJECT

public:
    explicit Form2(DesktopLauncher *launcher, QWidget *parent = nullptr);

    // The load sequence: placement beside the main window, then the opening
    // animation (200 twips a step, repainted, 1 ms apart). Blocks until the
    // window has its full width. mainWidthTwips is the main window's outer
    // width.
    void Form_Load(const QWidget &mainWindow, double mainWidthTwips);

    // The outer width in twips, with the classic frame allowance.
    double windowWidthTwips() const;
    void setWindowWidthTwips(double twips);
    static double designWidthTwips();

    void Command1_Click();
    void Image2_Click();
    void Label5_Click();
    void Form_MouseMove();
    void Image1_MouseMove();
    bool ShellExec(const QString &Path, int WindowStyle = 1,
                   const QString &Operation = QStringLiteral("open"));

    QLabel *Label1 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Image1 = nullptr;
    ClickableLabel *Image2 = nullptr;
    QFrame *Line1 = nullptr;
    QLabel *Picture1 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    ClickableLabel *Label5 = nullptr;
    QPlainTextEdit *Text1 = nullptr;
    QPushButton *Command1 = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();

    DesktopLauncher *m_launcher;
};

// Info1_Click and Info2_Click: opens the About window, or shows the open one
// again where it is, without its load sequence.
class AboutOpener : public QObject {
    Q_OBJECT

public:
    AboutOpener(QWidget &mainWindow, std::function<double()> mainWidthTwips,
                DesktopLauncher *launcher);

    void open();

private:
    QWidget &m_mainWindow;
    std::function<double()> m_mainWidthTwips;
    DesktopLauncher *m_launcher;
    QPointer<Form2> m_window;
};

} // namespace kelo

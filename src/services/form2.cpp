#include "services/form2.h"

#include "platform/controls.h"
#include "platform/desktoplauncher.h"
#include "platform/productinfo.h"
#include "platform/units.h"

#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace kelo {

namespace {

constexpr double clientWidth = 5640;
constexpr double clientHeight = 4065;
// The classic window frame around the client area, across.
constexpr double frameWidth = 150;
// Room the screen must have to the right of the main window.
constexpr double neededRoom = 5520;
constexpr double animationStep = 200;

QPixmap picture(const QString &resource, const QSize &size)
{
    return QIcon(resource).pixmap(size);
}

// The notice text of the About window.
const QString aboutNotice = QStringLiteral(
    "Kelo the Scriv ist Freeware. Sie dürfen das Programm kostenlos benutzen, kopieren und "
    "weitergeben, solange es unverändert bleibt und niemand Geld dafür verlangt.\n\n"
    "Die Benutzung geschieht auf eigene Gefahr. Der Autor haftet nicht für Schäden, die durch "
    "die Benutzung des Programms oder die Unmöglichkeit seiner Benutzung entstehen, auch "
    "nicht für verlorene Daten. Sichern Sie wichtige Dateien regelmäßig.\n\n"
    "Fragen, Fehlerberichte und Wünsche schicken Sie bitte per E-Mail an den Autor.");

} // namespace

AboutPlacement placeAboutWindow(double screenWidth, double mainLeft, double mainTop,
                                double mainWidth)
{
    AboutPlacement placement;
    placement.top = mainTop;
    if (screenWidth - mainLeft - mainWidth - neededRoom >= 0)
        placement.left = mainLeft + mainWidth;
    else
        placement.left = 0;
    return placement;
}

Form2::Form2(DesktopLauncher *launcher, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_launcher(launcher)
{
    initResources();
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Info Kelo the Scriv"));
    setBackColor(this, 0xFFFFFF);
    setFont(classicFont(QStringLiteral("MS Sans Serif"), 8.25));
    resize(twipsToPixels(clientWidth), twipsToPixels(clientHeight));
    createControls();
    setMouseTracking(true);
    installEventFilter(this);
}

void Form2::createControls()
{
    Label1 = named(new QLabel(QStringLiteral("Kelo the Scriv"), this), "Label1");
    Label1->setFont(classicFont(QStringLiteral("Times New Roman"), 15.75));
    placeTwips(Label1, 1260, 120, 2055, 495);

    Label6 = named(new QLabel(QStringLiteral("light"), this), "Label6");
    placeTwips(Label6, 3255, 225, 540, 240);

    Label2 = named(new QLabel(QStringLiteral("einfacher Editor für Textdateien"), this), "Label2");
    placeTwips(Label2, 1155, 600, 2400, 255);

    Image1 = named(new QLabel(this), "Image1");
    placeTwips(Image1, 2160, 1080, 540, 645);
    Image1->setPixmap(picture(QStringLiteral(":/icons/about-wave.svg"), Image1->size()));
    Image1->setMouseTracking(true);
    Image1->installEventFilter(this);

    Image2 = named(new ClickableLabel(QString(), this), "Image2");
    placeTwips(Image2, 2160, 1080, 525, 645);
    Image2->setPixmap(picture(QStringLiteral(":/icons/about-close.svg"), Image2->size()));
    Image2->setCursor(Qt::PointingHandCursor);
    Image2->hide();
    connect(Image2, &ClickableLabel::clicked, this, &Form2::Image2_Click);

    Line1 = named(new QFrame(this), "Line1");
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Plain);
    placeTwips(Line1, 600, 1680 - 7, 3000, 15);

    Picture1 = named(new QLabel(this), "Picture1");
    placeTwips(Picture1, 3960, 0, 1575, 1215);
    Picture1->setAlignment(Qt::AlignCenter);
    Picture1->setPixmap(picture(QStringLiteral(":/icons/kelo.svg"), QSize(72, 72)));

    Label3 = named(new QLabel(product::authorName, this), "Label3");
    setBackColor(Label3, 0xFFFFFF);
    placeTwips(Label3, 3840, 1320, 1815, 255);

    Label4 = named(new QLabel(product::authorMail, this), "Label4");
    setBackColor(Label4, 0xFFFFFF);
    placeTwips(Label4, 3840, 1560, 1815, 255);

    Label5 = named(new ClickableLabel(product::downloadPage, this), "Label5");
    setForeColor(Label5, 0xFF0000); // blue, as links are
    Label5->setCursor(Qt::PointingHandCursor);
    placeTwips(Label5, 600, 1920, 4395, 255);
    connect(Label5, &ClickableLabel::clicked, this, &Form2::Label5_Click);

    Text1 = named(new QPlainTextEdit(aboutNotice, this), "Text1");
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    placeTwips(Text1, 240, 2280, 5055, 1215);

    Command1 = named(new QPushButton(QStringLiteral("ist ja gut"), this), "Command1");
    placeTwips(Command1, 2040, 3600, 1335, 375);
    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);

    Image2->setAccessibleName(QStringLiteral("Schließen"));
    Label5->setAccessibleDescription(QStringLiteral("öffnet die Download-Seite im Browser"));
    Text1->setAccessibleName(QStringLiteral("Hinweise zum Programm"));
    Command1->setAccessibleDescription(QStringLiteral("schließt das Fenster (auch mit Escape)"));
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, Command1, &QPushButton::click);
}

double Form2::designWidthTwips()
{
    return clientWidth + frameWidth;
}

double Form2::windowWidthTwips() const
{
    return pixelsToTwips(width()) + frameWidth;
}

void Form2::setWindowWidthTwips(double twips)
{
    // The platform keeps its own minimum: one pixel here.
    resize(std::max(1, twipsToPixels(twips - frameWidth)), height());
}

void Form2::Form_Load(const QWidget &mainWindow, double mainWidthTwips)
{
    const QScreen *screen = mainWindow.screen();
    const QRect area = screen != nullptr ? screen->availableGeometry() : QRect();
    const QPoint mainPos = mainWindow.pos() - area.topLeft();
    const AboutPlacement placement =
        placeAboutWindow(pixelsToTwips(area.width()), pixelsToTwips(mainPos.x()),
                         pixelsToTwips(mainPos.y()), mainWidthTwips);
    move(area.left() + twipsToPixels(placement.left), area.top() + twipsToPixels(placement.top));

    const double target = std::round(designWidthTwips());
    setWindowWidthTwips(0);
    show();
    // The width is counted here rather than read back: a window manager that
    // will not let the window grow must not keep this loop going.
    for (double width = windowWidthTwips(); width < target;) {
        width += animationStep;
        setWindowWidthTwips(width);
        repaint();
        QThread::msleep(1);
    }
}

void Form2::Command1_Click()
{
    close();
}

void Form2::Image2_Click()
{
    close();
}

void Form2::Label5_Click()
{
    ShellExec(product::downloadPage, 1, QStringLiteral("open"));
}

bool Form2::ShellExec(const QString &Path, int WindowStyle, const QString &Operation)
{
    return kelo::ShellExec(*m_launcher, Path, WindowStyle, Operation);
}

void Form2::Form_MouseMove()
{
    Image2->hide();
    Image1->show();
}

void Form2::Image1_MouseMove()
{
    Image2->show();
    Image1->hide();
}

bool Form2::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove) {
        const auto *move = static_cast<QMouseEvent *>(event);
        if (watched == Image1) {
            Image1_MouseMove();
        } else if (watched == this && childAt(move->position().toPoint()) == nullptr) {
            // Movements over labels reach the window too; only its free
            // area counts.
            Form_MouseMove();
        }
    }
    return QWidget::eventFilter(watched, event);
}

AboutOpener::AboutOpener(QWidget &mainWindow, std::function<double()> mainWidthTwips,
                         DesktopLauncher *launcher)
    : QObject(&mainWindow)
    , m_mainWindow(mainWindow)
    , m_mainWidthTwips(std::move(mainWidthTwips))
    , m_launcher(launcher)
{}

void AboutOpener::open()
{
    if (m_window) {
        if (m_window->isMinimized())
            m_window->showNormal();
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
        return;
    }
    m_window = new Form2(m_launcher, &m_mainWindow);
    m_window->Form_Load(m_mainWindow, m_mainWidthTwips());
}

} // namespace kelo

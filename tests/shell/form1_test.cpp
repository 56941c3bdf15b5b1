// The main window: start-up from the command line and the settings, loading
// through the open panel, the colour schemes on the editor's real colours, and
// the settings written when the window closes.
#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "platform/controls.h"
#include "platform/listcontrols.h"
#include "platform/textbox.h"
#include "platform/units.h"
#include "shell/colourschemes.h"
#include "shell/optionspanel.h"
#include "shell/startup.h"
#include "support/form1fixture.h"
#include "support/testenv.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace kelo::test {
namespace {

const QString hoppla = QStringLiteral("Hoppla, es ist ein Fehler aufgetreten !");

QColor cyan()
{
    return {0, 255, 255};
}

using StartUp = Form1Fixture;

TEST_F(StartUp, QuotedPathWithBlanksIsReadAndListPositionsAreStored)
{
    const QString path = makeFile(QStringLiteral("mit Leerzeichen.txt"), "Hallo\r\nWelt");
    Form1 &form = start({QLatin1Char('"') + path + QLatin1Char('"')});

    EXPECT_EQ(form.currentFile(), path);
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Hallo\r\nWelt"));
    // The lists' positions of that moment are stored, not the file's folder.
    EXPECT_EQ(setting(key::dir1), form.Dateiauswahl->Dir1->path());
    EXPECT_EQ(setting(key::drive1), form.Dateiauswahl->Drive1->drive());
}

TEST_F(StartUp, PathSplitIntoSeveralArgumentsIsJoinedByBlanks)
{
    const QString path = makeFile(QStringLiteral("a b  c.txt"), "x");
    const QString folder = QFileInfo(path).path();
    Form1 &form = start(
        {folder + QStringLiteral("/a"), QStringLiteral("b"), QString(), QStringLiteral("c.txt")});
    EXPECT_EQ(form.currentFile(), path);
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("x"));
}

TEST_F(StartUp, MissingFileIsNamedButNothingIsReadAndTheStoredFolderReturns)
{
    const QString stored = QDir(m_root.path()).filePath(QStringLiteral("stored"));
    QDir().mkpath(stored);
    presetSetting(key::dir1, stored);
    const QString missing = QDir(m_work).filePath(QStringLiteral("neu.txt"));

    Form1 &form = start({missing});

    EXPECT_EQ(form.currentFile(), missing);
    EXPECT_TRUE(form.TextBox1->Text().isEmpty());
    EXPECT_EQ(form.Dateiauswahl->Dir1->path(), stored);
    EXPECT_TRUE(form.lblstatus->text().contains(QStringLiteral("gibt es noch nicht")));
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

TEST_F(StartUp, LoneQuoteStaysAsTheCommandAndReadsNothing)
{
    Form1 &form = start({QStringLiteral("\"")});
    EXPECT_EQ(form.currentFile(), QStringLiteral("\""));
    EXPECT_TRUE(form.TextBox1->Text().isEmpty());
}

TEST_F(StartUp, OpeningQuoteWithoutClosingOneLosesTheLastCharacterAnyway)
{
    const QString path = makeFile(QStringLiteral("abc.txt"), "inhalt");
    Form1 &form = start({QLatin1Char('"') + path + QLatin1Char('x')});
    EXPECT_EQ(form.currentFile(), path);
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("inhalt"));
}

TEST_F(StartUp, FolderOnTheCommandLineIsNotReadAndSaysSo)
{
    Form1 &form = start({m_work});
    EXPECT_TRUE(form.TextBox1->Text().isEmpty());
    EXPECT_TRUE(form.lblstatus->text().contains(QStringLiteral("Ordner")));
}

TEST_F(StartUp, StoredFolderThatIsGoneLeavesTheListsWhereTheyWere)
{
    presetSetting(key::dir1, QDir(m_root.path()).filePath(QStringLiteral("weg")));
    presetSetting(key::drive1, QStringLiteral("/nirgendwo"));
    Form1 &form = start();
    EXPECT_EQ(form.Dateiauswahl->Dir1->path(), m_work);
}

TEST_F(StartUp, DefaultsOnAFreshSystem)
{
    Form1 &form = start();
    EXPECT_EQ(form.Frame1->lbl_schwarzweissblau->text(), QStringLiteral("blau"));
    EXPECT_EQ(form.Dateiauswahl->Filter->text(), QStringLiteral("*.*"));
    EXPECT_EQ(form.Dateiauswahl->File1->pattern(), QStringLiteral("*.*"));
    EXPECT_EQ(form.TextBox1->backColor(), QColor(0, 0, 128));
    EXPECT_EQ(form.TextBox1->textColor(), cyan());
    EXPECT_EQ(form.strMenuEintrag, QStringLiteral("Kelo the Scriv"));
    EXPECT_EQ(form.strProgPfad, m_programFolder + QStringLiteral("/kelo"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Kelo the Scriv"));
}

TEST_F(StartUp, UnknownSchemeNameKeepsNavyAndCyanAndTheFontOfDesignTime)
{
    presetSetting(key::scheme, QStringLiteral("lila"));
    Form1 &form = start();
    EXPECT_EQ(form.TextBox1->backColor(), QColor(0, 0, 128));
    EXPECT_EQ(form.TextBox1->textColor(), cyan());
    EXPECT_FALSE(form.TextBox1->editorFont().bold());
    EXPECT_EQ(form.Frame1->lbl_schwarzweissblau->text(), QStringLiteral("lila"));
}

TEST_F(StartUp, StoredWeissShowsWindowTextWithoutRefreshAndKeepsTheCaretAtTheStart)
{
    presetSetting(key::scheme, QStringLiteral("weiss"));
    const QString path = makeFile(QStringLiteral("w.txt"), "eins\r\nzwei");
    Form1 &form = start({path});
    EXPECT_EQ(form.TextBox1->textColor(), resolveOleColor(systemColorFlag | 8));
    EXPECT_EQ(form.TextBox1->backColor(), resolveOleColor(systemColorFlag | 5));
    EXPECT_FALSE(form.TextBox1->editorFont().bold());
    EXPECT_EQ(form.TextBox1->SelStart(), 0);
}

TEST_F(StartUp, StoredFilterIsShownAndApplied)
{
    presetSetting(key::filter, QStringLiteral("*.md;*.txt"));
    Form1 &form = start();
    EXPECT_EQ(form.Dateiauswahl->Filter->text(), QStringLiteral("*.md;*.txt"));
    EXPECT_EQ(form.Dateiauswahl->File1->pattern(), QStringLiteral("*.md;*.txt"));
}

using ShutDown = Form1Fixture;

TEST_F(ShutDown, ClosingWritesListsPatternAndScheme)
{
    Form1 &form = start();
    const QString sub = QDir(m_work).filePath(QStringLiteral("unter"));
    QDir().mkpath(sub);
    ASSERT_TRUE(form.Dateiauswahl->Dir1->setPath(sub));
    form.Dateiauswahl->Filter->setText(QStringLiteral("*.log"));
    form.schemes()->schwarz_Click();

    closeWindow();

    EXPECT_EQ(setting(key::dir1), sub);
    EXPECT_EQ(setting(key::drive1), m_root.path());
    EXPECT_EQ(setting(key::filter), QStringLiteral("*.log"));
    EXPECT_EQ(setting(key::scheme), QStringLiteral("schwarz"));
    EXPECT_FALSE(form.isVisible());
}

TEST_F(ShutDown, ClosingAlsoClosesOtherWindows)
{
    start();
    QWidget other;
    other.show();
    closeWindow();
    EXPECT_FALSE(other.isVisible());
}

using Loading = Form1Fixture;

TEST_F(Loading, ChosenFileIsReadStoredAndRefreshed)
{
    Form1 &form = start();
    const QString path = makeFile(QStringLiteral("brief.txt"), "Gr\xfc\xdf"
                                                               "e\r\n");
    form.Dateiauswahl->File1->refresh();
    form.cmd_open_Click();
    EXPECT_TRUE(form.Dateiauswahl->isVisibleTo(&form));
    form.Dateiauswahl->File1->setListIndex(
        form.Dateiauswahl->File1->list().indexOf(QStringLiteral("brief.txt")));

    form.FileLoad();

    EXPECT_FALSE(form.Dateiauswahl->isVisibleTo(&form));
    EXPECT_EQ(form.currentFile(), path);
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("Grüße\r\n")); // Windows-1252 bytes
    EXPECT_EQ(form.textFormat().encoding, Encoding::Windows1252);
    EXPECT_TRUE(form.TextBox1->editorFont().bold()); // refreshed
    EXPECT_EQ(setting(key::dir1), m_work);
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

TEST_F(Loading, NoFileChosenHidesThePanelAndKeepsTheText)
{
    Form1 &form = start();
    form.TextBox1->setText(QStringLiteral("bleibt"));
    form.cmd_open_Click();
    form.Dateiauswahl->File1->setListIndex(-1);

    form.FileLoad();

    EXPECT_FALSE(form.Dateiauswahl->isVisibleTo(&form));
    EXPECT_EQ(m_messages.texts(), QStringList{QStringLiteral("Zuerst Datei auswählen !")});
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("bleibt"));
    EXPECT_EQ(form.currentFile(), m_work + QLatin1Char('/'));
}

TEST_F(Loading, FailedReadKeepsTextAndCurrentFileAndSaysHoppla)
{
    Form1 &form = start();
    const QString previous = makeFile(QStringLiteral("alt.txt"), "alter Text");
    form.loadDroppedFile(previous);
    ASSERT_EQ(form.currentFile(), previous);
    form.TextBox1->setText(QStringLiteral("geändert"));

    // A folder where a file is expected cannot be read, even by root.
    form.loadDroppedFile(m_work);

    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("geändert"));
    EXPECT_EQ(form.currentFile(), previous);
    EXPECT_EQ(m_messages.texts(), QStringList{hoppla});
    EXPECT_FALSE(form.lblstatus->text().isEmpty());
}

TEST_F(Loading, HiddenFileIsAnOrdinaryFile)
{
    Form1 &form = start();
    const QString path = makeFile(QStringLiteral(".versteckt"), "geheim");
    form.loadDroppedFile(path);
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("geheim"));
    EXPECT_EQ(form.currentFile(), path);
}

TEST_F(Loading, EmptyFileLoadsAsEmptyTextWithoutAMessage)
{
    Form1 &form = start();
    form.TextBox1->setText(QStringLiteral("vorher"));
    form.loadDroppedFile(makeFile(QStringLiteral("leer.txt"), QByteArray()));
    EXPECT_TRUE(form.TextBox1->Text().isEmpty());
    EXPECT_TRUE(m_messages.shown().isEmpty());
}

TEST_F(Loading, LoadedTextCountsAsUnchanged)
{
    Form1 &form = start();
    form.TextBox1->setText(QStringLiteral("getippt"));
    form.loadDroppedFile(makeFile(QStringLiteral("x.txt"), "x"));
    EXPECT_FALSE(form.TextBox1->isModified());
}

void dropFile(QWidget *target, const QString &path)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
}

TEST_F(Loading, FileDroppedOntoTheWindowOrTheEditorIsLoaded)
{
    Form1 &form = start();
    const QString sub = QDir(m_work).filePath(QStringLiteral("ablage"));
    QDir().mkpath(sub);
    const QString first = makeFile(QStringLiteral("ablage/fallen.txt"), "gezogen");
    dropFile(&form, first);
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("gezogen"));
    EXPECT_EQ(form.currentFile(), first);
    EXPECT_EQ(form.Dateiauswahl->Dir1->path(), sub);
    EXPECT_EQ(setting(key::dir1), sub);

    const QString second = makeFile(QStringLiteral("zweite.txt"), "auf den Editor");
    dropFile(form.TextBox1->viewport(), second);
    EXPECT_EQ(form.TextBox1->Text(), QStringLiteral("auf den Editor"));
    EXPECT_EQ(form.currentFile(), second);
}

TEST_F(Loading, CtrlOShowsTheOpenPanel)
{
    Form1 &form = start();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.Dateiauswahl2->show();
    QTest::keyClick(&form, Qt::Key_O, Qt::ControlModifier);
    EXPECT_TRUE(form.Dateiauswahl->isVisible());
    EXPECT_FALSE(form.Dateiauswahl2->isVisible());
    EXPECT_EQ(form.Dateiauswahl->y(), twipsToPixels(650));
}

TEST_F(Loading, ClickOnAFileShowsItsPathInTheStatusLine)
{
    Form1 &form = start();
    makeFile(QStringLiteral("a.txt"), "a");
    OpenPanel *panel = form.Dateiauswahl;
    panel->File1->refresh();
    panel->File1->setListIndex(panel->File1->list().indexOf(QStringLiteral("a.txt")));
    Q_EMIT panel->File1->fileClicked();
    EXPECT_EQ(form.lblstatus->text(), m_work + QStringLiteral("/a.txt"));
}

using Schemes = Form1Fixture;

TEST_F(Schemes, SchwarzGivesCyanOnBlackInBoldAndCaretAtStart)
{
    Form1 &form = start();
    form.TextBox1->setText(QStringLiteral("abc\r\ndef"));
    form.TextBox1->setSelStart(5);
    form.cmd_Einstell_Click();
    ASSERT_TRUE(form.Frame1->isVisibleTo(&form));

    form.schemes()->schwarz_Click();

    EXPECT_EQ(form.TextBox1->backColor(), QColor(0, 0, 0));
    EXPECT_EQ(form.TextBox1->textColor(), cyan());
    const QFont font = form.TextBox1->editorFont();
    EXPECT_TRUE(font.bold());
    EXPECT_DOUBLE_EQ(font.pointSizeF(), 8.0);
    EXPECT_EQ(form.TextBox1->SelStart(), 0);
    EXPECT_EQ(form.TextBox1->SelLength(), 0);
    EXPECT_FALSE(form.Frame1->isVisibleTo(&form));
    EXPECT_EQ(form.cmd_Einstell->text(), QStringLiteral("Einstellen"));
}

TEST_F(Schemes, WeissUsesButtonTextOnWindowBackgroundAfterItsRefresh)
{
    Form1 &form = start();
    form.TextBox1->setText(QStringLiteral("abc"));
    form.TextBox1->setSelStart(2);
    form.schemes()->weiss_Click();
    EXPECT_EQ(form.TextBox1->textColor(), resolveOleColor(systemColorFlag | 18));
    EXPECT_EQ(form.TextBox1->backColor(), resolveOleColor(systemColorFlag | 5));
    EXPECT_EQ(form.TextBox1->SelStart(), 0);
    EXPECT_EQ(form.Frame1->lbl_schwarzweissblau->text(), QStringLiteral("weiss"));
}

TEST_F(Schemes, LeavingWeissBringsCyanBack)
{
    Form1 &form = start();
    form.schemes()->weiss_Click();
    form.schemes()->blau_Click();
    EXPECT_EQ(form.TextBox1->textColor(), cyan());
    EXPECT_EQ(form.TextBox1->backColor(), QColor(0, 0, 128));
    form.schemes()->weiss_Click();
    form.schemes()->schwarz_Click();
    EXPECT_EQ(form.TextBox1->textColor(), cyan());
    EXPECT_EQ(form.TextBox1->backColor(), QColor(0, 0, 0));
}

TEST_F(Schemes, RefreshWithAnyOtherNameUsesCyan)
{
    Form1 &form = start();
    form.schemes()->weiss_Click();
    form.schemes()->setSchemeName(QString());
    form.schemes()->RefreshText();
    EXPECT_EQ(form.TextBox1->textColor(), cyan());
    // The background stays that of the last scheme applied.
    EXPECT_EQ(form.TextBox1->backColor(), resolveOleColor(systemColorFlag | 5));
}

TEST_F(Schemes, EinstellenSizesTheWindowAndTogglesThePanel)
{
    Form1 &form = start();
    form.setWindowWidthTwips(8000);
    form.setWindowHeightTwips(4000);
    form.cmd_Einstell_Click();
    EXPECT_NEAR(form.windowWidthTwips(), 12285, 15);
    EXPECT_NEAR(form.windowHeightTwips(), 6000, 15);
    EXPECT_TRUE(form.Frame1->isVisibleTo(&form));
    EXPECT_EQ(form.cmd_Einstell->text(), QStringLiteral("QUIT"));

    form.setWindowWidthTwips(9000);
    form.cmd_Einstell_Click();
    EXPECT_NEAR(form.windowWidthTwips(), 12285, 15);
    EXPECT_FALSE(form.Frame1->isVisibleTo(&form));
    EXPECT_EQ(form.cmd_Einstell->text(), QStringLiteral("Einstellen"));
}

TEST_F(Schemes, QuitLabelClosesThePanelWithoutResizing)
{
    Form1 &form = start();
    form.cmd_Einstell_Click();
    form.setWindowWidthTwips(9000);
    Q_EMIT form.Frame1->LblExit->clicked();
    EXPECT_FALSE(form.Frame1->isVisibleTo(&form));
    EXPECT_NEAR(form.windowWidthTwips(), 9000, 15);
}

using Layout = Form1Fixture;

// Every control of the designer is there, under its own name, at its place.
struct Placed {
    const char *name;
    double left, top, width, height;
    friend void PrintTo(const Placed &p, std::ostream *out) { *out << p.name; }
};

class ControlPlaces : public Form1Fixture, public ::testing::WithParamInterface<Placed> {};

TEST_P(ControlPlaces, ControlIsAtItsDesignPosition)
{
    Form1 &form = start();
    const Placed p = GetParam();
    auto *widget = form.findChild<QWidget *>(QLatin1String(p.name));
    ASSERT_NE(widget, nullptr) << p.name;
    EXPECT_EQ(widget->geometry(), twipsRect(p.left, p.top, p.width, p.height)) << p.name;
}

INSTANTIATE_TEST_SUITE_P(
    MainWindow, ControlPlaces,
    ::testing::Values(
        Placed{"cmd_open", 120, 0, 480, 480}, Placed{"img_save", 720, 20, 400, 400},
        Placed{"Save_AS", 1320, 0, 465, 435}, Placed{"cmd_fresh", 2100, 0, 465, 435},
        Placed{"copy", 2760, 0, 615, 615}, Placed{"img_clear", 4080, 0, 480, 480},
        Placed{"cmd_DE2EN", 7275, 150, 525, 300}, Placed{"cmd_EN2DE", 7950, 150, 525, 300},
        Placed{"Print", 9030, 90, 300, 300}, Placed{"cmd_Einstell", 9480, 0, 855, 645},
        Placed{"EXIT", 10440, 0, 900, 720}, Placed{"Info1", 11520, 145, 465, 435},
        Placed{"Info2", 11520, 145, 465, 435}, Placed{"Image1", 11520, 145, 465, 435},
        Placed{"Image2", 11520, 150, 465, 435}, Placed{"search", 4700, 135, 750, 285},
        Placed{"cmd_replace", 5450, 135, 750, 285}, Placed{"cmdDelEmpty", 6250, 135, 840, 285},
        Placed{"Label1", 4725, 450, 4575, 255}, Placed{"TextBox1", 105, 720, 10410, 6000},
        Placed{"lblstatus", 105, 6930, 11880, 240}, Placed{"Dateiauswahl", 105, 7560, 2895, 5175},
        Placed{"Dateiauswahl2", 1260, 7380, 2895, 4695}, Placed{"Frame1", 3570, 900, 7695, 2400},
        Placed{"lbl_X", 2640, 0, 255, 255}, Placed{"lbl_X2", 2640, 0, 255, 255},
        Placed{"blau", 240, 600, 735, 255}, Placed{"schwarz", 1080, 600, 735, 255},
        Placed{"weiss", 1920, 600, 735, 255}, Placed{"LblExit", 6825, 1980, 645, 225},
        Placed{"cmd_register", 105, 1215, 3585, 330}, Placed{"txtRegister", 4410, 180, 3060, 675}),
    [](const ::testing::TestParamInfo<Placed> &info) { return std::string(info.param.name); });

TEST_F(Layout, HiddenAtStartAreThePanelsAndTheHoverPictures)
{
    Form1 &form = start();
    form.show();
    for (const char *name :
         {"Dateiauswahl", "Dateiauswahl2", "Frame1", "Info2", "Image1", "Image2", "lbl_cursorPos"})
        EXPECT_FALSE(form.findChild<QWidget *>(QLatin1String(name))->isVisible()) << name;
    EXPECT_TRUE(form.Info1->isVisible());
}

} // namespace
} // namespace kelo::test

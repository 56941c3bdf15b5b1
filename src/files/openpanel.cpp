#include "files/openpanel.h"

#include "files/fileprocs.h"
#include "platform/controls.h"
#include "platform/listcontrols.h"
#include "platform/units.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kelo {

OpenPanel::OpenPanel(const VolumeSource &volumes, QWidget *parent)
    : QGroupBox(QStringLiteral("Dateiauswahl"), parent)
{
    setObjectName(QStringLiteral("Dateiauswahl"));
    setBackColor(this, 0xE0E0E0);

    Drive1 = named(new DriveListBox(volumes, this), "Drive1");
    placeTwips(Drive1, 120, 240, 2655, 315);
    Dir1 = named(new DirListBox(this, DirListBox::Fill::WhenShown), "Dir1");
    placeTwips(Dir1, 120, 600, 2655, 1815);
    File1 = named(new FileListBox(this, FileListBox::Fill::WhenShown), "File1");
    placeTwips(File1, 120, 2460, 2655, 1815);
    Label4 = named(new QLabel(QStringLiteral("Filter:"), this), "Label4");
    placeTwips(Label4, 120, 4380, 600, 255);
    Filter = named(new QLineEdit(QStringLiteral("*.pro"), this), "Filter");
    placeTwips(Filter, 720, 4335, 1335, 315);
    cmdLoad = named(new QPushButton(QStringLiteral("ok"), this), "cmdLoad");
    placeTwips(cmdLoad, 2160, 4335, 615, 375);
    lbl_X = makeCloseLabel(this, QStringLiteral("lbl_X"));

    // What a screen reader announces: the lists show no caption of their own.
    // On Linux Qt announces a drop-down list by its current entry, so what
    // the list is goes into the description as well.
    Drive1->setAccessibleName(QStringLiteral("Laufwerk"));
    Drive1->setAccessibleDescription(QStringLiteral("Laufwerk"));
    Dir1->setAccessibleName(QStringLiteral("Ordner"));
    File1->setAccessibleName(QStringLiteral("Dateien"));
    File1->setAccessibleDescription(
        QStringLiteral("Doppelklick oder Enter auf \"ok\" lädt die Datei"));
    Filter->setAccessibleName(QStringLiteral("Filter"));
    Filter->setAccessibleDescription(
        QStringLiteral("Dateimuster der Dateiliste, gilt mit der nächsten Taste"));
    cmdLoad->setAccessibleDescription(QStringLiteral("lädt die gewählte Datei"));

    File1->setPath(Dir1->path());
    m_sync = std::make_unique<DriveFolderSync>(Drive1, Dir1);

    connect(Drive1, &DriveListBox::driveChanged, this, &OpenPanel::Drive1_Change);
    connect(Dir1, &DirListBox::pathChanged, this, &OpenPanel::Dir1_Change);
    connect(File1, &FileListBox::fileClicked, this, &OpenPanel::File1_Click);
    connect(File1, &FileListBox::fileDoubleClicked, this, &OpenPanel::loadRequested);
    connect(cmdLoad, &QPushButton::clicked, this, &OpenPanel::loadRequested);
    Filter->installEventFilter(this);

    placeTwips(this, 105, 7560, 2895, 5175);
    hide();
}

QString OpenPanel::chosenPath() const
{
    return joinPath(Dir1->path(), File1->fileName());
}

bool OpenPanel::hasChosenFile() const
{
    return !File1->fileName().isEmpty();
}

void OpenPanel::showAt(double topTwips)
{
    move(x(), twipsToPixels(topTwips));
    show();
    raise();
}

bool OpenPanel::eventFilter(QObject *watched, QEvent *event)
{
    // The pattern takes the box's text as it was before the key: a pattern
    // typed into the box applies with the next key, typically Enter.
    if (watched == Filter && event->type() == QEvent::KeyPress)
        File1->setPattern(Filter->text());
    return QGroupBox::eventFilter(watched, event);
}

void OpenPanel::Drive1_Change()
{
    m_sync->driveChanged([this](const QString &text) { Q_EMIT statusMessage(text); });
}

void OpenPanel::Dir1_Change()
{
    m_sync->folderChanged();
    File1->setPath(Dir1->path());
}

void OpenPanel::File1_Click()
{
    const QStringList names = File1->list();
    const int index = File1->listIndex();
    if (index >= 0 && index < names.size())
        Q_EMIT statusMessage(joinPath(Dir1->path(), names.at(index)));
}

} // namespace kelo

#include "files/saveaspanel.h"

#include "files/fileprocs.h"
#include "platform/controls.h"
#include "platform/listcontrols.h"
#include "platform/units.h"

#include <QLineEdit>

namespace kelo {

SaveAsPanel::SaveAsPanel(const VolumeSource &volumes, QWidget *parent)
    : QGroupBox(QStringLiteral("Dateiauswahl"), parent)
{
    setObjectName(QStringLiteral("Dateiauswahl2"));
    setBackColor(this, 0xE0E0E0);

    Drive2 = named(new DriveListBox(volumes, this), "Drive2");
    placeTwips(Drive2, 120, 240, 2655, 315);
    Dir2 = named(new DirListBox(this, DirListBox::Fill::WhenShown), "Dir2");
    placeTwips(Dir2, 120, 600, 2655, 3255);
    saveas = named(new QLineEdit(this), "saveas");
    placeTwips(saveas, 120, 3960, 2655, 315);
    lbl_X2 = makeCloseLabel(this, QStringLiteral("lbl_X2"));

    Drive2->setAccessibleName(QStringLiteral("Laufwerk"));
    Drive2->setAccessibleDescription(QStringLiteral("Laufwerk"));
    Dir2->setAccessibleName(QStringLiteral("Ordner"));
    saveas->setAccessibleName(QStringLiteral("Dateiname"));
    saveas->setAccessibleDescription(
        QStringLiteral("Namen eingeben und mit Enter im gewählten Ordner speichern"));

    m_sync = std::make_unique<DriveFolderSync>(Drive2, Dir2);
    connect(Drive2, &DriveListBox::driveChanged, this, &SaveAsPanel::Drive2_Change);
    connect(Dir2, &DirListBox::pathChanged, this, &SaveAsPanel::Dir2_Change);

    placeTwips(this, 1260, 7380, 2895, 4695);
    hide();
}

void SaveAsPanel::showAt(double topTwips)
{
    move(x(), twipsToPixels(topTwips));
    show();
    raise();
}

void SaveAsPanel::showInPlace(double topTwips)
{
    if (parentWidget() && !parentWidget()->rect().intersects(geometry()))
        move(x(), twipsToPixels(topTwips));
    show();
    raise();
}

QString SaveAsPanel::chosenPath() const
{
    return joinPath(Dir2->path(), saveas->text());
}

void SaveAsPanel::Drive2_Change()
{
    m_sync->driveChanged([this](const QString &text) { Q_EMIT statusMessage(text); });
}

void SaveAsPanel::Dir2_Change()
{
    m_sync->folderChanged();
    Q_EMIT folderChosen(chosenPath());
}

} // namespace kelo

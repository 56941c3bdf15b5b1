// The three classic list controls of the file panels: a drive list, a folder
// list and a file list.
//
// The change rule: setting a list's drive or path from code emits its change
// signal at once (nested, before the setter returns) and only when the value
// really changes. A choice the user makes in the list goes through the same
// setter. Connect the change signals directly (the default for objects of one
// thread) so the handlers run nested.
#pragma once

#include "platform/volumes.h"

#include <QComboBox>
#include <QListWidget>
#include <QString>
#include <QStringList>

namespace kelo {

// Drive list: the mounted volumes, by mount path.
class DriveListBox : public QComboBox {
    Q_OBJECT

public:
    explicit DriveListBox(VolumeSource source = systemVolumes, QWidget *parent = nullptr);

    // The current drive: the mount path of the chosen volume.
    QString drive() const;
    // Chooses the listed volume that holds the given path (a mount path or
    // any absolute path on it). Returns false, and changes nothing, when no
    // listed volume holds it (for example a relative path or "C:").
    bool setDrive(const QString &pathOnDrive);
    // Whether the chosen volume's root can be read.
    bool isReady() const;
    // Re-reads the volumes (keeps the current drive when it is still listed).
    void refresh();
    // The list is read again each time it opens: a stick plugged in since
    // shows up, one pulled out is gone.
    void showPopup() override;

Q_SIGNALS:
    void driveChanged();

private:
    void choose(int index);
    void fill(const QList<Volume> &volumes);
    void showCurrent();

    VolumeSource m_source;
    QList<Volume> m_volumes;
    int m_current = -1;
    // Set while the combo's own index is moved from code, so that its index
    // signal does not count as a choice.
    bool m_syncing = false;
};

// A list of a file panel, which is hidden most of the time: with
// Fill::WhenShown it reads its folder only when it is shown or its entries
// are asked for, not on every change while hidden (start-up moves the lists
// before anyone looks at them). With Fill::Immediately every change reads at
// once.
class PanelList : public QListWidget {
    Q_OBJECT

public:
    enum class Fill { Immediately, WhenShown };

    explicit PanelList(QWidget *parent = nullptr, Fill fill = Fill::Immediately);

    // Reads the folder again, now.
    void refresh();

protected:
    // Builds the entries from the folder.
    virtual void fill() = 0;
    // The folder or the pattern changed: fills now, or when shown.
    void contentsChanged();
    // Fills now if a change is still waiting (for reading the entries).
    void ensureFilled() const;
    void showEvent(QShowEvent *event) override;

private:
    Fill m_fill;
    bool m_stale = false;
};

// Folder list: the current folder's ancestors (from the root down) and its
// subfolders, like a classic folder list box. A double click (or Enter) on an
// entry makes it the current folder. Names that are not UTF-8 show as
// displayFileName has them; the paths are the folders' own.
class DirListBox : public PanelList {
    Q_OBJECT

public:
    // Every entry holds its folder's full path and its indentation level
    // ("/" is level 0, the subfolders are one level below the current one).
    static constexpr int PathRole = Qt::UserRole;
    static constexpr int LevelRole = Qt::UserRole + 1;

    explicit DirListBox(QWidget *parent = nullptr, Fill fill = Fill::Immediately);

    // The current folder, absolute and clean ("/" for the root, otherwise
    // without a trailing "/").
    QString path() const;
    // Makes an existing folder current (a relative path counts from the
    // current folder). Returns false, and changes nothing, when the path is
    // not an existing folder.
    bool setPath(const QString &path);

Q_SIGNALS:
    void pathChanged();

protected:
    void fill() override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void open(const QListWidgetItem *item);

    QString m_path;
};

// File list: the non-hidden files of one folder whose names match a pattern.
// A name that is not UTF-8 shows as displayFileName has it, with a tooltip
// that says so; the pattern applies to what shows.
class FileListBox : public PanelList {
    Q_OBJECT

public:
    // Every entry holds the file's own name (its text is what shows).
    static constexpr int NameRole = Qt::UserRole;

    explicit FileListBox(QWidget *parent = nullptr, Fill fill = Fill::Immediately);

    QString path() const;
    // Shows the files of another folder (re-read even when it is the same; a
    // relative path counts from the current one). A folder that is missing
    // or cannot be read shows an empty list.
    void setPath(const QString &path);
    QString pattern() const;
    // A pattern is one or more wildcards separated by ";", matched without
    // regard to case; "*.*" matches every file, names without a dot included.
    // An empty pattern (or one of blanks and ";" only) matches nothing.
    void setPattern(const QString &pattern);
    // The chosen entry's own name, empty when none is chosen.
    QString fileName() const;
    // The listed own names, in their order, and the chosen row (-1: none).
    QStringList list() const;
    int listIndex() const;
    void setListIndex(int index);

Q_SIGNALS:
    void fileClicked();
    void fileDoubleClicked();

protected:
    void fill() override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QString m_path;
    QString m_pattern = QStringLiteral("*.*");
};

// Whether a file name matches a file-list pattern (see FileListBox).
bool matchesPattern(const QString &fileName, const QString &pattern);

} // namespace kelo

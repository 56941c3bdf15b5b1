// The drive, folder and file lists of the open and save-as panels. The panels
// chain them through their change signals (a new drive moves the folder list,
// a new folder moves the drive and file lists), so a signal fires only on a
// real change: setting the value a list already has ends the chain.
#include "platform/listcontrols.h"

#include "platform/filenames.h"

#include <QDir>
#include <QHash>
#include <QHelpEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QScopedValueRollback>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QToolTip>

#include <algorithm>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace kelo {

namespace {

const QString kRoot = QStringLiteral("/");

// Panels are narrow (about 190 pixels), so icons stay small and so does the
// step of the folder tree's indentation.
constexpr int kIconSize = 16;
constexpr int kIndentStep = 8;

// The lists' few pictures, looked up once: every list of every panel shows
// the same ones, and the style's pictures are costly to make.
QIcon themedIcon(const QWidget *widget, const char *name, QStyle::StandardPixmap fallback)
{
    static QHash<QByteArray, QIcon> cache;
    auto found = cache.find(name);
    if (found == cache.end()) {
        QIcon icon = QIcon::fromTheme(QString::fromLatin1(name));
        if (icon.isNull())
            icon = widget->style()->standardIcon(fallback);
        found = cache.insert(name, icon);
    }
    return *found;
}

// An entry of a folder: its name as it is, which every path is made of, and
// as the user reads it (a name that is not UTF-8 differs, see
// displayFileName).
struct Entry {
    QString name;
    QString shown;
};

enum class EntryKind { Folder, File };

// The visible entries of one kind in a folder, read by the folder's own bytes
// (Qt's QDir would turn a name that is not UTF-8 into another name). Links
// count as what they lead to; dangling links, devices, pipes and sockets are
// no files; names that start with a dot are hidden. A folder that cannot be
// read has no entries.
QList<Entry> folderEntries(const QString &folder, EntryKind kind)
{
    QList<Entry> entries;
    DIR *dir = ::opendir(encodeFileName(folder).constData());
    if (dir == nullptr)
        return entries;
    const unsigned char wanted = kind == EntryKind::Folder ? DT_DIR : DT_REG;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue; // hidden, and "." and ".."
        unsigned char type = entry->d_type;
        if (type == DT_LNK || type == DT_UNKNOWN) {
            struct stat status {};
            if (::fstatat(::dirfd(dir), entry->d_name, &status, 0) != 0)
                continue;
            type = S_ISDIR(status.st_mode) ? DT_DIR : S_ISREG(status.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type != wanted)
            continue;
        const QString name = decodeFileName(QByteArrayView(entry->d_name));
        entries.append({name, displayFileName(name)});
    }
    ::closedir(dir);
    return entries;
}

// Names in the lists are sorted like a classic list box, by what they show
// and without regard to case; names that differ only in case keep a fixed
// order.
void sortEntries(QList<Entry> &entries)
{
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        if (const int folded = QString::compare(a.shown, b.shown, Qt::CaseInsensitive))
            return folded < 0;
        return a.shown != b.shown ? a.shown < b.shown : a.name < b.name;
    });
}

// The tooltip of an entry: its whole path as the user reads it, and a note
// for a name that is not UTF-8, which could look like another one.
QString entryTip(const QString &path)
{
    if (!hasUndecodableBytes(path))
        return path;
    return displayFileName(path) + QStringLiteral(" (Name nicht in UTF-8)");
}

// Resolves a path given to a list: relative paths count from the list's
// folder; the result is absolute and clean.
QString resolvePath(const QString &base, const QString &path)
{
    return QDir::cleanPath(path.startsWith(QLatin1Char('/')) ? path
                                                             : base + QLatin1Char('/') + path);
}

// Where the lists start: the current folder.
QString startFolder()
{
    const QString current = currentFolder();
    return current.isEmpty() ? kRoot : QDir::cleanPath(current);
}

// The wildcards of a file-list pattern, matched character by character with
// case folded. Only "*" and "?" are wildcards: "[" or "(" in a pattern stand
// for themselves, as they do in file names. A regular expression would take
// time exponential in the stars ("*********x" against a long name ran into
// PCRE2's match limit and did not match) and could not take a character
// outside the Basic Multilingual Plane escaped unit by unit.
class PatternMatcher {
public:
    explicit PatternMatcher(const QString &pattern)
    {
        const QStringList parts = pattern.split(QLatin1Char(';'));
        for (const QString &part : parts) {
            const QString wildcard = part.trimmed();
            if (wildcard.isEmpty())
                continue;
            // "*.*" has always meant "every file", names without a dot too.
            if (wildcard == QLatin1String("*.*") || wildcard == QLatin1String("*")) {
                m_matchesAll = true;
                continue;
            }
            m_wildcards.push_back(folded(wildcard));
        }
    }

    bool matches(const QString &name) const
    {
        if (m_matchesAll)
            return true;
        const std::u32string characters = folded(name);
        return std::any_of(m_wildcards.begin(), m_wildcards.end(),
                           [&characters](const std::u32string &wildcard) {
                               return wildcardMatches(characters, wildcard);
                           });
    }

private:
    static std::u32string folded(const QString &text)
    {
        std::u32string characters;
        characters.reserve(std::size_t(text.size()));
        for (const char32_t c : text.toUcs4())
            characters.push_back(QChar::toCaseFolded(c));
        return characters;
    }

    // Time in proportion to the name times the wildcard at most: a mismatch
    // after a "*" only lets that last star take one character more.
    static bool wildcardMatches(const std::u32string &name, const std::u32string &wildcard)
    {
        constexpr std::size_t none = std::u32string::npos;
        std::size_t n = 0;
        std::size_t w = 0;
        std::size_t star = none;
        std::size_t starTook = 0;
        while (n < name.size()) {
            if (w < wildcard.size() && wildcard[w] == U'*') {
                star = w++;
                starTook = n;
            } else if (w < wildcard.size() && (wildcard[w] == U'?' || wildcard[w] == name[n])) {
                ++w;
                ++n;
            } else if (star != none) {
                w = star + 1;
                n = ++starTook;
            } else {
                return false;
            }
        }
        while (w < wildcard.size() && wildcard[w] == U'*')
            ++w;
        return w == wildcard.size();
    }

    bool m_matchesAll = false;
    std::vector<std::u32string> m_wildcards;
};

// Draws the entries of the folder and file lists: indented by their level
// (folder list), and elided instead of scrolled sideways, since a panel is
// only about 190 pixels wide. The indentation is capped so that deep folders
// still leave room for their names; an entry without a tooltip of its own
// shows its whole name as one.
class NarrowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem indented = option;
        indented.rect.setLeft(option.rect.left() + indent(option, index));
        QStyledItemDelegate::paint(painter, indented, index);
    }

    // Only the height counts: the list then lays its entries out at its own
    // width, and a long name is elided rather than widening the contents.
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return {indent(option, index) + kIconSize,
                QStyledItemDelegate::sizeHint(option, index).height()};
    }

    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override
    {
        if (event->type() == QEvent::ToolTip && index.isValid() &&
            !index.data(Qt::ToolTipRole).isValid()) {
            QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view);
            return true;
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }

private:
    static int indent(const QStyleOptionViewItem &option, const QModelIndex &index)
    {
        const int wanted = index.data(DirListBox::LevelRole).toInt() * kIndentStep;
        const int available = option.widget != nullptr ? option.widget->width() : 0;
        return available > 0 ? std::min(wanted, available * 2 / 5) : wanted;
    }
};

// Settings both lists share.
void setUpNarrowList(QListWidget *list)
{
    list->setIconSize(QSize(kIconSize, kIconSize));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setTextElideMode(Qt::ElideRight);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setItemDelegate(new NarrowDelegate(list));
}

bool isEnterKey(const QKeyEvent *event)
{
    return event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
}

} // namespace

bool matchesPattern(const QString &fileName, const QString &pattern)
{
    return PatternMatcher(pattern).matches(fileName);
}

// --- DriveListBox ---

DriveListBox::DriveListBox(VolumeSource source, QWidget *parent)
    : QComboBox(parent)
    , m_source(std::move(source))
{
    // Mount paths can be long; the combo elides them instead of widening the
    // panel, and the tooltip shows the whole path.
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(6);
    setIconSize(QSize(kIconSize, kIconSize));

    // Every change of the combo's index, the user's choice by mouse, key or
    // wheel included, goes through choose(), which signals only real changes.
    connect(this, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!m_syncing)
            choose(index);
    });

    fill(m_source ? m_source() : QList<Volume>{});
    m_current = volumeIndexOf(m_volumes, currentFolder());
    if (m_current < 0 && !m_volumes.isEmpty())
        m_current = 0;
    showCurrent();
}

QString DriveListBox::drive() const
{
    return m_current >= 0 ? m_volumes.at(m_current).rootPath : QString();
}

bool DriveListBox::setDrive(const QString &pathOnDrive)
{
    const int index = volumeIndexOf(m_volumes, pathOnDrive);
    if (index < 0)
        return false;
    choose(index);
    return true;
}

bool DriveListBox::isReady() const
{
    // Asked afresh each time: a stick can be pulled after the list was read.
    return m_current >= 0 && canListFolder(m_volumes.at(m_current).rootPath);
}

void DriveListBox::refresh()
{
    const QString previous = drive();
    fill(m_source ? m_source() : QList<Volume>{});

    // A drive still listed is kept; one that went away gives way to the
    // volume that now holds its path (usually "/"), else to the first one.
    m_current = volumeIndexOf(m_volumes, previous);
    if (m_current < 0 && !m_volumes.isEmpty())
        m_current = 0;
    showCurrent();
    if (drive() != previous)
        Q_EMIT driveChanged();
}

void DriveListBox::showPopup()
{
    refresh();
    QComboBox::showPopup();
}

void DriveListBox::choose(int index)
{
    if (index < 0 || index >= m_volumes.size() || index == m_current) {
        // Nothing new was chosen; the combo shows the current drive again.
        showCurrent();
        return;
    }
    m_current = index;
    showCurrent();
    Q_EMIT driveChanged();
}

void DriveListBox::fill(const QList<Volume> &volumes)
{
    const QScopedValueRollback syncing(m_syncing, true);
    m_volumes = volumes;
    m_current = -1;
    clear();
    const QIcon icon = themedIcon(this, "drive-harddisk", QStyle::SP_DriveHDIcon);
    for (int i = 0; i < m_volumes.size(); ++i) {
        const Volume &volume = m_volumes.at(i);
        addItem(icon, volume.rootPath);
        const QString tip =
            volume.ready ? volume.rootPath : QString(volume.rootPath + tr(" (nicht bereit)"));
        setItemData(i, tip, Qt::ToolTipRole);
    }
}

void DriveListBox::showCurrent()
{
    const QScopedValueRollback syncing(m_syncing, true);
    if (currentIndex() != m_current)
        setCurrentIndex(m_current);
    setToolTip(drive());
}

// --- PanelList ---

PanelList::PanelList(QWidget *parent, Fill fill)
    : QListWidget(parent)
    , m_fill(fill)
{}

void PanelList::refresh()
{
    m_stale = false;
    fill();
}

void PanelList::contentsChanged()
{
    if (m_fill == Fill::WhenShown && !isVisible())
        m_stale = true;
    else
        refresh();
}

void PanelList::ensureFilled() const
{
    // The entries are a view of the folder: filling them does not change
    // what the list stands for.
    if (m_stale)
        const_cast<PanelList *>(this)->refresh();
}

void PanelList::showEvent(QShowEvent *event)
{
    ensureFilled();
    QListWidget::showEvent(event);
}

// --- DirListBox ---

DirListBox::DirListBox(QWidget *parent, Fill fill)
    : PanelList(parent, fill)
    , m_path(startFolder())
{
    setUpNarrowList(this);
    // Only a double click opens a folder; styles that activate on a single
    // click would otherwise move the list under the user's first click.
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](const QListWidgetItem *item) { open(item); });
    contentsChanged();
}

QString DirListBox::path() const
{
    return m_path;
}

bool DirListBox::setPath(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QString resolved = resolvePath(m_path, path);
    if (!isExistingFolder(resolved))
        return false;
    if (resolved == m_path)
        return true;
    m_path = resolved;
    contentsChanged();
    Q_EMIT pathChanged();
    return true;
}

void DirListBox::fill()
{
    const QIcon closedIcon = themedIcon(this, "folder", QStyle::SP_DirClosedIcon);
    const QIcon openIcon = themedIcon(this, "folder-open", QStyle::SP_DirOpenIcon);

    clear();
    auto addEntry = [this](const QIcon &icon, const QString &text, const QString &path, int level) {
        auto *item = new QListWidgetItem(icon, text, this);
        item->setData(PathRole, path);
        item->setData(LevelRole, level);
        item->setToolTip(entryTip(path));
    };

    // The ancestors, from the root down to the current folder.
    const QStringList parts = m_path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString ancestor = kRoot;
    addEntry(parts.isEmpty() ? openIcon : closedIcon, kRoot, kRoot, 0);
    for (int i = 0; i < parts.size(); ++i) {
        if (ancestor != kRoot)
            ancestor += QLatin1Char('/');
        ancestor += parts.at(i);
        addEntry(i == parts.size() - 1 ? openIcon : closedIcon, displayFileName(parts.at(i)),
                 ancestor, i + 1);
    }
    const int currentRow = count() - 1;

    // Its subfolders; a folder that cannot be read simply has none to show.
    QList<Entry> subfolders = folderEntries(m_path, EntryKind::Folder);
    sortEntries(subfolders);
    const QString prefix = m_path == kRoot ? kRoot : QString(m_path + QLatin1Char('/'));
    const int level = static_cast<int>(parts.size()) + 1;
    for (const Entry &entry : std::as_const(subfolders))
        addEntry(closedIcon, entry.shown, prefix + entry.name, level);

    setCurrentRow(currentRow);
}

void DirListBox::keyPressEvent(QKeyEvent *event)
{
    if (isEnterKey(event) && currentItem() != nullptr) {
        // Taken here, so that the panel's default button does not also get it.
        open(currentItem());
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

void DirListBox::open(const QListWidgetItem *item)
{
    if (item == nullptr)
        return;
    // The entry may be gone by the time setPath() rebuilds the list, so its
    // path is copied first.
    const QString target = item->data(PathRole).toString();
    setPath(target);
}

// --- FileListBox ---

FileListBox::FileListBox(QWidget *parent, Fill fill)
    : PanelList(parent, fill)
    , m_path(startFolder())
{
    setUpNarrowList(this);
    // A folder can hold many thousands of files; equal rows keep it fast.
    setUniformItemSizes(true);
    connect(this, &QListWidget::itemClicked, this, [this] { Q_EMIT fileClicked(); });
    connect(this, &QListWidget::itemDoubleClicked, this, [this] { Q_EMIT fileDoubleClicked(); });
    contentsChanged();
}

QString FileListBox::path() const
{
    return m_path;
}

void FileListBox::setPath(const QString &path)
{
    m_path = resolvePath(m_path, path);
    contentsChanged();
}

QString FileListBox::pattern() const
{
    return m_pattern;
}

void FileListBox::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    contentsChanged();
}

QString FileListBox::fileName() const
{
    ensureFilled();
    const int index = listIndex();
    return index >= 0 ? item(index)->data(NameRole).toString() : QString();
}

QStringList FileListBox::list() const
{
    ensureFilled();
    QStringList names;
    names.reserve(count());
    for (int i = 0; i < count(); ++i)
        names.append(item(i)->data(NameRole).toString());
    return names;
}

int FileListBox::listIndex() const
{
    ensureFilled();
    // Only a chosen (selected) entry counts; the keyboard focus alone can sit
    // on an entry nobody chose.
    const QListWidgetItem *current = currentItem();
    return current != nullptr && current->isSelected() ? currentRow() : -1;
}

void FileListBox::setListIndex(int index)
{
    ensureFilled();
    if (index >= 0 && index < count()) {
        setCurrentRow(index);
    } else {
        clearSelection();
        setCurrentItem(nullptr);
    }
}

void FileListBox::fill()
{
    // The pattern applies to the name as the user reads it.
    const PatternMatcher matcher(m_pattern);
    QList<Entry> files = folderEntries(m_path, EntryKind::File);
    files.removeIf([&matcher](const Entry &entry) { return !matcher.matches(entry.shown); });
    sortEntries(files);

    const QIcon icon = themedIcon(this, "text-x-generic", QStyle::SP_FileIcon);
    setUpdatesEnabled(false);
    clear();
    for (const Entry &entry : std::as_const(files)) {
        auto *item = new QListWidgetItem(icon, entry.shown, this);
        item->setData(NameRole, entry.name);
        if (entry.shown != entry.name)
            item->setToolTip(entryTip(entry.name));
    }
    setCurrentItem(nullptr);
    setUpdatesEnabled(true);
}

void FileListBox::keyPressEvent(QKeyEvent *event)
{
    if (isEnterKey(event) && currentItem() != nullptr) {
        // Enter on an entry chooses it and counts as a double click; the event
        // stops here so that the panel's default button does not load twice.
        currentItem()->setSelected(true);
        Q_EMIT fileDoubleClicked();
        event->accept();
        return;
    }
    QListWidget::keyPressEvent(event);
}

} // namespace kelo

#include "moc_listcontrols.cpp"

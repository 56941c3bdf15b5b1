// The Search dialog "search" (frm_such): a small modeless window that stays on
// top and finds a term in the main window's editor, ignoring letter case,
// either in the whole text or inside the selection, and then the next
// occurrence. A found occurrence becomes the editor's selection and the editor
// gets the keyboard focus; the search never starts over at the beginning.
//
// The window is created when first needed and destroyed when closed, so each
// opening starts with an empty term and "Gesamt" selected.
#pragma once

#include <QWidget>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kelo {

class TextBox;
class WorkProgress;
struct Utf8Match;

class frm_such : public QWidget {
    Q_OBJECT

public:
    // Searches in editor; setStatus writes the main window's status line.
    frm_such(TextBox *editor, std::function<void(const QString &)> setStatus,
             QWidget *parent = nullptr);

    // The enabling rules: "suchen" needs a term, "weitersuchen" a term and
    // "Gesamt".
    void txtSuch_Change();
    void Option1_Click();
    // Where a long search shows how far it is, with a way to stop it.
    void setWorkProgress(std::function<std::unique_ptr<WorkProgress>()> start)
    {
        m_startWork = std::move(start);
    }

    // "suchen": the first occurrence in the whole text or in the selection.
    void cmdSuchen_Click();
    // "weitersuchen": the next occurrence in the whole text, from one
    // character after the start of the current selection.
    void cmdWeitersuchen_Click();

    QLineEdit *txtSuch = nullptr;
    QPushButton *cmdSuchen = nullptr;
    QPushButton *cmdWeitersuchen = nullptr;
    std::array<QRadioButton *, 2> Option1{}; // 0: "Gesamt", 1: "Markierung"

private:
    // A match becomes the selection; without one the status line says so.
    void showResult(const Utf8Match &found);
    // Searches from `from` to `to` in the editor's text, showing the box
    // when it takes long; nothing when the search was stopped.
    std::optional<Utf8Match> search(qsizetype from, qsizetype to);

    TextBox *m_editor;
    std::function<void(const QString &)> m_setStatus;
    std::function<std::unique_ptr<WorkProgress>()> m_startWork;
};

} // namespace kelo

// Hints and the hover spot of the main window. A mouse movement over one of
// thirteen controls writes its hint into the status line (replacing whatever
// it held, a half-typed command too); the picture spot at the top right shows
// one of four pictures, chosen by the last movement over EXIT, cmd_Einstell,
// Info1 or the bare window background.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class QWidget;

namespace kelo {

class Form1;

// The hint for a control by its name, or a null string when it has none.
QString hintFor(const QString &controlName);

// The four pictures of the hover spot.
enum class SpotPicture { Info1, Info2, Image1, Image2 };

struct SpotChange {
    SpotPicture shown;
    QList<SpotPicture> hidden;
};

// What a movement over a control (by name; the window's own name for the bare
// background) does to the hover spot, or nothing.
std::optional<SpotChange> spotChangeFor(const QString &controlName);

class HoverHints : public QObject {
    Q_OBJECT

public:
    explicit HoverHints(Form1 &form);

    // A mouse movement over the bare window background.
    void Form_MouseMove();
    // A mouse movement over a control that has a hint.
    void controlMouseMove(QWidget *control);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applySpot(const QString &controlName);
    QWidget *spotPicture(SpotPicture picture) const;

    Form1 &m_form;
};

} // namespace kelo

// The window at twice the scale (QT_SCALE_FACTOR=2, as on a high-density
// screen) must look as at the normal one, only sharper: every control in the
// same place in device-independent pixels, no caption cut off, every picture
// drawn at the screen's density. The scale is read once at start, so the test
// runs this same test again in a second process at scale 2 and compares.
#include "files/openpanel.h"
#include "files/saveaspanel.h"
#include "platform/controls.h"
#include "services/form2.h"
#include "support/form1fixture.h"
#include "tools/editortools.h"
#include "tools/frm_ersetz.h"
#include "tools/frm_such.h"
#include "tools/linetools.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>

namespace kelo::test {
namespace {

const char *const childOutput = "KELO_HIGHDPI_OUTPUT";

// A control's caption and the room its style leaves it.
struct Caption {
    QString text;
    QRect room;
    bool wraps = false;
};

Caption captionOf(QWidget *widget)
{
    QStyle *style = widget->style();
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        if (label->textFormat() == Qt::RichText)
            return {};
        return {label->text(), label->contentsRect(), label->wordWrap()};
    }
    auto *button = qobject_cast<QAbstractButton *>(widget);
    if (button == nullptr)
        return {};
    QString text = button->text();
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    if (auto *tool = qobject_cast<QToolButton *>(button)) {
        // A picture button shows its command's text only beside a picture.
        if (tool->toolButtonStyle() == Qt::ToolButtonIconOnly && !tool->icon().isNull())
            return {};
        return {text, tool->rect()};
    }
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = text;
    if (qobject_cast<QRadioButton *>(button))
        return {text, style->subElementRect(QStyle::SE_RadioButtonContents, &option, button)};
    if (qobject_cast<QCheckBox *>(button))
        return {text, style->subElementRect(QStyle::SE_CheckBoxContents, &option, button)};
    const QRect contents = style->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    // A wrapping button writes its caption a little inside its contents.
    if (qobject_cast<WrapButton *>(button))
        return {text, contents.adjusted(2, 0, -2, 0), true};
    return {text, contents};
}

// What a window shows at the running scale: the geometry of every named
// control, the captions that do not fit, the pictures drawn below the
// screen's density.
QJsonObject measure(const QList<QWidget *> &windows)
{
    QJsonObject geometry;
    QJsonArray clipped;
    QJsonArray blurred;
    const qreal density = qApp->devicePixelRatio();
    for (QWidget *window : windows) {
        const QString prefix = window->objectName() + QLatin1Char('.');
        geometry[prefix] = QJsonArray{window->width(), window->height()};
        for (QWidget *widget : window->findChildren<QWidget *>()) {
            const QString name = widget->objectName();
            if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) ||
                widget->window() != window)
                continue;
            // The pictures of the hover spots are made ahead, while hidden.
            QPixmap picture;
            if (auto *label = qobject_cast<QLabel *>(widget))
                picture = label->pixmap();
            else if (auto *button = qobject_cast<QAbstractButton *>(widget);
                     button != nullptr && !button->icon().isNull())
                picture = button->icon().pixmap(button->iconSize());
            if (!picture.isNull() && picture.devicePixelRatio() < density)
                blurred.append(QString(prefix + name));
            if (!widget->isVisible())
                continue;
            const QPoint at = widget->mapTo(window, QPoint());
            geometry[prefix + name] = QJsonArray{at.x(), at.y(), widget->width(), widget->height()};

            const Caption caption = captionOf(widget);
            if (!caption.text.isEmpty()) {
                const int flags = caption.wraps ? int(Qt::TextWordWrap) : 0;
                const QRect needed = widget->fontMetrics().boundingRect(
                    QRect(0, 0, caption.room.width(), 1 << 20), flags, caption.text);
                if (needed.width() > caption.room.width() ||
                    (caption.wraps && needed.height() > caption.room.height()))
                    clipped.append(QString(prefix + name + QStringLiteral(": ") + caption.text));
            }
        }
    }
    return {{QStringLiteral("density"), density},
            {QStringLiteral("geometry"), geometry},
            {QStringLiteral("clipped"), clipped},
            {QStringLiteral("blurred"), blurred}};
}

class HighDpi : public Form1Fixture {
protected:
    // The window with both file panels shown (one over the other, as each
    // is only measured), both dialogs and the About window.
    QJsonObject measureEverything()
    {
        Form1 &form = startShown();
        form.Dateiauswahl->showAt(650);
        form.Dateiauswahl2->showAt(650);
        form.editorTools()->search_Click();
        form.lineTools()->cmd_replace_Click();
        QWidget *search = form.editorTools()->searchDialog();
        QWidget *replace = form.lineTools()->replaceDialog();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(search));
        form.about()->open();
        QWidget *about = form.findChild<Form2 *>();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(replace));
        EXPECT_TRUE(QTest::qWaitForWindowExposed(about));
        return measure({&form, search, replace, about});
    }
};

TEST_F(HighDpi, TheWindowPanelsAndDialogsKeepTheirLayoutAndStaySharpAtScaleTwo)
{
    const QJsonObject here = measureEverything();
    if (const QString output = qEnvironmentVariable(childOutput); !output.isEmpty()) {
        QFile file(output);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_GT(file.write(QJsonDocument(here).toJson()), 0);
        return;
    }

    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString output = folder.filePath(QStringLiteral("scale2.json"));
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
    environment.insert(QString::fromLatin1(childOutput), output);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=%1.%2")
                     .arg(QLatin1String(test->test_suite_name()), QLatin1String(test->name()))});
    ASSERT_TRUE(child.waitForFinished(60000));
    ASSERT_EQ(child.exitStatus(), QProcess::NormalExit);
    ASSERT_EQ(child.exitCode(), 0);
    QFile file(output);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject doubled = QJsonDocument::fromJson(file.readAll()).object();

    ASSERT_EQ(here[QStringLiteral("density")].toDouble(), 1.0);
    ASSERT_EQ(doubled[QStringLiteral("density")].toDouble(), 2.0);
    const QJsonObject small = here[QStringLiteral("geometry")].toObject();
    const QJsonObject large = doubled[QStringLiteral("geometry")].toObject();
    EXPECT_EQ(small.keys(), large.keys());
    // The main window, its bar, both panels and both dialogs were measured.
    for (const char *control : {"Form1.cmd_open", "Form1.File1", "Form1.saveas",
                                "frm_such.txtSuch", "frm_ersetz.txt_finde", "Form2.Picture1"})
        EXPECT_TRUE(small.contains(QLatin1String(control))) << control;
    for (auto it = small.begin(); it != small.end(); ++it) {
        const QJsonArray a = it.value().toArray();
        const QJsonArray b = large.value(it.key()).toArray();
        ASSERT_EQ(a.size(), b.size()) << it.key().toStdString();
        for (qsizetype i = 0; i < a.size(); ++i)
            EXPECT_LE(std::abs(a.at(i).toInt() - b.at(i).toInt()), 1)
                << it.key().toStdString() << " value " << i << ": " << a.at(i).toInt()
                << " at scale 1, " << b.at(i).toInt() << " at scale 2";
    }
    for (const QJsonObject &run : {here, doubled}) {
        const double density = run[QStringLiteral("density")].toDouble();
        for (const QJsonValue &caption : run[QStringLiteral("clipped")].toArray())
            ADD_FAILURE() << "cut off at scale " << density << ": "
                          << caption.toString().toStdString();
        for (const QJsonValue &picture : run[QStringLiteral("blurred")].toArray())
            ADD_FAILURE() << "blurred at scale " << density << ": "
                          << picture.toString().toStdString();
    }
}

} // namespace
} // namespace kelo::test

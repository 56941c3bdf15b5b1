// Printing through the printer code into a PDF, read back with pdftotext
// (poppler-utils), which knows nothing of how the pages were made.
#include "platform/textprinter.h"
#include "support/testenv.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kelo {
namespace {

class Printing : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString pdf() const { return QDir(m_dir.path()).filePath(QStringLiteral("out.pdf")); }

    // The text of the PDF, pages separated by form feeds. The layout mode
    // keeps blank lines, which the plain mode drops.
    static QString pdfText(const QString &path, bool layout = false)
    {
        QStringList arguments{QStringLiteral("-enc"), QStringLiteral("UTF-8"), path,
                              QStringLiteral("-")};
        if (layout)
            arguments.prepend(QStringLiteral("-layout"));
        QProcess tool;
        tool.start(QStringLiteral("pdftotext"), arguments);
        if (!tool.waitForFinished(600000) || tool.exitCode() != 0) {
            ADD_FAILURE() << "pdftotext failed: " << tool.readAllStandardError().toStdString();
            return {};
        }
        return QString::fromUtf8(tool.readAllStandardOutput());
    }

    static int pageCount(const QString &text) { return int(text.count(u'\f')); }

    // The text's words in order, whatever lines and pages they landed on.
    static QStringList words(const QString &text)
    {
        static const QRegularExpression space(QStringLiteral("\\s+"));
        return text.split(space, Qt::SkipEmptyParts);
    }

    // The text without any white space (cheaper than words() on 20 MB).
    static QString ink(const QString &text)
    {
        QString out;
        out.reserve(text.size());
        for (const QChar c : text) {
            if (!c.isSpace())
                out.append(c);
        }
        return out;
    }

    QTemporaryDir m_dir;
};

TEST_F(Printing, LineBreaksOfEveryKindStartNewLinesAndUmlautsSurvive)
{
    const QString text = QStringLiteral("Größe und Straße\r\nzweite Zeile\rdritte\nvierte €\r\n\r\n"
                                        "nach der Leerzeile");
    ASSERT_TRUE(PdfPrinter(pdf()).printText(text).ok);
    const QString out = pdfText(pdf(), true);
    QStringList lines = out.split(u'\n');
    for (QString &line : lines)
        line = line.trimmed();
    ASSERT_GE(lines.size(), 6) << out.toStdString();
    EXPECT_EQ(lines.at(0), QStringLiteral("Größe und Straße"));
    EXPECT_EQ(lines.at(1), QStringLiteral("zweite Zeile"));
    EXPECT_EQ(lines.at(2), QStringLiteral("dritte"));
    EXPECT_EQ(lines.at(3), QStringLiteral("vierte €"));
    EXPECT_EQ(lines.at(4), QString());
    EXPECT_EQ(lines.at(5), QStringLiteral("nach der Leerzeile"));
    EXPECT_EQ(pageCount(out), 1);
}

TEST_F(Printing, AnEmptyTextIsOneBlankPage)
{
    ASSERT_TRUE(PdfPrinter(pdf()).printText(QString()).ok);
    const QString out = pdfText(pdf());
    EXPECT_EQ(pageCount(out), 1);
    EXPECT_TRUE(out.trimmed().isEmpty()) << out.toStdString();
}

TEST_F(Printing, AFullPageContinuesOnTheNextWithNothingLostOrRepeated)
{
    QStringList lines;
    for (int i = 1; i <= 300; ++i)
        lines.append(QStringLiteral("Zeile %1").arg(i));
    ASSERT_TRUE(PdfPrinter(pdf()).printText(lines.join(QStringLiteral("\r\n"))).ok);
    const QString out = pdfText(pdf());
    EXPECT_GE(pageCount(out), 3);
    QStringList printed =
        out.split(QRegularExpression(QStringLiteral("[\n\f]")), Qt::SkipEmptyParts);
    EXPECT_EQ(printed, lines);
}

TEST_F(Printing, ALineWiderThanThePageContinuesOnTheNextLine)
{
    // One word far wider than the page, then words that wrap at blanks.
    const QString word = QString(600, u'x');
    QStringList many;
    for (int i = 0; i < 200; ++i)
        many.append(QStringLiteral("Wort%1").arg(i));
    const QString text = word + QStringLiteral("\r\n") + many.join(u' ') + QStringLiteral("\tEnde");
    ASSERT_TRUE(PdfPrinter(pdf()).printText(text).ok);
    const QString out = pdfText(pdf());
    EXPECT_EQ(ink(out), ink(text)) << out.toStdString();
    // Wrapped at blanks: every word stays whole.
    EXPECT_EQ(words(out).mid(words(out).size() - 201), many + QStringList{QStringLiteral("Ende")});
    EXPECT_GT(out.count(u'\n'), 6); // onto several lines
}

TEST_F(Printing, AnUnwritableTargetIsReportedInGerman)
{
    const QString path = QDir(m_dir.path()).filePath(QStringLiteral("fehlt/out.pdf"));
    const PrintResult result = PdfPrinter(path).printText(QStringLiteral("Text"));
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(result.error.contains(QStringLiteral("Drucker"))) << result.error.toStdString();
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST_F(Printing, TwentyMegabytesArePrintedWhole)
{
    static const char *const vocabulary[] = {"Größe", "Straße", "über",  "Ärger", "Löwe",
                                             "Haus",  "Baum",   "schön", "Tür",   "Fenster"};
    QString text;
    text.reserve(21 << 20);
    quint32 seed = 7;
    int column = 0;
    while (text.size() < (20 << 20)) {
        seed = seed * 1103515245u + 12345u;
        const QString word = QString::fromUtf8(vocabulary[(seed >> 16) % 10]);
        text.append(word);
        column += int(word.size()) + 1;
        if (column >= 60) {
            text.append(QStringLiteral("\r\n"));
            column = 0;
        } else {
            text.append(u' ');
        }
    }
    ASSERT_TRUE(PdfPrinter(pdf()).printText(text).ok);
    const QString out = pdfText(pdf());
    // About 50 lines a page: thousands of pages, and not a letter missing.
    EXPECT_GT(pageCount(out), 3000);
    EXPECT_TRUE(ink(out) == ink(text));
}

} // namespace
} // namespace kelo

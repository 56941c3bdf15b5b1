#include "platform/textprinter.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextLayout>

#include <vector>

namespace kelo {

namespace {

constexpr int tabColumns = 8; // as the editor shows tabs

const QString &unreachableMessage()
{
    static const QString text =
        QStringLiteral("Der Drucker kann nicht angesprochen werden. Es wurde nichts gedruckt.");
    return text;
}

const QString &failedMessage()
{
    static const QString text =
        QStringLiteral("Der Drucker meldet einen Fehler. Der Ausdruck wurde abgebrochen.");
    return text;
}

QString expandTabs(QStringView line)
{
    QString out;
    out.reserve(line.size() + tabColumns);
    for (const QChar c : line) {
        if (c == u'\t')
            out.append(QString(tabColumns - out.size() % tabColumns, u' '));
        else
            out.append(c);
    }
    return out;
}

// Puts lines on pages: a new page when the next line does not fit.
class PageWriter {
public:
    PageWriter(QPrinter &printer, QPainter &painter)
        : m_printer(printer)
        , m_painter(painter)
        , m_font(painter.font())
        , m_metrics(m_font, &printer)
        , m_area(QPointF(0, 0), printer.pageRect(QPrinter::DevicePixel).size())
        , m_advances(0x10000, -1.0f)
    {
        m_wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    }

    bool writeLine(QStringView line)
    {
        const QString text = line.contains(u'\t') ? expandTabs(line) : line.toString();
        if (clearlyFits(text) || m_metrics.horizontalAdvance(text) <= m_area.width())
            return put(text);
        return putWrapped(text);
    }

private:
    // Shaping a line to measure it costs as much as drawing it. Most lines
    // are far narrower than the page, which the sum of their characters'
    // widths shows at a fraction of the cost; the margin covers kerning.
    bool clearlyFits(const QString &text)
    {
        const double limit = m_area.width() * 0.9;
        double sum = 0;
        for (const QChar c : text) {
            if (c.isSurrogate())
                return false;
            float &advance = m_advances[c.unicode()];
            if (advance < 0)
                advance = float(m_metrics.horizontalAdvance(c));
            sum += advance;
            if (sum > limit)
                return false;
        }
        return true;
    }

    bool put(const QString &text)
    {
        if (m_y > 0 && m_y + m_metrics.height() > m_area.height()) {
            if (!m_printer.newPage())
                return false;
            m_y = 0;
        }
        if (!text.isEmpty())
            m_painter.drawText(QPointF(0, m_y + m_metrics.ascent()), text);
        m_y += m_metrics.lineSpacing();
        return true;
    }

    bool putWrapped(const QString &text)
    {
        QTextLayout layout(text, m_font, &m_printer);
        layout.setTextOption(m_wrap);
        layout.beginLayout();
        QList<std::pair<int, int>> pieces;
        for (QTextLine piece = layout.createLine(); piece.isValid(); piece = layout.createLine()) {
            piece.setLineWidth(m_area.width());
            pieces.append({piece.textStart(), piece.textLength()});
        }
        layout.endLayout();
        for (const auto &[start, length] : pieces) {
            if (!put(text.mid(start, length)))
                return false;
        }
        return true;
    }

    QPrinter &m_printer;
    QPainter &m_painter;
    QFont m_font;
    QFontMetricsF m_metrics;
    QRectF m_area;
    std::vector<float> m_advances; // per UTF-16 unit, -1 until measured
    QTextOption m_wrap;
    double m_y = 0;
};

// The page making shared by both printers: the text and one line end on the
// pages of an already set-up printer.
PrintResult printPlainText(QPrinter &printer, const QString &text)
{
    QPainter painter;
    if (!painter.begin(&printer))
        return {false, unreachableMessage()};
    PageWriter pages(printer, painter);
    // The text is one item followed by a line end: every piece between breaks
    // is a line, the last one too, so an empty text is one empty line.
    const QStringView all(text);
    qsizetype from = 0;
    bool written = true;
    for (qsizetype i = 0; written && i <= all.size(); ++i) {
        if (i < all.size() && all[i] != u'\r' && all[i] != u'\n')
            continue;
        written = pages.writeLine(all.mid(from, i - from));
        if (i + 1 < all.size() && all[i] == u'\r' && all[i + 1] == u'\n')
            ++i;
        from = i + 1;
    }
    if (!written || printer.printerState() == QPrinter::Error) {
        printer.abort();
        painter.end();
        return {false, failedMessage()};
    }
    if (!painter.end() || printer.printerState() == QPrinter::Error)
        return {false, failedMessage()};
    return {};
}

} // namespace

PrintResult DefaultPrinter::printText(const QString &text)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return {false, noPrinterMessage()};
    if (info.state() == QPrinter::Error)
        return {false,
                QStringLiteral("Der Drucker %1 meldet einen Fehler. Es wurde nichts gedruckt.")
                    .arg(info.description().isEmpty() ? info.printerName() : info.description())};
    QPrinter printer(info, QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Kelo the Scriv"));
    return printPlainText(printer, text);
}

PdfPrinter::PdfPrinter(QString path)
    : m_path(std::move(path))
{}

PrintResult PdfPrinter::printText(const QString &text)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(m_path);
    printer.setDocName(QStringLiteral("Kelo the Scriv"));
    return printPlainText(printer, text);
}

} // namespace kelo

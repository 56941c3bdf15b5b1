// Printing a plain text: the stand-in for the classic default printer object,
// which takes one text item, puts it out line by line followed by a line end,
// and hands the document to the printer when it is ended.
//
// The text goes out in the printer's own defaults: the font a painter on the
// printer starts with, the printer's page size and margins. Line breaks in
// the text (CR LF, lone CR, lone LF) start new lines, a line wider than the
// page continues on the next line, and a full page continues on a new one.
#pragma once

#include <QString>

namespace kelo {

struct PrintResult {
    bool ok = true;
    QString error; // German, for the user, when !ok
};

class TextPrinter {
public:
    virtual ~TextPrinter() = default;
    // Prints the text as one document. Nothing is sent when it fails.
    virtual PrintResult printText(const QString &text) = 0;
};

// The system's default printer (QPrinterInfo::defaultPrinter()).
class DefaultPrinter final : public TextPrinter {
public:
    PrintResult printText(const QString &text) override;
};

// The same output written as a PDF file.
class PdfPrinter final : public TextPrinter {
public:
    explicit PdfPrinter(QString path);
    PrintResult printText(const QString &text) override;

private:
    QString m_path;
};

inline const QString &noPrinterMessage()
{
    static const QString text = QStringLiteral("Es ist kein Drucker eingerichtet.");
    return text;
}

} // namespace kelo

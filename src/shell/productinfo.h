// The product's and the author's addresses, shown by the status-line console
// and the About window.
#pragma once

#include <QString>

namespace kelo::product {

inline const QString downloadPage = QStringLiteral("https://kelo.example.org/download/");
inline const QString authorName = QStringLiteral("Max Mustermann");
inline const QString authorMail = QStringLiteral("max@example.org");
inline const QString authorPage = QStringLiteral("https://www.example.org/mustermann/");
inline const QString authorContactLine =
    QStringLiteral("Autor: Max Mustermann - E-Mail: max@example.org - Web: "
                   "https://www.example.org/mustermann/");

} // namespace kelo::product

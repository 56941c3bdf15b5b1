// The product's and the author's addresses, shown by the status-line console
// and the About window. The author is the project's team; no person is named.
#pragma once

#include <QString>

namespace kelo::product {

inline const QString downloadPage = QStringLiteral("https://kelo.example.org/download/");
inline const QString authorName = QStringLiteral("Das Kelo-Team");
inline const QString authorMail = QStringLiteral("team@kelo.example.org");
inline const QString authorPage = QStringLiteral("https://kelo.example.org/team/");
inline const QString authorContactLine = QStringLiteral("Autor: ") + authorName +
                                         QStringLiteral(" - E-Mail: ") + authorMail +
                                         QStringLiteral(" - Web: ") + authorPage;

} // namespace kelo::product

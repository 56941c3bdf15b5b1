#include "shell/loadprogress.h"

#include "platform/filenames.h"

#include <QFileInfo>

namespace kelo {

LoadProgressDialog::LoadProgressDialog(QWidget &window, const QString &path,
                                       std::chrono::milliseconds delay)
    : WorkProgressBox(
          window,
          [name = displayFileName(QFileInfo(path).fileName())](int percent) {
              return QStringLiteral("Lade %1 … %2 %").arg(name).arg(percent);
          },
          delay)
{}

LoadProgressFactory LoadProgressDialog::factory()
{
    return [](QWidget &window, const QString &path) -> std::unique_ptr<LoadProgress> {
        return std::make_unique<LoadProgressDialog>(window, path);
    };
}

} // namespace kelo

// Start-up to the first shown window: Kelo against a bare Qt Widgets program
// that shows an empty window, each started as a whole process, in the same run.
// Runs on the X display when there is one, else on the offscreen platform.
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void runProcess(benchmark::State &state, const QString &program, const QStringList &arguments)
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    if (environment.value(QStringLiteral("DISPLAY")).isEmpty())
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    else
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(program);
    for (auto _ : state) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(path, arguments);
        if (!process.waitForFinished(30000) || process.exitCode() != 0) {
            state.SkipWithError("the probe did not end normally");
            return;
        }
    }
}

void BM_StartupBareQtWindow(benchmark::State &state)
{
    runProcess(state, QStringLiteral("startup_bare"), {});
}
BENCHMARK(BM_StartupBareQtWindow)->Unit(benchmark::kMillisecond)->MinTime(3);

void BM_StartupKelo(benchmark::State &state)
{
    runProcess(state, QStringLiteral("startup_kelo"), {});
}
BENCHMARK(BM_StartupKelo)->Unit(benchmark::kMillisecond)->MinTime(3);

} // namespace

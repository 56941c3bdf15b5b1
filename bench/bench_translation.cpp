// Benchmarks of the web translation: a 1,000-line text translated through
// the main window against a local page that answers at once, next to one
// curl process that sends the same 1,000 POST requests over one kept-alive
// connection (all listed in one --config file); and the reading of hostile
// answers of the size the answer cap lets through.
//
// The page runs in a thread of its own, as a real server runs in a process
// of its own, so that both clients wait for it in the same way.
#include "platform/messagebox.h"
#include "platform/settingsstore.h"
#include "platform/textbox.h"
#include "services/testhttpserver.h"
#include "services/translation.h"
#include "services/translationanswer.h"
#include "services/translationhttp.h"
#include "services/translationrequest.h"
#include "shell/form1.h"

#include "benchwindow.h"
#include "germantext.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <memory>

#include <benchmark/benchmark.h>

namespace {

using kelo::test::TestHttpServer;

constexpr int lineCount = 1000;

class ServerThread {
public:
    ServerThread()
    {
        m_thread.start();
        m_context->moveToThread(&m_thread);
        run([this] {
            m_server = std::make_unique<TestHttpServer>();
            if (m_server->listen())
                m_url = m_server->url();
        });
    }
    ~ServerThread()
    {
        run([this] { m_server.reset(); });
        m_context->deleteLater(); // deleted when the thread ends
        m_thread.quit();
        m_thread.wait();
    }
    ServerThread(const ServerThread &) = delete;
    ServerThread &operator=(const ServerThread &) = delete;

    // Empty when the server could not listen.
    QString url() const { return m_url; }
    qsizetype requestCount()
    {
        qsizetype count = 0;
        run([this, &count] { count = m_server->requests().size(); });
        return count;
    }

private:
    template <typename Function> void run(Function function)
    {
        QMetaObject::invokeMethod(m_context, function, Qt::BlockingQueuedConnection);
    }

    QThread m_thread;
    QObject *m_context = new QObject;
    std::unique_ptr<TestHttpServer> m_server;
    QString m_url;
};

QStringList thousandLines()
{
    const QByteArray text = kelo::bench::germanText(80 * lineCount, kelo::Encoding::Utf8, false);
    return QString::fromUtf8(text).split(QStringLiteral("\r\n")).mid(0, lineCount);
}

void BM_TranslateThousandLines(benchmark::State &state)
{
    ServerThread server;
    QTemporaryDir folder;
    if (server.url().isEmpty() || !folder.isValid()) {
        state.SkipWithError("no local server or folder");
        return;
    }
    kelo::bench::BenchWindow window(folder.path());
    window.settings.write(kelo::key::translationPage, server.url());
    kelo::Form1 &form = window.open(folder.path(), [] { return QList<kelo::Volume>{}; });
    form.translation()->blnInternetOK = true;
    const QString text = thousandLines().join(QStringLiteral("\r\n"));

    for (auto _ : state) {
        form.TextBox1->setText(text);
        form.translation()->cmd_DE2EN_Click();
    }
    if (!window.messages.shown().isEmpty() ||
        server.requestCount() != qsizetype(state.iterations()) * lineCount)
        state.SkipWithError("the translation failed");
    state.counters["lines"] = lineCount;
}
BENCHMARK(BM_TranslateThousandLines)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The floor under the translation: the same 1,000 requests through the
// translation's HTTP client alone, without the window, the temporary file
// and the reading of the answers.
void BM_HttpClientThousandPosts(benchmark::State &state)
{
    ServerThread server;
    if (server.url().isEmpty()) {
        state.SkipWithError("no local server");
        return;
    }
    QList<QUrl> urls;
    for (const QString &line : thousandLines())
        urls << *kelo::translationUrl(server.url(), line,
                                      kelo::TranslationDirection::GermanToEnglish);
    kelo::TranslationHttp http;
    for (auto _ : state) {
        for (const QUrl &url : urls) {
            if (http.post(url).status != kelo::HttpAnswer::Status::Ok) {
                state.SkipWithError("a request failed");
                return;
            }
        }
    }
}
BENCHMARK(BM_HttpClientThousandPosts)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_CurlThousandPosts(benchmark::State &state)
{
    ServerThread server;
    QTemporaryDir folder;
    if (server.url().isEmpty() || !folder.isValid()) {
        state.SkipWithError("no local server or folder");
        return;
    }
    // The same requests the translation sends, one after another in one
    // process, so that curl keeps its connection.
    QByteArray config;
    for (const QString &line : thousandLines()) {
        const auto url =
            kelo::translationUrl(server.url(), line, kelo::TranslationDirection::GermanToEnglish);
        if (!config.isEmpty())
            config += "next\n"; // the next request of the same process
        config += "url = \"" + url->toEncoded() + "\"\n" +
                  "data = \"\"\nheader = \"Content-Type: text/xml\"\noutput = \"/dev/null\"\n";
    }
    const QString configPath = QDir(folder.path()).filePath(QStringLiteral("curl.conf"));
    QFile file(configPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(config) != config.size()) {
        state.SkipWithError("cannot write the curl configuration");
        return;
    }
    file.close();

    for (auto _ : state) {
        QProcess curl;
        QEventLoop loop;
        QObject::connect(&curl, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&curl, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        curl.start(QStringLiteral("curl"), {QStringLiteral("--silent"), QStringLiteral("--fail"),
                                            QStringLiteral("--config"), configPath});
        loop.exec(); // the server answers from this thread's event loop
        if (curl.exitStatus() != QProcess::NormalExit || curl.exitCode() != 0) {
            state.SkipWithError("curl failed");
            return;
        }
    }
    if (server.requestCount() != qsizetype(state.iterations()) * lineCount)
        state.SkipWithError("curl sent another number of requests");
}
BENCHMARK(BM_CurlThousandPosts)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Answers within the 2 MB cap that make a quadratic tree builder take
// minutes: 100,000 nested elements, 100,000 unclosed formatting elements
// (each with its own attributes), and inside the element the most the
// scan lets through to the parser: 999 open formatting elements and text
// up to the element's size limit.
QByteArray hostilePage(int kind)
{
    constexpr int count = 100000;
    switch (kind) {
    case 0:
        return QByteArray("<div>").repeated(count) + "<span id=result_box>'ok'</span>" +
               QByteArray("</div>").repeated(count);
    case 1: {
        QByteArray page;
        for (int i = 0; i < count; ++i)
            page += "<b c=" + QByteArray::number(i) + ">x";
        return page + "<i id=result_box>'ok'</i>";
    }
    default: {
        QByteArray page = "<i id=result_box>'";
        for (int i = 0; i < int(kelo::maxResultTags) - 2; ++i)
            page += "<b c=" + QByteArray::number(i) + ">";
        const qsizetype room = kelo::maxResultBytes - page.size() - 8;
        return page + QByteArray(room, 'x') + "'</i>";
    }
    }
}

void BM_HostileAnswer(benchmark::State &state)
{
    const QByteArray page = hostilePage(int(state.range(0)));
    for (auto _ : state) {
        const kelo::AnswerReading reading = kelo::readTranslationAnswer(page, "text/html");
        if (!reading.translation)
            state.SkipWithError("the element was not read");
        benchmark::DoNotOptimize(reading);
    }
    state.SetBytesProcessed(qint64(state.iterations()) * page.size());
}
BENCHMARK(BM_HostileAnswer)
    ->ArgName("deep0_unclosed1_worstInside2")
    ->DenseRange(0, 2)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace

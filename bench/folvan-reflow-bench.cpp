// folvan-reflow-bench PDF [--dump]: loads the real reflow page off screen in
// the web engine, served by the reflow scheme handler, opens the paper and
// prints how long the first screen and the whole paper took to lay out, from
// "open". With --dump, also the reflowed text in reading order, one block a
// line as KIND<TAB>TEXT (a cut-out gives its page and region).

#include "reflow/ReflowResourceHandler.h"
#include "reflow/ReflowView.h"
#include "reflow/ReflowWire.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUuid>
#include <QWebChannel>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

#include <cstdio>

using namespace folvan::reflow;

namespace {

const char *const kCollect = R"JS(
(() => {
  const t = window.folvanReflowTimes || {};
  if (!document.documentElement || !document.documentElement.dataset.allLaid) return "";
  const lines = [...document.querySelectorAll("#flow [data-kind]")].map((e) => {
    if (e.dataset.kind === "cutout") return "cutout\tpage " + e.dataset.page + " region " + e.dataset.region;
    // The text as shown: parts and the spaces between them, without the
    // hyphens of words joined across columns and the block's own buttons.
    let text = "";
    for (const node of e.childNodes) {
      if (node.nodeType === Node.TEXT_NODE) text += node.data;
      else if (node.classList.contains("part")) {
        const copy = node.cloneNode(true);
        copy.querySelectorAll(".broken-hyphen").forEach((h) => h.remove());
        text += copy.textContent;
      }
    }
    return e.dataset.kind + "\t" + text.replace(/\s+/g, " ").trim();
  });
  return JSON.stringify({ first: t.firstScreen, all: t.all, dump: lines.join("\n") });
})()
)JS";

} // namespace

int main(int argc, char **argv)
{
    QWebEngineUrlScheme scheme(wire::scheme.toUtf8());
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalAccessAllowed
                    | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
    QApplication app(argc, argv);

    QString path;
    bool dump = false;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--dump"))
            dump = true;
        else
            path = arg;
    }
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        std::fprintf(stderr, "usage: folvan-reflow-bench PDF [--dump]\n");
        return 2;
    }

    const QString token = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    QWebEngineProfile profile;
    auto *handler = new ReflowResourceHandler(&app);
    profile.installUrlSchemeHandler(wire::scheme.toUtf8(), handler);
    handler->setDocument(QFileInfo(path).absoluteFilePath(), {}, token);

    QWebEngineView view;
    auto *page = new QWebEnginePage(&profile, &view);
    view.setPage(page);
    view.resize(1000, 1200);

    QWebChannel channel;
    bool opened = false;
    auto *receiver = new ReflowChannel([&](const QString &text) {
        const QJsonObject body = QJsonDocument::fromJson(text.toUtf8()).object();
        if (opened || body.value(QLatin1String(wire::key::event)).toString() != wire::event::loaded)
            return;
        opened = true;
        QJsonObject open{{wire::key::token, token}, {wire::key::pageCount, 0}, {wire::key::page, 0},
                         {wire::key::corrections, QJsonArray()}, {"fontSize", 20.0}, {"leading", 1.75},
                         {"width", 760.0}, {"face", "serif"}, {"alignment", "start"},
                         {"paragraphSpacing", 0.65}, {"indent", false}, {wire::key::query, ""}};
        page->runJavaScript(QStringLiteral("window.folvanReflow?.%1(%2)")
                                .arg(wire::call::open,
                                     QString::fromUtf8(QJsonDocument(open).toJson(QJsonDocument::Compact))));
    });
    channel.registerObject(wire::channelObject, receiver);
    page->setWebChannel(&channel);
    page->load(QUrl(wire::entryURL));
    view.show();

    int status = 1;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, [&]() {
        if (clock.elapsed() > 120000) {
            std::fprintf(stderr, "the page did not finish within two minutes\n");
            app.exit(1);
            return;
        }
        page->runJavaScript(QString::fromUtf8(kCollect), [&](const QVariant &value) {
            const QString text = value.toString();
            if (text.isEmpty() || !poll.isActive())
                return;
            poll.stop();
            const QJsonObject result = QJsonDocument::fromJson(text.toUtf8()).object();
            std::printf("reflow_first_screen_ms %.1f\n", result.value("first").toDouble());
            std::printf("reflow_all_ms %.1f\n", result.value("all").toDouble());
            if (dump)
                std::printf("%s\n", result.value("dump").toString().toUtf8().constData());
            status = 0;
            app.exit(0);
        });
    });
    poll.start();
    const int code = app.exec();
    handler->dispose();
    return code == 0 ? status : code;
}

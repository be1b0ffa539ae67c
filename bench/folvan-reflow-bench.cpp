// folvan-reflow-bench PDF [--dump | --links]: loads the real reflow page off screen in
// the web engine, served by the reflow scheme handler, opens the paper and
// prints, each with its target:
//   reflow_first_screen_ms     from "open" to the first screen laid out;
//   reflow_search_first_hit_ms from a search for "the" to its first hit drawn
//                              (the page's own debounce included);
//   reflow_page_memory_mb      the page's process after reading to the end
//                              (a jump every fortieth of the paper).
// With --dump the page lays out every page instead and the program prints
// how long that took and the reflowed text in reading order, one block a
// line as KIND<TAB>TEXT (a cut-out gives its page and region).
// With --links it lays out every page too, then clicks each link of the
// paper that leads into it, in reading order, and prints one line a link:
//   link<TAB>PAGE<TAB>TEXT<TAB>TARGET PAGE<TAB>WHERE IT LANDS
// pages counted from 1, where it lands being the first 80 characters of the
// block the click shows, from the line it shows when that is not the first
// (a cut-out: "[cut-out]" and its text); "-" for a link that leads nowhere.
// A script error of the page fails the run, whatever it measured.

#include "BenchArgs.h"
#include "engine/PdfDocument.h"
#include "localweb/LocalWebView.h"
#include "reflow/ReflowResourceHandler.h"
#include "reflow/ReflowView.h"
#include "reflow/ReflowWire.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <QUuid>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace folvan::reflow;

namespace {

// %1: the page's times object.
const char *const kCollect = R"JS(
(() => {
  const t = window[%1] || {};
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

// A name of the page as a script's string literal.
QString quoted(const char *name) { return QLatin1Char('"') + QLatin1String(name) + QLatin1Char('"'); }

// Clicks every internal link in turn, each once the last one's jump showed
// where it landed (a flashed line, or a flashed block), and keeps a line a
// link in window.__links; window.__linksDone when all were clicked.
const char *const kFollowLinks = R"JS(
(async () => {
  const oneLine = (s) => s.replace(/\s+/g, " ").trim();
  const text = (el) => el.tagName === "FIGURE" ? "[cut-out] " + ((el.querySelector("img") || {}).alt || "")
    : [...el.querySelectorAll(".part")].map((p) => p.textContent).join(" ");
  const clear = () => {
    for (const el of document.querySelectorAll(".flash-block")) el.classList.remove("flash-block");
    for (const m of document.querySelectorAll("mark.flash")) { const parent = m.parentNode; m.replaceWith(...m.childNodes); parent.normalize(); }
  };
  const out = [];
  for (const a of [...document.querySelectorAll("#flow a.link[data-internal]")]) {
    clear();
    const from = a.closest(".part");
    a.click();
    let landed = "-", page = "-";
    for (let i = 0; i < 50; i++) {
      await new Promise((resolve) => setTimeout(resolve, 0));
      const mark = document.querySelector("mark.flash");
      const block = document.querySelector(".flash-block");
      if (mark) {
        const part = mark.closest(".part");
        const range = document.createRange();
        range.setStartBefore(mark);
        range.setEnd(part, part.childNodes.length);
        landed = range.toString();
        page = Number(part.dataset.page) + 1;
      } else if (block) {
        landed = text(block);
        page = Number(block.dataset.page) + 1;
      } else continue;
      break;
    }
    out.push(["link", from ? Number(from.dataset.page) + 1 : "-", oneLine(a.textContent), page, oneLine(landed).slice(0, 80)].join("\t"));
  }
  clear();
  window.__links = out.join("\n");
})();
true
)JS";

// The resident memory of a process in MiB, or -1.
double residentMiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (pid <= 0 || !status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

// The page the bench loads: it tells each script error of the page and
// counts it.
class BenchPage : public folvan::localweb::LocalWebPage {
public:
    using LocalWebPage::LocalWebPage;
    int scriptErrors = 0;

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message, int line,
                                  const QString &source) override
    {
        if (level != ErrorMessageLevel || !message.startsWith(QLatin1String("Uncaught")))
            return;
        ++scriptErrors;
        std::fprintf(stderr, "script error: %s (%s:%d)\n", qPrintable(message), qPrintable(source), line);
    }
};

void printFigure(const char *name, double value, const char *target)
{
    std::printf("%s %.1f (target %s)\n", name, value, target);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QWebEngineUrlScheme scheme{QByteArray(wire::scheme)};
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalAccessAllowed
                    | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
    // Off screen and, where nothing else is asked for, without the web
    // engine's sandbox (which refuses to start as root), as the book bench.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QApplication app(argc, argv);

    BenchArgs args(app.arguments().mid(1), "usage: folvan-reflow-bench PDF [--dump | --links]\n");
    const bool dump = args.flag(QStringLiteral("--dump"));
    const bool links = args.flag(QStringLiteral("--links"));
    if (dump && links)
        args.fail(QStringLiteral("--dump and --links go apart"));
    const QString path = args.positional(1, 1).first();
    if (!QFileInfo(path).isFile())
        args.fail(QStringLiteral("%1 is not a file").arg(path));

    // The page is told the paper's page count, as the reader tells it: with
    // it, the page asks for the first page's graphics while its parser loads.
    const int pages = [&] {
        QString error;
        const std::shared_ptr<folvan::engine::PdfDocument> pdf = folvan::engine::PdfDocument::open(path, &error);
        if (!pdf)
            args.fail(QStringLiteral("%1: %2").arg(path, error));
        return pdf->pageCount();
    }();

    const QString token = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    QWebEngineProfile profile;
    auto *handler = new ReflowResourceHandler(&app);
    profile.installUrlSchemeHandler(QByteArray(wire::scheme), handler);
    handler->setDocument(QFileInfo(path).absoluteFilePath(), {}, token);

    QWebEngineView view;
    auto *page = new BenchPage(&profile, wire::scheme, wire::host, wire::channelObject, &view);
    view.setPage(page);
    view.resize(1000, 1200);

    bool opened = false;
    auto call = [&](const QString &name, const QJsonObject &payload) {
        page->runJavaScript(folvan::localweb::LocalWebView::script(
            QLatin1String(wire::pageObject), name,
            folvan::localweb::parseMessage(QJsonDocument(payload).toJson(QJsonDocument::Compact))));
    };
    QObject::connect(page->port(), &folvan::localweb::MessagePort::received, &view, [&](const QString &text) {
        const QJsonObject body = QJsonDocument::fromJson(text.toUtf8()).object();
        if (opened || body.value(QLatin1String(wire::key::event)).toString() != wire::event::loaded)
            return;
        opened = true;
        QJsonObject open{{wire::key::token, token}, {wire::key::pageCount, pages}, {wire::key::page, 0},
                         {wire::key::corrections, QJsonArray()}, {"fontSize", 20.0}, {"leading", 1.75},
                         {"width", 760.0}, {"face", "serif"}, {"alignment", "start"},
                         {"paragraphSpacing", 0.65}, {"indent", false}, {wire::key::query, ""}};
        if (dump || links)
            page->runJavaScript(QStringLiteral("window[%1] = true").arg(quoted(wire::layAllFlag)));
        call(wire::call::open, open);
    });
    page->load(QUrl(wire::entryURL));
    view.show();

    // The run goes through steps, each polled until the page reports it done.
    enum class Step { FirstScreen, Search, Reading, Dump, LaidForLinks, Links } step =
        dump ? Step::Dump : links ? Step::LaidForLinks : Step::FirstScreen;
    int pageCount = 0;
    int readTo = 0;
    int status = 1;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(20);
    // An answer counts only for the step that asked (polls overlap).
    auto ask = [&](const QString &script, std::function<void(const QVariant &)> then) {
        const Step asked = step;
        page->runJavaScript(script, [&, then, asked](const QVariant &value) {
            if (poll.isActive() && step == asked)
                then(value);
        });
    };
    auto readNext = [&]() {
        readTo = std::min(pageCount - 1, readTo + std::max(1, pageCount / 40));
        call(wire::call::navigate, QJsonObject{{wire::key::page, readTo}});
    };
    QObject::connect(&poll, &QTimer::timeout, [&]() {
        if (clock.elapsed() > 600000) {
            std::fprintf(stderr, "the page did not finish within ten minutes\n");
            app.exit(1);
            return;
        }
        switch (step) {
        case Step::Dump:
            ask(QString::fromUtf8(kCollect).arg(quoted(wire::timesObject)), [&](const QVariant &value) {
                const QString text = value.toString();
                if (text.isEmpty())
                    return;
                poll.stop();
                const QJsonObject result = QJsonDocument::fromJson(text.toUtf8()).object();
                printFigure("reflow_first_screen_ms", result.value("first").toDouble(), "<= 1000");
                std::printf("reflow_all_ms %.1f\n", result.value("all").toDouble());
                std::printf("%s\n", result.value("dump").toString().toUtf8().constData());
                std::fflush(stdout);
                status = 0;
                app.exit(0);
            });
            break;
        case Step::LaidForLinks:
            // (Asked from the start: the page's document may have no
            // element yet.)
            ask(QStringLiteral("document.documentElement?.dataset.allLaid === '1'"), [&](const QVariant &value) {
                if (!value.toBool())
                    return;
                step = Step::Links;
                page->runJavaScript(QString::fromUtf8(kFollowLinks));
            });
            break;
        case Step::Links:
            ask(QStringLiteral("window.__links ?? null"), [&](const QVariant &value) {
                if (value.isNull() || !value.isValid())
                    return;
                poll.stop();
                const QString lines = value.toString();
                if (!lines.isEmpty())
                    std::printf("%s\n", lines.toUtf8().constData());
                std::fflush(stdout);
                status = 0;
                app.exit(0);
            });
            break;
        case Step::FirstScreen:
            ask(QStringLiteral("JSON.stringify([(window[%1] || {}).firstScreen, "
                               "document.querySelectorAll('#flow > section').length])")
                    .arg(quoted(wire::timesObject)),
                [&](const QVariant &value) {
                    const QJsonArray result = QJsonDocument::fromJson(value.toString().toUtf8()).array();
                    if (!result.at(0).isDouble())
                        return;
                    printFigure("reflow_first_screen_ms", result.at(0).toDouble(), "<= 1000");
                    pageCount = result.at(1).toInt();
                    step = Step::Search;
                    QJsonObject settings{{wire::key::query, "the"}};
                    call(wire::call::settings, settings);
                });
            break;
        case Step::Search:
            ask(QStringLiteral("String((window[%1] || {}).searchFirstHit ?? '')").arg(quoted(wire::timesObject)), [&](const QVariant &value) {
                if (value.toString().isEmpty())
                    return;
                printFigure("reflow_search_first_hit_ms", value.toString().toDouble(), "<= 300");
                call(wire::call::settings, QJsonObject{{wire::key::query, ""}});
                step = Step::Reading;
                readNext();
            });
            break;
        case Step::Reading:
            ask(QStringLiteral("(() => { const s = document.querySelector('#flow > section[data-page=\"%1\"]');"
                               " return !!s && !s.classList.contains('placeholder'); })()")
                    .arg(readTo),
                [&](const QVariant &value) {
                    if (!value.toBool())
                        return;
                    if (readTo < pageCount - 1) {
                        readNext();
                        return;
                    }
                    poll.stop();
                    // Let the page settle (and let go of what it no longer shows).
                    QTimer::singleShot(1500, &app, [&]() {
                        printFigure("reflow_page_memory_mb", residentMiB(page->renderProcessPid()), "<= 400");
                        status = 0;
                        app.exit(0);
                    });
                });
            break;
        }
    });
    poll.start();
    const int code = app.exec();
    // A page answers the scripts still running with nothing when it goes,
    // and those answers reach the timer and the steps above: the page goes
    // first, while they are all still there.
    poll.stop();
    const int scriptErrors = page->scriptErrors;
    delete page;
    handler->dispose();
    if (scriptErrors > 0) {
        std::fprintf(stderr, "%d script error(s) in the page\n", scriptErrors);
        return 1;
    }
    return code == 0 ? status : code;
}

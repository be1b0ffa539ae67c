#include "scholar/GGView.h"

#include "platform/Desktop.h"
#include "platform/Icons.h"
#include "platform/InterfaceFont.h"
#include "platform/ShownText.h"
#include "scholar/ScholarRules.h"
#include "scholar/WebView.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWebEnginePage>

#include <algorithm>

namespace folvan::scholar {

namespace {

// The buttons' texts are set in a fixed small size.
constexpr int kButtonTextPixels = 11;

// A load that has no answer yet still shows a stub of the loading line.
constexpr int kLeastShownProgress = 8;

QPushButton *symbolButton(const QString &symbol, const QString &accessibleName, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setIcon(platform::symbolIcon(symbol));
    button->setIconSize(QSize(12, 12));
    button->setAccessibleName(accessibleName);
    button->setMinimumWidth(15);
    return button;
}

QPushButton *textButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    QFont font = button->font();
    font.setPixelSize(kButtonTextPixels);
    button->setFont(font);
    return button;
}

} // namespace

GGView::GGView(const QUrl &searchURL, model::SharedPDFViewModel *viewModel, QWidget *parent)
    : QWidget(parent)
    , m_searchURL(searchURL)
    , m_webView(new WebView(searchURL, viewModel, this))
    , m_addressField(new QLineEdit(this))
    , m_loadingLine(new QProgressBar(this))
    , m_messageLine(new QLabel(this))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);

    buildToolbar(column);
    buildStatusLines(column);
    m_webView->setMinimumWidth(100);
    auto *viewRow = new QHBoxLayout;
    viewRow->setContentsMargins(0, 0, 9, 0);
    viewRow->addWidget(m_webView);
    column->addLayout(viewRow, 1);

    connectToolbar();
    followWebView();
}

// The buttons and the address field, in one row above the page.
void GGView::buildToolbar(QVBoxLayout *column)
{
    auto *toolbar = new QHBoxLayout;
    toolbar->setSpacing(4);
    // The buttons stand 15 below the panel's top and 5 above the view.
    toolbar->setContentsMargins(5, 15, 8, 5);
    makeButtons();
    setUpAddressField();

    toolbar->addWidget(m_buttons[int(Button::back)]);
    toolbar->addWidget(m_buttons[int(Button::reload)]);
    toolbar->addWidget(m_buttons[int(Button::forward)]);
    toolbar->addWidget(m_buttons[int(Button::openInBrowser)]);
    toolbar->addWidget(m_addressField, 1);
    toolbar->addWidget(m_buttons[int(Button::save)]);
    toolbar->addWidget(m_buttons[int(Button::replace)]);
    column->addLayout(toolbar);
}

// The toolbar's six buttons; the replace button's symbol follows its text.
void GGView::makeButtons()
{
    m_buttons[int(Button::back)] = symbolButton(QStringLiteral("chevron.left"), QStringLiteral("上一网页"), this);
    m_buttons[int(Button::reload)] = symbolButton(QStringLiteral("arrow.clockwise"), QStringLiteral("刷新网页"), this);
    m_buttons[int(Button::forward)] = symbolButton(QStringLiteral("chevron.right"), QStringLiteral("下一网页"), this);
    m_buttons[int(Button::openInBrowser)] =
        symbolButton(QStringLiteral("safari"), QStringLiteral("在浏览器中打开"), this);
    m_buttons[int(Button::save)] = textButton(QStringLiteral("保存 PDF"), this);
    m_buttons[int(Button::replace)] = textButton(QStringLiteral("替换"), this);
    QPushButton *replace = m_buttons[int(Button::replace)];
    replace->setIcon(platform::symbolIcon(QStringLiteral("arrowshape.zigzag.right")));
    replace->setIconSize(QSize(12, 12));
    // The symbol follows the text.
    replace->setLayoutDirection(Qt::RightToLeft);
    // Small push buttons clipped to rounded corners, as wide as their
    // content rather than the style's minimum.
    for (QPushButton *button : m_buttons) {
        button->setFocusPolicy(Qt::TabFocus);
        button->setStyleSheet(QStringLiteral(
            "QPushButton { padding: 3px 5px; border: 1px solid rgba(0, 0, 0, 38); border-radius: 5px;"
            " background: rgba(255, 255, 255, 200); color: palette(text); }"
            "QPushButton:hover { background: white; }"
            "QPushButton:pressed { background: rgba(0, 0, 0, 20); }"
            "QPushButton:disabled { color: rgba(0, 0, 0, 110); background: rgba(255, 255, 255, 110); }"));
    }
}

// The address field starts on the search address, shown from its start.
void GGView::setUpAddressField()
{
    m_addressField->setFrame(false);
    m_addressField->setPlaceholderText(QStringLiteral("网址"));
    m_addressField->setFont(platform::interfaceFont(platform::InterfaceTextRole::caption));
    m_addressField->setTextMargins(6, 3, 6, 3);
    m_addressField->setStyleSheet(
        QStringLiteral("QLineEdit { background: rgba(0, 0, 0, 15); border: none; border-radius: 5px; }"));
    m_addressField->setText(m_searchURL.toString(QUrl::FullyEncoded));
    m_addressField->setCursorPosition(0);
    m_addressField->installEventFilter(this);
}

// The loading line and the message line, under the toolbar.
void GGView::buildStatusLines(QVBoxLayout *column)
{
    // A thin line under the toolbar runs while a page loads; it keeps its
    // place when idle so that the page does not jump.
    m_loadingLine->setRange(0, 100);
    m_loadingLine->setTextVisible(false);
    m_loadingLine->setFixedHeight(2);
    m_loadingLine->setAccessibleName(QStringLiteral("网页加载进度"));
    m_loadingLine->setStyleSheet(QStringLiteral("QProgressBar { border: none; background: transparent; }"
                                                "QProgressBar::chunk { background: palette(highlight); }"));
    QSizePolicy linePolicy = m_loadingLine->sizePolicy();
    linePolicy.setRetainSizeWhenHidden(true);
    m_loadingLine->setSizePolicy(linePolicy);
    m_loadingLine->hide();
    m_messageLine->setWordWrap(true);
    m_messageLine->setFont(platform::interfaceFont(platform::InterfaceTextRole::caption));
    m_messageLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_messageLine->setContentsMargins(6, 0, 8, 0);
    // As wide as the column, whatever it says: an address is fitted to it.
    m_messageLine->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_messageLine->installEventFilter(this);
    m_messageLine->hide();
    column->addWidget(m_loadingLine);
    column->addWidget(m_messageLine);
}

// The buttons act on the page on display; the address field loads what
// the user typed.
void GGView::connectToolbar()
{
    connect(m_buttons[int(Button::back)], &QPushButton::clicked, m_webView, &QWebEngineView::back);
    connect(m_buttons[int(Button::reload)], &QPushButton::clicked, m_webView, &QWebEngineView::reload);
    connect(m_buttons[int(Button::forward)], &QPushButton::clicked, m_webView, &QWebEngineView::forward);
    connect(m_buttons[int(Button::openInBrowser)], &QPushButton::clicked, this, [this] {
        if (const std::optional<QUrl> url = currentURL())
            platform::openInDefaultApplication(*url);
    });
    connect(m_buttons[int(Button::save)], &QPushButton::clicked, this, [this] { fetchCurrent(kDownloadAction); });
    connect(m_buttons[int(Button::replace)], &QPushButton::clicked, this, [this] { fetchCurrent(kReplaceAction); });
    connect(m_addressField, &QLineEdit::textEdited, this, [this] { m_isEditingURL = true; });
    connect(m_addressField, &QLineEdit::returnPressed, this, [this] {
        navigateToTypedURL();
        m_isEditingURL = false;
    });
}

// The address, the loading line, the message line and the fetch buttons
// follow the view's loads and fetches.
void GGView::followWebView()
{
    connect(m_webView, &WebView::currentURLChanged, this, &GGView::followPage);
    connect(m_webView, &WebView::loadingStateChanged, this, [this](bool loading) {
        showProgress(kLeastShownProgress);
        if (loading)
            m_messageLine->hide();
    });
    connect(m_webView, &WebView::loadProgressChanged, this, &GGView::showProgress);
    connect(m_webView, &WebView::loadTimedOut, this, [this](const QUrl &address) {
        showMessage(QStringLiteral("网页在 %1 秒内没有响应，已停止加载：").arg(m_webView->loadTimeout() / 1000.0), address);
    });
    connect(m_webView, &WebView::fetchingChanged, this, [this](bool fetching) {
        showFetchState();
        showProgress(kLeastShownProgress);
        if (fetching)
            m_messageLine->hide();
    });
    connect(m_webView, &WebView::fetchProgressChanged, this, &GGView::showProgress);
    // A download shows its progress as a fetch does, and says how it ended;
    // a PDF it brought is what the address field names.
    connect(m_webView, &WebView::downloadingChanged, this, [this](bool downloading) {
        showProgress(kLeastShownProgress);
        if (downloading)
            m_messageLine->hide();
    });
    connect(m_webView, &WebView::downloadProgressChanged, this, &GGView::showProgress);
    connect(m_webView, &WebView::downloadEnded, this, [this](const QString &message, const QUrl &address, bool failed) {
        showMessage(message, address, failed);
        if (!failed && !m_isEditingURL) {
            m_addressField->setText(address.toString(QUrl::FullyEncoded));
            m_addressField->setCursorPosition(0);
        }
    });
    connect(m_webView, &WebView::fetchTimedOut, this, [this](const QUrl &address) {
        showMessage(QStringLiteral("获取 PDF 在 %1 秒内没有进展，已停止：").arg(m_webView->loadTimeout() / 1000.0), address);
    });
}

void GGView::showProgress(int progress)
{
    m_loadingLine->setVisible(m_webView->isLoading() || m_webView->isFetching() || m_webView->isDownloading());
    m_loadingLine->setValue(std::max(progress, kLeastShownProgress));
}

void GGView::showMessage(const QString &text, const QUrl &address, bool failure)
{
    m_messageLine->setStyleSheet(failure ? QStringLiteral("QLabel { color: #c8001a; }") : QString());
    m_message = text;
    // Bounded to what a row could hold; the line's width cuts it further.
    m_messageAddress = elidedAddress(address.toDisplayString(), platform::kRowCharacters);
    fitMessage();
    m_messageLine->show();
}

// The message and its address on one line where they fit. Otherwise the
// address takes a line of its own, cut in the middle to the line's width,
// so that its end and the "…" stay in sight.
void GGView::fitMessage()
{
    const QFontMetrics metrics = m_messageLine->fontMetrics();
    const int width = m_messageLine->contentsRect().width() - 2 * m_messageLine->margin() - 1;
    const QString whole = m_message + m_messageAddress;
    if (metrics.horizontalAdvance(whole) <= width || width <= 0)
        m_messageLine->setText(whole);
    else
        m_messageLine->setText(m_message + QLatin1Char('\n')
                               + metrics.elidedText(m_messageAddress, Qt::ElideMiddle, width));
}

// While a fetch and the dialogs of its bytes are under way, its button says
// so and neither fetch button can be pressed.
void GGView::showFetchState()
{
    const QString action = m_webView->fetchAction();
    QPushButton *save = m_buttons[int(Button::save)];
    QPushButton *replace = m_buttons[int(Button::replace)];
    save->setText(action == kDownloadAction ? QStringLiteral("保存中…") : QStringLiteral("保存 PDF"));
    replace->setText(action == kReplaceAction ? QStringLiteral("替换中…") : QStringLiteral("替换"));
    save->setEnabled(action.isEmpty());
    replace->setEnabled(action.isEmpty());
}

void GGView::setSearchURL(const QUrl &searchURL)
{
    if (searchURL == m_searchURL)
        return;
    m_searchURL = searchURL;
    m_webView->setURL(searchURL);
    if (!m_isEditingURL) {
        m_addressField->setText(searchURL.toString(QUrl::FullyEncoded));
        m_addressField->setCursorPosition(0);
    }
}

QString GGView::urlBarText() const
{
    return m_addressField->text();
}

std::optional<QUrl> GGView::currentURL() const
{
    return m_webView->coordinator().currentURL();
}

QPushButton *GGView::button(Button which) const
{
    return m_buttons[int(which)];
}

void GGView::navigateToTypedURL()
{
    if (const std::optional<QUrl> url = typedAddress(urlBarText()))
        m_webView->loadAddress(*url);
}

void GGView::fetchPDFViaJS(const QUrl &url, const QString &action)
{
    m_webView->fetch(url, action);
}

void GGView::fetchCurrent(const QString &action)
{
    const std::optional<QUrl> url = currentURL();
    if (m_webView->isFetching())
        return;
    // A PDF the site gave as a download stands in for the page on display.
    if (m_webView->isDownloading())
        return m_webView->coordinator().refuseFetchWhileDownloading(action);
    if (m_webView->useHeldPDF(action) || !url)
        return;
    // While a page loads, the page on display is the one before it or the
    // start of the new one: neither is the finished page at `url`.
    if (m_webView->isLoading())
        return m_webView->coordinator().refuseFetchWhileLoading(action);
    // An error page stands in the place of the page that failed: it has
    // nothing to fetch, and the page before it is not the one on display.
    if (m_webView->coordinator().currentFailure())
        return m_webView->coordinator().refuseFetchOfFailedPage(action);
    fetchPDFViaJS(*url, action);
}

// The field follows the page on display unless the user is editing it.
void GGView::followPage()
{
    const std::optional<QUrl> url = currentURL();
    if (!url || m_isEditingURL)
        return;
    m_addressField->setText(url->toString(QUrl::FullyEncoded));
    m_addressField->setCursorPosition(0);
}

bool GGView::eventFilter(QObject *watched, QEvent *event)
{
    // A click into the address field starts editing.
    if (watched == m_addressField && event->type() == QEvent::MouseButtonPress)
        m_isEditingURL = true;
    if (watched == m_messageLine && event->type() == QEvent::Resize && !m_message.isNull())
        fitMessage();
    return QWidget::eventFilter(watched, event);
}

} // namespace folvan::scholar

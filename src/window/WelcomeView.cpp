#include "window/WelcomeView.h"

#include "history/ReadingHistory.h"
#include "historyview/RecentReadingList.h"
#include "platform/InterfaceFont.h"
#include "window/ContentView.h"
#include "window/PaneControls.h"
#include "window/PaneRules.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

namespace folvan::window {

namespace {

// The serif face of the date line: a CJK serif when one is installed.
QFont dateFont()
{
    QFont font;
    const QStringList serifs = {QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Serif SC"),
                                QStringLiteral("Source Han Serif SC"), QStringLiteral("Noto Serif")};
    QStringList families;
    for (const QString &family : serifs)
        if (QFontDatabase::hasFamily(family))
            families << family;
    if (!families.isEmpty())
        font.setFamilies(families);
    font.setStyleHint(QFont::Serif);
    font.setPixelSize(25);
    font.setWeight(QFont::Medium);
    return font;
}

QLabel *secondaryLabel(platform::InterfaceTextRole role, QWidget *parent)
{
    auto *label = new QLabel(parent);
    platform::useInterfaceFont(label, role);
    label->setAlignment(Qt::AlignHCenter);
    label->setWordWrap(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, secondaryTextColor());
    label->setPalette(palette);
    return label;
}

} // namespace

WelcomeView::WelcomeView(ContentView *pane, QWidget *parent)
    : QWidget(parent)
    , m_pane(pane)
    , m_clock([] { return QDateTime::currentDateTime(); })
    , m_date(new QLabel(this))
    , m_greeting(secondaryLabel(platform::InterfaceTextRole::callout, this))
    , m_open(new QPushButton(QStringLiteral("打开 PDF"), this))
    , m_hint(secondaryLabel(platform::InterfaceTextRole::caption, this))
    , m_recent(nullptr)
{
    // The column itself is at most kMaxWidth wide; the side margins keep it
    // off the edges of a narrow pane.
    setMaximumWidth(kMaxWidth + 2 * kSideMargin);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(kSideMargin, kTopInset, kSideMargin, 24);
    column->setSpacing(8);

    m_date->setFont(dateFont());
    m_date->setAlignment(Qt::AlignHCenter);
    column->addWidget(m_date);
    column->addSpacing(10);
    column->addWidget(m_greeting);
    column->addSpacing(14);

    m_open->setIcon(tintedSymbol(QStringLiteral("plus"), Qt::white));
    platform::useInterfaceFont(m_open, platform::InterfaceTextRole::body, QFont::Medium);
    m_open->setCursor(Qt::PointingHandCursor);
    m_open->setDefault(true);
    const QColor accent = accentColor();
    m_open->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none;"
                                         " border-radius: 7px; padding: 6px 16px; }"
                                         "QPushButton:hover { background: %2; }"
                                         "QPushButton:pressed { background: %3; }")
                              .arg(accent.name(), accent.lighter(110).name(), accent.darker(115).name()));
    connect(m_open, &QPushButton::clicked, this, [this] {
        if (m_pane)
            m_pane->controller()->selectAndOpenPDF();
    });
    column->addWidget(m_open, 0, Qt::AlignHCenter);
    column->addSpacing(6);
    m_hint->setText(QStringLiteral("拖放论文到窗口，也可按 ") + nativeShortcut(QStringLiteral("Ctrl+O")));
    column->addWidget(m_hint);
    column->addSpacing(18);

    QPointer<ContentView> weak(pane);
    m_recent = new historyview::RecentReadingList(&pane->controller()->history(), [weak](const QString &path) {
        if (weak)
            weak->controller()->loadPDF(QUrl::fromLocalFile(path));
    }, this);
    column->addWidget(m_recent);
    column->addStretch(1);
    refresh();
}

QString WelcomeView::currentDate() const
{
    return welcomeDateLine(m_clock());
}

QString WelcomeView::currentGreeting() const
{
    return greetingMessage(m_clock().time().hour());
}

void WelcomeView::setClock(std::function<QDateTime()> clock)
{
    m_clock = std::move(clock);
    refresh();
}

void WelcomeView::refresh()
{
    m_date->setText(currentDate());
    m_greeting->setText(currentGreeting());
}

void WelcomeView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}

} // namespace folvan::window

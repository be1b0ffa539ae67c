#include "interface/HelpOverlays.h"

#include "interface/ReaderHelpContent.h"
#include "platform/Icons.h"
#include "window/PaneControls.h"
#include "window/PaneFont.h"

#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QVariantAnimation>
#include <QVBoxLayout>

namespace folvan::interface {

namespace {

using window::PaneFontRole;

// A panel of fixed size with rounded corners on a light, even fill (the
// stand-in for a translucent material).
class RoundedPanel : public QWidget {
public:
    RoundedPanel(QSize size, qreal radius, QColor fill, QWidget *parent)
        : QWidget(parent), m_radius(radius), m_fill(fill)
    {
        setFixedSize(size);
        setAttribute(Qt::WA_TranslucentBackground);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()), m_radius, m_radius);
        painter.fillPath(path, m_fill);
    }
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }

private:
    qreal m_radius;
    QColor m_fill;
};

QFrame *horizontalRule(QWidget *parent)
{
    auto *rule = new QFrame(parent);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Plain);
    rule->setStyleSheet(QStringLiteral("color: rgba(0, 0, 0, 30);"));
    return rule;
}

// The page dots of the guide: one per step, the current one in its colour.
class PageDots : public QWidget {
public:
    PageDots(const QList<OnboardStep> &steps, const int *current, QWidget *parent)
        : QWidget(parent), m_steps(steps), m_current(current)
    {
        setFixedSize(int(steps.size()) * 6 + (int(steps.size()) - 1) * 7, 6);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        QColor faint = window::secondaryTextColor();
        faint.setAlphaF(0.3);
        for (int i = 0; i < m_steps.size(); ++i) {
            painter.setBrush(i == *m_current ? m_steps[*m_current].color : faint);
            painter.drawEllipse(QRectF(i * 13, 0, 6, 6));
        }
    }

private:
    QList<OnboardStep> m_steps;
    const int *m_current;
};

// The step's symbol in its colour on a faint disc of the same colour.
QPixmap stepSymbol(const OnboardStep &step, qreal devicePixelRatio)
{
    QPixmap pixmap(QSize(80, 80) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor disc = step.color;
    disc.setAlphaF(0.12);
    painter.setPen(Qt::NoPen);
    painter.setBrush(disc);
    painter.drawEllipse(QRectF(0, 0, 80, 80));
    window::tintedSymbol(step.icon, step.color, 30).paint(&painter, QRect(25, 25, 30, 30));
    return pixmap;
}

} // namespace

// ---- Help overlay -------------------------------------------------------------------

ShortcutsView::ShortcutsView(const QList<HelpCommand> &commands, std::function<void()> close,
                             std::function<void()> replay, QWidget *parent)
    : QWidget(parent)
    , m_panel(new RoundedPanel(QSize(560, 550), 16, QColor(246, 246, 248), this))
    , m_close(std::move(close))
{
    setFocusPolicy(Qt::StrongFocus);
    auto *column = new QVBoxLayout(m_panel);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(20, 20, 20, 20);
    auto *title = new QLabel(QStringLiteral("Folvan 使用帮助"), m_panel);
    window::usePaneFont(title, PaneFontRole::headline, QFont::DemiBold);
    header->addWidget(title);
    header->addStretch(1);
    auto *closeButton = new QToolButton(m_panel);
    closeButton->setIcon(platform::symbolIcon(QStringLiteral("xmark")));
    closeButton->setToolTip(QStringLiteral("关闭帮助"));
    closeButton->setAccessibleName(QStringLiteral("关闭帮助"));
    connect(closeButton, &QToolButton::clicked, this, [this] { m_close(); });
    header->addWidget(closeButton);
    column->addLayout(header);
    column->addWidget(horizontalRule(m_panel));

    auto *content = new ReaderHelpContent(commands, m_panel);
    content->viewport()->setAutoFillBackground(false);
    content->widget()->setAutoFillBackground(false);
    column->addWidget(content, 1);

    if (replay) {
        column->addWidget(horizontalRule(m_panel));
        auto *replayButton = new QPushButton(QStringLiteral("重新查看入门引导"), m_panel);
        connect(replayButton, &QPushButton::clicked, this, std::move(replay));
        auto *row = new QHBoxLayout;
        row->setContentsMargins(12, 12, 12, 12);
        row->addWidget(replayButton, 0, Qt::AlignCenter);
        column->addLayout(row);
    }
    auto *center = new QVBoxLayout(this);
    center->addWidget(m_panel, 0, Qt::AlignCenter);
}

// Escape closes the help before any shortcut of the window takes it.
bool ShortcutsView::event(QEvent *event)
{
    if (event->type() == QEvent::ShortcutOverride && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        event->accept();
        return true;
    }
    return QWidget::event(event);
}

void ShortcutsView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        m_close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ShortcutsView::mousePressEvent(QMouseEvent *event)
{
    // The panel takes its own clicks; this one fell on the backdrop.
    event->accept();
    m_close();
}

void ShortcutsView::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), QColor(0, 0, 0, int(0.25 * 255)));
}

void ShortcutsView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    setFocus(Qt::OtherFocusReason);
}

// ---- Onboarding ---------------------------------------------------------------------

QList<OnboardStep> OnboardingView::steps()
{
    return {
        {QStringLiteral("arrow.down.doc.fill"), QColor(0, 122, 255), QStringLiteral("拖放打开"),
         platformHelpText(QStringLiteral("将 PDF 拖到窗口打开；也可按 ⌘O。最近阅读可恢复各篇论文的进度与视角。"))},
        {QStringLiteral("magnifyingglass"), QColor(175, 82, 222), QStringLiteral("全文搜索"),
         platformHelpText(QStringLiteral("点击搜索或按 ⌘F。Enter 前往下一个结果，Shift+Enter 返回上一个，Esc 关闭搜索。"))},
        {QStringLiteral("book.fill"), QColor(88, 86, 214), QStringLiteral("翻书 / 滚动"),
         platformHelpText(QStringLiteral("移入右下角展开工具，切换翻书 / 滚动；也可按 ⌘⇧B。两种模式保留当前页，均支持选字与复制。"))},
        {QStringLiteral("g.circle.fill"), QColor(52, 199, 89), QStringLiteral("Scholar 侧栏"),
         platformHelpText(QStringLiteral("按 ⌘G 显示 Scholar 侧栏，自动用论文标题搜索。"))},
        {QStringLiteral("list.bullet.indent"), QColor(255, 149, 0), QStringLiteral("目录跳转"),
         platformHelpText(QStringLiteral("点击工具栏目录图标，使用 PDF 内置目录跳转。"))},
        {QStringLiteral("slider.horizontal.3"), QColor(48, 176, 199), QStringLiteral("设置与纸张"),
         platformHelpText(QStringLiteral("按 ⌘, 打开设置，调整纸张、阅读版式和续读等偏好。单页／双页由你手动选择，默认双页。"))},
    };
}

OnboardingView::OnboardingView(std::function<void()> finish, QWidget *parent)
    : QWidget(parent)
    , m_steps(steps())
    , m_finish(std::move(finish))
    , m_card(new RoundedPanel(QSize(380, 340), 20, QColor(250, 250, 252), this))
{
    auto *shadow = new QGraphicsDropShadowEffect(m_card);
    shadow->setColor(QColor(0, 0, 0, int(0.4 * 255)));
    shadow->setBlurRadius(32);
    shadow->setOffset(0, 0);
    m_card->setGraphicsEffect(shadow);

    auto *column = new QVBoxLayout(m_card);
    column->setContentsMargins(0, 26, 0, 26);
    column->setSpacing(0);
    m_dots = new PageDots(m_steps, &m_step, m_card);
    column->addWidget(m_dots, 0, Qt::AlignHCenter);
    column->addStretch(1);

    m_block = new QWidget(m_card);
    auto *block = new QVBoxLayout(m_block);
    block->setContentsMargins(0, 0, 0, 0);
    block->setSpacing(16);
    m_symbol = new QLabel(m_block);
    m_symbol->setFixedSize(80, 80);
    block->addWidget(m_symbol, 0, Qt::AlignHCenter);
    m_title = new QLabel(m_block);
    window::usePaneFont(m_title, PaneFontRole::title3, QFont::Bold);
    m_title->setAlignment(Qt::AlignCenter);
    block->addWidget(m_title);
    m_body = new QLabel(m_block);
    window::usePaneFont(m_body, PaneFontRole::callout);
    m_body->setWordWrap(true);
    m_body->setAlignment(Qt::AlignCenter);
    m_body->setContentsMargins(24, 0, 24, 0);
    QPalette palette = m_body->palette();
    palette.setColor(QPalette::WindowText, window::secondaryTextColor());
    m_body->setPalette(palette);
    block->addWidget(m_body);
    column->addWidget(m_block);
    column->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(28, 0, 28, 0);
    m_back = new QPushButton(QStringLiteral("上一步"), m_card);
    m_back->setFlat(true);
    m_back->setCursor(Qt::PointingHandCursor);
    m_back->setStyleSheet(QStringLiteral("QPushButton { border: none; background: transparent; color: %1; }")
                              .arg(window::secondaryTextColor().name()));
    connect(m_back, &QPushButton::clicked, this, [this] { showStep(m_step - 1); });
    buttons->addWidget(m_back);
    buttons->addStretch(1);
    m_primary = new QPushButton(m_card);
    m_primary->setCursor(Qt::PointingHandCursor);
    QFont primaryFont = m_primary->font();
    primaryFont.setWeight(QFont::DemiBold);
    m_primary->setFont(primaryFont);
    connect(m_primary, &QPushButton::clicked, this, [this] {
        if (m_step < m_steps.size() - 1)
            showStep(m_step + 1);
        else if (m_finish)
            m_finish();
    });
    buttons->addWidget(m_primary);
    column->addLayout(buttons);

    auto *center = new QVBoxLayout(this);
    center->addWidget(m_card, 0, Qt::AlignCenter);
    showStep(0);
}

void OnboardingView::showStep(int step)
{
    if (step < 0 || step >= m_steps.size())
        return;
    const bool changed = step != m_step;
    m_step = step;
    const OnboardStep &current = m_steps[step];
    m_symbol->setPixmap(stepSymbol(current, devicePixelRatioF()));
    m_title->setText(current.title);
    m_body->setText(current.body);
    m_back->setVisible(step > 0);
    m_primary->setText(step < m_steps.size() - 1 ? QStringLiteral("下一步") : QStringLiteral("开始阅读"));
    m_primary->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none;"
                                            " border-radius: 18px; padding: 10px 24px; }")
                                 .arg(current.color.name()));
    m_dots->update();
    if (!changed)
        return;
    // The new step fades in from a little to the right.
    auto *fade = new QGraphicsOpacityEffect(m_block);
    m_block->setGraphicsEffect(fade);
    auto *animation = new QVariantAnimation(m_block);
    animation->setDuration(300);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    QPointer<QGraphicsOpacityEffect> effect(fade);
    connect(animation, &QVariantAnimation::valueChanged, m_block, [this, effect](const QVariant &value) {
        const double t = value.toDouble();
        if (effect)
            effect->setOpacity(t);
        m_block->layout()->setContentsMargins(int(48 * (1 - t)), 0, 0, 0);
    });
    connect(animation, &QVariantAnimation::finished, m_block, [this] {
        m_block->setGraphicsEffect(nullptr);
        m_block->layout()->setContentsMargins(0, 0, 0, 0);
    });
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void OnboardingView::mousePressEvent(QMouseEvent *event)
{
    // The backdrop takes the click and does nothing with it.
    event->accept();
}

void OnboardingView::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), QColor(0, 0, 0, int(0.52 * 255)));
}

} // namespace folvan::interface

#include "interface/HelpOverlays.h"

#include "interface/ReaderHelpContent.h"
#include "platform/Icons.h"
#include "platform/InterfaceFont.h"
#include "platform/ReaderPreferences.h"
#include "platform/ReducedMotion.h"
#include "window/PaneControls.h"

#include <QFrame>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
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

#include <algorithm>
#include <cmath>

namespace folvan::interface {

namespace {

using platform::InterfaceTextRole;

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

// The guide's card.
constexpr QSize kCardSize(380, 340);
constexpr qreal kCardRadius = 20;
constexpr QColor kCardFill(250, 250, 252);
// Its shadow, and the room the shadow takes around it.
constexpr int kShadowBlur = 32;
constexpr int kShadowMargin = kShadowBlur + 8;

// The card's shadow as a picture, the card's place at (kShadowMargin,
// kShadowMargin). The guide draws it under the card itself: a shadow
// effect on the card would stand inside the opacity effect of the
// overlay's fade, and Qt does not draw one widget effect inside another
// (it warns of a second painter and the frame loses the card).
QImage cardShadow(qreal ratio)
{
    QGraphicsScene scene;
    QPainterPath outline;
    outline.addRoundedRect(QRectF(QPointF(), QSizeF(kCardSize)), kCardRadius, kCardRadius);
    QGraphicsPathItem *shape = scene.addPath(outline, Qt::NoPen, kCardFill);
    auto *shadow = new QGraphicsDropShadowEffect;
    shadow->setColor(QColor(0, 0, 0, int(0.4 * 255)));
    shadow->setBlurRadius(kShadowBlur);
    shadow->setOffset(0, 0);
    shape->setGraphicsEffect(shadow);
    const QRectF area(-kShadowMargin, -kShadowMargin, kCardSize.width() + 2 * kShadowMargin,
                      kCardSize.height() + 2 * kShadowMargin);
    QImage image((area.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(QPointF(), area.size()), area);
    return image;
}

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
    PageDots(int count, QWidget *parent)
        : QWidget(parent), m_colors(count)
    {
        setFixedSize(count * 6 + (count - 1) * 7, 6);
    }
    void setColors(const QList<QColor> &colors)
    {
        m_colors = colors;
        update();
    }
    const QList<QColor> &colors() const { return m_colors; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < m_colors.size(); ++i) {
            painter.setBrush(m_colors[i]);
            painter.drawEllipse(QRectF(i * 13, 0, 6, 6));
        }
    }

private:
    QList<QColor> m_colors;
};

// Where the step's block stands: the block fills it, moved sideways by the
// offset of a step change.
class StepStage : public QWidget {
public:
    using QWidget::QWidget;
    void setBlock(QWidget *block)
    {
        m_block = block;
        place(block, 0);
        updateGeometry();
    }
    void place(QWidget *widget, int offset) { widget->setGeometry(offset, 0, width(), height()); }
    QSize sizeHint() const override { return m_block ? m_block->sizeHint() : QSize(); }
    QSize minimumSizeHint() const override { return m_block ? m_block->minimumSizeHint() : QSize(); }
    bool hasHeightForWidth() const override { return m_block && m_block->hasHeightForWidth(); }
    int heightForWidth(int width) const override { return m_block ? m_block->heightForWidth(width) : -1; }

protected:
    void resizeEvent(QResizeEvent *) override
    {
        for (QWidget *child : findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            place(child, child->x());
    }

private:
    QWidget *m_block = nullptr;
};

// The slide of a step change, in pixels.
constexpr int kStepSlide = 24;

// A picture of a step's block drawn at an opacity (its "opacity"
// property), its height centred in the stage.
class StepPicture : public QWidget {
public:
    StepPicture(const QPixmap &pixmap, QWidget *parent) : QWidget(parent), m_pixmap(pixmap)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setOpacity(1);
    }
    const QPixmap &pixmap() const { return m_pixmap; }
    double opacity() const { return m_opacity; }
    void setOpacity(double opacity)
    {
        opacity = std::clamp(opacity, 0.0, 1.0);
        setProperty("opacity", opacity);
        if (opacity == m_opacity)
            return;
        m_opacity = opacity;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setOpacity(m_opacity);
        const double height = m_pixmap.height() / m_pixmap.devicePixelRatio();
        painter.drawPixmap(QPointF(0, (this->height() - height) / 2), m_pixmap);
    }

private:
    QPixmap m_pixmap;
    double m_opacity = -1;
};

// A colour between `from` and `to`, `t` of the way (0...1).
QColor mix(const QColor &from, const QColor &to, double t)
{
    return QColor::fromRgbF(from.redF() + (to.redF() - from.redF()) * t, from.greenF() + (to.greenF() - from.greenF()) * t,
                            from.blueF() + (to.blueF() - from.blueF()) * t,
                            from.alphaF() + (to.alphaF() - from.alphaF()) * t);
}

QString cssColor(const QColor &color)
{
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(QString::number(color.alphaF(), 'f', 3));
}

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
    platform::useInterfaceFont(title, InterfaceTextRole::headline, QFont::DemiBold);
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
         platformHelpText(QStringLiteral("将 PDF 拖到窗口打开；也可按 {Ctrl+O}。最近阅读可恢复各篇论文的进度与视角。"))},
        {QStringLiteral("magnifyingglass"), QColor(175, 82, 222), QStringLiteral("全文搜索"),
         platformHelpText(QStringLiteral("点击搜索或按 {Ctrl+F}。Enter 前往下一个结果，{Shift+Enter} 返回上一个，Esc 关闭搜索。"))},
        {QStringLiteral("book.fill"), QColor(88, 86, 214), QStringLiteral("翻书 / 滚动"),
         platformHelpText(QStringLiteral("移入右下角展开工具，切换翻书 / 滚动；也可按 {Ctrl+Shift+B}。两种模式保留当前页，均支持选字与复制。"))},
        {QStringLiteral("g.circle.fill"), QColor(52, 199, 89), QStringLiteral("Scholar 侧栏"),
         platformHelpText(QStringLiteral("按 {Ctrl+G} 显示 Scholar 侧栏，自动用论文标题搜索。"))},
        {QStringLiteral("list.bullet.indent"), QColor(255, 149, 0), QStringLiteral("目录跳转"),
         platformHelpText(QStringLiteral("点击工具栏目录图标，使用 PDF 内置目录跳转。"))},
        {QStringLiteral("slider.horizontal.3"), QColor(48, 176, 199), QStringLiteral("设置与纸张"),
         platformHelpText(QStringLiteral("按 {Ctrl+,} 打开设置，调整纸张、阅读版式和续读等偏好。单页／双页由你手动选择，默认双页。"))},
    };
}

namespace {

// The guide's springs, as a mass on a spring released at rest: `response`
// is the period of the undamped spring, `damping` the fraction of critical
// damping. Each runs until less than a thousandth of its way is left.
double springProgress(double seconds, double response, double damping)
{
    const double omega = 2 * M_PI / response;
    if (damping >= 1)
        return 1 - std::exp(-omega * seconds) * (1 + omega * seconds);
    const double damped = omega * std::sqrt(1 - damping * damping);
    return 1 - std::exp(-damping * omega * seconds)
                   * (std::cos(damped * seconds) + damping * omega / damped * std::sin(damped * seconds));
}

// The step change: response 0.3 s, damping 0.825 (a slight overshoot).
constexpr double kStepSpringSeconds = 0.40;
qreal stepSpring(qreal progress)
{
    return progress >= 1 ? 1.0 : springProgress(progress * kStepSpringSeconds, 0.3, 0.825);
}

// The dots and the primary button: response 0.5 s, critically damped.
constexpr double kColorSpringSeconds = 0.74;
qreal colorSpring(qreal progress)
{
    return progress >= 1 ? 1.0 : springProgress(progress * kColorSpringSeconds, 0.5, 1.0);
}

QEasingCurve curveOf(qreal (*function)(qreal))
{
    QEasingCurve curve;
    curve.setCustomType(function);
    return curve;
}

// The buttons' text: the body size of the default interface text size,
// whatever that is set to. Set on the buttons themselves: under their own
// style sheets they take no font from the guide as it changes, and the
// size they were measured at and the size they were drawn at could part.
QFont guideButtonFont(QFont::Weight weight)
{
    QFont font = platform::interfaceFont(InterfaceTextRole::body, weight);
    const double size = platform::ReaderPreferences::defaultInterfaceSize();
    font.setPointSizeF(platform::interfaceFontSize(InterfaceTextRole::body, size) * platform::kQtPointsPerInterfacePoint);
    return font;
}

int milliseconds(double seconds)
{
    return int(std::lround(seconds * 1000));
}

} // namespace

OnboardingView::OnboardingView(std::function<void()> finish, QWidget *parent)
    : QWidget(parent)
    , m_steps(steps())
    , m_finish(std::move(finish))
    , m_card(new RoundedPanel(kCardSize, kCardRadius, kCardFill, this))
{
    auto *column = new QVBoxLayout(m_card);
    column->setContentsMargins(0, 26, 0, 26);
    column->setSpacing(0);
    auto *dots = new PageDots(int(m_steps.size()), m_card);
    m_dots = dots;
    column->addWidget(m_dots, 0, Qt::AlignHCenter);
    column->addStretch(1);

    auto *stage = new StepStage(m_card);
    m_stage = stage;
    m_block = new QWidget(stage);
    auto *block = new QVBoxLayout(m_block);
    block->setContentsMargins(0, 0, 0, 0);
    block->setSpacing(16);
    m_symbol = new QLabel(m_block);
    m_symbol->setFixedSize(80, 80);
    block->addWidget(m_symbol, 0, Qt::AlignHCenter);
    m_title = new QLabel(m_block);
    platform::useInterfaceFont(m_title, InterfaceTextRole::title3, QFont::Bold);
    m_title->setAlignment(Qt::AlignCenter);
    block->addWidget(m_title);
    m_body = new QLabel(m_block);
    platform::useInterfaceFont(m_body, InterfaceTextRole::callout);
    m_body->setTextFormat(Qt::RichText);
    m_body->setWordWrap(true);
    m_body->setAlignment(Qt::AlignCenter);
    m_body->setContentsMargins(24, 0, 24, 0);
    QPalette palette = m_body->palette();
    palette.setColor(QPalette::WindowText, window::secondaryTextColor());
    m_body->setPalette(palette);
    block->addWidget(m_body);
    stage->setBlock(m_block);
    column->addWidget(m_stage);
    column->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(28, 0, 28, 0);
    m_back = new QPushButton(QStringLiteral("上一步"), m_card);
    m_back->setFlat(true);
    m_back->setCursor(Qt::PointingHandCursor);
    m_back->setFont(guideButtonFont(QFont::Normal));
    // A little room on the sides: a glyph may reach past its advance.
    m_back->setStyleSheet(
        QStringLiteral("QPushButton { border: none; background: transparent; color: %1; padding: 2px 3px; }")
            .arg(cssColor(window::secondaryTextColor())));
    connect(m_back, &QPushButton::clicked, this, [this] { showStep(m_step - 1); });
    buttons->addWidget(m_back);
    buttons->addStretch(1);
    m_primary = new QPushButton(m_card);
    m_primary->setCursor(Qt::PointingHandCursor);
    m_primary->setFont(guideButtonFont(QFont::DemiBold));
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
    dots->setColors(dotColors(0));
    paintPrimary(m_steps[0].color);
    fillBlock(0);
    m_back->setVisible(false);
    m_primary->setText(QStringLiteral("下一步"));
}

QList<QColor> OnboardingView::dotColors(int step) const
{
    QColor faint = window::secondaryTextColor();
    faint.setAlphaF(0.3);
    QList<QColor> colors;
    for (int i = 0; i < m_steps.size(); ++i)
        colors.append(i == step ? m_steps[step].color : faint);
    return colors;
}

QList<QColor> OnboardingView::shownDotColors() const
{
    return static_cast<PageDots *>(m_dots)->colors();
}

void OnboardingView::paintPrimary(const QColor &color)
{
    m_primaryColor = color;
    m_primary->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none;"
                                            " border-radius: 18px; padding: 10px 24px; }")
                                 .arg(cssColor(color)));
}

// The symbol, title and body of a step; the body with its lines 3 pixels
// apart.
void OnboardingView::fillBlock(int step)
{
    const OnboardStep &current = m_steps[step];
    m_symbol->setPixmap(stepSymbol(current, devicePixelRatioF()));
    m_title->setText(current.title);
    m_body->setText(QStringLiteral("<p align=\"center\" style=\"-qt-line-height-type: line-distance; line-height: 3px;\">")
                    + unbrokenShortcuts(current.body).toHtmlEscaped() + QStringLiteral("</p>"));
}

void OnboardingView::showStep(int step)
{
    if (step < 0 || step >= m_steps.size() || step == m_step)
        return;
    // A change that comes while the last one still runs starts from where
    // that one stands now.
    if (m_transition)
        m_transition->stop();
    if (m_colors)
        m_colors->stop();
    auto *stage = static_cast<StepStage *>(m_stage);
    const bool animate = !platform::systemReducesMotion();
    const QList<QColor> fromDots = shownDotColors();
    const QColor fromPrimary = m_primaryColor;
    QPixmap leaving;
    double leavingOpacity = 1;
    int leavingX = 0;
    if (auto *arriving = static_cast<StepPicture *>(arrivingStep())) {
        leaving = arriving->pixmap();
        leavingOpacity = arriving->opacity();
        leavingX = arriving->x();
    } else if (animate && m_block->isVisible()) {
        leaving = blockPicture();
    }
    for (QWidget *old : {leavingStep(), arrivingStep()})
        delete old;

    m_step = step;
    fillBlock(step);
    m_back->setVisible(step > 0);
    m_primary->setText(step < m_steps.size() - 1 ? QStringLiteral("下一步") : QStringLiteral("开始阅读"));
    auto *dots = static_cast<PageDots *>(m_dots);
    const QList<QColor> toDots = dotColors(step);
    const QColor toPrimary = m_steps[step].color;
    if (!animate) {
        stage->place(m_block, 0);
        dots->setColors(toDots);
        paintPrimary(toPrimary);
        return;
    }

    // The dots and the button move to the step's colour on the softer spring.
    auto *colors = new QVariantAnimation(this);
    colors->setDuration(milliseconds(kColorSpringSeconds));
    colors->setStartValue(fromPrimary);
    colors->setEndValue(toPrimary);
    colors->setEasingCurve(curveOf(colorSpring));
    connect(colors, &QVariantAnimation::valueChanged, this, [this, dots, fromDots, toDots, colors](const QVariant &value) {
        const double t = colors->easingCurve().valueForProgress(colors->currentTime() / double(colors->duration()));
        QList<QColor> shown;
        for (int i = 0; i < toDots.size(); ++i)
            shown.append(mix(fromDots.value(i, toDots[i]), toDots[i], t));
        dots->setColors(shown);
        paintPrimary(value.value<QColor>());
    });
    m_colors = colors;
    colors->start(QAbstractAnimation::DeleteWhenStopped);

    // The old block fades and slides out to the left while the new one
    // fades and slides in from the right. Both move as pictures drawn at
    // their opacity, the new block standing aside meanwhile: an opacity
    // effect of their own would stand inside the overlay's fade, and an
    // effect inside another is not drawn reliably (pixels of the old step
    // stayed on the screen).
    // The block is pictured at the size its new text takes.
    m_block->layout()->invalidate();
    stage->updateGeometry();
    m_card->layout()->activate();
    stage->place(m_block, 0);
    m_block->layout()->activate();
    const QPixmap arrivingPicture = blockPicture();
    stage->place(m_block, stage->width() + kStepSlide * 4);
    QPointer<StepPicture> ghost;
    if (!leaving.isNull()) {
        ghost = new StepPicture(leaving, stage);
        ghost->setObjectName(QStringLiteral("leavingStep"));
        ghost->setOpacity(leavingOpacity);
        stage->place(ghost, leavingX);
        ghost->show();
    }
    QPointer<StepPicture> incoming = new StepPicture(arrivingPicture, stage);
    incoming->setObjectName(QStringLiteral("arrivingStep"));
    incoming->setOpacity(0);
    stage->place(incoming, kStepSlide);
    incoming->show();

    auto *transition = new QVariantAnimation(this);
    transition->setDuration(milliseconds(kStepSpringSeconds));
    transition->setStartValue(0.0);
    transition->setEndValue(1.0);
    transition->setEasingCurve(curveOf(stepSpring));
    connect(transition, &QVariantAnimation::valueChanged, stage,
            [stage, ghost, incoming, leavingOpacity, leavingX](const QVariant &value) {
                const double t = value.toDouble();
                if (ghost) {
                    stage->place(ghost, int(std::lround(leavingX + (-kStepSlide - leavingX) * t)));
                    ghost->setOpacity(leavingOpacity * (1 - t));
                }
                if (incoming) {
                    stage->place(incoming, int(std::lround(kStepSlide * (1 - t))));
                    incoming->setOpacity(t);
                }
            });
    connect(transition, &QAbstractAnimation::finished, this, [this, stage, ghost, incoming] {
        delete ghost.data();
        delete incoming.data();
        stage->place(m_block, 0);
        m_card->update();
    });
    m_transition = transition;
    transition->start(QAbstractAnimation::DeleteWhenStopped);
}

// The block as it stands, on nothing: the card shows through.
QPixmap OnboardingView::blockPicture() const
{
    QPixmap picture(m_block->size() * devicePixelRatioF());
    picture.setDevicePixelRatio(devicePixelRatioF());
    picture.fill(Qt::transparent);
    m_block->render(&picture, QPoint(), QRegion(), QWidget::DrawChildren);
    return picture;
}

QWidget *OnboardingView::leavingStep() const
{
    return m_stage->findChild<QWidget *>(QStringLiteral("leavingStep"), Qt::FindDirectChildrenOnly);
}

QWidget *OnboardingView::arrivingStep() const
{
    return m_stage->findChild<QWidget *>(QStringLiteral("arrivingStep"), Qt::FindDirectChildrenOnly);
}

void OnboardingView::mousePressEvent(QMouseEvent *event)
{
    // The backdrop takes the click and does nothing with it.
    event->accept();
}

void OnboardingView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, int(0.52 * 255)));
    if (m_cardShadow.isNull() || !qFuzzyCompare(m_cardShadow.devicePixelRatio(), devicePixelRatioF()))
        m_cardShadow = cardShadow(devicePixelRatioF());
    painter.drawImage(m_card->geometry().topLeft() - QPoint(kShadowMargin, kShadowMargin), m_cardShadow);
}

} // namespace folvan::interface

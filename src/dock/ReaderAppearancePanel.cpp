#include "dock/ReaderAppearancePanel.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "annotationsview/ViewStyle.h"
#include "dock/PanelParts.h"
#include "dock/PaperPresetPicker.h"
#include "dock/PreferenceControls.h"
#include "dock/ReaderControlButtonStyle.h"
#include "platform/BookSettings.h"
#include "platform/InterfaceFont.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/ReaderPreferences.h"

namespace folvan::dock {

namespace {

// The tilt slider moves in whole degrees over the book's tilt range.
const platform::BookSetting &kAngle = platform::booksetting::angle;
// The zoom slider moves in thousandths from 0.5 to 4.
constexpr int kZoomSteps = 3500;

platform::Preferences &defaults()
{
    return platform::Preferences::shared();
}

QString wholeNumber(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("—");
    // std::round takes halves away from zero; adding 0 turns -0 into 0.
    return QString::number(std::round(value) + 0.0, 'f', 0);
}

// A label, a flexible space and a readout in digits of one width.
QHBoxLayout *valueRow(const QString &title, QLabel *readout)
{
    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(title));
    row->addStretch(1);
    platform::useInterfaceFont(readout, platform::InterfaceTextRole::body, std::nullopt, true);
    annotationsview::useSecondaryColor(readout);
    row->addWidget(readout);
    return row;
}

} // namespace

QString ReaderAppearancePanel::angleReadout(double angle)
{
    return wholeNumber(angle) + QStringLiteral("°");
}

QString ReaderAppearancePanel::zoomReadout(double zoom)
{
    return wholeNumber(zoom * 100) + QStringLiteral("%");
}

ReaderAppearancePanel::ReaderAppearancePanel(AppearanceBindings bindings, QWidget *parent)
    : QWidget(parent)
    , m_bindings(std::move(bindings))
{
    platform::useInterfaceFont(this, platform::InterfaceTextRole::body);
    setFixedWidth(280);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 20);
    column->setSpacing(14);

    auto *title = new QLabel(QStringLiteral("阅读外观"), this);
    platform::useInterfaceFont(title, platform::InterfaceTextRole::headline);
    column->addWidget(title);

    m_angleReadout = new QLabel(this);
    column->addLayout(valueRow(QStringLiteral("仰角"), m_angleReadout));
    m_angleSlider = new QSlider(Qt::Horizontal, this);
    m_angleSlider->setRange(int(kAngle.lowest), int(kAngle.highest));
    m_angleSlider->setAccessibleName(QStringLiteral("仰角"));
    column->addWidget(m_angleSlider);
    connect(m_angleSlider, &QSlider::valueChanged, this, [this](int degrees) {
        if (m_bindings.setAngle)
            m_bindings.setAngle(double(degrees));
        refresh();
    });

    m_zoomReadout = new QLabel(this);
    column->addLayout(valueRow(QStringLiteral("缩放"), m_zoomReadout));
    m_zoomSlider = new QSlider(Qt::Horizontal, this);
    m_zoomSlider->setRange(0, kZoomSteps);
    m_zoomSlider->setAccessibleName(QStringLiteral("缩放"));
    column->addWidget(m_zoomSlider);
    connect(m_zoomSlider, &QSlider::valueChanged, this, [this](int position) {
        const double zoom = position == kZoomSteps
                                ? platform::kMaxZoom
                                : platform::kMinZoom + position * (platform::kMaxZoom - platform::kMinZoom) / kZoomSteps;
        if (m_bindings.onZoom)
            m_bindings.onZoom(zoom);
        refresh();
    });

    m_reset = controlButton(QString(), QStringLiteral("复位视角与缩放"), QString(), QString(), this);
    m_reset->setToolTip(QKeySequence(Qt::CTRL | Qt::Key_0).toString(QKeySequence::NativeText));
    connect(m_reset, &QToolButton::clicked, this, &ReaderAppearancePanel::resetView);
    column->addWidget(m_reset, 0, Qt::AlignLeft);

    if (m_bindings.isBook)
        column->addWidget(buildBookGroup());

    m_hint = new QLabel(m_bindings.isBook ? QStringLiteral("滚轮翻页 · 捏合缩放 · 放大后 Shift 滚动平移")
                                          : QStringLiteral("双指滚动 · 捏合缩放"),
                        this);
    m_hint->setWordWrap(true);
    platform::useInterfaceFont(m_hint, platform::InterfaceTextRole::caption);
    annotationsview::useSecondaryColor(m_hint);
    column->addWidget(m_hint);

    applyControlButtonStyle(this);
    if (m_bindings.onPaneChanged)
        m_bindings.onPaneChanged([self = QPointer(this)] {
            if (self)
                self->refresh();
        });
    refresh();
}

QWidget *ReaderAppearancePanel::buildBookGroup()
{
    m_bookGroup = new QWidget(this);
    auto *column = new QVBoxLayout(m_bookGroup);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(14);
    column->addWidget(panelDivider(m_bookGroup));

    auto *layoutRow = new QHBoxLayout;
    layoutRow->addWidget(new QLabel(QStringLiteral("版式"), m_bookGroup));
    layoutRow->addStretch(1);
    m_single = new QPushButton(QStringLiteral("单页"), m_bookGroup);
    m_spread = new QPushButton(QStringLiteral("双页"), m_bookGroup);
    layoutRow->setSpacing(0);
    for (const auto &choice : {std::pair(m_single, platform::BookLayout::Single), std::pair(m_spread, platform::BookLayout::Spread)}) {
        QPushButton *button = choice.first;
        const platform::BookLayout layout = choice.second;
        button->setCheckable(true);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        connect(button, &QPushButton::clicked, this, [this, layout] { chooseLayout(layout); });
        layoutRow->addWidget(button);
    }
    column->addLayout(layoutRow);
    if (!hasLayoutBinding())
        followKeys(m_bookGroup, {platform::prefkey::pageLayout}, [this] { refreshLayout(); });

    m_presets = new PaperPresetPicker(paperPresets(), m_bookGroup);
    column->addWidget(m_presets);

    auto sliderRow = [&](const QString &title, const QString &key, const QString &help) {
        auto *row = new QHBoxLayout;
        row->addWidget(new QLabel(title, m_bookGroup));
        QSlider *slider = boundSlider(key, title, m_bookGroup);
        slider->setToolTip(help);
        row->addWidget(slider, 1);
        column->addLayout(row);
        return slider;
    };
    m_warmth = sliderRow(QStringLiteral("色温"), platform::prefkey::paperWarmth, QStringLiteral("冷白 → 暖黄"));
    m_grain = sliderRow(QStringLiteral("纹理"), platform::prefkey::paperGrain, QStringLiteral("细腻 → 粗糙"));

    m_reducedMotion = boundToggle(QStringLiteral("减少翻页动态"), platform::prefkey::reducedBookMotion, m_bookGroup);
    column->addWidget(m_reducedMotion);

    m_restorePaper = controlButton(QString(), QStringLiteral("恢复默认纸张"), QString(), QString(), m_bookGroup);
    connect(m_restorePaper, &QToolButton::clicked, this, &ReaderAppearancePanel::restorePaper);
    column->addWidget(m_restorePaper, 0, Qt::AlignLeft);
    return m_bookGroup;
}

void ReaderAppearancePanel::resetView()
{
    if (m_bindings.setAngle)
        m_bindings.setAngle(0);
    if (m_bindings.onZoom)
        m_bindings.onZoom(1.0);
    refresh();
}

void ReaderAppearancePanel::restorePaper()
{
    for (const QLatin1String key : {platform::prefkey::paperWarmth, platform::prefkey::paperGrain})
        defaults().setValue(key, platform::Preferences::defaultValue(key));
}

void ReaderAppearancePanel::refresh()
{
    const double angle = m_bindings.angle ? m_bindings.angle() : 0;
    const double zoom = m_bindings.zoom ? m_bindings.zoom() : 1;
    m_angleReadout->setText(angleReadout(angle));
    m_zoomReadout->setText(zoomReadout(zoom));
    {
        // Showing the pane's values writes nothing back.
        const QSignalBlocker quietAngle(m_angleSlider);
        const QSignalBlocker quietZoom(m_zoomSlider);
        if (std::isfinite(angle))
            m_angleSlider->setValue(int(std::lround(kAngle.held(angle))));
        if (std::isfinite(zoom))
            m_zoomSlider->setValue(int(std::lround((std::clamp(zoom, platform::kMinZoom, platform::kMaxZoom) - platform::kMinZoom) *
                                                   kZoomSteps / (platform::kMaxZoom - platform::kMinZoom))));
    }
    if (m_bookGroup)
        refreshLayout();
}

bool ReaderAppearancePanel::hasLayoutBinding() const
{
    return m_bindings.pageLayout && m_bindings.setPageLayout;
}

std::optional<platform::BookLayout> ReaderAppearancePanel::layout() const
{
    if (hasLayoutBinding())
        if (const auto layout = m_bindings.pageLayout())
            return layout;
    return defaults().enumValue<platform::BookLayout>(platform::prefkey::pageLayout);
}

void ReaderAppearancePanel::chooseLayout(platform::BookLayout layout)
{
    if (hasLayoutBinding())
        m_bindings.setPageLayout(layout);
    else
        defaults().setValue(platform::prefkey::pageLayout, platform::toText(layout));
    refreshLayout();
}

void ReaderAppearancePanel::refreshLayout()
{
    const std::optional<platform::BookLayout> current = layout();
    m_single->setChecked(current == platform::BookLayout::Single);
    m_spread->setChecked(current == platform::BookLayout::Spread);
}

} // namespace folvan::dock

#include "annotationsview/ViewStyle.h"

#include <QApplication>
#include <QPalette>

#include <algorithm>

#include "platform/InterfaceFont.h"
#include "platform/Preferences.h"
#include "platform/ReaderPreferences.h"

namespace folvan::annotationsview {

QFont readerFont(TextRole role)
{
    switch (role) {
    case TextRole::headline: return platform::interfaceFont(platform::InterfaceTextRole::headline);
    case TextRole::caption: return platform::interfaceFont(platform::InterfaceTextRole::caption);
    case TextRole::body: break;
    }
    return platform::interfaceFont(platform::InterfaceTextRole::body);
}

void onInterfaceSizeChange(QObject *context, std::function<void()> follow)
{
    QObject::connect(&platform::Preferences::shared(), &platform::Preferences::valueChanged, context,
                     [follow = std::move(follow)](const QString &key) {
                         if (key == QLatin1String(platform::kInterfaceTextSizeKey))
                             follow();
                     });
}

namespace {

const char *const kRoleProperty = "readerFontRole";
const char *const kLinesProperty = "readerFontLines";

void applyReaderFont(QWidget *widget)
{
    widget->setFont(readerFont(TextRole(widget->property(kRoleProperty).toInt())));
    // Lines past the last one are cut off below it.
    if (const int lines = widget->property(kLinesProperty).toInt(); lines > 0)
        widget->setMaximumHeight(lines * QFontMetrics(widget->font()).lineSpacing() + 2);
}

} // namespace

void useReaderFont(QWidget *widget, TextRole role)
{
    const bool following = widget->property(kRoleProperty).isValid();
    widget->setProperty(kRoleProperty, int(role));
    applyReaderFont(widget);
    if (!following)
        onInterfaceSizeChange(widget, [widget] { applyReaderFont(widget); });
}

QColor secondaryTextColor()
{
    QColor color = QApplication::palette().color(QPalette::WindowText);
    color.setAlphaF(0.6);
    return color;
}

QColor popoverBackground()
{
    return QApplication::palette().color(QPalette::Window).lighter(104);
}

} // namespace folvan::annotationsview

#include <QPainter>
#include <QPixmap>

namespace folvan::annotationsview {

QColor widgetColor(const engine::PdfColor &color, bool opaque)
{
    return QColor::fromRgbF(float(std::clamp(color.red, 0.0, 1.0)), float(std::clamp(color.green, 0.0, 1.0)),
                            float(std::clamp(color.blue, 0.0, 1.0)),
                            opaque ? 1.0f : float(std::clamp(color.alpha, 0.0, 1.0)));
}

QColor swatchColor(MarkupColor color)
{
    return widgetColor(color.color(QStringLiteral("highlight")), true);
}

QPixmap colorDot(const QColor &color, int diameter, qreal pixelRatio)
{
    QPixmap pixmap(QSize(diameter, diameter) * pixelRatio);
    pixmap.setDevicePixelRatio(pixelRatio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0, 0, diameter, diameter));
    return pixmap;
}

void useSecondaryColor(QWidget *widget)
{
    // As a style sheet of its own, so that a host's style sheet does not
    // override it.
    const QColor color = secondaryTextColor();
    widget->setStyleSheet(QStringLiteral("color: rgba(%1, %2, %3, %4);")
                              .arg(color.red())
                              .arg(color.green())
                              .arg(color.blue())
                              .arg(color.alpha()));
}

QLabel *makeLinesLabel(const QString &text, TextRole role, int maxLines, bool secondary, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setProperty(kLinesProperty, maxLines);
    useReaderFont(label, role);
    if (secondary)
        useSecondaryColor(label);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);
    return label;
}

} // namespace folvan::annotationsview

#include "annotationsview/ViewStyle.h"

#include <QApplication>
#include <QPalette>

#include <algorithm>

#include "platform/InterfaceFont.h"
#include "platform/ShownText.h"

namespace folvan::annotationsview {

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

#include <QEvent>
#include <QPainter>
#include <QPixmap>
#include <QTextLayout>

namespace folvan::annotationsview {

QColor widgetColor(const engine::PdfColor &color, bool opaque)
{
    return QColor::fromRgbF(float(std::clamp(color.red, 0.0, 1.0)), float(std::clamp(color.green, 0.0, 1.0)),
                            float(std::clamp(color.blue, 0.0, 1.0)),
                            opaque ? 1.0f : float(std::clamp(color.alpha, 0.0, 1.0)));
}

QColor swatchColor(annotations::MarkupColor color)
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

QStringList cutToLines(const QString &text, const QFont &font, int width, int maxLines)
{
    if (text.isEmpty() || maxLines <= 0)
        return {};
    width = std::max(width, 1);
    // Only what the lines can hold is laid out.
    QString flowing = platform::rowText(text, maxLines);
    flowing.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(flowing, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    const QFontMetrics metrics(font);
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        const int start = line.textStart();
        if (int(lines.size()) == maxLines - 1) {
            QString rest = flowing.mid(start);
            const bool more = layout.createLine().isValid() || rest.contains(QChar::LineSeparator);
            QString first = flowing.mid(start, line.textLength());
            first.remove(QChar::LineSeparator);
            if (more) {
                rest.replace(QChar::LineSeparator, QLatin1Char(' '));
                QString cut = metrics.elidedText(rest, Qt::ElideRight, width);
                if (!cut.endsWith(QChar(0x2026))) {
                    // What is left fits, but lines were left out after it.
                    cut = first;
                    while (!cut.isEmpty() && metrics.horizontalAdvance(cut + QChar(0x2026)) > width)
                        cut.chop(1);
                    cut += QChar(0x2026);
                }
                lines << cut;
            } else {
                lines << first;
            }
            break;
        }
        QString piece = flowing.mid(start, line.textLength());
        piece.remove(QChar::LineSeparator);
        lines << piece;
    }
    layout.endLayout();
    return lines;
}

namespace {

// Shows the first lines of its text that fit its width, the last one cut
// with "…" when more is left; its height follows the lines shown.
class LinesLabel : public QLabel {
public:
    LinesLabel(const QString &text, int maxLines, QWidget *parent)
        : QLabel(parent)
        , m_whole(platform::rowText(text, maxLines))
        , m_maxLines(maxLines)
    {
        setTextFormat(Qt::PlainText);
        setWordWrap(false);
        setAlignment(Qt::AlignLeft | Qt::AlignTop);
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Maximum);
        policy.setHeightForWidth(true);
        setSizePolicy(policy);
        fitLines();
        recut();
    }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return heightOf(linesAt(width)); }
    QSize sizeHint() const override
    {
        // As wide as the text on one line, and its lines at that width.
        const int natural = fontMetrics().horizontalAdvance(QString(m_whole).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        const int width = std::min(natural + 1, 400);
        return {width, heightForWidth(width)};
    }
    QSize minimumSizeHint() const override { return {0, heightOf(QStringList{QString()})}; }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        recut();
    }
    void changeEvent(QEvent *event) override
    {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::FontChange) {
            fitLines();
            recut();
            updateGeometry();
        }
    }

private:
    QStringList linesAt(int width) const
    {
        const QMargins margins = contentsMargins();
        return cutToLines(m_whole, font(), width - margins.left() - margins.right() - 2 * margin(), m_maxLines);
    }
    int heightOf(const QStringList &lines) const
    {
        const QMargins margins = contentsMargins();
        const int count = std::max<int>(1, int(lines.size()));
        return count * fontMetrics().lineSpacing() + margins.top() + margins.bottom() + 2 * margin();
    }
    // Lines past the last one are cut off below it.
    void fitLines() { setMaximumHeight(m_maxLines * QFontMetrics(font()).lineSpacing() + 2); }
    void recut()
    {
        const QString shown = linesAt(width()).join(QLatin1Char('\n'));
        if (shown != text())
            setText(shown);
    }

    QString m_whole;
    int m_maxLines;
};

} // namespace

QLabel *makeLinesLabel(const QString &text, platform::InterfaceTextRole role, int maxLines, bool secondary,
                       QWidget *parent)
{
    auto *label = new LinesLabel(text, maxLines, parent);
    platform::useInterfaceFont(label, role);
    if (secondary)
        useSecondaryColor(label);
    return label;
}

} // namespace folvan::annotationsview

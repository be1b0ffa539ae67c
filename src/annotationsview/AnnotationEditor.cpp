#include "annotationsview/AnnotationEditor.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "annotationsview/ViewStyle.h"
#include "platform/InterfaceFont.h"
#include "platform/UnsavedChanges.h"

namespace folvan::annotationsview {

namespace {

// A colour swatch: a 20-point disc in the palette colour, ringed while it
// is the chosen one.
class Swatch : public QToolButton {
public:
    Swatch(annotations::MarkupColor color, QWidget *parent)
        : QToolButton(parent)
        , m_color(color)
    {
        setFixedSize(22, 22);
        setCheckable(true);
        setAutoRaise(true);
        setCursor(Qt::PointingHandCursor);
        setToolTip(color.displayName());
        setAccessibleName(color.displayName());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF disc(1, 1, 20, 20);
        painter.setPen(Qt::NoPen);
        painter.setBrush(swatchColor(m_color));
        painter.drawEllipse(disc);
        if (isChecked()) {
            painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(disc.adjusted(1, 1, -1, -1));
        }
    }

private:
    annotations::MarkupColor m_color;
};

} // namespace

AnnotationEditor::AnnotationEditor(annotations::ReadingAnnotationItem item, const QString &note, SaveHandler save,
                                   std::function<void()> cancel, QWidget *parent)
    : QWidget(parent)
    , m_item(std::move(item))
    , m_save(std::move(save))
    , m_cancel(std::move(cancel))
    , m_note(new QPlainTextEdit(this))
    , m_saveButton(new QPushButton(QStringLiteral("保存"), this))
    , m_cancelButton(new QPushButton(QStringLiteral("取消"), this))
{
    setFixedWidth(310);
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(18, 18, 18, 18);
    column->setSpacing(12);

    auto *title = new QLabel(QStringLiteral("编辑批注"), this);
    platform::useInterfaceFont(title, platform::InterfaceTextRole::headline);
    column->addWidget(title);
    if (!m_item.quote.isEmpty())
        column->addWidget(makeLinesLabel(m_item.quote, platform::InterfaceTextRole::caption, 3, true, this));

    auto *colors = new QHBoxLayout;
    colors->setSpacing(10);
    auto *colorTitle = new QLabel(QStringLiteral("颜色"), this);
    platform::useInterfaceFont(colorTitle, platform::InterfaceTextRole::caption);
    useSecondaryColor(colorTitle);
    colors->addWidget(colorTitle, 0, Qt::AlignVCenter);
    const auto palette = annotations::MarkupColor::allCases();
    for (size_t i = 0; i < palette.size(); ++i) {
        auto *swatch = new Swatch(palette[i], this);
        m_swatches[i] = swatch;
        connect(swatch, &QAbstractButton::clicked, this, [this, color = palette[i]] { choose(color); });
        colors->addWidget(swatch, 0, Qt::AlignVCenter);
    }
    colors->addStretch(1);
    column->addLayout(colors);

    m_note->setPlainText(note);
    m_note->setFixedHeight(120);
    m_note->setAccessibleName(QStringLiteral("批注文字"));
    m_note->installEventFilter(this);
    column->addWidget(m_note);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(m_cancelButton);
    buttons->addStretch(1);
    buttons->addWidget(m_saveButton);
    // Return reaches the form, which saves, whichever button has focus.
    m_saveButton->setAutoDefault(false);
    m_cancelButton->setAutoDefault(false);
    column->addLayout(buttons);
    connect(m_cancelButton, &QPushButton::clicked, this, &AnnotationEditor::cancel);
    connect(m_saveButton, &QPushButton::clicked, this, &AnnotationEditor::save);

    auto *footnote = new QLabel(QStringLiteral("保存在本机，原 PDF 不变。"), this);
    platform::useInterfaceFont(footnote, platform::InterfaceTextRole::caption);
    useSecondaryColor(footnote);
    column->addWidget(footnote);

    // A change not yet saved when the program quits is saved as "保存"
    // saves it.
    platform::confirmAtQuit(this, [this, note] {
        if (isVisible() && (m_note->toPlainText() != note || m_color))
            this->save();
    });
}

void AnnotationEditor::choose(annotations::MarkupColor color)
{
    m_color = color;
    const auto palette = annotations::MarkupColor::allCases();
    for (size_t i = 0; i < palette.size(); ++i)
        m_swatches[i]->setChecked(palette[i] == color);
}

void AnnotationEditor::save()
{
    if (m_save)
        m_save(m_note->toPlainText(), m_color);
}

void AnnotationEditor::cancel()
{
    if (m_cancel)
        m_cancel();
}

namespace {

bool isReturn(const QKeyEvent *key)
{
    return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

// In the note, Return is a new line and Ctrl+Return saves.
bool AnnotationEditor::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_note && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (isReturn(key) && key->modifiers().testFlag(Qt::ControlModifier)) {
            save();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void AnnotationEditor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        cancel();
        return;
    }
    if (isReturn(event)) {
        save();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace folvan::annotationsview

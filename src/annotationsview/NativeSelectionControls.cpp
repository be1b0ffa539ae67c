#include "annotationsview/NativeSelectionControls.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "annotations/MarkupColor.h"
#include "annotations/PaneAnnotations.h"
#include "annotationsview/PopupPlacement.h"
#include "annotationsview/ViewStyle.h"
#include "model/SharedPDFViewModel.h"
#include "platform/Icons.h"
#include "platform/InterfaceFont.h"
#include "platform/ReaderPreferences.h"
#include "platform/UnsavedChanges.h"

namespace folvan::annotationsview {

namespace {

// How far the note card keeps from the window's edges: as far as the
// reading dock under it.
constexpr int kNoteMargin = 16;

// The button look of the reader's floating controls: a medium label at the
// interface text size in a rounded frame at least 28 by 28.
QString floatingControlStyle()
{
    const int size = int(platform::ReaderPreferences::interfaceSize());
    return QStringLiteral("QToolButton { font-size: %1px; font-weight: 500; min-width: 28px; min-height: 28px;"
                          " padding: 0 6px; border: none; border-radius: 8px; background: rgba(0, 0, 0, 12); }"
                          "QToolButton:hover { background: rgba(0, 0, 0, 24); }"
                          "QToolButton:pressed { background: rgba(0, 0, 0, 36); }"
                          "QToolButton::menu-indicator { image: none; width: 0; }")
        .arg(size);
}

QToolButton *symbolButton(const QString &symbol, const QString &help, const QString &label, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setIcon(platform::symbolIcon(symbol));
    button->setIconSize(QSize(16, 16));
    button->setToolTip(help);
    button->setAccessibleName(label);
    return button;
}

// The markup error: one line of at most 180 pixels, cut with "…" where
// the text is longer; the whole text is its tooltip.
class ErrorLine : public QLabel {
public:
    static constexpr int kMaxWidth = 180;

    explicit ErrorLine(QWidget *parent)
        : QLabel(parent)
    {
        setTextFormat(Qt::PlainText);
        setWordWrap(false);
        setMaximumWidth(kMaxWidth);
    }

    void setWholeText(const QString &text)
    {
        m_whole = text;
        setToolTip(text);
        cut();
    }

protected:
    void changeEvent(QEvent *event) override
    {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::FontChange)
            cut();
    }

private:
    void cut()
    {
        // Line breaks in the text would start further lines.
        QString line = m_whole;
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        const QString shown = fontMetrics().elidedText(line, Qt::ElideRight, kMaxWidth);
        if (shown != text())
            setText(shown);
    }

    QString m_whole;
};

} // namespace

NativeSelectionControls::NativeSelectionControls(model::SharedPDFViewModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_annotations(model ? annotations::PaneAnnotations::of(*model) : nullptr)
    , m_copy(symbolButton(QStringLiteral("doc.on.doc"), QStringLiteral("复制所选文字"), QStringLiteral("复制所选文字"), this))
    , m_color(symbolButton(QString(), QStringLiteral("选择高亮颜色"), QStringLiteral("高亮颜色"), this))
    , m_highlight(symbolButton(QStringLiteral("highlighter"), QStringLiteral("高亮所选文字"), QStringLiteral("高亮所选文字"), this))
    , m_underline(symbolButton(QStringLiteral("underline"), QStringLiteral("为所选文字加下划线"), QStringLiteral("下划线"), this))
    , m_noteButton(symbolButton(QStringLiteral("text.bubble"), QStringLiteral("添加文字批注"), QStringLiteral("添加文字批注"), this))
    , m_error(new ErrorLine(this))
{
    setStyleSheet(floatingControlStyle());
    platform::onInterfaceTextSizeChange(this, [this] {
        setStyleSheet(floatingControlStyle());
        refresh();
    });
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    for (QWidget *item : {static_cast<QWidget *>(m_copy), static_cast<QWidget *>(m_color),
                          static_cast<QWidget *>(m_highlight), static_cast<QWidget *>(m_underline),
                          static_cast<QWidget *>(m_noteButton), static_cast<QWidget *>(m_error)})
        row->addWidget(item, 0, Qt::AlignVCenter);

    auto *menu = new QMenu(m_color);
    for (annotations::MarkupColor color : annotations::MarkupColor::allCases()) {
        QAction *action = menu->addAction(color.displayName());
        action->setData(color.rawValue());
        connect(action, &QAction::triggered, this, [this, color] {
            if (m_annotations)
                m_annotations->markupColorChosen(color);
        });
    }
    m_color->setMenu(menu);
    m_color->setPopupMode(QToolButton::InstantPopup);
    m_color->setIconSize(QSize(12, 12));

    platform::useInterfaceFont(m_error, platform::InterfaceTextRole::caption);
    m_error->setStyleSheet(QStringLiteral("color: rgb(220, 40, 40);"));

    connect(m_copy, &QToolButton::clicked, this, [this] {
        if (m_model)
            m_model->copySelection();
    });
    connect(m_highlight, &QToolButton::clicked, this, [this] {
        if (m_annotations)
            m_annotations->addMarkup(QStringLiteral("highlight"), QString());
    });
    connect(m_underline, &QToolButton::clicked, this, [this] {
        if (m_annotations)
            m_annotations->addMarkup(QStringLiteral("underline"), QString());
    });
    connect(m_noteButton, &QToolButton::clicked, this, &NativeSelectionControls::openNote);

    connect(model, &model::SharedPDFViewModel::selectionTextChanged, this, &NativeSelectionControls::refresh);
    if (m_annotations) {
        for (auto signal : {&annotations::PaneAnnotations::preferredMarkupColorChanged,
                            &annotations::PaneAnnotations::markupErrorChanged})
            connect(m_annotations, signal, this, &NativeSelectionControls::refresh);
    }
    refresh();
}

NativeSelectionControls::~NativeSelectionControls()
{
    delete m_popover.data();
}

void NativeSelectionControls::refresh()
{
    if (!m_model)
        return;
    const bool hasText = !m_model->selectionText().isEmpty();
    for (QToolButton *button : {m_copy, m_highlight, m_underline, m_noteButton})
        button->setEnabled(hasText);
    const annotations::MarkupColor color =
        m_annotations ? m_annotations->preferredMarkupColor() : annotations::MarkupColor::yellow;
    m_color->setIcon(QIcon(colorDot(swatchColor(color), 12, devicePixelRatioF())));
    const std::optional<QString> error = m_annotations ? m_annotations->markupError() : std::nullopt;
    m_error->setVisible(error.has_value());
    if (error)
        static_cast<ErrorLine *>(m_error)->setWholeText(*error);
}

// The note popover under its button: a title, the selected text, the note
// and its save button. A click outside closes it and adds nothing.
void NativeSelectionControls::openNote()
{
    if (!m_model)
        return;
    delete m_popover.data();
    m_note.clear();
    auto *popover = new QFrame(nullptr, Qt::Popup);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    popover->setFrameShape(QFrame::StyledPanel);
    popover->setFixedWidth(290);
    auto *column = new QVBoxLayout(popover);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    auto *title = new QLabel(QStringLiteral("文字批注"), popover);
    platform::useInterfaceFont(title, platform::InterfaceTextRole::headline);
    column->addWidget(title);
    QLabel *selected = makeLinesLabel(m_model->selectionText(), platform::InterfaceTextRole::caption, 3, true, popover);
    column->addWidget(selected);
    auto *editor = new QPlainTextEdit(popover);
    editor->setFixedHeight(100);
    editor->setAccessibleName(QStringLiteral("批注内容"));
    column->addWidget(editor);
    auto *save = new QPushButton(QStringLiteral("保存批注"), popover);
    save->setEnabled(false);
    column->addWidget(save, 0, Qt::AlignLeft);
    connect(editor, &QPlainTextEdit::textChanged, this, [this, editor, save] {
        m_note = editor->toPlainText();
        save->setEnabled(!m_note.trimmed().isEmpty());
    });
    connect(save, &QPushButton::clicked, this, &NativeSelectionControls::saveNote);
    m_popover = popover;
    m_noteEditor = editor;
    m_saveNote = save;
    // A note typed and not yet saved when the program quits is saved as
    // "保存批注" saves it; a dismissed popover adds nothing.
    platform::confirmAtQuit(popover, [this] {
        if (m_popover && m_popover->isVisible())
            saveNote();
    });

    popover->adjustSize();
    // Over the whole toolbar, the surface it stands on included (the dock's
    // strip), so that the card never covers it, and a margin in from the
    // window's edges, so that its own edges show.
    QWidget *bar = parentWidget() && !parentWidget()->isWindow() ? parentWidget() : this;
    placePopup(popover, bar, bar->rect(), PopupSide::above, false, kNoteMargin);
    popover->show();
    editor->setFocus(Qt::PopupFocusReason);
}

void NativeSelectionControls::saveNote()
{
    if (!m_annotations || m_note.trimmed().isEmpty())
        return;
    m_annotations->addMarkup(QStringLiteral("highlight"), m_note);
    if (m_popover)
        m_popover->close();
}

} // namespace folvan::annotationsview

#include "annotationsview/AnnotationListView.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>

#include "annotations/ReadingAids.h"
#include "annotationsview/AnnotationEditor.h"
#include "annotationsview/ViewStyle.h"
#include "model/ReadingLocation.h"
#include "model/SharedPDFViewModel.h"
#include "platform/Icons.h"

namespace folvan::annotationsview {

namespace {

// A borderless button whose face is the layout of labels it holds.
class RowButton : public QAbstractButton {
public:
    explicit RowButton(QWidget *parent)
        : QAbstractButton(parent)
    {
        setCursor(Qt::PointingHandCursor);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    }
    QSize sizeHint() const override { return layout() ? layout()->sizeHint() : QSize(); }
    QSize minimumSizeHint() const override { return layout() ? layout()->minimumSize() : QSize(); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!underMouse() && !isDown())
            return;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(0, 0, 0, isDown() ? 22 : 10));
        painter.drawRoundedRect(QRectF(rect()), 6, 6);
    }
    void enterEvent(QEnterEvent *event) override
    {
        QAbstractButton::enterEvent(event);
        update();
    }
    void leaveEvent(QEvent *event) override
    {
        QAbstractButton::leaveEvent(event);
        update();
    }
};

QToolButton *imageButton(const QString &symbol, const QString &help, const QString &label, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setIcon(platform::symbolIcon(symbol));
    button->setToolTip(help);
    button->setAccessibleName(label);
    return button;
}

// The row's three parts, kept by their object names.
const char *const kRowName = "annotationRow";
const char *const kEditName = "annotationEdit";
const char *const kDeleteName = "annotationDelete";

} // namespace

AnnotationListView::AnnotationListView(SharedPDFViewModel *model, std::function<void()> dismiss, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_dismiss(std::move(dismiss))
    , m_rows(new QVBoxLayout(this))
{
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(8);
    connect(model, &SharedPDFViewModel::annotationItemsChanged, this, &AnnotationListView::rebuild);
    connect(model, &SharedPDFViewModel::pdfDocumentChanged, this, &AnnotationListView::rebuild);
    rebuild();
}

AnnotationListView::~AnnotationListView()
{
    delete m_popover.data();
}

void AnnotationListView::rebuild()
{
    while (QLayoutItem *item = m_rows->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (!m_model)
        return;
    const auto document = m_model->pdfDocument();
    for (const ReadingAnnotationItem &item : m_model->annotationItems()) {
        auto *row = new QWidget(this);
        auto *line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(6);

        auto *button = new RowButton(row);
        button->setObjectName(QLatin1String(kRowName));
        auto *lines = new QVBoxLayout(button);
        lines->setContentsMargins(0, 5, 0, 5);
        lines->setSpacing(5);
        auto *header = new QHBoxLayout;
        auto *dot = new QLabel(button);
        dot->setPixmap(colorDot(widgetColor(item.color, true), 7, devicePixelRatioF()));
        header->addWidget(dot);
        const QString label = document ? ReadingAids::pageLabel(*document, int(item.page)) : QString::number(item.page + 1);
        auto *page = new QLabel(QStringLiteral("第 ") + label + QStringLiteral(" 页"), button);
        page->setFont(readerFont(TextRole::caption));
        useSecondaryColor(page);
        header->addWidget(page);
        header->addStretch(1);
        lines->addLayout(header);
        if (!item.quote.isEmpty())
            lines->addWidget(makeLinesLabel(item.quote, TextRole::caption, 2, true, button));
        if (!item.note.isEmpty())
            lines->addWidget(makeLinesLabel(item.note, TextRole::body, 3, false, button));
        for (QLabel *child : button->findChildren<QLabel *>())
            child->setAttribute(Qt::WA_TransparentForMouseEvents);
        connect(button, &QAbstractButton::clicked, this, [this, item] { jump(item); });
        line->addWidget(button, 1, Qt::AlignTop);

        const QString pageNumber = QString::number(item.page + 1);
        auto *editButton = imageButton(QStringLiteral("square.and.pencil"), QStringLiteral("编辑批注与颜色"),
                                       QStringLiteral("编辑第 ") + pageNumber + QStringLiteral(" 页的批注"), row);
        editButton->setObjectName(QLatin1String(kEditName));
        connect(editButton, &QToolButton::clicked, this, [this, item] { edit(item); });
        line->addWidget(editButton, 0, Qt::AlignTop);
        auto *deleteButton = imageButton(QStringLiteral("minus.circle"), QStringLiteral("删除批注，可撤销"),
                                         QStringLiteral("删除第 ") + pageNumber + QStringLiteral(" 页的批注"), row);
        deleteButton->setObjectName(QLatin1String(kDeleteName));
        connect(deleteButton, &QToolButton::clicked, this, [this, id = item.id] {
            if (m_model)
                m_model->deleteAnnotation(id);
        });
        line->addWidget(deleteButton, 0, Qt::AlignTop);
        m_rows->addWidget(row);
    }
}

int AnnotationListView::rowCount() const
{
    return m_rows->count();
}

namespace {
QAbstractButton *part(QLayout *rows, int row, const char *name)
{
    QLayoutItem *item = row >= 0 && row < rows->count() ? rows->itemAt(row) : nullptr;
    return item && item->widget() ? item->widget()->findChild<QAbstractButton *>(QLatin1String(name)) : nullptr;
}
} // namespace

QAbstractButton *AnnotationListView::rowButton(int row) const { return part(m_rows, row, kRowName); }
QAbstractButton *AnnotationListView::editButton(int row) const { return part(m_rows, row, kEditName); }
QAbstractButton *AnnotationListView::deleteButton(int row) const { return part(m_rows, row, kDeleteName); }

void AnnotationListView::jump(const ReadingAnnotationItem &item)
{
    if (!m_model)
        return;
    const QRectF first = item.rectangles.empty() ? QRectF() : item.rectangles.front();
    ReadingLocation location;
    location.page = item.page;
    // The upper left corner in page space (y up).
    location.point = QPointF(std::min(first.left(), first.right()), std::max(first.top(), first.bottom()));
    m_model->navigate(location, true);
    if (m_dismiss)
        m_dismiss();
}

AnnotationEditor *AnnotationListView::editor() const
{
    return m_popover ? m_popover->findChild<AnnotationEditor *>() : nullptr;
}

// The editor opens in a popover on the list, built for a copy of the item:
// what it saves goes to the id it was opened on.
void AnnotationListView::edit(const ReadingAnnotationItem &item)
{
    closeEditor();
    m_editing = item;
    auto *popover = new QFrame(nullptr, Qt::Popup);
    popover->setAttribute(Qt::WA_DeleteOnClose);
    popover->setFrameShape(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(popover);
    layout->setContentsMargins(0, 0, 0, 0);
    QPointer<AnnotationListView> self(this);
    const QString id = item.id;
    layout->addWidget(new AnnotationEditor(
        item, item.note,
        [self, id](const QString &note, std::optional<MarkupColor> color) {
            if (!self)
                return;
            if (self->m_model)
                self->m_model->editAnnotation(id, note, color);
            self->closeEditor();
        },
        [self] {
            if (self)
                self->closeEditor();
        },
        popover));
    // Closed by a click outside: nothing changes.
    connect(popover, &QObject::destroyed, this, [self, opened = ++m_editorsOpened] {
        if (self && self->m_editorsOpened == opened)
            self->m_editing.reset();
    });
    m_popover = popover;
    popover->adjustSize();
    QPoint place = mapToGlobal(QPoint(width() / 2 - popover->width() / 2, height() + 4));
    if (QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        if (place.y() + popover->height() > area.bottom())
            place.setY(mapToGlobal(QPoint(0, 0)).y() - popover->height() - 4);
        place.setX(std::clamp(place.x(), area.left(), std::max(area.left(), area.right() - popover->width())));
        place.setY(std::clamp(place.y(), area.top(), std::max(area.top(), area.bottom() - popover->height())));
    }
    popover->move(place);
    popover->show();
    if (AnnotationEditor *form = editor())
        form->noteEditor()->setFocus(Qt::PopupFocusReason);
}

void AnnotationListView::closeEditor()
{
    m_editing.reset();
    if (m_popover)
        m_popover->close();
}

// ---------------------------------------------------------------- section

AnnotationSection::AnnotationSection(SharedPDFViewModel *model, std::function<void()> dismiss, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
    , m_header(new QLabel(this))
    , m_list(new AnnotationListView(model, std::move(dismiss), this))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setStyleSheet(QStringLiteral("color: rgba(0, 0, 0, 30);"));
    column->addSpacing(6);
    column->addWidget(divider);
    column->addSpacing(6);
    m_header->setFont(readerFont(TextRole::headline));
    column->addWidget(m_header);
    column->addWidget(m_list);
    column->addStretch(1);
    connect(model, &SharedPDFViewModel::annotationItemsChanged, this, &AnnotationSection::refresh);
    refresh();
}

void AnnotationSection::refresh()
{
    const size_t count = m_model ? m_model->annotationItems().size() : 0;
    m_header->setText(QStringLiteral("阅读批注 · %1").arg(count));
    setVisible(count > 0);
}

} // namespace folvan::annotationsview

#include "notesview/PaperNotesView.h"

#include "notes/PaperNotesStore.h"
#include "notesview/BodyPieces.h"
#include "platform/DataFolderAccess.h"
#include "platform/Icons.h"
#include "platform/InterfaceFont.h"
#include "platform/PreferenceKeys.h"
#include "platform/Preferences.h"
#include "platform/ReaderPreferences.h"
#include "platform/ShownText.h"
#include "platform/StoredFiles.h"

#include <QApplication>
#include <QTimer>
#include <QButtonGroup>
#include <QFileDialog>
#include <QFrame>
#include <QHash>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QTextLayout>
#include <QToolButton>

#include <algorithm>

namespace folvan::notesview {

namespace {

using Role = platform::InterfaceTextRole;

const QString kUntitled = QStringLiteral("未命名笔记");
const QString kNoPaper = QStringLiteral("旧版笔记 · 来源未记录");
// Taller than this, the body editor keeps its full 100 points.
constexpr int kRoomyHeight = 640;

QColor accent(double alpha)
{
    QColor color = QApplication::palette().color(QPalette::Highlight);
    color.setAlphaF(alpha);
    return color;
}

QColor secondaryColor()
{
    QColor color = QApplication::palette().color(QPalette::WindowText);
    color.setAlphaF(0.6);
    return color;
}

QString cssColor(const QColor &color)
{
    return QStringLiteral("rgba(%1,%2,%3,%4)").arg(color.red()).arg(color.green()).arg(color.blue()).arg(color.alphaF());
}

QLabel *captionLabel(QWidget *parent, bool secondary = true)
{
    auto *label = new QLabel(parent);
    label->setWordWrap(true);
    if (secondary)
        label->setStyleSheet(QStringLiteral("color: %1;").arg(cssColor(secondaryColor())));
    return label;
}

QToolButton *iconButton(const QString &symbol, const QString &tip, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setIcon(platform::symbolIcon(symbol));
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

QPushButton *textButton(const QString &text, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setFlat(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(QStringLiteral("QPushButton { color: palette(highlight); border: none; padding: 2px 0; text-align: left; }"
                                         "QPushButton:disabled { color: palette(mid); }"));
    return button;
}

// Caps a word-wrapped label at `lines` lines of its font.
void capLines(QLabel *label, int lines, int padding = 0)
{
    label->setMaximumHeight(lines * QFontMetrics(label->font()).lineSpacing() + 2 * padding + 2);
}

// The first `maxLines` lines of `text` wrapped at `width`, drawn from `top`;
// returns the height used.
int drawLines(QPainter &painter, const QString &text, const QFont &font, int left, int top, int width, int maxLines)
{
    QTextLayout layout(text, font);
    layout.beginLayout();
    int y = 0;
    for (int n = 0; n < maxLines; ++n) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += int(line.height());
    }
    layout.endLayout();
    layout.draw(&painter, QPointF(left, top));
    return y;
}

} // namespace

// ---- List rows -------------------------------------------------------------

NoteRow::NoteRow(const notes::PaperNote &note, const QString &paperTitle, QWidget *parent)
    : QAbstractButton(parent)
    , m_id(note.id)
{
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    setNote(note, paperTitle);
}

void NoteRow::setNote(const notes::PaperNote &note, const QString &paperTitle)
{
    // A row holds what it can show of the stored texts, which may be of
    // any length.
    const QString title = note.title.isEmpty() ? kUntitled : platform::rowText(PaperNotesView::oneLineTitle(note.title));
    const QString paper = paperTitle.isNull() ? kNoPaper : platform::rowText(paperTitle);
    const QString body = platform::rowText(note.body, 2);
    if (title == m_title && paper == m_paper && body == m_body)
        return;
    const bool heightChanges = body.isEmpty() != m_body.isEmpty();
    m_title = title;
    m_paper = paper;
    m_body = body;
    setAccessibleName(m_title);
    if (heightChanges)
        updateGeometry();
    update();
}

void NoteRow::setSelected(bool selected)
{
    if (m_selected == selected)
        return;
    m_selected = selected;
    update();
}

QSize NoteRow::sizeHint() const
{
    const int title = QFontMetrics(platform::interfaceFont(Role::callout, QFont::Medium)).lineSpacing();
    const int caption = QFontMetrics(platform::interfaceFont(Role::caption)).lineSpacing();
    const int body = m_body.isEmpty() ? 0 : 4 + 2 * caption;
    return {200, 8 + title + 4 + caption + body + 8};
}

void NoteRow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_selected) {
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 7, 7);
        painter.fillPath(shape, accent(0.12));
    }
    const int width = this->width() - 16;
    const QFont titleFont = platform::interfaceFont(Role::callout, QFont::Medium);
    const QFont caption = platform::interfaceFont(Role::caption);
    int y = 8;
    painter.setPen(palette().color(QPalette::WindowText));
    painter.setFont(titleFont);
    painter.drawText(QRect(8, y, width, QFontMetrics(titleFont).lineSpacing()), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(titleFont).elidedText(m_title, Qt::ElideRight, width));
    y += QFontMetrics(titleFont).lineSpacing() + 4;
    painter.setPen(secondaryColor());
    painter.setFont(caption);
    painter.drawText(QRect(8, y, width, QFontMetrics(caption).lineSpacing()), Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(caption).elidedText(m_paper, Qt::ElideRight, width));
    y += QFontMetrics(caption).lineSpacing() + 4;
    if (!m_body.isEmpty())
        drawLines(painter, QString(m_body).replace(QLatin1Char('\n'), QChar::LineSeparator), caption, 8, y, width, 2);
}

// ---- The panel -------------------------------------------------------------

PaperNotesView::PaperNotesView(notes::PaperNotesStore &store, std::optional<QUuid> paperID, int page, PaneNoteHooks hooks,
                               QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_paperID(paperID)
    , m_page(page)
    , m_hooks(std::move(hooks))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 12);
    column->setSpacing(8);

    buildHeader(column);
    QButtonGroup *scopeGroup = buildScope(column);
    buildList(column);
    buildEditor(column);
    buildEmptyState(column);
    buildFooter(column);

    connectListControls(scopeGroup);
    connectEditing();
    followStoreAndPreferences();
    useDefaultExportDialogs();

    applyFonts();
    chooseNote();
    refresh();
}

// The heading with its new-note button, the paper's line and the search.
void PaperNotesView::buildHeader(QVBoxLayout *column)
{
    auto *header = new QHBoxLayout;
    auto *symbol = new QLabel(this);
    symbol->setPixmap(platform::symbolIcon(QStringLiteral("square.and.pencil")).pixmap(16, 16));
    m_heading = new QLabel(QStringLiteral("论文笔记"), this);
    m_create = iconButton(QStringLiteral("plus"), QStringLiteral("为当前论文新建笔记"), this);
    m_create->setObjectName(QStringLiteral("create"));
    m_create->setAccessibleName(QStringLiteral("新建本篇论文笔记"));
    header->addWidget(symbol);
    header->addWidget(m_heading);
    header->addStretch(1);
    header->addWidget(m_create);
    column->addLayout(header);

    m_paperLine = captionLabel(this);
    column->addWidget(m_paperLine);

    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("search"));
    m_search->setPlaceholderText(QStringLiteral("搜索笔记或论文名…"));
    m_search->setAccessibleName(QStringLiteral("搜索论文笔记"));
    m_search->setClearButtonEnabled(true);
    column->addWidget(m_search);
}

// Scope: this paper or all papers. Returns the group of its two segments.
QButtonGroup *PaperNotesView::buildScope(QVBoxLayout *column)
{
    m_scope = new QWidget(this);
    auto *scopeRow = new QHBoxLayout(m_scope);
    scopeRow->setContentsMargins(0, 0, 0, 0);
    scopeRow->setSpacing(0);
    scopeRow->addWidget(captionLabel(m_scope));
    static_cast<QLabel *>(scopeRow->itemAt(0)->widget())->setText(QStringLiteral("范围 "));
    m_scopeCurrent = new QPushButton(QStringLiteral("本篇"), m_scope);
    m_scopeAll = new QPushButton(QStringLiteral("全部论文"), m_scope);
    auto *scopeGroup = new QButtonGroup(m_scope);
    for (QPushButton *segment : {m_scopeCurrent, m_scopeAll}) {
        segment->setCheckable(true);
        scopeGroup->addButton(segment);
        scopeRow->addWidget(segment, 1);
    }
    m_scopeCurrent->setObjectName(QStringLiteral("scopeCurrent"));
    m_scopeAll->setObjectName(QStringLiteral("scopeAll"));
    column->addWidget(m_scope);
    return scopeGroup;
}

// The list of notes, and the divider under it.
void PaperNotesView::buildList(QVBoxLayout *column)
{
    auto *listArea = new QScrollArea(this);
    listArea->setObjectName(QStringLiteral("list"));
    listArea->setWidgetResizable(true);
    listArea->setFrameShape(QFrame::NoFrame);
    listArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    listArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    listArea->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    m_listArea = listArea;
    m_listBody = new QWidget;
    m_listBody->setAutoFillBackground(false);
    m_listLayout = new QVBoxLayout(m_listBody);
    m_listLayout->setContentsMargins(0, 0, 0, 0);
    m_listLayout->setSpacing(3);
    m_emptyList = captionLabel(m_listBody);
    m_emptyList->setObjectName(QStringLiteral("emptyList"));
    m_emptyList->setContentsMargins(8, 8, 8, 8);
    m_listLayout->addWidget(m_emptyList);
    m_listLayout->addStretch(1);
    listArea->setWidget(m_listBody);
    listArea->viewport()->setAutoFillBackground(false);
    column->addWidget(listArea, 2);

    auto *divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Plain);
    divider->setStyleSheet(QStringLiteral("color: rgba(0,0,0,30);"));
    column->addWidget(divider);
}

// The editor of the note shown: title, its actions, the link to the open
// paper, the quotes and the body.
void PaperNotesView::buildEditor(QVBoxLayout *column)
{
    m_editor = new QWidget(this);
    auto *editor = new QVBoxLayout(m_editor);
    editor->setContentsMargins(0, 0, 0, 0);
    editor->setSpacing(10);
    m_title = new QLineEdit(m_editor);
    m_title->setObjectName(QStringLiteral("title"));
    m_title->setPlaceholderText(QStringLiteral("笔记标题"));
    m_title->setAccessibleName(QStringLiteral("论文笔记标题"));
    editor->addWidget(m_title);
    auto *actions = new QHBoxLayout;
    actions->setAlignment(Qt::AlignTop);
    m_source = iconButton(QStringLiteral("arrow.up.right"), QStringLiteral("打开来源论文"), m_editor);
    m_source->setObjectName(QStringLiteral("source"));
    m_source->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_source->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_source->installEventFilter(this);
    m_export = iconButton(QStringLiteral("square.and.arrow.up"), QStringLiteral("导出笔记 Markdown"), m_editor);
    m_export->setObjectName(QStringLiteral("export"));
    m_delete = iconButton(QStringLiteral("trash"), QStringLiteral("删除笔记，可撤销"), m_editor);
    m_delete->setObjectName(QStringLiteral("delete"));
    actions->addWidget(m_source, 1);
    actions->addWidget(m_export);
    actions->addWidget(m_delete);
    editor->addLayout(actions);
    m_link = textButton(QStringLiteral("关联当前论文"), m_editor);
    m_link->setObjectName(QStringLiteral("link"));
    editor->addWidget(m_link, 0, Qt::AlignLeft);
    m_quotes = captionLabel(m_editor);
    m_quotes->setObjectName(QStringLiteral("quotes"));
    m_quotes->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_quotes->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: 7px; padding: 9px; }")
                                .arg(cssColor(secondaryColor()), cssColor(accent(0.06))));
    editor->addWidget(m_quotes);
    m_body = new QPlainTextEdit(m_editor);
    m_body->setObjectName(QStringLiteral("body"));
    m_body->setAccessibleName(QStringLiteral("论文笔记正文"));
    m_body->setBackgroundRole(QPalette::Base);
    m_body->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    m_bodyPieces = new BodyPieces(m_body);
    editor->addWidget(m_body, 1);
    column->addWidget(m_editor, 3);
}

// What stands in the editor's place while no note is selected.
void PaperNotesView::buildEmptyState(QVBoxLayout *column)
{
    m_emptyState = new QWidget(this);
    m_emptyState->setObjectName(QStringLiteral("emptyState"));
    auto *empty = new QVBoxLayout(m_emptyState);
    empty->setContentsMargins(0, 0, 0, 0);
    empty->setSpacing(10);
    m_emptyText = captionLabel(m_emptyState);
    m_emptyText->setText(QStringLiteral("选择一条笔记，或为当前论文新建。 "));
    m_emptyText->setAlignment(Qt::AlignCenter);
    m_createHere = textButton(QStringLiteral("新建本篇笔记"), m_emptyState);
    m_createHere->setObjectName(QStringLiteral("createHere"));
    empty->addStretch(1);
    empty->addWidget(m_emptyText);
    empty->addWidget(m_createHere, 0, Qt::AlignHCenter);
    empty->addStretch(1);
    column->addWidget(m_emptyState, 3);
}

// The footer (undo of a deletion, the word on saving) and the store's error.
void PaperNotesView::buildFooter(QVBoxLayout *column)
{
    auto *footer = new QHBoxLayout;
    m_undo = textButton(QStringLiteral("撤销删除"), this);
    m_undo->setObjectName(QStringLiteral("undo"));
    m_status = captionLabel(this, false);
    m_status->setObjectName(QStringLiteral("status"));
    footer->addWidget(m_undo);
    footer->addStretch(1);
    footer->addWidget(m_status);
    column->addLayout(footer);
    m_error = captionLabel(this, false);
    m_error->setObjectName(QStringLiteral("error"));
    m_error->setStyleSheet(QStringLiteral("color: #d70015;"));
    m_error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_error);
}

// New notes, the search and the scope.
void PaperNotesView::connectListControls(QButtonGroup *scopeGroup)
{
    connect(m_create, &QToolButton::clicked, this, &PaperNotesView::createNote);
    connect(m_createHere, &QPushButton::clicked, this, &PaperNotesView::createNote);
    connect(m_search, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_query = text;
        refresh();
    });
    connect(scopeGroup, &QButtonGroup::buttonClicked, this, [this](QAbstractButton *segment) {
        m_allPapers = segment == m_scopeAll;
        refresh();
    });
}

// The editor's fields and actions, each handed to the store at once.
void PaperNotesView::connectEditing()
{
    // Each keystroke is one edit of the store; the fields take the store's
    // text back only when it differs, so the cursor stays where it is.
    // A title is one line: a pasted line break becomes a space.
    connect(m_title, &QLineEdit::textEdited, this, [this](const QString &typed) {
        const QString text = oneLineTitle(typed);
        if (text != typed) {
            const int cursor = m_title->cursorPosition() - int(typed.size() - text.size());
            const QSignalBlocker quiet(m_title);
            m_title->setText(text);
            m_title->setCursorPosition(std::max(0, cursor));
        }
        if (const auto note = m_store.note(selection()))
            m_store.update(note->id, text, std::nullopt);
    });
    connect(m_body, &QPlainTextEdit::textChanged, this, [this] {
        m_shownBody = m_bodyPieces->body();
        if (const auto note = m_store.note(selection()))
            m_store.update(note->id, std::nullopt, m_shownBody);
    });
    connect(m_source, &QToolButton::clicked, this, [this] {
        if (const auto note = m_store.note(selection()); note && m_hooks.openSource)
            m_hooks.openSource(*note);
    });
    connect(m_export, &QToolButton::clicked, this, [this] {
        if (const auto note = m_store.note(selection()))
            exportNote(*note);
    });
    connect(m_delete, &QToolButton::clicked, this, [this] {
        if (const auto note = m_store.note(selection())) {
            m_store.trash(note->id);
            setSelection(std::nullopt);
        }
    });
    connect(m_link, &QPushButton::clicked, this, [this] {
        if (const auto note = m_store.note(selection()); note && m_paperID)
            m_store.associate(note->id, *m_paperID, m_page);
    });
    connect(m_undo, &QPushButton::clicked, this, [this] { m_store.undoDelete(); });
}

// The panel redraws on every change of the store, of the data folder's
// access and of the text sizes.
void PaperNotesView::followStoreAndPreferences()
{
    for (auto signal : {&notes::PaperNotesStore::papersChanged, &notes::PaperNotesStore::notesChanged, &notes::PaperNotesStore::errorChanged})
        connect(&m_store, signal, this, &PaperNotesView::refresh);
    connect(&platform::DataFolderAccess::shared(), &platform::DataFolderAccess::readOnlyChanged, this,
            &PaperNotesView::showSaveState);
    connect(&platform::Preferences::shared(), &platform::Preferences::valueChanged, this, [this](const QString &key) {
        if (key == platform::prefkey::interfaceTextSize || key == platform::prefkey::noteTextSize)
            applyFonts();
    });
}

// The export asks for its path in a save dialog and tells a failure in a
// warning box.
void PaperNotesView::useDefaultExportDialogs()
{
    chooseExportPath = [this](const QString &suggested) {
        return QFileDialog::getSaveFileName(this, QString(), suggested, QStringLiteral("Markdown (*.md)"));
    };
    reportExportFailure = [this](const QString &error) {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("无法导出笔记"), QStringLiteral("无法导出笔记"),
                        QMessageBox::Ok, this);
        box.setInformativeText(error);
        box.exec();
    };
}

PaperNotesView::~PaperNotesView()
{
    m_store.flush();
}

void PaperNotesView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_store.flush();
}

std::optional<QUuid> PaperNotesView::selection() const
{
    return m_hooks.selection ? m_hooks.selection() : std::nullopt;
}

void PaperNotesView::setSelection(const std::optional<QUuid> &id)
{
    if (m_hooks.setSelection)
        m_hooks.setSelection(id);
    refresh();
}

void PaperNotesView::setPaperID(const std::optional<QUuid> &paperID)
{
    if (m_paperID == paperID)
        return;
    m_paperID = paperID;
    chooseNote();
    refresh();
}

void PaperNotesView::setPage(int page)
{
    m_page = page;
}

QString PaperNotesView::paperTitle(const std::optional<QUuid> &paperID) const
{
    const std::optional<notes::NotePaper> paper = m_store.paper(paperID);
    return paper ? paper->title : QString();
}

// Keeps the selection on the open paper: a note of another paper (or of
// none) gives way to the open paper's most recent note.
void PaperNotesView::chooseNote()
{
    m_allPapers = !m_paperID.has_value();
    const std::optional<notes::PaperNote> shown = m_store.note(selection());
    const std::optional<QUuid> shownPaper = shown ? shown->paperID : std::nullopt;
    if (shownPaper == m_paperID)
        return;
    const QList<notes::PaperNote> candidates = m_store.search(QString(), m_paperID, m_paperID.has_value());
    setSelection(candidates.isEmpty() ? std::nullopt : std::optional(candidates.front().id));
}

void PaperNotesView::createNote()
{
    if (!m_paperID)
        return;
    m_query.clear();
    m_search->clear();
    m_allPapers = false;
    notes::PaperNote note;
    note.id = QUuid::createUuid();
    note.paperID = m_paperID;
    note.page = m_page;
    note.createdAt = QDateTime::currentDateTimeUtc();
    note.updatedAt = QDateTime::currentDateTimeUtc();
    m_store.setNotes(m_store.notes() << note);
    m_store.schedule();
    setSelection(note.id);
    m_title->setFocus(Qt::OtherFocusReason);
}

namespace {

bool breaksLine(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator
        || c == QChar::ParagraphSeparator || c == QLatin1Char('\v') || c == QLatin1Char('\f')
        || c == QChar(0x85);
}

} // namespace

QString PaperNotesView::oneLineTitle(const QString &title)
{
    QString line = title;
    line.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    for (QChar &c : line)
        if (breaksLine(c))
            c = QLatin1Char(' ');
    return line;
}

QString PaperNotesView::exportFileName(const notes::PaperNote &note)
{
    QString stem = oneLineTitle(note.title);
    for (QChar &c : stem)
        if (c.category() == QChar::Other_Control || c == QLatin1Char('/'))
            c = c == QLatin1Char('/') ? QLatin1Char('-') : QLatin1Char(' ');
    return (stem.isEmpty() ? QStringLiteral("论文笔记") : stem) + QStringLiteral(".md");
}

void PaperNotesView::exportNote(const notes::PaperNote &note)
{
    const QString markdown = m_store.markdown(note);
    const QString path = chooseExportPath ? chooseExportPath(exportFileName(note)) : QString();
    if (path.isEmpty())
        return;
    QString failure;
    if (!platform::writeFileAtomically(path, markdown.toUtf8(), &failure) && reportExportFailure)
        reportExportFailure(failure);
}

// Rows are kept by note: a note new to the list gets a row, a row's texts
// change with its note's, and a row moves only when the order changes, so
// that typing in a note touches that note's row alone.
void PaperNotesView::rebuildList(const QList<notes::PaperNote> &results)
{
    QHash<QUuid, NoteRow *> kept;
    for (NoteRow *row : std::as_const(m_rows))
        kept.insert(row->noteID(), row);
    QList<NoteRow *> order;
    order.reserve(results.size());
    for (const notes::PaperNote &note : results) {
        NoteRow *row = kept.take(note.id);
        if (row) {
            row->setNote(note, paperTitle(note.paperID));
        } else {
            row = new NoteRow(note, paperTitle(note.paperID), m_listBody);
            const QUuid id = note.id;
            connect(row, &NoteRow::clicked, this, [this, id] { setSelection(id); });
        }
        order.append(row);
    }
    // Rows go later: one of them may be the button being pressed.
    for (NoteRow *row : std::as_const(kept)) {
        m_listLayout->removeWidget(row);
        row->hide();
        row->setParent(nullptr);
        row->deleteLater();
    }
    if (!std::ranges::equal(order, m_rows)) {
        for (int at = 0; at < order.size(); ++at) {
            QLayoutItem *item = m_listLayout->itemAt(at);
            if (item && item->widget() == order[at])
                continue;
            m_listLayout->removeWidget(order[at]);
            m_listLayout->insertWidget(at, order[at]);
            order[at]->show();
        }
        m_rows = order;
    }
    const std::optional<QUuid> selected = selection();
    for (NoteRow *row : std::as_const(m_rows))
        row->setSelected(selected == row->noteID());
    m_emptyList->setVisible(results.isEmpty());
    m_emptyList->setText(m_query.isEmpty() ? QStringLiteral("在这里记下这篇论文的想法。") : QStringLiteral("没有匹配的笔记"));
}

void PaperNotesView::showEditor(const notes::PaperNote &note)
{
    if (m_title->text() != note.title)
        m_title->setText(note.title);
    if (m_shownBody != note.body) {
        const QSignalBlocker quiet(m_body);
        m_bodyPieces->show(note.body);
        m_shownBody = note.body;
    }
    QString source = note.paperID && m_store.paper(note.paperID) ? paperTitle(note.paperID) : kNoPaper;
    if (note.page)
        source += QStringLiteral(" · 第 ") + QString::number(*note.page + 1) + QStringLiteral(" 页");
    m_source->setProperty("fullText", source);
    fitSourceText();
    m_source->setEnabled(m_store.resolve(note.paperID).has_value());
    m_link->setVisible(!note.paperID && m_paperID);
    QStringList quotes;
    if (note.sources)
        for (const model::ReadingTextSource &passage : *note.sources)
            quotes << passage.quote;
    m_quotes->setVisible(!quotes.isEmpty());
    m_quotes->setText(platform::rowText(quotes.join(QLatin1Char('\n')), 5));
}

// The source button's text in at most two lines of the room it has.
void PaperNotesView::fitSourceText()
{
    const QString text = platform::rowText(m_source->property("fullText").toString(), 2);
    const int room = std::max(40, m_source->width() - m_source->iconSize().width() - 16);
    QTextLayout layout(text, m_source->font());
    layout.beginLayout();
    QStringList lines;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(room);
        if (lines.size() == 1) {
            lines << m_source->fontMetrics().elidedText(text.mid(line.textStart()), Qt::ElideRight, room);
            break;
        }
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    m_source->setText(lines.join(QLatin1Char('\n')));
}

bool PaperNotesView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_source && event->type() == QEvent::Resize)
        fitSourceText();
    return QWidget::eventFilter(watched, event);
}

void PaperNotesView::refresh()
{
    m_create->setEnabled(m_paperID.has_value());
    m_createHere->setEnabled(m_paperID.has_value());
    const QString openTitle = paperTitle(m_paperID);
    m_paperLine->setVisible(m_paperID && m_store.paper(m_paperID));
    m_paperLine->setText(platform::rowText(openTitle, 2));
    m_scope->setEnabled(m_paperID.has_value());
    m_scopeAll->setChecked(m_allPapers);
    m_scopeCurrent->setChecked(!m_allPapers);
    if (m_search->text() != m_query)
        m_search->setText(m_query);

    rebuildList(m_store.search(m_query, m_paperID, !m_allPapers && m_paperID.has_value()));

    const std::optional<notes::PaperNote> note = m_store.note(selection());
    m_editor->setVisible(note.has_value());
    m_emptyState->setVisible(!note.has_value());
    if (note)
        showEditor(*note);
    // In the next turn: a panel made for the new note is put in place and
    // shown right after it is made.
    if (note && m_hooks.takeTitleFocus && m_hooks.takeTitleFocus())
        QTimer::singleShot(0, m_title, [title = m_title] { title->setFocus(Qt::OtherFocusReason); });

    m_undo->setVisible(m_store.canUndoDelete());
    showSaveState();
}

void PaperNotesView::showSaveState()
{
    const bool failing = m_store.hasError();
    // While another reader holds the data folder, what is typed waits in
    // this window.
    const bool held = platform::DataFolderAccess::shared().holdsBack(m_store.filePath());
    m_status->setText(failing ? QStringLiteral("尚未保存")
                      : held  ? QStringLiteral("暂存 · 可写入时保存")
                              : QStringLiteral("自动保存 · 仅本机"));
    m_status->setStyleSheet(QStringLiteral("color: %1;").arg(failing ? QStringLiteral("#d70015") : cssColor(secondaryColor())));
    m_error->setVisible(failing);
    m_error->setText(platform::rowText(m_store.error(), 6));
}

void PaperNotesView::applyFonts()
{
    const QFont caption = platform::interfaceFont(Role::caption);
    // Every text in the interface's own sizes, wherever the panel stands
    // (the side column or a popover of its own).
    const QFont body = platform::interfaceFont(Role::body);
    for (QWidget *widget : {static_cast<QWidget *>(m_search), static_cast<QWidget *>(m_title),
                            static_cast<QWidget *>(m_scopeCurrent), static_cast<QWidget *>(m_scopeAll),
                            static_cast<QWidget *>(m_createHere)})
        widget->setFont(body);
    m_heading->setFont(platform::interfaceFont(Role::headline));
    for (QLabel *label : {m_paperLine, m_emptyList, m_quotes, m_emptyText, m_status, m_error})
        label->setFont(caption);
    for (QWidget *widget : {static_cast<QWidget *>(m_link), static_cast<QWidget *>(m_undo), static_cast<QWidget *>(m_source)})
        widget->setFont(caption);
    capLines(m_paperLine, 2);
    capLines(m_quotes, 5, 9);
    m_quotes->setMinimumHeight(m_quotes->maximumHeight() * 2 / 5);
    QFont noteText = QApplication::font();
    noteText.setPointSizeF(platform::ReaderPreferences::noteTextSize() * platform::kQtPointsPerInterfacePoint);
    m_body->setFont(noteText);
    for (NoteRow *row : m_listBody->findChildren<NoteRow *>())
        row->updateGeometry();
    fitHeights();
}

// The list and the editor share the height: the list keeps three rows (of
// a title and a paper line), the body editor 100 points where there is
// room and less in a short panel, so that the footer always shows.
void PaperNotesView::fitHeights()
{
    const int title = QFontMetrics(platform::interfaceFont(Role::callout, QFont::Medium)).lineSpacing();
    const int caption = QFontMetrics(platform::interfaceFont(Role::caption)).lineSpacing();
    const int row = 8 + title + 4 + caption + 8;
    m_listArea->setMinimumHeight(3 * row + 2 * m_listLayout->spacing());
    m_body->setMinimumHeight(height() >= kRoomyHeight ? 100 : 2 * m_body->fontMetrics().lineSpacing() + 12);
}

void PaperNotesView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitHeights();
}

} // namespace folvan::notesview

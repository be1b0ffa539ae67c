#include "window/PaneErrorLine.h"

#include "annotations/PaneAnnotations.h"
#include "engine/PdfDocument.h"
#include "history/ReadingHistory.h"
#include "model/SharedPDFViewModel.h"
#include "notes/PaperNotesStore.h"
#include "platform/Icons.h"
#include "platform/InterfaceFont.h"
#include "window/PaneRadio.h"

#include <QToolButton>

namespace folvan::window {

QString PaneErrorLine::repairedPaperText(const QString &fileName)
{
    return QStringLiteral("“%1”已损坏，显示的是修复后的内容，部分页面或文字可能缺失。").arg(fileName);
}

PaneErrorLine::PaneErrorLine(model::SharedPDFViewModel *model, notes::PaperNotesStore *notes, history::ReadingHistory *history,
                             QWidget *parent)
    : QLabel(parent)
    , m_close(new QToolButton(this))
    , m_model(model)
    , m_notes(notes)
    , m_history(history)
{
    setObjectName(QStringLiteral("paneErrorLine"));
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    platform::useInterfaceFont(this, platform::InterfaceTextRole::caption);
    // The right padding keeps the text clear of the close button.
    setStyleSheet(QStringLiteral("#paneErrorLine { color: #c8001a; background: rgba(255, 240, 240, 235);"
                                 " border: 1px solid rgba(200, 0, 26, 60); border-radius: 7px;"
                                 " padding: 5px 30px 5px 9px; }"));
    m_close->setObjectName(QStringLiteral("paneErrorLineClose"));
    m_close->setIcon(platform::symbolIcon(QStringLiteral("xmark")));
    m_close->setIconSize(QSize(10, 10));
    m_close->setToolTip(QStringLiteral("关闭"));
    m_close->setAccessibleName(QStringLiteral("关闭错误提示"));
    m_close->setAutoRaise(true);
    m_close->setCursor(Qt::ArrowCursor);
    m_close->setFixedSize(20, 20);
    // A click closes the line; the keys stay with the reading view.
    m_close->setFocusPolicy(Qt::NoFocus);
    connect(m_close, &QToolButton::clicked, this, &PaneErrorLine::dismiss);
    for (auto signal : {&model::SharedPDFViewModel::navigationErrorChanged, &model::SharedPDFViewModel::pdfDocumentChanged,
                        &model::SharedPDFViewModel::pdfDocumentURLChanged})
        connect(model, signal, this, &PaneErrorLine::refresh);
    if (const annotations::PaneAnnotations *paneAnnotations = model ? annotations::PaneAnnotations::of(*model) : nullptr)
        connect(paneAnnotations, &annotations::PaneAnnotations::markupErrorChanged, this, &PaneErrorLine::refresh);
    if (notes)
        connect(notes, &notes::PaperNotesStore::errorChanged, this, &PaneErrorLine::refresh);
    if (history) {
        for (auto signal : {&history::ReadingHistory::errorChanged, &history::ReadingHistory::loadProblemChanged})
            connect(history, signal, this, &PaneErrorLine::refresh);
    }
    refresh();
}

QStringList PaneErrorLine::errors() const
{
    QStringList lines = standing();
    lines.removeIf([this](const QString &line) { return m_dismissed.contains(line); });
    return lines;
}

void PaneErrorLine::dismiss()
{
    m_dismissed = standing();
    refresh();
}

void PaneErrorLine::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    m_close->move(width() - m_close->width() - 5, 4);
}

QStringList PaneErrorLine::standing() const
{
    QStringList lines;
    // The paper's own stores speak only while a paper is open.
    if (m_model && m_model->pdfDocument()) {
        if (m_model->pdfDocument()->wasRepaired())
            lines << repairedPaperText(m_model->pdfDocumentURL().fileName());
        const annotations::PaneAnnotations *paneAnnotations = annotations::PaneAnnotations::of(*m_model);
        if (const auto error = paneAnnotations ? paneAnnotations->markupError() : std::nullopt)
            lines << *error;
        if (const auto &error = m_model->navigationError())
            lines << *error;
    }
    if (m_notes && m_notes->hasError())
        lines << m_notes->error();
    if (m_radio && !m_radio->streamError().isEmpty())
        lines << QStringLiteral("无法连接广播流：") + m_radio->streamError();
    if (m_history) {
        // A history that could not be read stays said after the next save.
        if (!m_history->error().isEmpty())
            lines << m_history->error();
        if (!m_history->loadProblem().isEmpty() && m_history->loadProblem() != m_history->error())
            lines << m_history->loadProblem();
    }
    return lines;
}

void PaneErrorLine::setRadio(PaneRadio *radio)
{
    if (radio == m_radio)
        return;
    if (m_radio)
        disconnect(m_radio, nullptr, this, nullptr);
    m_radio = radio;
    if (radio)
        connect(radio, &PaneRadio::streamErrorChanged, this, &PaneErrorLine::refresh);
    refresh();
}

void PaneErrorLine::refresh()
{
    // A message that ended is forgotten: should it come back, it is said.
    const QStringList now = standing();
    m_dismissed.removeIf([&now](const QString &line) { return !now.contains(line); });
    const QString text = errors().join(QLatin1Char('\n'));
    if (text == this->text() && isVisibleTo(parentWidget()) == !text.isEmpty())
        return;
    setText(text);
    setToolTip(text);
    setVisible(!text.isEmpty());
    emit changed();
}

} // namespace folvan::window

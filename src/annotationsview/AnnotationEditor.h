#pragma once

// The small form in which the reader changes the note and the colour of
// one annotation: it collects them and hands them to its owner, changing
// nothing itself. Escape cancels; Ctrl+Return saves, and so does Return
// outside the note, where Return starts a new line.

#include <QWidget>

#include <array>
#include <functional>
#include <optional>

#include "annotations/MarkupColor.h"
#include "annotations/ReadingMarkup.h"

class QAbstractButton;
class QPlainTextEdit;
class QPushButton;

namespace folvan::annotationsview {

class AnnotationEditor : public QWidget {
    Q_OBJECT
public:
    using SaveHandler = std::function<void(const QString &note, std::optional<annotations::MarkupColor> color)>;

    AnnotationEditor(annotations::ReadingAnnotationItem item, const QString &note, SaveHandler save,
                     std::function<void()> cancel, QWidget *parent = nullptr);

    const annotations::ReadingAnnotationItem &item() const { return m_item; }
    // The colour chosen here; none until a swatch is pressed.
    std::optional<annotations::MarkupColor> color() const { return m_color; }
    QPlainTextEdit *noteEditor() const { return m_note; }
    // The swatches in palette order.
    QAbstractButton *swatch(int index) const { return m_swatches[size_t(index)]; }
    QPushButton *saveButton() const { return m_saveButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

    void save();
    void cancel();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void choose(annotations::MarkupColor color);

    annotations::ReadingAnnotationItem m_item;
    SaveHandler m_save;
    std::function<void()> m_cancel;
    std::optional<annotations::MarkupColor> m_color;
    QPlainTextEdit *m_note;
    std::array<QAbstractButton *, 4> m_swatches{};
    QPushButton *m_saveButton;
    QPushButton *m_cancelButton;
};

} // namespace folvan::annotationsview

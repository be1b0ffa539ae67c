#pragma once

// What a pane shows in book mode: the book view filling the pane, fed with
// the paper look and page-turning preferences, and while the book view has
// failed, a card over it that offers scroll reading instead. Also the
// two-segment control that switches a pane between book and scroll
// reading.

#include "book/BookCoordinator.h"

#include <QLabel>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>

class QButtonGroup;

namespace folvan::book {

class PaperBookView;

// The book view's values from the preferences ("folvan.paperWarmth",
// "folvan.paperGrain", "folvan.reducedBookMotion", "folvan.pageLayout" and
// the four page-turning keys), the pane's angle and zoom, and the pane's
// layout when it gives one. Reduced motion is on when the preference is,
// else as the system asks.
BookViewParameters readingParameters(double angle, double zoom, std::optional<platform::BookLayout> layout,
                                     bool systemReducedMotion);

// The message of the error card: shown whole however long, its lines
// centred, broken between words or, in a word longer than a line (a path,
// an address), anywhere; and of even lengths, so that no last word stands
// alone on its line.
class CardMessage : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The text of each line at the present width.
    QStringList lines() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

class PaperReadingView : public QWidget {
    Q_OBJECT
public:
    PaperReadingView(model::SharedPDFViewModel *model, QWidget *parent = nullptr);

    // The pane's rotation, zoom and (optional) layout.
    void setPaneValues(double angle, double zoom, std::optional<platform::BookLayout> layout);
    void setOnZoom(std::function<void(double)> onZoom);
    void setOnDropPDF(std::function<void(const QUrl &)> onDropPDF);
    // The pane's wallpaper behind the book (PaperBookView::setWallpaper).
    void setWallpaper(const QImage &image, QWidget *backdrop);
    // Called with false when the reader asks for scroll reading.
    void setOnModeChange(std::function<void(bool book)> onMode) { m_onMode = std::move(onMode); }

    PaperBookView *bookView() const { return m_book; }
    QWidget *errorCard() const { return m_card; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void refresh();
    void placeCard();
    void drawIcon();

    QPointer<model::SharedPDFViewModel> m_model;
    PaperBookView *m_book;
    QWidget *m_card;
    QLabel *m_icon;
    CardMessage *m_message;
    double m_angle = 0;
    double m_zoom = 1;
    std::optional<platform::BookLayout> m_layout;
    std::function<void(bool)> m_onMode;
};

// "翻书" and "滚动": sets the pane's reading mode.
class ReadingModePicker : public QWidget {
    Q_OBJECT
public:
    explicit ReadingModePicker(QWidget *parent = nullptr);

    void setBook(bool isBook);
    bool isBook() const;

signals:
    // The reader chose a mode.
    void bookChosen(bool isBook);

private:
    QButtonGroup *m_group;
};

} // namespace folvan::book

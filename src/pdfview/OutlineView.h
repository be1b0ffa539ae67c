#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QWidget>

#include "engine/PdfOutline.h"

class QLabel;
class QToolButton;
class QVBoxLayout;

namespace folvan::engine {
class PdfDocument;
}

namespace folvan::pdfview {

using SelectPageHandler = std::function<void(int pageIndex)>;

// One outline entry and, while it is expanded, the entries below it. Every
// entry starts expanded; collapsing one drops the views below it, so that
// they start expanded again when it is expanded again.
class OutlineNodeView : public QWidget {
    Q_OBJECT
public:
    OutlineNodeView(engine::PdfOutlineItem node, int level, std::shared_ptr<engine::PdfDocument> document,
                    SelectPageHandler onSelectPage, QWidget *parent = nullptr);

    const engine::PdfOutlineItem &node() const { return m_node; }
    int level() const { return m_level; }
    // The entry's title: its label as written.
    QString title() const { return m_node.title; }
    // The index of the entry's destination page in the document; none when
    // it has no destination or the page is not in the document.
    std::optional<int> pageIndex() const;

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    // Presses the entry's title: goes to its page when there is one.
    void activate();

    // The parts of the entry's row (none when the title is empty).
    QWidget *row() const { return m_row; }
    QToolButton *disclosureButton() const { return m_disclosure; }
    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *pageLabel() const { return m_pageLabel; }
    // The entries shown below this one.
    QList<OutlineNodeView *> childViews() const;

    static constexpr int kIndentPerLevel = 10;
    static constexpr int kIndentBase = 6;

private:
    void buildRow();
    void updateDisclosure();
    void showChildren();

    engine::PdfOutlineItem m_node;
    int m_level;
    std::shared_ptr<engine::PdfDocument> m_document;
    SelectPageHandler m_onSelectPage;
    bool m_expanded = true;

    QWidget *m_row = nullptr;
    QToolButton *m_disclosure = nullptr;
    QLabel *m_titleLabel = nullptr;
    QLabel *m_pageLabel = nullptr;
    QWidget *m_children = nullptr;
    QVBoxLayout *m_childLayout = nullptr;
};

// The table of contents that a PDF carries: a header, then the indented
// tree of its outline, or a note that it has none. A click on an entry
// reports its page index.
class OutlineView : public QWidget {
    Q_OBJECT
public:
    OutlineView(std::shared_ptr<engine::PdfDocument> document, SelectPageHandler onSelectPage,
                QWidget *parent = nullptr);

    // The entries at the top level (none when the document has no outline).
    QList<OutlineNodeView *> topLevelViews() const;
    // Whether the note "此 PDF 没有内置目录" stands in for the tree.
    bool showsEmptyState() const { return m_emptyState != nullptr; }

private:
    std::shared_ptr<engine::PdfDocument> m_document;
    QWidget *m_tree = nullptr;
    QWidget *m_emptyState = nullptr;
};

} // namespace folvan::pdfview

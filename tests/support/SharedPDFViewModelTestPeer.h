#pragma once

// Writes the pane model's published state directly, for tests that need a
// state no sequence of operations reaches quickly. Everything else goes
// through the model's operations.
//
//     SharedPDFViewModelTestPeer(&model).setCurrentPageIndex(3);

#include "model/SharedPDFViewModel.h"

#include <utility>

namespace folvan::model {

class SharedPDFViewModelTestPeer {
public:
    explicit SharedPDFViewModelTestPeer(SharedPDFViewModel *model) : m_model(*model) {}

    void setPdfDocument(PdfDocumentPtr value) const { m_model.setPdfDocument(std::move(value)); }
    void setPdfDocumentURL(QUrl value) const { m_model.setPdfDocumentURL(std::move(value)); }
    void setBookTurnRequest(std::optional<BookTurnRequest> value) const { m_model.setBookTurnRequest(std::move(value)); }
    void setBookCanForward(bool value) const { m_model.setBookCanForward(std::move(value)); }
    void setBookCanBackward(bool value) const { m_model.setBookCanBackward(std::move(value)); }
    void setBookError(std::optional<QString> value) const { m_model.setBookError(std::move(value)); }
    void setBookLayout(platform::BookLayout value) const { m_model.setBookLayout(value); }
    void setTextSelectionMode(bool value) const { m_model.setTextSelectionMode(std::move(value)); }
    void setSelectionText(QString value) const { m_model.setSelectionText(std::move(value)); }
    void setBookTextMode(bool value) const { m_model.setBookTextMode(std::move(value)); }
    void setBookmarks(BookmarkList value) const { m_model.setBookmarks(std::move(value)); }
    void setBackLocations(LocationList value) const { m_model.setBackLocations(std::move(value)); }
    void setForwardLocations(LocationList value) const { m_model.setForwardLocations(std::move(value)); }
    void setNavigationError(std::optional<QString> value) const { m_model.setNavigationError(std::move(value)); }
    void setCurrentPageIndex(int value) const { m_model.setCurrentPageIndex(std::move(value)); }
    void setReflowAppearance(std::optional<QVariantMap> value) const { m_model.setReflowAppearance(std::move(value)); }
    void setReflowSources(TextSourceList value) const { m_model.setReflowSources(std::move(value)); }
    void setReflowBlock(int value) const { m_model.setReflowBlock(std::move(value)); }
    void setReflowOffset(int value) const { m_model.setReflowOffset(std::move(value)); }
    void setPageCount(int value) const { m_model.setPageCount(std::move(value)); }
    void setJumpToPage(std::optional<int> value) const { m_model.setJumpToPage(std::move(value)); }
    void setShowSearch(bool value) const { m_model.setShowSearch(std::move(value)); }
    void setSearchText(QString value) const { m_model.setSearchText(std::move(value)); }
    void setSearchResults(SelectionList value) const { m_model.setSearchResults(std::move(value)); }
    void setCurrentSearchIndex(int value) const { m_model.setCurrentSearchIndex(std::move(value)); }

private:
    SharedPDFViewModel &m_model;
};

} // namespace folvan::model

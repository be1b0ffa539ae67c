#pragma once

// The Scholar side panel of a pane: a small browser that opens the search
// for the pane's paper, with back, reload and forward, an open-in-browser
// button, an address field, and two buttons that fetch the page on display
// through the page itself (its cookies and sign-in apply), or take the PDF
// the site last sent as a download, to save it as a PDF or to write it over
// the open paper.

#include <QUrl>
#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace folvan::model {
class SharedPDFViewModel;
}

namespace folvan::scholar {

class WebView;

class GGView : public QWidget {
    Q_OBJECT
public:
    GGView(const QUrl &searchURL, model::SharedPDFViewModel *viewModel, QWidget *parent = nullptr);

    // The pane's search address changed (another paper): it is loaded, and
    // the address field shows it unless the user is typing there.
    void setSearchURL(const QUrl &searchURL);
    QUrl searchURL() const { return m_searchURL; }

    // Loads the address typed into the address field.
    void navigateToTypedURL();
    // Fetches `url` through the page on display; `action` is "download" or
    // "replace". Nothing while a fetch is under way.
    void fetchPDFViaJS(const QUrl &url, const QString &action);

    WebView *webView() const { return m_webView; }
    QLineEdit *addressField() const { return m_addressField; }
    QString urlBarText() const;
    bool isEditingURL() const { return m_isEditingURL; }
    // The address of the page on display (the last load that ended).
    std::optional<QUrl> currentURL() const;
    // The line under the toolbar that shows a load or a fetch running, and
    // the message of one that timed out (hidden otherwise).
    QProgressBar *loadingLine() const { return m_loadingLine; }
    QLabel *messageLine() const { return m_messageLine; }

    // The toolbar's buttons, left to right: back, reload, forward, open in
    // browser, save, replace.
    enum class Button { back, reload, forward, openInBrowser, save, replace };
    QPushButton *button(Button which) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The panel's parts, top to bottom; the builders add theirs to `column`.
    void buildToolbar(QVBoxLayout *column);
    void makeButtons();
    void setUpAddressField();
    void buildStatusLines(QVBoxLayout *column);
    // What the parts do.
    void connectToolbar();
    void followWebView();
    void followPage();
    void fetchCurrent(const QString &action);
    void showProgress(int progress);
    // A failure's message in red, any other in the text's colour.
    void showMessage(const QString &text, const QUrl &address, bool failure = true);
    void fitMessage();
    void showFetchState();

    QUrl m_searchURL;
    WebView *m_webView;
    QLineEdit *m_addressField;
    QProgressBar *m_loadingLine;
    QLabel *m_messageLine;
    QString m_message, m_messageAddress;
    QPushButton *m_buttons[6] = {};
    bool m_isEditingURL = false;
};

} // namespace folvan::scholar

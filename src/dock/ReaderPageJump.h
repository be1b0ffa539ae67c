#pragma once

// The dock's panel for going to a typed page number: the title "跳转页码",
// the entry field, "/ count" and the "前往" button (in the platform's own
// look). Return or "前往" with a valid number calls `onJump` with it; an
// invalid entry does nothing and shows no message.

#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace folvan::dock {

class ReaderPageJump : public QWidget {
    Q_OBJECT
public:
    // `count` pages; the field starts with `currentPageNumber` (1-based);
    // `onJump` receives a valid 1-based page number.
    ReaderPageJump(int count, int currentPageNumber, std::function<void(int)> onJump, QWidget *parent = nullptr);

    // The page a typed text names: the text without surrounding white space
    // as a decimal integer (an optional sign, ASCII digits only, within 64
    // bits) from 1 to `count`; none otherwise.
    static std::optional<int> validPage(const QString &input, int count);

    std::optional<int> validPage() const;
    // Calls onJump with the valid page, if any.
    void go();

    QLineEdit *field() const { return m_field; }
    QPushButton *goButton() const { return m_go; }

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // 250 wide, or as wide as the row needs for four digits in the field
    // at the interface size.
    void fitWidth();

    int m_count;
    std::function<void(int)> m_onJump;
    QLineEdit *m_field;
    QPushButton *m_go;
};

} // namespace folvan::dock

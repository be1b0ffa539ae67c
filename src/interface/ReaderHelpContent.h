#pragma once

#include "interface/HelpText.h"

#include <QScrollArea>

namespace folvan::interface {

// The reader's guide: the five help groups, then "菜单与快捷键" with every
// command of the table that has a shortcut. One scrolling column whose text
// can be selected and copied; its text follows the interface text size.
class ReaderHelpContent : public QScrollArea {
    Q_OBJECT
public:
    // `commands`: the command table in menu order.
    explicit ReaderHelpContent(const QList<HelpCommand> &commands, QWidget *parent = nullptr);
};

} // namespace folvan::interface

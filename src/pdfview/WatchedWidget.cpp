#include "pdfview/WatchedWidget.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>

namespace folvan::pdfview {

QWidget *watchedWidget(const QObject *watched)
{
    if (!watched)
        return nullptr;
    const QWidgetList widgets = QApplication::allWidgets();
    const auto found = std::find_if(widgets.cbegin(), widgets.cend(),
                                    [watched](const QWidget *widget) { return widget == watched; });
    return found == widgets.cend() ? nullptr : *found;
}

} // namespace folvan::pdfview

#pragma once

class QObject;
class QWidget;

namespace folvan::pdfview {

// The widget `watched` is, or nullptr when it is no widget of the
// application. A filter installed on the application sees the events of
// every object, among them the items of the web engine's scene, whose
// classes carry no type information: asking such an object anything (even
// isWidgetType()) is a call the undefined-behaviour checks cannot verify.
// So `watched` is only compared, by its address, with the application's
// widgets; a filter asks this once it knows the event concerns it.
QWidget *watchedWidget(const QObject *watched);

} // namespace folvan::pdfview

#pragma once

class QCoreApplication;

namespace folvan::app {

// Qt's own texts (the buttons of message boxes, the open and save panels)
// in Chinese, as the rest of the interface: installs Qt's zh_CN
// translations on `app`. False when they are not installed on this machine.
bool installQtChineseTranslations(QCoreApplication &app);

} // namespace folvan::app

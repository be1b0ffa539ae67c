#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace folvan::app {

bool installQtChineseTranslations(QCoreApplication &app)
{
    auto *translator = new QTranslator(&app);
    // "qt_zh_CN" gathers the catalogues of Qt's modules (base, multimedia...).
    if (!translator->load(QStringLiteral("qt_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace folvan::app

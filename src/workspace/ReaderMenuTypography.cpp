#include "workspace/ReaderMenuTypography.h"

#include "platform/InterfaceFont.h"
#include "platform/Preferences.h"
#include "platform/ReaderPreferences.h"

#include <QApplication>
#include <QEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>

namespace folvan::workspace {

namespace {

QFont menuFont()
{
    QFont font = QApplication::font("QMenu");
    font.setPointSizeF(platform::ReaderPreferences::interfaceSize() * platform::kQtPointsPerInterfacePoint);
    return font;
}

} // namespace

ReaderMenuTypography &ReaderMenuTypography::shared()
{
    static ReaderMenuTypography *instance = new ReaderMenuTypography;
    return *instance;
}

ReaderMenuTypography::ReaderMenuTypography() = default;

ReaderMenuTypography::~ReaderMenuTypography()
{
    for (const QMetaObject::Connection &connection : m_observers)
        QObject::disconnect(connection);
    if (m_filtering && qApp)
        qApp->removeEventFilter(this);
}

void ReaderMenuTypography::start()
{
    if (!m_observers.empty())
        return;
    QPointer<ReaderMenuTypography> self(this);
    m_observers.push_back(connect(&platform::Preferences::shared(), &platform::Preferences::valueChanged, this,
                                  [self] { if (self) self->handle(nullptr); }));
    m_observers.push_back(connect(qApp, &QGuiApplication::applicationStateChanged, this,
                                  [self](Qt::ApplicationState state) {
                                      if (self && state == Qt::ApplicationActive)
                                          self->handle(nullptr);
                                  }));
    // Items added to a menu and a menu opening arrive as events of the menu.
    qApp->installEventFilter(this);
    m_filtering = true;
    schedule();
}

bool ReaderMenuTypography::eventFilter(QObject *watched, QEvent *event)
{
    if ((event->type() == QEvent::ActionAdded || event->type() == QEvent::Show)
        && (qobject_cast<QMenu *>(watched) || qobject_cast<QMenuBar *>(watched)))
        handle(watched);
    return false;
}

void ReaderMenuTypography::handle(QObject *sender)
{
    if (auto *menu = qobject_cast<QWidget *>(sender))
        apply(menu);
    schedule();
}

void ReaderMenuTypography::apply(QWidget *menu)
{
    const QFont font = menuFont();
    if (!menu->testAttribute(Qt::WA_SetFont) || menu->font() != font)
        menu->setFont(font);
    for (QAction *action : menu->actions())
        if (QMenu *submenu = action->menu())
            apply(submenu);
}

void ReaderMenuTypography::schedule()
{
    if (m_scheduled)
        return;
    m_scheduled = true;
    QTimer::singleShot(0, this, &ReaderMenuTypography::pass);
}

void ReaderMenuTypography::pass()
{
    m_scheduled = false;
    for (QWidget *top : QApplication::topLevelWidgets())
        for (QMenuBar *bar : top->findChildren<QMenuBar *>())
            apply(bar);
}

void applyReaderInterfaceStyle(QWidget *root)
{
    platform::useInterfaceFont(root, platform::InterfaceTextRole::body);
    ReaderMenuTypography::shared().start();
}

} // namespace folvan::workspace

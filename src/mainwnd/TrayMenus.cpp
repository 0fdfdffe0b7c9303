#include "mainwnd/TrayMenus.h"

#include "uilib/ResourcePath.h"
#include "uilib/SkinLoader.h"

#include <QAction>
#include <QActionGroup>
#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace {

// menu.xml gives the look; without it the menu is a plain one, so that a
// hidden window can always be shown again and the program always ended.
std::unique_ptr<QMenu> LoadMenu()
{
    std::unique_ptr<QMenu> menu = LoadSkinMenu(ResolveResourcePath(QStringLiteral("menu.xml")));
    return menu ? std::move(menu) : std::make_unique<QMenu>();
}

QAction* AddPlainItem(QMenu& menu, const QString& name, const QString& text)
{
    auto* action = new QAction(text, &menu);
    action->setObjectName(name);
    menu.addAction(action);
    return action;
}

// The menu's bottom left corner at `point`, kept inside the screen, as a
// menu at a tray icon near an edge must be.
QPoint TopLeftFor(const QMenu& menu, QPoint point)
{
    const QSize size = menu.sizeHint();
    QPoint topLeft(point.x(), point.y() - size.height());
    if (const QScreen* screen = QGuiApplication::screenAt(point)) {
        const QRect area = screen->availableGeometry();
        topLeft.setX(std::clamp(topLeft.x(), area.left(), std::max(area.left(), area.right() - size.width() + 1)));
        topLeft.setY(std::clamp(topLeft.y(), area.top(), std::max(area.top(), area.bottom() - size.height() + 1)));
    }
    return topLeft;
}

}  // namespace

TrayMenus::TrayMenus(QWidget* window)
    : QObject(window)
    , m_window(window)
    , m_trayMenu(LoadMenu())
    , m_languageMenu(LoadMenu())
    , m_windowMenu(LoadMenu())
{
    m_trayMenu->addAction(MakeMenuItem(QStringLiteral("show"), m_trayMenu.get()));
    m_trayMenu->addAction(MakeMenuItem(QStringLiteral("exit"), m_trayMenu.get()));
    auto* languages = new QActionGroup(m_languageMenu.get());
    for (QAction* item :
         {AddPlainItem(*m_languageMenu, QStringLiteral("LANG_ENGLISH"), QStringLiteral("English")),
          AddPlainItem(*m_languageMenu, QStringLiteral("LANG_CHINESE"), QStringLiteral("\u7B80\u4F53\u4E2D\u6587"))}) {
        item->setCheckable(true);
        languages->addAction(item);
    }
    // The window's own menu: what it offers besides its buttons, and an Exit
    // that needs no tray.
    m_windowMenu->clear();
    const std::pair<const char*, const char*> items[] = {{"WIN_FIND", "menu_find_address"},
                                                         {"WIN_DIAGNOSE", "menu_diagnostics"},
                                                         {"WIN_KNOWN", "menu_known"},
                                                         {"WIN_SETTINGS", "menu_settings"}};
    for (const auto& [name, key] : items) {
        auto* item = new QAction(m_windowMenu.get());
        item->setObjectName(QString::fromLatin1(name));
        SetTextKey(item, QString::fromLatin1(key));
        m_windowMenu->addAction(item);
    }
    connect(m_windowMenu->actions()[0], &QAction::triggered, this, &TrayMenus::FindByAddressRequested);
    connect(m_windowMenu->actions()[1], &QAction::triggered, this, &TrayMenus::DiagnosticsRequested);
    connect(m_windowMenu->actions()[2], &QAction::triggered, this, &TrayMenus::KnownServersRequested);
    connect(m_windowMenu->actions()[3], &QAction::triggered, this, &TrayMenus::SettingsRequested);
    auto* exportList = new QAction(m_windowMenu.get());
    exportList->setObjectName(QStringLiteral("WIN_EXPORT"));
    SetTextKey(exportList, QStringLiteral("menu_export"));
    connect(exportList, &QAction::triggered, this, &TrayMenus::ExportRequested);
    m_windowMenu->addAction(exportList);
    m_windowMenu->addSeparator();
    auto* exit = MakeMenuItem(QStringLiteral("exit"), m_windowMenu.get());
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    m_windowMenu->addAction(exit);
    // Its shortcut works wherever the window has the focus.
    m_window->addAction(exit);
    for (QMenu* menu : {m_trayMenu.get(), m_languageMenu.get(), m_windowMenu.get()}) {
        const auto actions = menu->actions();
        for (QAction* action : actions)
            ConnectByName(action);
    }
}

TrayMenus::~TrayMenus() = default;

QAction* TrayMenus::MakeMenuItem(const QString& word, QObject* parent)
{
    auto* action = new QAction(parent);
    const QString upper = word.toUpper();
    action->setObjectName(QStringLiteral("MENU_") + upper);
    SetTextKey(action, QStringLiteral("menu_") + upper);
    return action;
}

void TrayMenus::ConnectByName(QAction* action)
{
    const QString name = action->objectName();
    if (name.compare(u"MENU_SHOW", Qt::CaseInsensitive) == 0)
        connect(action, &QAction::triggered, this, &TrayMenus::ShowRequested);
    else if (name == u"MENU_EXIT")
        connect(action, &QAction::triggered, this, &TrayMenus::ExitRequested);
    else if (name == u"LANG_ENGLISH")
        connect(action, &QAction::triggered, this, [this] { emit LanguageChosen(QStringLiteral("en")); });
    else if (name == u"LANG_CHINESE")
        connect(action, &QAction::triggered, this, [this] { emit LanguageChosen(QStringLiteral("zh_cn")); });
}

void TrayMenus::CreateTrayIcon()
{
    QIcon icon = LoadSkinImage(QStringLiteral("res/vindrel.png"));
    if (icon.isNull())
        icon = m_window->windowIcon();
    m_icon = std::make_unique<QSystemTrayIcon>(icon);
    m_icon->setToolTip(QStringLiteral("Vindrel"));
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, &TrayMenus::OnActivated);
    // A StatusNotifierItem host (KDE, GNOME's AppIndicator, xfce) shows the
    // menu itself and needs it exported over D-Bus, which Qt does for the
    // context menu. An XEmbed tray pops the same menu, and the release
    // handler then places it upwards from the cursor.
    m_icon->setContextMenu(m_trayMenu.get());
    m_icon->show();
}

void TrayMenus::RemoveTrayIcon()
{
    if (m_icon)
        m_icon->hide();
    m_icon.reset();
}

bool TrayMenus::TrayShown() const
{
    // isVisible() says true even where no notification area exists.
    return m_icon && m_icon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayMenus::OnActivated(QSystemTrayIcon::ActivationReason reason)
{
    // Releasing either button opens the menu; a double click brings the
    // window, as everywhere else; a middle click does nothing.
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::Context)
        ShowTrayMenu();
    else if (reason == QSystemTrayIcon::DoubleClick)
        emit ShowRequested();
}

void TrayMenus::ShowTrayMenu()
{
    m_trayMenu->adjustSize();
    PopUpAt(*m_trayMenu, TopLeftFor(*m_trayMenu, QCursor::pos()));
}

void TrayMenus::ShowLanguageMenu(const QWidget* button)
{
    DropDown(*m_languageMenu, button);
}

void TrayMenus::ShowWindowMenu(const QWidget* button)
{
    DropDown(*m_windowMenu, button);
}

void TrayMenus::DropDown(QMenu& menu, const QWidget* button)
{
    menu.adjustSize();
    QPoint at = button ? button->mapToGlobal(QPoint(0, button->height())) : QCursor::pos();
    // Right-aligned with its button when that keeps it on the screen.
    if (button)
        at.rx() += button->width() - menu.sizeHint().width();
    if (const QScreen* screen = QGuiApplication::screenAt(button ? button->mapToGlobal(QPoint()) : at)) {
        const QRect area = screen->availableGeometry();
        const QSize size = menu.sizeHint();
        at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - size.width() + 1)));
        if (at.y() + size.height() > area.bottom() + 1 && button)
            at.setY(button->mapToGlobal(QPoint()).y() - size.height());  // no room below: above it
        at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - size.height() + 1)));
    }
    PopUpAt(menu, at);
}

void TrayMenus::PopUpAt(QMenu& menu, QPoint topLeft)
{
    for (QMenu* other : {m_trayMenu.get(), m_languageMenu.get(), m_windowMenu.get()}) {
        if (other != &menu)
            other->close();
    }
    menu.popup(topLeft);
}

void TrayMenus::SetCurrentLanguage(const QString& code)
{
    const QString current = code == u"en" ? QStringLiteral("LANG_ENGLISH") : QStringLiteral("LANG_CHINESE");
    const auto items = m_languageMenu->actions();
    for (QAction* item : items) {
        if (item->isCheckable())
            item->setChecked(item->objectName() == current);
    }
}

void TrayMenus::Retranslate(const TextLookup& lookup)
{
    TranslateSkin(m_trayMenu.get(), lookup);
    TranslateSkin(m_languageMenu.get(), lookup);
    TranslateSkin(m_windowMenu.get(), lookup);
}

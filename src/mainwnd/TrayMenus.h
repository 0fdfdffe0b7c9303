#pragma once

#include "uilib/SkinText.h"

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QSystemTrayIcon>

#include <memory>

class QAction;
class QMenu;
class QWidget;

// The main window's tray icon and its pop-up menus, all skinned by
// "menu.xml": the tray menu (Show, Exit), the language menu (English,
// 简体中文, the current one checked) and the window's own menu (Find by
// address…, Diagnostics…, Known servers…, Settings…, Export list…, Exit). Items of menu.xml's own come first in the tray and language
// menus and do nothing unless their name is one of the program's (MENU_SHOW
// in any case, MENU_EXIT, LANG_ENGLISH, LANG_CHINESE). The tray menu opens
// at the cursor, upwards and to the right; the others drop down below their
// buttons; opening one closes the others. GUI thread only.
class TrayMenus final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TrayMenus)

public:
    // `window` is the main window, the parent of this object.
    explicit TrayMenus(QWidget* window);
    ~TrayMenus() override;

    // Shows the icon (tooltip "Vindrel"); a released button over it opens
    // the tray menu.
    void CreateTrayIcon();
    void RemoveTrayIcon();
    // True only while the icon is really shown in a notification area.
    bool TrayShown() const;

    void ShowTrayMenu();
    // Below `button` (or at the cursor without one), inside the screen.
    void ShowLanguageMenu(const QWidget* button = nullptr);
    void ShowWindowMenu(const QWidget* button = nullptr);
    // Checks the language item of `code`.
    void SetCurrentLanguage(const QString& code);
    // Re-texts the items whose text is a catalogue key.
    void Retranslate(const TextLookup& lookup);

    QMenu* TrayMenu() const { return m_trayMenu.get(); }
    QMenu* LanguageMenu() const { return m_languageMenu.get(); }
    QMenu* WindowMenu() const { return m_windowMenu.get(); }
    QSystemTrayIcon* Icon() const { return m_icon.get(); }

    // A tray item for the command word "show" or "exit": named MENU_<WORD>,
    // its text the key menu_<WORD>, which the catalogue finds because keys
    // ignore case. Owned by `parent`.
    static QAction* MakeMenuItem(const QString& word, QObject* parent);

signals:
    void ShowRequested();
    void ExitRequested();
    void LanguageChosen(const QString& code);
    void ExportRequested();
    void FindByAddressRequested();
    void DiagnosticsRequested();
    void KnownServersRequested();
    void SettingsRequested();

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);
    // Lets an item act by its name.
    void ConnectByName(QAction* action);
    void PopUpAt(QMenu& menu, QPoint topLeft);
    void DropDown(QMenu& menu, const QWidget* button);

    QWidget* m_window;  // parent
    std::unique_ptr<QMenu> m_trayMenu;
    std::unique_ptr<QMenu> m_languageMenu;
    std::unique_ptr<QMenu> m_windowMenu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

#pragma once

#include "uilib/SkinText.h"

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

#include <memory>

class QAction;
class QMenu;
class QWidget;

// The main window's tray icon and its two pop-up menus, both skinned by
// "menu.xml": the tray menu (Show, Exit) and the language menu (English,
// 简体中文). Items of menu.xml's own come first and do nothing unless their
// name is one of the program's (MENU_SHOW in any case, MENU_EXIT,
// LANG_ENGLISH, LANG_CHINESE). The menus open at the cursor, upwards and to
// the right; opening one closes the other. GUI thread only.
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
    void ShowLanguageMenu();
    // Re-texts the items whose text is a catalogue key.
    void Retranslate(const TextLookup& lookup);

    QMenu* TrayMenu() const { return m_trayMenu.get(); }
    QMenu* LanguageMenu() const { return m_languageMenu.get(); }
    QSystemTrayIcon* Icon() const { return m_icon.get(); }

    // A tray item for the command word "show" or "exit": named MENU_<WORD>,
    // its text the key menu_<WORD>, which the catalogue finds because keys
    // ignore case. Owned by `parent`.
    static QAction* MakeMenuItem(const QString& word, QObject* parent);

signals:
    void ShowRequested();
    void ExitRequested();
    void LanguageChosen(const QString& code);

private:
    void OnActivated(QSystemTrayIcon::ActivationReason reason);
    // Lets an item act by its name.
    void ConnectByName(QAction* action);
    void PopUp(QMenu& menu, QMenu& other);

    QWidget* m_window;  // parent
    std::unique_ptr<QMenu> m_trayMenu;
    std::unique_ptr<QMenu> m_languageMenu;
    std::unique_ptr<QSystemTrayIcon> m_icon;
};

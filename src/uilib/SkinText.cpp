#include "uilib/SkinText.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QVariant>
#include <QWidget>

namespace {

constexpr char kKeyedProperty[] = "resourceText";
constexpr char kKeyProperty[] = "textKey";
constexpr char kToolTipKeyProperty[] = "toolTipKey";

QString CurrentText(const QObject* object)
{
    if (const auto* action = qobject_cast<const QAction*>(object))
        return action->text();
    if (const auto* edit = qobject_cast<const QLineEdit*>(object))
        return edit->placeholderText().isEmpty() ? edit->text() : edit->placeholderText();
    return object->property("text").toString();
}

void ShowText(QObject* object, const QString& text)
{
    if (auto* action = qobject_cast<QAction*>(object)) {
        // A '&' of a text is a character, not a mnemonic marker.
        QString escaped = text;
        escaped.replace(u'&', QStringLiteral("&&"));
        action->setText(escaped);
    } else if (auto* edit = qobject_cast<QLineEdit*>(object)) {
        // An edit's text is the user's: its key names the placeholder.
        edit->setPlaceholderText(text);
    } else if (auto* label = qobject_cast<QLabel*>(object)) {
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
    } else if (object->property("text").isValid()) {
        object->setProperty("text", text);
    }
}

bool IsKeyed(const QObject* object)
{
    return object->property(kKeyedProperty).toBool();
}

void TranslateToolTip(QObject* object, const TextLookup& lookup)
{
    auto* widget = qobject_cast<QWidget*>(object);
    const QString key = object->property(kToolTipKeyProperty).toString();
    if (!widget || key.isEmpty())
        return;
    const QString text = lookup(key);
    widget->setToolTip(text.isNull() ? key : text);
}

void Translate(QObject* object, const TextLookup& lookup)
{
    TranslateToolTip(object, lookup);
    if (!IsKeyed(object))
        return;
    // The skin's text is the key until the first translation keeps it aside.
    QString key = object->property(kKeyProperty).toString();
    if (key.isEmpty()) {
        key = CurrentText(object);
        object->setProperty(kKeyProperty, key);
        if (auto* edit = qobject_cast<QLineEdit*>(object))
            edit->clear();
    }
    const QString text = key.isEmpty() ? QString() : lookup(key);
    ShowText(object, text.isNull() ? key : text);
}

}  // namespace

void TranslateSkin(QObject* root, const TextLookup& lookup)
{
    if (!root)
        return;
    Translate(root, lookup);
    const auto objects = root->findChildren<QObject*>();
    for (QObject* object : objects) {
        if (qobject_cast<QWidget*>(object) || qobject_cast<QAction*>(object))
            Translate(object, lookup);
    }
    // A widget's actions need not be its children (a menu's added actions).
    if (auto* widget = qobject_cast<QWidget*>(root)) {
        const auto actions = widget->actions();
        for (QAction* action : actions) {
            if (action->parent() != root)
                Translate(action, lookup);
        }
    }
}

void SetTextKey(QObject* object, const QString& key)
{
    if (!object)
        return;
    object->setProperty(kKeyedProperty, true);
    object->setProperty(kKeyProperty, key);
    ShowText(object, key);
}

QString TextKey(const QObject* object)
{
    return object && IsKeyed(object) ? object->property(kKeyProperty).toString() : QString();
}

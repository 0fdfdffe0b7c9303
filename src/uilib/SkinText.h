#pragma once

#include <QString>

#include <functional>

class QObject;

// Text keys in skins. A widget or action whose dynamic property
// `resourceText` is true carries a catalogue key (e.g. "Search_Btn") as its
// text and shows what the window's lookup answers for that key in the
// current language, or the key itself when the lookup does not know it; for
// a QLineEdit the key names its placeholder. A widget's dynamic property
// `toolTipKey` names the key of its tooltip. Plain texts are never touched.
// GUI thread only.

// Answers a key with its text; a null QString when the key is unknown.
using TextLookup = std::function<QString(const QString& key)>;

// Shows every keyed text of `root` and of the widgets and actions below it
// through `lookup`. Run it again after a language change: the keys are kept.
void TranslateSkin(QObject* root, const TextLookup& lookup);

// Makes `object` (a widget with a text, or a QAction) show `key` through the
// lookup from the next TranslateSkin on; until then it shows the key.
void SetTextKey(QObject* object, const QString& key);
// The key `object` shows; empty for a plain text.
QString TextKey(const QObject* object);

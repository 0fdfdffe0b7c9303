#include "uilib/SkinLoader.h"

#include <QUiLoader>

#include "uilib/ResourcePath.h"
#include "uilib/SkinButton.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>

#include <cstdio>

namespace {

// Texts that servers send must never turn into markup or links. An `image`
// property names a skin image (with its @2x sibling for sharp rendering on 2x
// screens), unlike a .ui pixmap.
void PrepareLabel(QLabel& label)
{
    label.setTextFormat(Qt::PlainText);
    label.setTextInteractionFlags(Qt::NoTextInteraction);
    const QString image = label.property("image").toString();
    if (image.isEmpty())
        return;
    const QIcon icon = LoadSkinImage(image);
    const QSize size = label.minimumSize().isEmpty() ? QSize(32, 32) : label.minimumSize();
    if (!icon.isNull())
        label.setPixmap(icon.pixmap(size, label.devicePixelRatioF()));
}

class SkinLoader final : public QUiLoader
{
public:
    SkinLoader();

    // The root widget (no parent), or nullptr with Error() saying why.
    std::unique_ptr<QWidget> Load(const QString& file);
    QString Error() const { return m_error; }

    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override;

private:
    QString m_error;
    QString m_unknownClass;
};

SkinLoader::SkinLoader() = default;

QWidget* SkinLoader::createWidget(const QString& className, QWidget* parent, const QString& name)
{
    QWidget* widget = nullptr;
    if (className == u"QPushButton")
        widget = new SkinButton(parent);
    else
        widget = QUiLoader::createWidget(className, parent, name);
    if (!widget) {
        if (m_unknownClass.isEmpty())
            m_unknownClass = className;
        return nullptr;
    }
    widget->setObjectName(name);
    return widget;
}

std::unique_ptr<QWidget> SkinLoader::Load(const QString& file)
{
    m_error.clear();
    m_unknownClass.clear();
    QFile f(file);
    if (!f.exists()) {
        m_error = QStringLiteral("no such file");
        return nullptr;
    }
    if (!f.open(QIODevice::ReadOnly)) {
        m_error = f.errorString();
        return nullptr;
    }
    // Pixmaps named in the skin resolve against the skin's own folder.
    setWorkingDirectory(QFileInfo(file).absoluteDir());
    std::unique_ptr<QWidget> root(load(&f));
    if (!m_unknownClass.isEmpty()) {
        m_error = QStringLiteral("unknown widget class %1").arg(m_unknownClass);
        return nullptr;
    }
    if (!root) {
        m_error = errorString().isEmpty() ? QStringLiteral("not a skin") : errorString();
        return nullptr;
    }
    auto labels = root->findChildren<QLabel*>();
    if (auto* rootLabel = qobject_cast<QLabel*>(root.get()))
        labels.append(rootLabel);
    for (QLabel* label : labels)
        PrepareLabel(*label);
    const auto buttons = root->findChildren<SkinButton*>();
    for (SkinButton* button : buttons)
        button->ApplySkinProperties();
    return root;
}

}  // namespace

std::unique_ptr<QWidget> LoadSkin(const QString& file, QString& error)
{
    SkinLoader loader;
    std::unique_ptr<QWidget> root = loader.Load(file);
    if (!root)
        error = loader.Error();
    return root;
}

std::unique_ptr<QWidget> LoadSkinOrReport(const QString& file)
{
    QString error;
    std::unique_ptr<QWidget> root = LoadSkin(file, error);
    if (!root)
        std::fprintf(stderr, "vindrel: cannot load skin %s: %s\n", qUtf8Printable(file), qUtf8Printable(error));
    return root;
}

std::unique_ptr<QMenu> LoadSkinMenu(const QString& file)
{
    std::unique_ptr<QWidget> root = LoadSkinOrReport(file);
    if (!root)
        return nullptr;
    if (!qobject_cast<QMenu*>(root.get())) {
        std::fprintf(stderr, "vindrel: cannot load skin %s: its root is no menu\n", qUtf8Printable(file));
        return nullptr;
    }
    return std::unique_ptr<QMenu>(static_cast<QMenu*>(root.release()));
}

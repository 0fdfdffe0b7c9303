#include "uilib/SkinLoader.h"

#include "uilib/SkinButton.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>

#include <cstdio>

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
    // Texts that servers send must never turn into markup or links.
    const auto labels = root->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        label->setTextFormat(Qt::PlainText);
        label->setTextInteractionFlags(Qt::NoTextInteraction);
    }
    if (auto* rootLabel = qobject_cast<QLabel*>(root.get()))
        rootLabel->setTextFormat(Qt::PlainText);
    return root;
}

std::unique_ptr<QWidget> LoadSkinOrReport(const QString& file)
{
    SkinLoader loader;
    auto root = loader.Load(file);
    if (!root)
        std::fprintf(stderr, "vindrel: cannot load skin %s: %s\n", qUtf8Printable(file),
                     qUtf8Printable(loader.Error()));
    return root;
}

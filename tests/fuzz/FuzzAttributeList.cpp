// libFuzzer target for ApplyAttributeList on the control that windows hand
// attribute lists to: a skin button (looks, colours, images with dest
// rectangles, text, visibility, mouse input). Each input, read as UTF-8, is
// applied, and the button is painted with the look it got. Aborts when a
// parsed pair has an empty name, a name holding '=' or a blank, or a value
// holding the closing quote.
// The sanitizers catch the rest (overflowing rectangles, bad reads).

#include "uilib/AttributeList.h"
#include "uilib/ResourcePath.h"
#include "uilib/SkinButton.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

// Built once: a QApplication per input would cost more than the input.
struct Controls
{
    std::unique_ptr<QTemporaryDir> resources;
    std::unique_ptr<SkinButton> button;
};
Controls* g_controls = nullptr;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.warning=false");
    static int qtArgc = 1;
    static QApplication app(qtArgc, *argv);
    (void)argc;
    g_controls = new Controls;  // lives until the process ends
    g_controls->resources = std::make_unique<QTemporaryDir>();
    // A small image where a fuzzed file name may find it.
    QPixmap image(8, 8);
    image.fill(Qt::red);
    image.save(g_controls->resources->path() + QStringLiteral("/a.png"));
    SetResourceFolder(g_controls->resources->path());
    g_controls->button = std::make_unique<SkinButton>();
    g_controls->button->resize(80, 24);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString list = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const auto& [name, value] : ParseAttributeList(list)) {
        Check(!name.isEmpty() && !name.contains(u'='));
        for (const QChar c : name)
            Check(!c.isSpace());
        Check(!value.contains(u'"'));
    }
    (void)ParseColor(list);
    (void)ParseImageSpec(list);

    g_controls->button->ApplyAttributeList(list);
    // Paints with whatever look the list left: images into their dest
    // rectangles, rounded borders, colours.
    (void)g_controls->button->grab();
    return 0;
}

#include "uilib/WindowFrame.h"

#include "uilib/ResourcePath.h"
#include "uilib/SkinLoader.h"

#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

WindowFrame::WindowFrame(QWidget* content, int captionHeight, int sizeBox)
    : QObject(content)
    , m_content(content)
    , m_captionHeight(std::max(0, captionHeight))
    , m_sizeBox(std::max(0, sizeBox))
{
    content->installEventFilter(this);
    if (m_sizeBox > 0)
        content->setMouseTracking(true);
}

Qt::Edges WindowFrame::EdgesAt(QPoint pos) const
{
    const int box = m_sizeBox;
    const QWidget* window = m_content->window();
    Qt::Edges edges;
    if (box <= 0 || window->isMaximized())
        return edges;
    if (pos.x() < box)
        edges |= Qt::LeftEdge;
    if (pos.x() >= window->width() - box)
        edges |= Qt::RightEdge;
    if (pos.y() < box)
        edges |= Qt::TopEdge;
    if (pos.y() >= window->height() - box)
        edges |= Qt::BottomEdge;
    return edges;
}

bool WindowFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_content)
        return false;
    QWidget* const window = m_content->window();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        const QPoint pos = mouse->position().toPoint();
        QWindow* handle = window->windowHandle();
        if (const Qt::Edges edges = EdgesAt(pos); edges && handle) {
            handle->startSystemResize(edges);
            return true;
        }
        if (pos.y() < m_captionHeight) {
            if (!handle || !handle->startSystemMove()) {
                m_dragging = true;
                m_dragOffset = mouse->globalPosition().toPoint() - window->frameGeometry().topLeft();
            }
            return true;
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_dragging && (mouse->buttons() & Qt::LeftButton)) {
            window->move(mouse->globalPosition().toPoint() - m_dragOffset);
            return true;
        }
        const Qt::Edges edges = EdgesAt(mouse->position().toPoint());
        const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
        const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
        if (horizontal && vertical) {
            const bool falling = (edges.testFlag(Qt::LeftEdge) && edges.testFlag(Qt::TopEdge)) ||
                                 (edges.testFlag(Qt::RightEdge) && edges.testFlag(Qt::BottomEdge));
            window->setCursor(falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
        } else if (horizontal) {
            window->setCursor(Qt::SizeHorCursor);
        } else if (vertical) {
            window->setCursor(Qt::SizeVerCursor);
        } else {
            window->unsetCursor();
        }
        return false;
    }
    case QEvent::MouseButtonRelease: m_dragging = false; return false;
    default: return false;
    }
}

bool BuildSkinnedWindow(QWidget& window, const QString& file, QString& error)
{
    const QString path = ResolveResourcePath(file);
    QString why;
    std::unique_ptr<QWidget> root = LoadSkin(path, why);
    if (!root) {
        error = QStringLiteral("cannot load skin %1: %2").arg(path, why);
        return false;
    }
    const QSize size = root->size();
    window.setWindowFlag(Qt::FramelessWindowHint);
    window.setMinimumSize(root->minimumSize());
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    new WindowFrame(root.get(), root->property("caption").toInt(), root->property("sizebox").toInt());
    layout->addWidget(root.release());
    window.resize(size);
    return true;
}

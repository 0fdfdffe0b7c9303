#include "uilib/WindowFrame.h"

#include "uilib/ResourcePath.h"
#include "uilib/SkinLoader.h"

#include <QCursor>
#include <QGuiApplication>
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
    // The window's QWindow is made only when the window is first shown, and
    // again when it is re-created: watching the application finds it
    // whenever it exists. Events of other objects cost one comparison.
    if (m_sizeBox > 0)
        qApp->installEventFilter(this);
}

WindowFrame::~WindowFrame()
{
    ShowCursorFor({});
}

Qt::Edges WindowFrame::EdgesAt(QPoint pos) const
{
    const int box = m_sizeBox;
    const QWidget* window = m_content->window();
    Qt::Edges edges;
    if (box <= 0 || window->isMaximized() || window->isFullScreen() || window->minimumSize() == window->maximumSize())
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

Qt::CursorShape WindowFrame::CursorFor(Qt::Edges edges)
{
    const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
    const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
    if (horizontal && vertical) {
        const bool falling = (edges.testFlag(Qt::LeftEdge) && edges.testFlag(Qt::TopEdge)) ||
                             (edges.testFlag(Qt::RightEdge) && edges.testFlag(Qt::BottomEdge));
        return falling ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor;
    }
    if (horizontal)
        return Qt::SizeHorCursor;
    if (vertical)
        return Qt::SizeVerCursor;
    return Qt::ArrowCursor;
}

void WindowFrame::ShowCursorFor(Qt::Edges edges)
{
    if (edges == m_cursorEdges)
        return;
    if (!edges)
        QGuiApplication::restoreOverrideCursor();
    else if (!m_cursorEdges)
        QGuiApplication::setOverrideCursor(QCursor(CursorFor(edges)));
    else
        QGuiApplication::changeOverrideCursor(QCursor(CursorFor(edges)));
    m_cursorEdges = edges;
}

bool WindowFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_content)
        return OnContentEvent(event);
    QWindow* const handle = m_content->window()->windowHandle();
    if (handle && watched == handle)
        return OnWindowEvent(handle, event);
    return false;
}

bool WindowFrame::OnWindowEvent(QWindow* handle, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        const Qt::Edges edges = EdgesAt(mouse->position().toPoint());
        // Where the window system cannot resize (offscreen), the child
        // under the pointer keeps its press.
        if (!edges || !handle->startSystemResize(edges))
            return false;
        m_resizing = true;
        return true;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        // An X window manager that took the resize keeps its release: the
        // next move without a button ends it here.
        if (mouse->buttons() == Qt::NoButton) {
            m_resizing = false;
            if (!m_dragging)
                ShowCursorFor(EdgesAt(mouse->position().toPoint()));
        }
        return false;
    }
    case QEvent::MouseButtonRelease:
        // The press went to the window system; so does its release.
        if (m_resizing) {
            m_resizing = false;
            return true;
        }
        return false;
    case QEvent::Leave:
    case QEvent::Hide:
    case QEvent::WindowStateChange:
        m_resizing = false;
        ShowCursorFor({});
        return false;
    default: return false;
    }
}

bool WindowFrame::OnContentEvent(QEvent* event)
{
    QWidget* const window = m_content->window();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton || mouse->position().y() >= m_captionHeight)
            return false;
        QWindow* handle = window->windowHandle();
        if (!handle || !handle->startSystemMove()) {
            m_dragging = true;
            m_dragOffset = mouse->globalPosition().toPoint() - window->frameGeometry().topLeft();
        }
        return true;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (m_dragging && (mouse->buttons() & Qt::LeftButton)) {
            window->move(mouse->globalPosition().toPoint() - m_dragOffset);
            return true;
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

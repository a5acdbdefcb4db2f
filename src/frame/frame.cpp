#include "frame/frame.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>

#include <utility>

namespace vellumar {

WindowHandlers::~WindowHandlers() = default;

namespace {

// A new window appears over the one it was opened from, or in the middle of the screen.
void placeWindow(QWidget* window, QWidget* below) {
    const QRect area =
        below ? below->frameGeometry() : QGuiApplication::primaryScreen()->availableGeometry();
    QRect frame = window->frameGeometry();
    frame.moveCenter(area.center());
    if (const QScreen* screen = QGuiApplication::screenAt(area.center())) {
        const QRect available = screen->availableGeometry();
        frame.moveLeft(std::clamp(frame.left(), available.left(),
                                  std::max(available.left(), available.right() - frame.width())));
        frame.moveTop(std::clamp(frame.top(), available.top(),
                                 std::max(available.top(), available.bottom() - frame.height())));
    }
    window->move(frame.topLeft());
}

} // namespace

Frame::Frame(QObject* parent) : QObject(parent) {}

Frame::~Frame() {
    // Deleting a window makes it leave the stack (forget), so the loop runs over a copy; the
    // top window goes first, as it would close first.
    const QList<QPointer<QWidget>> windows = std::exchange(m_stack, {});
    for (auto window = windows.crbegin(); window != windows.crend(); ++window)
        delete window->data();
}

void Frame::open(QWidget* window) {
    placeWindow(window, topWindow());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowModality(Qt::ApplicationModal);
    window->installEventFilter(this);
    connect(window, &QObject::destroyed, this, [this, window] { forget(window); });
    m_stack.append(window);
    window->show();
    if (auto* handlers = dynamic_cast<WindowHandlers*>(window))
        handlers->created();
    Q_EMIT windowOpened(window);
}

void Frame::close(QWidget* window) {
    if (!window)
        return;
    m_closingWithoutQuery.insert(window);
    window->close();
}

QList<QWidget*> Frame::openWindows() const {
    QList<QWidget*> windows;
    for (const QPointer<QWidget>& window : m_stack)
        if (window)
            windows.append(window.data());
    return windows;
}

QWidget* Frame::topWindow() const {
    const QList<QWidget*> windows = openWindows();
    return windows.isEmpty() ? nullptr : windows.last();
}

bool Frame::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Close)
        return QObject::eventFilter(watched, event);
    auto* window = static_cast<QWidget*>(watched);
    if (!m_closingWithoutQuery.remove(window)) {
        auto* handlers = dynamic_cast<WindowHandlers*>(window);
        if (handlers && !handlers->closeQuery()) {
            event->ignore();
            return true;
        }
    }
    forget(window);
    return false;
}

void Frame::forget(QWidget* window) {
    const qsizetype before = m_stack.size();
    m_stack.removeIf([window](const QPointer<QWidget>& open) { return !open || open == window; });
    m_closingWithoutQuery.remove(window);
    if (before > 0 && m_stack.isEmpty())
        Q_EMIT lastWindowClosed();
}

} // namespace vellumar

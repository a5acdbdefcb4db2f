#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>

// Waits for the host's modal window of the given kind, then hands it to `act`, which must close
// it. A window that never shows, or that `act` leaves open, is closed after a while so that the
// test fails instead of hanging.
template <typename Window> class WhenShown {
public:
    explicit WhenShown(std::function<void(Window*)> act) : m_act(std::move(act)) {
        m_poll.setInterval(10);
        QObject::connect(&m_poll, &QTimer::timeout, [this] { poll(); });
        m_poll.start();
        m_deadline.start();
    }
    bool acted() const { return m_acted; }

private:
    void poll() {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        if (window && !m_acted && window->isVisible()) {
            m_acted = true;
            m_poll.stop();
            m_act(window);
            return;
        }
        if (m_deadline.elapsed() > 20000) {
            m_poll.stop();
            if (QWidget* stuck = QApplication::activeModalWidget())
                stuck->close();
        }
    }

    std::function<void(Window*)> m_act;
    QTimer m_poll;
    QElapsedTimer m_deadline;
    bool m_acted = false;
};

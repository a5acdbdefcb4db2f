#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QWidget>

namespace vellumar {

// What a window of the program may do when it opens and when the operator closes its frame.
class WindowHandlers {
public:
    virtual ~WindowHandlers();
    // Runs once the window and its controls exist, before the operator can act in it.
    virtual void created() {}
    // Asked when the operator closes the frame (close box, Alt+F4); false keeps it open.
    virtual bool closeQuery() { return true; }
};

// Opens and closes the program's windows and keeps the stack of open ones. Every window is
// modal over the ones opened before it; when the last one is gone the program ends.
class Frame : public QObject {
    Q_OBJECT

public:
    explicit Frame(QObject* parent = nullptr);
    ~Frame() override;

    // Takes ownership: the window becomes modal, shows, and its created handler runs before
    // control returns to the event loop.
    void open(QWidget* window);

    // Destroys the window without asking its close query.
    void close(QWidget* window);

    // Open windows, the bottom one first.
    QList<QWidget*> openWindows() const;
    QWidget* topWindow() const;

    template <typename Window> Window* find() const {
        for (QWidget* window : openWindows())
            if (auto* match = qobject_cast<Window*>(window))
                return match;
        return nullptr;
    }

Q_SIGNALS:
    void lastWindowClosed();
    // A window has been opened and its created handler has run.
    void windowOpened(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void forget(QWidget* window);

    QList<QPointer<QWidget>> m_stack;
    QSet<QWidget*> m_closingWithoutQuery;
};

} // namespace vellumar

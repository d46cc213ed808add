#pragma once

#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>

class QWidget;

/// Keeps the size and place of a window in the per-user settings: puts them back when the window is
/// first shown and writes them down whenever it is hidden or closed. A screen's frame inside the main
/// window keeps its place within the main window.
class WindowGeometry : public QObject
{
    Q_OBJECT

public:
    /// Watches window under key. Without a saved size that fits, it opens at workingSize grown to what
    /// its controls ask for, within the room there is.
    static void remember(QWidget* window, const QString& key, QSize workingSize = {});
    /// As remember(), but a window (or a frame in the main window) without a saved size that fits opens
    /// maximised; normalSize is what it takes when the user un-maximises it.
    static void rememberMaximised(QWidget* window, const QString& key, QSize normalSize);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    WindowGeometry(QWidget* window, const QString& key, QSize workingSize, bool maximised);

    void restore();
    void save() const;
    /// Where the window may lie: the screen's free area, or the main window's area for a frame.
    QRect room(const QRect& near) const;

    QWidget* m_window;
    QString m_key;
    QSize m_workingSize;
    bool m_maximised;
    bool m_restored = false;
};

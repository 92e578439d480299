#pragma once

#include <QLabel>
#include <optional>

class QTimer;

// A status-bar pane for Caps Lock, Num Lock or Scroll Lock: the text is shown while the lock is on.
// The state comes from the keyboard LEDs the kernel exposes under /sys/class/leds; when there are none
// (a remote or virtual display), the pane stays empty.
class CLockKeyIndicator : public QLabel
{
    Q_OBJECT
public:
    enum Kind
    {
        Caps,
        Num,
        Scroll
    };
    CLockKeyIndicator(Kind kind, QWidget* parent = nullptr);

    // True when the lock is on; nullopt when no LED reports it.
    static std::optional<bool> ReadState(Kind kind,
                                         const QString& ledRoot = QStringLiteral("/sys/class/leds"));

private:
    void Poll();

    Kind m_kind;
    QString m_text;
};

#pragma once

#include "platform/GlobalKey.h"

#include <QAbstractNativeEventFilter>
#include <QList>
#include <QObject>
#include <QTimer>

#include <array>
#include <optional>

// How a key is watched on an X11 display. An ordinary key is grabbed, but
// only with no modifier or with Caps Lock and Num Lock (which the user does
// not think of as modifiers), so Ctrl+F12 or Shift+Pause still reach the
// program with the focus. A modifier key is never grabbed: a grab on it
// would, while it is held, take every key pressed with it (Ctrl+C would
// reach nobody), and one with any modifier would take all its uses. Its
// state is read from the keyboard map instead, which takes nothing from
// anyone.
struct X11KeyPlan
{
    bool poll = false;
    QList<quint16> modifierSets; // grabbed with each of these
};

class X11GlobalKey final : public QObject, public GlobalKey, public QAbstractNativeEventFilter
{
public:
    static constexpr int kPollMs = 50;

    X11GlobalKey();
    ~X11GlobalKey() override;

    bool watch(quint32 keysym, Handler handler) override;
    void stop() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override;

    static bool isModifier(quint32 keysym);
    // `numLockMask`: the modifier bit Num Lock sets on this display, or 0.
    static X11KeyPlan plan(quint32 keysym, quint16 numLockMask);

    // The keyboard map read again and again: tells a modifier key's press
    // and release, and any other key going down meanwhile.
    class KeymapTracker
    {
    public:
        using Keys = std::array<quint8, 32>; // a bit a keycode
        // `keys`: the codes of the watched key; `ignored`: keys that never
        // make a chord (the modifiers, which combine with each other).
        KeymapTracker(QList<quint8> keys, QList<quint8> ignored);
        std::optional<Event> update(const Keys &down);

    private:
        static bool isDown(const Keys &keys, quint8 code)
        {
            return keys[code / 8] & (1u << (code % 8));
        }
        QList<quint8> m_keys;
        Keys m_ignored {};
        Keys m_atPress {};
        bool m_down = false;
        bool m_chord = false;
    };

private:
    void poll();

    Handler m_handler;
    QTimer m_poll;
    std::optional<KeymapTracker> m_tracker;
    // The grab, when the key is grabbed.
    void *m_connection = nullptr; // xcb_connection_t
    quint32 m_root = 0;
    QList<quint8> m_codes;
    QList<quint16> m_grabbedSets;
};

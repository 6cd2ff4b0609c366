#pragma once

#include <QtGlobal>

#include <functional>

// One key watched on the whole desktop, whichever program has the focus.
// Watching may take the key from every other program (a grab), so a caller
// watches only while it can act on the key and stops the moment it cannot.
class GlobalKey
{
public:
    enum class Event {
        Pressed,
        Released,
        // Another key went down while this one was held: a shortcut such as
        // Ctrl+C, not a press of this key on its own.
        Chord,
    };
    using Handler = std::function<void(Event)>;

    virtual ~GlobalKey() = default;
    // Starts watching the key with this X keysym, in place of any key
    // watched before. False when it cannot be watched (no X11 display, no
    // such key on the keyboard, another program holds it).
    virtual bool watch(quint32 keysym, Handler handler) = 0;
    // Gives the key back at once; nothing when none is watched.
    virtual void stop() = 0;
};

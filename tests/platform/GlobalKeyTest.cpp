#include "platform/linux/DisplayCheck.h"
#include "platform/linux/X11GlobalKey.h"
#include "platform/linux/X11WindowShape.h"

#include <gtest/gtest.h>

namespace {

constexpr quint16 kAnyModifier = 0x8000; // XCB_MOD_MASK_ANY
constexpr quint16 kNumLock = 0x0010; // Mod2 on most keyboards

using Event = GlobalKey::Event;
using Tracker = X11GlobalKey::KeymapTracker;

TEST(X11KeyPlan, OrdinaryKeysAreGrabbedBareAndWithLocksOnlyModifiersNever)
{
    for (const quint32 key : { 0xff14u, 0xff13u, 0xffc9u }) { // Scroll Lock, Pause, F12
        const X11KeyPlan plan = X11GlobalKey::plan(key, kNumLock);
        EXPECT_FALSE(plan.poll);
        EXPECT_EQ(plan.modifierSets, (QList<quint16> { 0, 0x0002, kNumLock, 0x0002 | kNumLock }));
    }
    // No Num Lock on the keyboard: no set twice.
    EXPECT_EQ(X11GlobalKey::plan(0xffc9, 0).modifierSets, (QList<quint16> { 0, 0x0002 }));

    // Right and left Ctrl, Shift, Alt, Super, AltGr: read, never grabbed.
    for (const quint32 key : { 0xffe4u, 0xffe3u, 0xffe1u, 0xffe9u, 0xffebu, 0xfe03u }) {
        EXPECT_TRUE(X11GlobalKey::isModifier(key)) << std::hex << key;
        const X11KeyPlan plan = X11GlobalKey::plan(key, kNumLock);
        EXPECT_TRUE(plan.poll);
        EXPECT_TRUE(plan.modifierSets.isEmpty());
    }
    for (const quint32 key : { 0xff14u, 0xff13u, 0xffc9u, 0xffe4u, 0xffe1u }) {
        for (const quint16 numLock : { quint16(0), kNumLock, quint16(0x0080) })
            EXPECT_FALSE(X11GlobalKey::plan(key, numLock).modifierSets.contains(kAnyModifier));
    }
}

Tracker::Keys keys(std::initializer_list<quint8> down)
{
    Tracker::Keys k {};
    for (const quint8 code : down)
        k[code / 8] |= quint8(1u << (code % 8));
    return k;
}

constexpr quint8 kRightCtrlCode = 105;
constexpr quint8 kShiftCode = 50;
constexpr quint8 kLetterC = 54;
constexpr quint8 kLetterA = 38;

TEST(KeymapTracker, TellsPressReleaseAndAShortcutMadeWhileHeld)
{
    Tracker tracker({ kRightCtrlCode }, { kShiftCode, kRightCtrlCode });
    EXPECT_EQ(tracker.update(keys({})), std::nullopt);
    EXPECT_EQ(tracker.update(keys({ kRightCtrlCode })), Event::Pressed);
    EXPECT_EQ(tracker.update(keys({ kRightCtrlCode })), std::nullopt);
    // Another modifier makes no shortcut on its own; a letter does, once.
    EXPECT_EQ(tracker.update(keys({ kRightCtrlCode, kShiftCode })), std::nullopt);
    EXPECT_EQ(tracker.update(keys({ kRightCtrlCode, kShiftCode, kLetterC })), Event::Chord);
    EXPECT_EQ(tracker.update(keys({ kRightCtrlCode, kLetterC, kLetterA })), std::nullopt);
    EXPECT_EQ(tracker.update(keys({ kLetterC })), Event::Released);

    // A letter already down when the key goes down is no shortcut of it.
    EXPECT_EQ(tracker.update(keys({ kLetterA, kRightCtrlCode })), Event::Pressed);
    EXPECT_EQ(tracker.update(keys({ kLetterA, kRightCtrlCode })), std::nullopt);
    EXPECT_EQ(tracker.update(keys({ kRightCtrlCode, kLetterC })), Event::Chord);
    EXPECT_EQ(tracker.update(keys({})), Event::Released);
    // Codes at the ends of the map.
    Tracker high({ 255 }, {});
    EXPECT_EQ(high.update(keys({ 255 })), Event::Pressed);
    EXPECT_EQ(high.update(keys({ 255, 8 })), Event::Chord);
    EXPECT_EQ(high.update(keys({ 8 })), Event::Released);
}

TEST(X11GlobalKey, WithoutAnX11DisplayNothingIsWatchedOrTaken)
{
    X11GlobalKey key; // the tests run on the offscreen platform
    int events = 0;
    EXPECT_FALSE(key.watch(0xff14, [&](Event) { ++events; }));
    EXPECT_FALSE(key.watch(0xffe4, [&](Event) { ++events; }));
    key.stop();
    key.stop();
    EXPECT_EQ(events, 0);
}

TEST(X11WindowShape, WithoutAnX11DisplayTheDesktopCountsAsCompositing)
{
    // The tests run on the offscreen platform: nothing to ask, nothing to cut.
    EXPECT_TRUE(X11WindowShape().desktopComposites());
    EXPECT_EQ(X11WindowShape::screenNumber(":0"), 0);
    EXPECT_EQ(X11WindowShape::screenNumber("localhost:10.1"), 1);
    EXPECT_EQ(X11WindowShape::screenNumber("host.example:0"), 0);
    EXPECT_EQ(X11WindowShape::screenNumber(""), 0);
}

TEST(DisplayCheck, WithoutAnyDisplayTheProgramSaysSoRatherThanAbort)
{
    const QByteArray saved[]
        = { qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY") };
    qunsetenv("QT_QPA_PLATFORM");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    EXPECT_TRUE(missingDisplay().startsWith("no display"));
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    EXPECT_TRUE(missingDisplay().isEmpty());
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("DISPLAY", ":0");
    EXPECT_TRUE(missingDisplay().isEmpty());
    qunsetenv("DISPLAY");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    EXPECT_TRUE(missingDisplay().isEmpty());
    const char *names[] = { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" };
    for (int i = 0; i < 3; ++i) {
        if (saved[i].isNull())
            qunsetenv(names[i]);
        else
            qputenv(names[i], saved[i]);
    }
}

} // namespace

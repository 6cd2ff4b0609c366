#include "platform/linux/X11GlobalKey.h"

#include "platform/Logging.h"

#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>

#if __has_include(<xcb/xcb.h>) && QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#define QUILLORY_X11_KEYS 1
#endif

namespace {

constexpr quint16 kLockMask = 0x0002; // XCB_MOD_MASK_LOCK
constexpr quint32 kNumLockSym = 0xff7f;

#ifdef QUILLORY_X11_KEYS
xcb_connection_t *x11Connection()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// Every keycode that gives `keysym` in any of its levels.
QList<quint8> keycodesFor(xcb_connection_t *c, quint32 keysym)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    const xcb_keycode_t first = setup->min_keycode;
    const int count = setup->max_keycode - setup->min_keycode + 1;
    xcb_get_keyboard_mapping_reply_t *map = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, first, quint8(count)), nullptr);
    if (!map)
        return {};
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map);
    const int per = map->keysyms_per_keycode;
    const int total = xcb_get_keyboard_mapping_keysyms_length(map);
    QList<quint8> codes;
    for (int i = 0; i < total && per > 0; ++i) {
        const auto code = quint8(first + i / per);
        if (syms[i] == keysym && !codes.contains(code))
            codes << code;
    }
    std::free(map);
    return codes;
}

// The keys bound to modifiers, and the modifier bit Num Lock sets.
QList<quint8> modifierKeys(xcb_connection_t *c, quint16 *numLockMask)
{
    *numLockMask = 0;
    xcb_get_modifier_mapping_reply_t *map
        = xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr);
    if (!map)
        return {};
    const QList<quint8> numLock = keycodesFor(c, kNumLockSym);
    const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(map);
    const int per = map->keycodes_per_modifier;
    QList<quint8> keys;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < per; ++i) {
            const quint8 code = codes[modifier * per + i];
            if (!code)
                continue;
            keys << code;
            if (numLock.contains(code))
                *numLockMask = quint16(1u << modifier);
        }
    }
    std::free(map);
    return keys;
}
#endif

} // namespace

bool X11GlobalKey::isModifier(quint32 keysym)
{
    // Shift, Control, Caps and Shift Lock, Meta, Alt, Super, Hyper; AltGr.
    return (keysym >= 0xffe1 && keysym <= 0xffee) || keysym == 0xfe03;
}

X11KeyPlan X11GlobalKey::plan(quint32 keysym, quint16 numLockMask)
{
    X11KeyPlan plan;
    if (isModifier(keysym)) {
        plan.poll = true;
        return plan;
    }
    for (const quint16 set :
        { quint16(0), kLockMask, numLockMask, quint16(kLockMask | numLockMask) }) {
        if (!plan.modifierSets.contains(set))
            plan.modifierSets << set;
    }
    return plan;
}

X11GlobalKey::KeymapTracker::KeymapTracker(QList<quint8> keys, QList<quint8> ignored)
    : m_keys(std::move(keys))
{
    for (const quint8 code : std::as_const(ignored))
        m_ignored[code / 8] |= quint8(1u << (code % 8));
    for (const quint8 code : std::as_const(m_keys))
        m_ignored[code / 8] |= quint8(1u << (code % 8));
}

std::optional<GlobalKey::Event> X11GlobalKey::KeymapTracker::update(const Keys &down)
{
    const bool held = std::any_of(
        m_keys.cbegin(), m_keys.cend(), [&](quint8 code) { return isDown(down, code); });
    if (held && !m_down) {
        m_down = true;
        m_chord = false;
        // Keys already down do not make a chord; keys pressed from now on do.
        for (size_t i = 0; i < down.size(); ++i)
            m_atPress[i] = down[i] & ~m_ignored[i];
        return Event::Pressed;
    }
    if (!held && m_down) {
        m_down = false;
        return Event::Released;
    }
    if (held && !m_chord) {
        for (size_t i = 0; i < down.size(); ++i) {
            if (down[i] & ~m_ignored[i] & ~m_atPress[i]) {
                m_chord = true;
                return Event::Chord;
            }
        }
    }
    return std::nullopt;
}

X11GlobalKey::X11GlobalKey()
{
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &X11GlobalKey::poll);
}

X11GlobalKey::~X11GlobalKey()
{
    stop();
}

bool X11GlobalKey::watch(quint32 keysym, Handler handler)
{
    stop();
#ifdef QUILLORY_X11_KEYS
    xcb_connection_t *c = x11Connection();
    if (!c)
        return false;
    const xcb_screen_iterator_t screen = xcb_setup_roots_iterator(xcb_get_setup(c));
    if (!screen.data)
        return false;
    const QList<quint8> codes = keycodesFor(c, keysym);
    if (codes.isEmpty()) {
        qCInfo(lcPlatform).noquote() << "the keyboard has no key" << Qt::hex << keysym;
        return false;
    }
    quint16 numLockMask = 0;
    const QList<quint8> modifiers = modifierKeys(c, &numLockMask);
    const X11KeyPlan how = plan(keysym, numLockMask);
    m_handler = std::move(handler);
    if (how.poll) {
        m_tracker.emplace(codes, modifiers);
        m_connection = c;
        m_poll.start();
        qCInfo(lcPlatform).noquote()
            << "watching the key" << Qt::hex << keysym << "by its state, without a grab";
        return true;
    }
    QList<xcb_void_cookie_t> cookies;
    for (const quint8 code : codes) {
        for (const quint16 set : how.modifierSets)
            cookies << xcb_grab_key_checked(
                c, 1, screen.data->root, set, code, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    }
    bool taken = false;
    for (const xcb_void_cookie_t cookie : std::as_const(cookies)) {
        if (xcb_generic_error_t *error = xcb_request_check(c, cookie)) {
            taken = true;
            std::free(error);
        }
    }
    m_connection = c;
    m_root = screen.data->root;
    m_codes = codes;
    m_grabbedSets = how.modifierSets;
    if (taken) {
        // Another program holds one of the combinations: give back the rest.
        stop();
        qCInfo(lcPlatform).noquote() << "another program holds the key" << Qt::hex << keysym;
        return false;
    }
    qApp->installNativeEventFilter(this);
    qCInfo(lcPlatform).noquote() << "grabbed the key" << Qt::hex << keysym << Qt::dec << "(keycodes"
                                 << codes << ")";
    return true;
#else
    Q_UNUSED(keysym);
    Q_UNUSED(handler);
    return false;
#endif
}

void X11GlobalKey::stop()
{
    m_poll.stop();
    m_tracker.reset();
    m_handler = {};
#ifdef QUILLORY_X11_KEYS
    if (!m_grabbedSets.isEmpty()) {
        if (qApp)
            qApp->removeNativeEventFilter(this);
        // The connection lives as long as the application; after it nothing
        // is held anyway.
        if (x11Connection() == m_connection) {
            auto *c = static_cast<xcb_connection_t *>(m_connection);
            for (const quint8 code : std::as_const(m_codes)) {
                for (const quint16 set : std::as_const(m_grabbedSets))
                    xcb_ungrab_key(c, code, m_root, set);
            }
            xcb_flush(c);
            qCInfo(lcPlatform) << "gave the key back";
        }
    }
#endif
    m_grabbedSets.clear();
    m_codes.clear();
    m_connection = nullptr;
}

bool X11GlobalKey::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
#ifdef QUILLORY_X11_KEYS
    if (m_grabbedSets.isEmpty() || eventType != "xcb_generic_event_t" || !message)
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    const int type = event->response_type & ~0x80;
    if (type != XCB_KEY_PRESS && type != XCB_KEY_RELEASE)
        return false;
    const auto *key = static_cast<const xcb_key_press_event_t *>(message);
    if (!m_codes.contains(key->detail))
        return false;
    if (m_handler) {
        const Handler handler = m_handler; // may stop the watch
        handler(type == XCB_KEY_PRESS ? Event::Pressed : Event::Released);
    }
    return true;
#else
    Q_UNUSED(eventType);
    Q_UNUSED(message);
    return false;
#endif
}

void X11GlobalKey::poll()
{
#ifdef QUILLORY_X11_KEYS
    auto *c = static_cast<xcb_connection_t *>(m_connection);
    if (!c || !m_tracker || x11Connection() != c)
        return;
    xcb_query_keymap_reply_t *reply = xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr);
    if (!reply)
        return;
    KeymapTracker::Keys keys;
    std::copy(std::begin(reply->keys), std::end(reply->keys), keys.begin());
    std::free(reply);
    if (const std::optional<Event> event = m_tracker->update(keys); event && m_handler) {
        const Handler handler = m_handler;
        handler(*event);
    }
#endif
}

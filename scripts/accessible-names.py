#!/usr/bin/python3
"""Lists the calendar's controls as a screen reader finds them (AT-SPI) and
fails when a control a person would use has no accessible name.

Usage: accessible-names.py [--app quillory] [--window NAME ...]
                           [--expect-name NAME ...] [--expect-description TEXT ...]
Needs an AT-SPI bus (see scripts/check-accessible-names).
"""
import argparse
import sys

import pyatspi

CONTROLS = {
    pyatspi.ROLE_PUSH_BUTTON, pyatspi.ROLE_TOGGLE_BUTTON, pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM,
    pyatspi.ROLE_MENU, pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_SPIN_BUTTON,
    pyatspi.ROLE_SLIDER, pyatspi.ROLE_LIST, pyatspi.ROLE_TREE, pyatspi.ROLE_TABLE,
    pyatspi.ROLE_PAGE_TAB, pyatspi.ROLE_CALENDAR,
}


def walk(node, depth, out):
    try:
        role = node.getRole()
        name = node.name or ""
        out.append((depth, node.getRoleName(), name, role, node.description or ""))
        for i in range(min(node.childCount, 500)):
            child = node.getChildAtIndex(i)
            if child is not None:
                walk(child, depth + 1, out)
    except Exception as error:  # a window closing while it is read
        out.append((depth, "gone", str(error), None, ""))


def listen(seconds):
    """Lists every menu whose item gained focus while listening."""
    from gi.repository import GLib
    menus = {}

    def on_event(event):
        try:
            item = event.source
            if item is None or item.getRole() not in CONTROLS:
                return
            menu = item.parent
            key = (menu.name, menu.childCount)
            if menu.getRole() in (pyatspi.ROLE_MENU, pyatspi.ROLE_POPUP_MENU) and key not in menus:
                nodes = []
                walk(menu, 0, nodes)
                menus[key] = nodes
        except Exception:
            pass

    pyatspi.Registry.registerEventListener(on_event, "object:state-changed:focused",
                                           "object:state-changed:selected")
    GLib.timeout_add(int(seconds * 1000), pyatspi.Registry.stop)
    pyatspi.Registry.start()
    unnamed = 0
    for nodes in menus.values():
        for depth, role_name, name, role, _ in nodes:
            missing = role in CONTROLS and not name.strip()
            unnamed += missing
            print("%s%s %r%s" % ("  " * depth, role_name, name, "   <-- no name" if missing else ""))
    print("menus met: %d; controls without a name: %d" % (len(menus), unnamed))
    return 1 if unnamed or not menus else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--app", default="Quillory")
    parser.add_argument("--window", action="append", default=[],
                        help="only windows of this accessible name")
    parser.add_argument("--expect-name", action="append", default=[],
                        help="fail unless a node of the windows has this name "
                             "(ROLE=NAME: a node of that role)")
    parser.add_argument("--expect-description", action="append", default=[],
                        help="fail unless a node's description holds this text")
    parser.add_argument("--listen", type=float, default=0,
                        help="seconds to follow focus: popup menus are no children of the "
                             "application, a screen reader meets them as their items gain focus")
    args = parser.parse_args()
    if args.listen:
        return listen(args.listen)

    desktop = pyatspi.Registry.getDesktop(0)
    apps = [desktop.getChildAtIndex(i) for i in range(desktop.childCount)]
    app = next((a for a in apps if a is not None and a.name == args.app), None)
    if app is None:
        print("no application named %r on the accessibility bus" % args.app)
        return 2
    unnamed = 0
    found = 0
    names, descriptions = set(), []
    for i in range(app.childCount):
        window = app.getChildAtIndex(i)
        if window is None or (args.window and window.name not in args.window):
            continue
        found += 1
        nodes = []
        walk(window, 0, nodes)
        for depth, role_name, name, role, description in nodes:
            missing = role in CONTROLS and role != pyatspi.ROLE_TEXT and not name.strip()
            unnamed += missing
            names.add(name)
            names.add("%s=%s" % (role_name, name))
            descriptions.append(description)
            print("%s%s %r%s%s" % ("  " * depth, role_name, name,
                                   " (%s)" % description if description else "",
                                   "   <-- no name" if missing else ""))
    if args.window and not found:
        names = [app.getChildAtIndex(i).name for i in range(app.childCount)]
        print("no window named %s; there are: %s" % (args.window, names))
        return 1
    print("controls without a name: %d" % unnamed)
    absent = [n for n in args.expect_name if n not in names]
    absent += [d for d in args.expect_description if not any(d in x for x in descriptions)]
    for a in absent:
        print("expected but not found: %r" % a)
    return 1 if unnamed or absent else 0


if __name__ == "__main__":
    sys.exit(main())

"""The real program read and driven through the accessibility bus (AT-SPI), as a screen
reader does: the window, its tool bar buttons, the folder tree and the grid's items by
name; the About box opened and closed, and the parent folder opened, by their buttons.
Usage: accessibility_check.py <home folder>. Prints FAIL lines and exits 1 on a fault."""
import os
import sys
import time

import pyatspi
from gi.repository import Atspi, GLib

home = sys.argv[1]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def wait_for(fn, timeout=20.0):
    end = time.time() + timeout
    while time.time() < end:
        try:
            value = fn()
        except Exception:  # the tree may change under a query
            value = None
        if value:
            return value
        time.sleep(0.2)
    return None


def descendants(acc, depth=0):
    if acc is None or depth > 14:
        return
    yield acc
    for i in range(acc.childCount):
        yield from descendants(acc.getChildAtIndex(i), depth + 1)


def find(root, role, name=None):
    for acc in descendants(root):
        if acc.getRoleName() == role and (name is None or acc.name == name):
            return acc
    return None


def app():
    for a in pyatspi.Registry.getDesktop(0):
        if a is not None and a.name == "Quorvane":
            return a
    return None


def frame():
    a = app()
    return a and next((w for w in a if w and w.getRoleName() == "frame"), None)


def press(button):
    """Presses a button. A tool button answers only when the command it runs is over, so a
    modal dialog it opens holds the answer back: the press is sent without waiting."""
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    Atspi.set_timeout(800, -1)
    try:
        action.doAction(names.index("Press") if "Press" in names else 0)
    except GLib.GError:
        pass  # no answer yet: the dialog is open
    finally:
        Atspi.set_timeout(25000, -1)


window = wait_for(lambda: frame() if frame() and frame().name.endswith(home) else None)
check(window is not None, f"a window titled 'Quorvane - {home}'")
if window is None:
    sys.exit(1)

buttons = {}
for name in ("상위 폴더", "폴더 다시읽기", "기능", "설정", "이 프로그램은"):
    buttons[name] = find(window, "push button", name)
    check(buttons[name] is not None, f"tool bar button '{name}'")

tree = find(window, "tree", "폴더")
check(tree is not None and find(tree, "table cell", os.path.basename(home)) is not None,
      "the folder tree shows the home folder")
grid = find(window, "list", "그림 목록")
check(grid is not None, "the picture grid 'named 그림 목록'")
if grid is not None:
    names = wait_for(lambda: {a.name for a in descendants(grid)} >= {"여행 사진", "사진 1.jpg"})
    check(names, "the grid lists the sub-folder and the picture by name")

# The About box, opened by its button and closed by its own.
if buttons["이 프로그램은"] is not None:
    press(buttons["이 프로그램은"])
    about = wait_for(lambda: find(app(), "dialog"))
    check(about is not None, "the About box opens")
    if about is not None:
        texts = " ".join(a.name for a in descendants(about))
        check("Quorvane" in texts, "the About box names the program")
        ok = find(about, "push button")
        check(ok is not None, "the About box has a button")
        if ok is not None:
            press(ok)
            check(wait_for(lambda: find(app(), "dialog") is None), "the About box closes")

# Up one folder: the window follows to the parent.
if buttons["상위 폴더"] is not None:
    press(buttons["상위 폴더"])
    parent = os.path.dirname(home)
    check(wait_for(lambda: frame().name == "Quorvane - " + parent),
          f"'상위 폴더' opens {parent}")

sys.exit(1 if failures else 0)

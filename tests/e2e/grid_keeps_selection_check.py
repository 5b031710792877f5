"""Selects a picture of the grid with the mouse, copies files into the shown folder from
another process, and reads the grid back through the accessibility bus: every new file is
listed and the same picture, alone, is still selected.
Usage: grid_keeps_selection_check.py <home folder> <folder of files to copy in>."""
import os
import shutil
import subprocess
import sys
import time

import pyatspi

home, incoming = sys.argv[1], sys.argv[2]


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


def grid():
    for a in pyatspi.Registry.getDesktop(0):
        if a is not None and a.name == "Quorvane":
            for acc in descendants(a):
                if acc.getRoleName() == "list" and acc.name == "그림 목록":
                    return acc
    return None


def items():
    g = grid()
    return {} if g is None else {a.name: a for a in descendants(g) if a is not g and a.name}


def selected():
    return sorted(name for name, a in items().items()
                  if a.getState().contains(pyatspi.STATE_SELECTED))


def fail(what):
    print("FAIL:", what)
    sys.exit(1)


if not wait_for(lambda: "사진 04.jpg" in items()):
    fail("the grid lists the pictures of the home folder")
# A click on the picture, as a user selects it.
x, y, w, h = items()["사진 04.jpg"].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
subprocess.run(["xdotool", "mousemove", str(x + w // 2), str(y + h // 3), "click", "1"],
               check=True)
if not wait_for(lambda: selected() == ["사진 04.jpg"], 5):
    fail(f"the click selects the picture (selected: {selected()})")

# Another program copies files in, one after another.
names = sorted(os.listdir(incoming))
for name in names:
    shutil.copy(os.path.join(incoming, name), os.path.join(home, name))
    time.sleep(0.02)
if not wait_for(lambda: set(names) <= set(items()), 10):
    fail("the grid lists every copied file")
time.sleep(0.5)
if selected() != ["사진 04.jpg"]:
    fail(f"the picture stays selected alone (selected: {selected()})")
sys.exit(0)

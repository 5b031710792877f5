#!/bin/bash
# Checks the include rules of src/ (docs/ARCHITECTURE.md):
#   - a file includes only its own floor and the floors below it, as CMakeLists.txt lists
#     them (set(floor_below_<floor> ...));
#   - core code (src/<floor>/*) includes no Qt layer (*/ui/*) and no Qt Widgets header;
#   - no two files include each other, directly or round a longer loop.
# Prints each breach and exits 1 when there is one.
#
# Usage: scripts/check-includes.sh [SOURCE_DIR]
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
exec python3 - "$root" <<'EOF'
import os, re, sys

root = sys.argv[1]
src = os.path.join(root, "src")
cmake = open(os.path.join(root, "CMakeLists.txt")).read()
below = {m.group(1): m.group(2).split()
         for m in re.finditer(r"set\(floor_below_(\w+)\s*([^)]*)\)", cmake)}
if not below:
    sys.exit("no floor_below_<floor> lists in CMakeLists.txt")

include = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
widgets = re.compile(r"^Q(Widget|MainWindow|Dialog|Abstract(Button|ItemView|ScrollArea)|Application|"
                     r"Label|PushButton|Menu|Action|ListView|TreeView|HeaderView|Style)\b")
breaches = []
graph = {}
for folder, _, names in os.walk(src):
    for name in sorted(names):
        if not name.endswith((".h", ".cpp")):
            continue
        path = os.path.join(folder, name)
        rel = os.path.relpath(path, src)
        floor = rel.split(os.sep)[0]
        core = os.sep + "ui" + os.sep not in os.sep + rel
        seen = set([floor] + below.get(floor, []))
        if floor not in below:
            breaches.append(f"{rel}: the folder {floor}/ is no floor of CMakeLists.txt")
        edges = graph.setdefault(rel, [])
        for kind, target in include.findall(open(path, errors="replace").read()):
            if kind == "<":
                if core and widgets.match(target):
                    breaches.append(f"{rel}: core code includes the Qt Widgets header <{target}>")
                continue
            top = target.split("/")[0]
            if top not in below:
                continue  # not one of ours
            if top not in seen:
                breaches.append(f"{rel}: includes {target}, a floor {floor}/ may not see")
            if core and "/ui/" in target:
                breaches.append(f"{rel}: core code includes the Qt layer {target}")
            if os.path.exists(os.path.join(src, target)):
                edges.append(target)

# Loops: a depth-first walk that meets a file still on its own path.
state, stack = {}, []
def walk(node):
    state[node] = 1
    stack.append(node)
    for nxt in graph.get(node, []):
        if state.get(nxt) == 1:
            breaches.append("include loop: " + " -> ".join(stack[stack.index(nxt):] + [nxt]))
        elif nxt not in state:
            walk(nxt)
    stack.pop()
    state[node] = 2
sys.setrecursionlimit(10000)
for node in sorted(graph):
    if node not in state:
        walk(node)

for b in breaches:
    print(b)
print(f"{len(graph)} files, {sum(map(len, graph.values()))} includes of our own: "
      f"{len(breaches)} breaches")
sys.exit(1 if breaches else 0)
EOF

#!/usr/bin/env python3
"""Include rules of src/: no file includes one from a layer above its own
(text < framework < drawing < popup < survey < client), the cores include no
Windows header, and no two parts of src/popup (a header and its source count as
one) include each other, directly or round a loop. Prints each breach; exit 1 if any."""
import os
import re
import sys

LAYERS = ["text", "framework", "drawing", "popup", "survey", "client"]
CORES = ("client/core", "popup/core")
WINDOWS_HEADERS = re.compile(r"^(windows|winuser|wingdi|commctrl|shellapi|ole2|objbase|oleauto|wininet|windowsx)\.h$",
                             re.IGNORECASE)
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def includes(path):
    with open(path, encoding="utf-8") as f:
        for line in f:
            m = INCLUDE.match(line)
            if m:
                yield m.group(1), m.group(2)


def main():
    src = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src")
    src = os.path.normpath(sys.argv[1] if len(sys.argv) > 1 else src)
    faults = []
    popup_edges = {}
    for root, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, name)
            rel = os.path.relpath(path, src).replace(os.sep, "/")
            layer = rel.split("/")[0]
            if layer not in LAYERS:
                continue
            core = next((c for c in CORES if rel.startswith(c + "/")), None)
            for kind, target in includes(path):
                if kind == "<":
                    if core and WINDOWS_HEADERS.match(os.path.basename(target)):
                        faults.append(f"{rel}: a core includes <{target}>")
                    continue
                top = target.split("/")[0]
                if top not in LAYERS:
                    continue
                if LAYERS.index(top) > LAYERS.index(layer):
                    faults.append(f"{rel}: includes {target} from the {top} layer above {layer}")
                if core and not (target.startswith(core + "/") or top == "text"):
                    faults.append(f"{rel}: a core includes {target}")
                if layer == "popup" and top == "popup" and not core and not target.startswith("popup/core/"):
                    part = os.path.splitext(rel)[0]
                    other = os.path.splitext(target)[0]
                    if part != other:
                        popup_edges.setdefault(part, set()).add(other)

    # A loop among the parts of src/popup.
    state = {}

    def visit(node, trail):
        state[node] = "open"
        for nxt in sorted(popup_edges.get(node, ())):
            if state.get(nxt) == "open":
                loop = trail[trail.index(nxt):] + [nxt]
                faults.append("src/popup parts include each other: " + " -> ".join(loop))
            elif nxt not in state:
                visit(nxt, trail + [nxt])
        state[node] = "done"

    for node in sorted(popup_edges):
        if node not in state:
            visit(node, [node])

    for fault in faults:
        print(fault)
    print(f"include rules: {len(faults)} breach(es)")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

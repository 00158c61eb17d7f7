#!/usr/bin/env python3
"""The folder-level include graph of relay/, and the rules it must keep.

Every folder under relay/ is a node; an arrow A -> B means a file in A includes
a header in B. The hub (relay/relay.h and relay/relay.cpp, the one Relay state)
may include any folder and is left out of the graph. The rules:
  - the graph has no cycle;
  - relay/base includes no other folder of the relay, nor the hub;
  - no folder includes relay/app (the program's top).
Prints the arrows (with --dot, a Graphviz picture) and exits 1 on a broken rule.
"""
import os
import re
import sys
from collections import defaultdict

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
INCLUDE = re.compile(r'^\s*#\s*include\s+"relay/([^"]+)"', re.M)


def arrows(root):
    graph = defaultdict(lambda: defaultdict(list))
    base = os.path.join(root, "relay")
    for folder in sorted(os.listdir(base)):
        path = os.path.join(base, folder)
        if not os.path.isdir(path):
            continue
        graph[folder]  # a folder that includes nothing is still a node
        for dirpath, _, files in os.walk(path):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                full = os.path.join(dirpath, name)
                with open(full, encoding="utf-8", errors="replace") as f:
                    text = f.read()
                for inc in INCLUDE.findall(text):
                    target = inc.split("/")[0] if "/" in inc else "(hub)"
                    if target != folder:
                        graph[folder][target].append(os.path.relpath(full, root) + " -> relay/" + inc)
    return graph


def find_cycle(graph):
    state = {}
    stack = []

    def visit(node):
        state[node] = 1
        stack.append(node)
        for nxt in graph.get(node, {}):
            if nxt == "(hub)":
                continue
            if state.get(nxt) == 1:
                return stack[stack.index(nxt):] + [nxt]
            if nxt not in state:
                found = visit(nxt)
                if found:
                    return found
        stack.pop()
        state[node] = 2
        return None

    for node in sorted(graph):
        if node not in state:
            found = visit(node)
            if found:
                return found
    return None


def main():
    graph = arrows(ROOT)
    if "--dot" in sys.argv:
        print("digraph relay {")
        for a in sorted(graph):
            for b in sorted(graph[a]):
                if b != "(hub)":
                    print(f'  "{a}" -> "{b}";')
        print("}")
        return 0
    for a in sorted(graph):
        targets = sorted(t for t in graph[a] if t != "(hub)")
        print(f"{a:10} -> {' '.join(targets) if targets else '(nothing)'}")
    faults = []
    cycle = find_cycle(graph)
    if cycle:
        faults.append("cycle: " + " -> ".join(cycle))
    for target, where in graph.get("base", {}).items():
        faults.append(f"base includes {target}: {where[0]}")
    for folder in graph:
        if folder != "app" and "app" in graph[folder]:
            faults.append(f"{folder} includes the top: {graph[folder]['app'][0]}")
    for f in faults:
        print("FAULT:", f)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())

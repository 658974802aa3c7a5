#!/usr/bin/env python3
"""The layering of src/ (docs/architecture.md): each folder includes only the folders below it.

check_includes.py SRC_DIR      checks the tree, lists every include that breaks a rule
check_includes.py --self-test  checks that a tree with a forbidden include is refused
"""
import os
import re
import sys
import tempfile

BASE = {"platform", "resources"}
ALLOWED = {
    "platform": {"platform"},
    "engine": {"engine"},
    "controls": {"controls"} | BASE,
    "app": {"app", "controls", "engine"} | BASE,
    "mainwindow": {"mainwindow", "app", "controls"} | BASE,
    "options": {"options", "app", "controls"} | BASE,
    "popups": {"popups", "app", "controls"} | BASE,
    "program": {"program", "mainwindow", "options", "popups", "app", "controls", "engine"} | BASE,
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/')


def violations(src):
    found = []
    for folder, allowed in ALLOWED.items():
        for root, _, files in os.walk(os.path.join(src, folder)):
            for name in files:
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(root, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if m and m.group(1) in ALLOWED.keys() | BASE and m.group(1) not in allowed:
                            found.append(f"{os.path.relpath(path, src)}:{number}: {folder} includes {m.group(1)}")
    # Every folder of src/ has its rule: a new one must be placed in the layers.
    for entry in sorted(os.listdir(src)):
        if os.path.isdir(os.path.join(src, entry)) and entry not in ALLOWED:
            found.append(f"{entry}/: a folder without a place in the layers")
    return found


def self_test():
    with tempfile.TemporaryDirectory() as src:
        for folder in ALLOWED:
            os.makedirs(os.path.join(src, folder))
        with open(os.path.join(src, "options", "Dialog.cpp"), "w") as f:
            f.write('#include "options/Dialog.h"\n#include "app/Settings.h"\n')
        if violations(src):
            return "a tree that keeps the rules was refused"
        with open(os.path.join(src, "app", "Links.cpp"), "w") as f:
            f.write('#include "mainwindow/Form1.h"\n')
        with open(os.path.join(src, "popups", "Form3.cpp"), "w") as f:
            f.write('#include "options/Dialog.h"\n')
        found = violations(src)
        if len(found) != 2:
            return f"expected two broken rules, found {found}"
    return None


def main():
    if sys.argv[1:] == ["--self-test"]:
        failure = self_test()
        if failure:
            print("FAIL:", failure)
            return 1
        print("PASS")
        return 0
    found = violations(sys.argv[1])
    for line in found:
        print(line)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())

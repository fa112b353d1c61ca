#!/usr/bin/env python3
"""Keeps the source tree's layers honest.

Includes go one way: a module may include the modules before it in the
order below, never one after it, and the three modules that share a rank
(browser, eraser, windows) do not include each other. The platform's seam
includes neither of its two backends, the backends not each other, and the
logic neither (only the simulator's front end in tools/ builds on sim/).

Operating-system headers belong to the backends: Windows headers to
src/platform/win32/, the host's own (POSIX) headers to src/platform/sim/,
which stands in for Windows on the host. Everywhere else only the C and C++
standard headers may appear.

Usage: check_layers.py [SOURCE_ROOT]   (exit status 1 and one line per fault)
"""
import os
import re
import sys

RANK = {"base": 0, "platform": 1, "ui": 2, "settings": 3, "lists": 4,
        "browser": 5, "eraser": 5, "windows": 5, "app": 6, "tools": 7}

# The Windows entry point starts the program, so it alone reaches up to app.
ALLOWED_UPWARD = {("src/platform/win32/WinMain.cpp", "app/Program.h")}

C_HEADERS = {
    "assert.h", "ctype.h", "errno.h", "fenv.h", "float.h", "inttypes.h", "limits.h", "locale.h",
    "math.h", "setjmp.h", "signal.h", "stdarg.h", "stddef.h", "stdint.h", "stdio.h", "stdlib.h",
    "string.h", "time.h", "uchar.h", "wchar.h", "wctype.h",
}
WINDOWS_HEADER = re.compile(
    r"^(windows|win[a-z0-9]*|sh[a-z]*|ole[a-z0-9]*|obj[a-z]*|oa[a-z]*|oc[a-z]*|mm[a-z]*|comm[a-z]*|"
    r"mapi[a-z]*|exdisp[a-z]*|unknwn|rpc[a-z]*|guiddef|propidl|servprov|urlmon|uxtheme|vssym32|vsstyle|dwmapi|psapi|"
    r"tlhelp32|versionhelpers|ws2[a-z0-9_]*|wtypes|mshtml[a-z]*|docobj|richedit|prsht|dbghelp|imagehlp)\.h$",
    re.IGNORECASE)

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')


def module_of(rel):
    """The module of a file under the root: ('browser', None), ('platform', 'sim'), ('tools', None)."""
    parts = rel.split("/")
    if parts[0] == "tools":
        return "tools", None
    if parts[0] != "src" or len(parts) < 3:
        return None, None
    mod = parts[1]
    sub = parts[2] if mod == "platform" and len(parts) > 3 else None
    return mod, sub


def included_module(path):
    parts = path.split("/")
    if len(parts) < 2 or parts[0] not in RANK:
        return None, None
    sub = parts[1] if parts[0] == "platform" and len(parts) > 2 else None
    return parts[0], sub


def check_file(root, rel, faults):
    mod, sub = module_of(rel)
    if mod not in RANK:
        return
    with open(os.path.join(root, rel), encoding="latin-1") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if not m:
                continue
            where = f"{rel}:{number}"
            kind, name = m.groups()
            if kind == "<":
                if not name.endswith(".h") or name in C_HEADERS:
                    continue
                if WINDOWS_HEADER.match(os.path.basename(name)):
                    if (mod, sub) != ("platform", "win32"):
                        faults.append(f"{where}: Windows header <{name}> outside src/platform/win32/")
                elif (mod, sub) != ("platform", "sim") and mod != "tools":
                    faults.append(f"{where}: system header <{name}> outside src/platform/sim/")
                continue
            imod, isub = included_module(name)
            if imod is None or (rel, name) in ALLOWED_UPWARD:
                continue
            if RANK[imod] > RANK[mod] or (RANK[imod] == RANK[mod] and imod != mod):
                faults.append(f"{where}: {mod}/ includes {name}, a module above it")
            elif isub and mod not in ("platform", "tools"):
                faults.append(f"{where}: {mod}/ includes the backend {name}; the logic talks to the seam only")
            elif mod == imod == "platform" and isub and isub != sub:
                faults.append(f"{where}: {'the seam' if not sub else 'platform/' + sub} includes the backend {name}")


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    faults = []
    for top in ("src", "tools"):
        for dirpath, _, files in os.walk(os.path.join(root, top)):
            for fn in sorted(files):
                if fn.endswith((".h", ".cpp", ".hpp", ".cc")):
                    check_file(root, os.path.relpath(os.path.join(dirpath, fn), root).replace(os.sep, "/"), faults)
    for fault in faults:
        print(fault)
    if faults:
        print(f"{len(faults)} include(s) break the layers")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

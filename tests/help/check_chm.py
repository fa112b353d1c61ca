#!/usr/bin/env python3
"""Checks the compiled help file Ondrel.chm.

    check_chm.py path/to/Ondrel.chm

Lists the file's pages with chmls and checks that every page named in its
table of contents and in its index is in the file, and that every local link
and picture of its pages (href and src) leads to a file that is in it; a link
with "#name" must also find that anchor on its page. Exit status 0 when all
of that holds.
"""
import posixpath
import re
import shutil
import subprocess
import sys
import tempfile
from pathlib import Path

LOCAL_PARAM = re.compile(r'<param\s+name\s*=\s*"local"\s+value\s*=\s*"([^"]*)"', re.I)
LINK_ATTR = re.compile(r'\b(?:href|src)\s*=\s*(?:"([^"]*)"|\'([^\']*)\')', re.I)
ANCHOR_ATTR = re.compile(r'\b(?:name|id)\s*=\s*(?:"([^"]*)"|\'([^\']*)\')', re.I)
HAS_SCHEME = re.compile(r'^[a-z][a-z0-9+.-]*:', re.I)


def chm_names(chm):
    """The file names stored in the help file, without the leading slash."""
    out = subprocess.run(["chmls", "-n", "list", chm], capture_output=True, text=True, check=True).stdout
    return {line.strip()[1:] for line in out.splitlines()
            if line.startswith("/") and not line.strip().endswith("/")}


def main():
    if len(sys.argv) != 2 or not Path(sys.argv[1]).is_file():
        print("FAIL: no help file given or found (build it with: cmake --preset windows && "
              "cmake --build --preset windows --target ondrel_help)")
        return 1
    if shutil.which("chmls") is None:
        print("FAIL: chmls is not installed (Debian package fp-utils)")
        return 1
    chm = sys.argv[1]
    names = chm_names(chm)
    pages = sorted(n for n in names if n.lower().endswith((".htm", ".html")))
    problems = []

    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run(["chmls", "extractall", chm, tmp], capture_output=True, check=True)

        def text(name):
            return (Path(tmp) / name).read_text(encoding="latin-1")

        def check(target, where):
            """A local reference from `where` (a name in the file) to `target`."""
            if not target or HAS_SCHEME.match(target):
                return
            path, _, anchor = target.partition("#")
            name = posixpath.normpath(posixpath.join(posixpath.dirname(where), path)) if path else where
            if name not in names:
                problems.append(f"{where}: '{target}' is not in the help file")
            elif anchor:
                anchors = {a or b for a, b in ANCHOR_ATTR.findall(text(name))}
                if anchor not in anchors:
                    problems.append(f"{where}: '{target}' has no anchor '{anchor}'")

        for kind in (".hhc", ".hhk"):
            sitemaps = [n for n in names if n.lower().endswith(kind)]
            if not sitemaps:
                problems.append(f"the help file has no {kind} file")
            for sitemap in sitemaps:
                entries = LOCAL_PARAM.findall(text(sitemap))
                if not entries:
                    problems.append(f"{sitemap} names no page")
                for target in entries:
                    check(target, sitemap)

        links = 0
        for page in pages:
            for a, b in LINK_ATTR.findall(text(page)):
                links += 1
                check(a or b, page)

    for p in problems:
        print("FAIL:", p)
    print(f"{len(pages)} pages, {links} links and pictures checked, {len(problems)} problem(s)")
    return 1 if problems or not pages else 0


if __name__ == "__main__":
    sys.exit(main())

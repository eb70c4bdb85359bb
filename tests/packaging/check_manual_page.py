#!/usr/bin/env python3
"""Checks the manual page tavrel.6x against the program and the other documents.

- man renders it without a warning (man --warnings, as Debian's lintian runs it).
- Every option that `tavrel -help` lists is described in it, and every option it describes
  (a .TP item) is one that -help lists: the two stay in step.
- It, README.md and README.Debian tell the same: the programs line, the command that adds it,
  the package's file name (README) and how MATE is set to it.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

OPTION = re.compile(r"(?<![\w-])-[a-z][a-z-]*[a-z]")


def help_options(program):
    result = subprocess.run([program, "-help"], capture_output=True, text=True, timeout=60,
                            env={**os.environ, "XDG_CONFIG_HOME": "/nonexistent"})
    if result.returncode != 0:
        sys.exit(f"{program} -help: status {result.returncode}: {result.stderr}")
    options = set()
    for line in result.stdout.splitlines():
        # The option column: two spaces, then the options up to their description.
        if line.startswith("  -"):
            column = re.split(r"\s{2,}", line.strip())[0]
            options |= {word for word in OPTION.findall(column)}
    return options


def page_items(source):
    """The options of the page's .TP items (the line after each .TP)."""
    lines = source.splitlines()
    items = set()
    for i, line in enumerate(lines[:-1]):
        if line.startswith(".TP"):
            tag = lines[i + 1].replace("\\-", "-")
            tag = re.sub(r"\\f[BIPR]", "", tag)
            items |= set(OPTION.findall(tag))
    return items


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--page", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--readme", required=True)
    parser.add_argument("--readme-debian", required=True)
    parser.add_argument("--package-file", required=True)
    options = parser.parse_args()
    errors = []

    if shutil.which("man") is None:
        sys.exit("man is missing (apt-get install man-db)")
    env = {**os.environ, "LC_ALL": "C.UTF-8", "MANWIDTH": "80", "MAN_KEEP_FORMATTING": ""}
    render = subprocess.run(["man", "--warnings", "-l", options.page], capture_output=True,
                            text=True, env=env, timeout=60)
    if render.returncode != 0 or render.stderr:
        errors.append(f"man --warnings -l {options.page}: status {render.returncode}:\n"
                      f"{render.stderr}")
    # Plain text: no overstrikes, hyphens as typed.
    text = re.sub(r".\x08", "", render.stdout).replace("\u2010", "-").replace("\u2212", "-")
    words = set(OPTION.findall(text))

    listed = help_options(options.program)
    if len(listed) < 20:
        errors.append(f"-help lists only {sorted(listed)}")
    for option in sorted(listed - words):
        errors.append(f"-help lists {option}, the manual page does not")
    with open(options.page, encoding="utf-8") as page:
        source = page.read()
    for option in sorted(page_items(source) - listed):
        errors.append(f"the manual page describes {option}, -help does not")

    with open(options.readme, encoding="utf-8") as f:
        readme = f.read()
    with open(options.readme_debian, encoding="utf-8") as f:
        readme_debian = f.read()
    same = {
        "the programs line": '"Tavrel"  tavrel --root  \\n\\',
        "the command": "/usr/libexec/xscreensaver/tavrel -add-to-xscreensaver",
        "MATE's theme": "['screensavers-tavrel']",
    }
    # Compared with runs of blanks as one, as the page is filled.
    for what, needle in same.items():
        for name, document in (("the manual page", text), ("README.md", readme),
                               ("README.Debian", readme_debian)):
            if " ".join(needle.split()) not in " ".join(document.split()):
                errors.append(f"{name} lacks {what}: {needle}")
    if f"sudo apt install ./build/linux/{options.package_file}" not in readme:
        errors.append(f"README.md does not install ./build/linux/{options.package_file}")

    if errors:
        print("\n".join(errors), file=sys.stderr)
        return 1
    print(f"{options.page}: no warnings; {len(listed)} options, each in -help and the page")
    return 0


if __name__ == "__main__":
    sys.exit(main())

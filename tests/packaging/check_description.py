#!/usr/bin/env python3
"""Checks tavrel.xml, the description XScreenSaver's settings tool builds Tavrel's settings from.

- It is well formed (xmllint) and has the structure of XScreenSaver's own descriptions: the
  elements, their places and attributes of those installed in --config-dir, and of the table
  below when none are installed.
- Its controls follow the rules of the settings tool: one default entry per menu, that passes
  nothing; one switch per menu; whole numbers within their ranges; one switch per check box.
- Every command line it can produce is accepted by the program: each menu entry, both states of
  each check box, both ends and the middle of each number; and the defaults it shows draw the
  same picture as no options at all, so a dialog left alone shows what is drawn.
"""
import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from collections import defaultdict
from concurrent.futures import ThreadPoolExecutor

# XScreenSaver 6.06's descriptions: element -> (attributes, required attributes, children).
KNOWN_STRUCTURE = {
    "screensaver": ({"name", "_label", "gl"}, {"name", "_label"},
                    {"command", "video", "number", "select", "boolean", "string", "file",
                     "hgroup", "xscreensaver-image", "xscreensaver-text", "xscreensaver-updater",
                     "_description"}),
    "command": ({"arg"}, {"arg"}, set()),
    "video": ({"href"}, {"href"}, set()),
    "number": ({"id", "type", "arg", "_label", "_low-label", "_high-label", "low", "high",
                "default", "convert"}, {"id", "type", "arg", "low", "high", "default"}, set()),
    "select": ({"id"}, {"id"}, {"option"}),
    "option": ({"id", "_label", "arg-set"}, {"_label"}, set()),
    "boolean": ({"id", "_label", "arg-set", "arg-unset"}, {"id", "_label"}, set()),
    "string": ({"id", "_label", "arg"}, {"id", "_label", "arg"}, set()),
    "file": ({"id", "_label", "arg"}, {"id", "_label", "arg"}, set()),
    "hgroup": (set(), set(), {"boolean", "number", "select", "string", "vgroup"}),
    "vgroup": (set(), set(), {"boolean", "number", "select", "hgroup", "xscreensaver-image",
                              "xscreensaver-text", "xscreensaver-updater"}),
    "xscreensaver-image": (set(), set(), set()),
    "xscreensaver-text": (set(), set(), set()),
    "xscreensaver-updater": (set(), set(), set()),
    "_description": (set(), set(), set()),
}

errors = []


def fail(text):
    errors.append(text)


def structure_of(paths):
    """The structure the descriptions at paths share, in KNOWN_STRUCTURE's form."""
    attributes = defaultdict(set)
    required = {}
    children = defaultdict(set)
    for path in paths:
        for element in ET.parse(path).getroot().iter():
            names = set(element.attrib)
            attributes[element.tag] |= names
            required[element.tag] = names & required.get(element.tag, names)
            children[element.tag] |= {child.tag for child in element}
    return {tag: (attributes[tag], required[tag], children[tag]) for tag in attributes}


def check_structure(root, structure, source):
    if root.tag != "screensaver":
        fail(f"{source}: the root element is <{root.tag}>, not <screensaver>")
    for element in root.iter():
        if element.tag not in structure:
            fail(f"{source}: no description has <{element.tag}>")
            continue
        allowed, required, children = structure[element.tag]
        for name in sorted(set(element.attrib) - allowed):
            fail(f"{source}: <{element.tag}> has no attribute {name}")
        for name in sorted(required - set(element.attrib)):
            fail(f"{source}: <{element.tag} id='{element.get('id')}'> lacks {name}")
        for child in element:
            if child.tag not in children:
                fail(f"{source}: <{child.tag}> is not found inside <{element.tag}>")


def whole_number(element, name):
    text = element.get(name, "")
    try:
        return int(text)
    except ValueError:
        fail(f"<number id='{element.get('id')}'> {name}='{text}' is not a whole number")
        return 0


def explicit_default(switch):
    """The switch that states a check box's default state: --fps for --no-fps and back."""
    return switch.replace("--no-", "--", 1) if switch.startswith("--no-") else \
        switch.replace("--", "--no-", 1)


def controls_of(root):
    """For each control: the argument lists it can produce, and the one that spells out its
    default (which the settings tool leaves off the command line)."""
    controls = []
    for element in root.iter():
        label = f"<{element.tag} id='{element.get('id')}'>"
        if element.tag == "number":
            low, high = whole_number(element, "low"), whole_number(element, "high")
            default = whole_number(element, "default")
            arg = element.get("arg", "")
            if element.get("type") not in ("slider", "spinbutton"):
                fail(f"{label}: type is neither slider nor spinbutton")
            if not low <= default <= high:
                fail(f"{label}: default {default} is not within {low}..{high}")
            if arg.count("%") != 1 or len(arg.split()) != 2 or arg.split()[1] != "%":
                fail(f"{label}: arg '{arg}' is not 'SWITCH %'")
            values = sorted({low, (low + high) // 2, high})
            controls.append(([arg.replace("%", str(v)).split() for v in values],
                             arg.replace("%", str(default)).split()))
        elif element.tag == "select":
            options = list(element)
            silent = [o for o in options if o.get("arg-set") is None]
            switches = {o.get("arg-set").split()[0] for o in options if o.get("arg-set")}
            if len(silent) != 1:
                fail(f"{label}: {len(silent)} entries pass nothing; the default one should")
            if len(switches) != 1:
                fail(f"{label}: its entries pass different switches {sorted(switches)}")
            if not silent or len(switches) != 1:
                continue
            # The default entry's id is the value that names it.
            controls.append(([(o.get("arg-set") or "").split() for o in options],
                             [switches.pop(), silent[0].get("id")]))
        elif element.tag == "boolean":
            on, off = element.get("arg-set"), element.get("arg-unset")
            if (on is None) == (off is None):
                fail(f"{label}: needs exactly one of arg-set and arg-unset")
                continue
            switch = on or off
            controls.append(([(on or "").split(), (off or "").split()],
                             [explicit_default(switch)]))
    return controls


class Runner:
    def __init__(self, program, folder):
        self.program = program
        self.folder = folder

    def render(self, number, args, extra):
        """Renders one picture headless with args; its bytes, or None with an error noted."""
        out = os.path.join(self.folder, f"run-{number}.png")
        env = {k: v for k, v in os.environ.items()
               if k not in ("XSCREENSAVER_WINDOW", "DISPLAY")}
        # A fresh settings folder: the stored settings are the program's defaults.
        env["XDG_CONFIG_HOME"] = os.path.join(self.folder, f"config-{number}")
        # In sanitizer builds the leak checker, which other tests run, can trip over Mesa's
        # thread-local blocks at exit (its tracer faults); here only the options count.
        env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "detect_leaks=0"]))
        command = [self.program] + args + extra + ["-render", out]
        result = subprocess.run(command, env=env, capture_output=True, text=True, timeout=120)
        if result.returncode != 0 or result.stderr:
            fail(f"{' '.join(command)}: status {result.returncode}: {result.stderr.strip()}")
            return None
        with open(out, "rb") as picture:
            return picture.read()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--description", required=True)
    parser.add_argument("--program", required=True)
    parser.add_argument("--config-dir", default="/usr/share/xscreensaver/config")
    options = parser.parse_args()

    xmllint = shutil.which("xmllint")
    if xmllint is None:
        print("xmllint is missing (apt-get install libxml2-utils)", file=sys.stderr)
        return 1
    lint = subprocess.run([xmllint, "--noout", options.description],
                          capture_output=True, text=True)
    if lint.returncode != 0:
        print(f"not well formed:\n{lint.stderr}", file=sys.stderr)
        return 1
    root = ET.parse(options.description).getroot()

    check_structure(root, KNOWN_STRUCTURE, "as XScreenSaver 6.06's")
    installed = sorted(glob.glob(os.path.join(options.config_dir, "*.xml")))
    installed = [p for p in installed if os.path.basename(p) != "tavrel.xml"]
    if installed:
        check_structure(root, structure_of(installed), f"as the {len(installed)} installed")
    else:
        print(f"no descriptions in {options.config_dir}; checked against the table only")

    if root.get("name") != os.path.basename(options.program):
        fail(f"name='{root.get('name')}' is not the program's file name")
    if [c.get("arg") for c in root.iter("command")] != ["--root"]:
        fail("the one <command> should be --root: the daemon's window, as hacks draw")
    if root.find("xscreensaver-image") is None:
        fail("no <xscreensaver-image/>: the settings tool would not offer its picture choices")
    controls = controls_of(root)
    if errors:
        print("\n".join(errors), file=sys.stderr)
        return 1

    # Run k takes the k-th choice of every control (cycling), so that every choice is made once.
    runs = max(len(choices) for choices, _ in controls)
    command_lines = [sum((choices[k % len(choices)] for choices, _ in controls), [])
                     for k in range(runs)]
    defaults = sum((default for _, default in controls), [])
    # Not the defaults: the first choice of each control that is not its default.
    changed = sum((next(c for c in choices if c and c != default) for choices, default in controls),
                  [])
    still = ["-seed", "1,2", "-frame-time", "0.028", "-frames", "4", "-size", "160x100"]
    with tempfile.TemporaryDirectory(prefix="tavrel-description-") as folder:
        runner = Runner(options.program, folder)
        jobs = [(args, ["-frames", "1", "-size", "64x40"]) for args in command_lines]
        jobs += [([], still), (defaults, still), (changed, still)]
        with ThreadPoolExecutor(max_workers=2) as pool:
            pictures = list(pool.map(lambda job: runner.render(job[0], *job[1]), enumerate(jobs)))
        plain, spelled, different = pictures[-3:]
        if None not in (plain, spelled, different):
            if plain != spelled:
                fail(f"the defaults shown ({' '.join(defaults)}) draw another picture than no "
                     "options: the dialog would not show what is drawn")
            if plain == different:
                fail(f"{' '.join(changed)} draws the same picture as no options")
    if errors:
        print("\n".join(errors), file=sys.stderr)
        return 1
    print(f"{options.description}: {len(controls)} controls, {len(jobs)} runs of the program")
    return 0


if __name__ == "__main__":
    sys.exit(main())

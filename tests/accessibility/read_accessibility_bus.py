"""Reads the windows of one program over the accessibility bus (AT-SPI), as
a screen reader does, and prints them as JSON: each node's role, name,
description, states, its text when it has the Text interface, and its
children. A drop-down list's entries are its list's children, with the
"selected" state on the entry shown.

Usage: read_accessibility_bus.py PID
"""
import json
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

# Enough for every window of the test register; a longer list is cut.
MAX_CHILDREN = 120
STATES = ("focusable", "focused", "selected", "selectable", "showing", "enabled")


def node(accessible):
    out = {
        "role": accessible.get_role_name(),
        "name": accessible.get_name() or "",
        "description": accessible.get_description() or "",
        "states": [s for s in STATES if accessible.get_state_set().contains(
            getattr(Atspi.StateType, s.upper()))],
    }
    if "Text" in accessible.get_interfaces():
        text = accessible.get_text_iface()
        out["text"] = text.get_text(0, text.get_character_count())
    children = []
    for index in range(min(accessible.get_child_count(), MAX_CHILDREN)):
        child = accessible.get_child_at_index(index)
        if child is not None:
            children.append(node(child))
    if children:
        out["children"] = children
    return out


def find_program(pid, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        desktop = Atspi.get_desktop(0)
        for index in range(desktop.get_child_count()):
            program = desktop.get_child_at_index(index)
            if program is not None and program.get_process_id() == pid:
                return program
        time.sleep(0.1)
    return None


def main():
    # Some of libatspi's calls are marked deprecated under one name or another.
    warnings.simplefilter("ignore", DeprecationWarning)
    program = find_program(int(sys.argv[1]), 15)
    if program is None:
        sys.exit("program %s is not on the accessibility bus" % sys.argv[1])
    json.dump(node(program), sys.stdout)


main()

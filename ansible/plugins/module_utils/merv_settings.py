# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
"""The module's settings file (VOR-Manager.ini), found as the module finds
it, and entries set in it with every other line kept as it was."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import os
import re

SYSTEM_SETTINGS_FOLDER = "/etc/mervmodul"
SECTION_PATTERN = re.compile(r"^\s*\[([^\]]*)\]\s*$")


def settings_file_for(environment):
    """$XDG_CONFIG_HOME/Kelmora/VOR-Manager.ini, else ~/.config/Kelmora/...,
    else /etc/mervmodul/VOR-Manager.ini for a process without a home."""
    config_home = environment.get("XDG_CONFIG_HOME", "")
    home = environment.get("HOME", "")
    if config_home:
        return os.path.join(config_home, "Kelmora", "VOR-Manager.ini")
    if not home or home == "/":
        return os.path.join(SYSTEM_SETTINGS_FOLDER, "VOR-Manager.ini")
    return os.path.join(home, ".config", "Kelmora", "VOR-Manager.ini")


def _entry_name(line):
    stripped = line.strip()
    if not stripped or stripped[0] in ";#" or "=" not in stripped:
        return None
    return stripped.split("=", 1)[0].strip().lower()


def read_entry(text, section, name):
    """The value of an entry (section and name in any case), or None."""
    current = None
    for line in text.splitlines():
        found = SECTION_PATTERN.match(line)
        if found:
            current = found.group(1).strip().lower()
        elif current == section.lower() and _entry_name(line) == name.lower():
            return line.split("=", 1)[1].strip()
    return None


def set_entries(text, section, values):
    """`text` with the entries of `values` ({name: value}) set in `section`:
    an entry there is rewritten in place, a missing one added at the end of
    the section, a missing section added at the end of the file."""
    lines = text.splitlines()
    wanted = dict((name.lower(), (name, str(value))) for name, value in values.items())
    done, current, section_end = set(), None, None
    for index, line in enumerate(lines):
        found = SECTION_PATTERN.match(line)
        if found:
            current = found.group(1).strip().lower()
            if current == section.lower():
                section_end = index + 1
            continue
        if current != section.lower():
            continue
        if line.strip():
            section_end = index + 1
        name = _entry_name(line)
        if name in wanted and name not in done:
            lines[index] = "%s=%s" % wanted[name]
            done.add(name)
    missing = ["%s=%s" % wanted[name] for name in sorted(wanted) if name not in done]
    if missing:
        if section_end is None:
            if lines and lines[-1].strip():
                lines.append("")
            lines.append("[%s]" % section)
            lines.extend(missing)
        else:
            lines[section_end:section_end] = missing
    return "\n".join(lines) + "\n" if lines else ""

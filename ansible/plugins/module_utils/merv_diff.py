# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
"""The differences file of Dnn /DIFF= and Wnn /VERIFY as Ansible's diff.

One line per differing row, the register's order first:
  "+ cells;"                    a row only in the register,
  "- cells;"                    a row only in the file,
  "~ key;heading: file -> register[;heading: file -> register]..."
before is what the register holds, after what the file wants, each as the
lines of the rows concerned.
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

CODE_PAGES = {852: "cp852", 1250: "cp1250"}


def decode(data, code):
    return data.decode(CODE_PAGES.get(code, "cp852"), "replace")


def _changes(rest):
    """key and [(heading, file value, register value)] of a "~" line; a
    layout 1 cell holds no ";", so ";" separates the changes."""
    parts = rest.split(";")
    changes = []
    for part in parts[1:]:
        heading, _, values = part.partition(": ")
        file_value, _, register_value = values.partition(" -> ")
        changes.append((heading, file_value, register_value))
    return parts[0], changes


def parse_differences(text):
    """[{"kind": "+"|"-"|"~", "row": ..., "changes": [...]}] of a differences file."""
    rows = []
    for line in text.splitlines():
        if len(line) < 2 or line[1] != " " or line[0] not in "+-~":
            continue
        kind, rest = line[0], line[2:]
        if kind == "~":
            key, changes = _changes(rest)
            rows.append({"kind": kind, "row": key, "changes": changes})
        else:
            rows.append({"kind": kind, "row": rest, "changes": []})
    return rows


def as_diff(rows, table, source):
    """Ansible's diff of the rows concerned: before the register, after the file."""
    before, after = [], []
    for row in rows:
        if row["kind"] == "+":
            before.append(row["row"])
        elif row["kind"] == "-":
            after.append(row["row"])
        else:
            before.append(row["row"] + ";" + ";".join("%s: %s" % (h, r) for h, _, r in row["changes"]))
            after.append(row["row"] + ";" + ";".join("%s: %s" % (h, f) for h, f, _ in row["changes"]))
    return {
        "before": "".join(line + "\n" for line in before),
        "after": "".join(line + "\n" for line in after),
        "before_header": "register table %02d" % table,
        "after_header": source,
    }


def summary(rows, limit=20):
    """The differences in a few lines for a task's msg."""
    lines = []
    for row in rows[:limit]:
        if row["kind"] == "~":
            lines.append("~ %s: %s" % (row["row"], "; ".join(
                "%s file %s, register %s" % change for change in row["changes"])))
        else:
            lines.append("%s %s" % (row["kind"], row["row"]))
    if len(rows) > limit:
        lines.append("... %d more" % (len(rows) - limit))
    return lines

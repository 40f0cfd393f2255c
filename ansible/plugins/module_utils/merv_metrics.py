# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
"""The metrics file for Prometheus (node_exporter's textfile collector).

One file may serve every register line of a host and mervfleet too: each run
reads it, updates the series of its register and activity and writes it back
whole, under an exclusive lock on "<file>.lock", through a temporary file in
the same folder renamed over it, so the collector never reads half a file.
The file itself keeps what a run needs of the earlier ones (the counts, the
last success, the failures in a row). Labels are the register's name and the
activity word only: no file names, no texts.
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import errno
import math
import os
import re

from ansible_collections.merv.ecr.plugins.module_utils.merv_files import hold_lock, replace_file
from ansible_collections.merv.ecr.plugins.module_utils.merv_outcome import OUTCOME_CLASSES, outcome_class

# Family, type, help; the order of the file.
FAMILIES = (
    ("merv_last_outcome", "gauge", "Error number of the last run (0 success, -1 no outcome)."),
    ("merv_last_run_timestamp_seconds", "gauge", "When the last run ended, Unix time."),
    ("merv_last_success_timestamp_seconds", "gauge", "When the last run that ended with 0 ended, Unix time; 0 before the first."),
    ("merv_last_duration_seconds", "gauge", "How long the last run took."),
    ("merv_consecutive_failures", "gauge", "Runs in a row, up to the last one, that did not end with 0."),
    ("merv_runs_total", "counter", "Runs by outcome class (ok, line, differs, failed, no_outcome)."),
)
GAUGES = tuple(name for name, kind, _ in FAMILIES if kind == "gauge")
# A register name as mervfleet takes it; an activity word as the module's
# activity table has them. \Z, not $: a name ending in a line break would
# break the file's line in two, which the collector refuses whole.
NAME_PATTERN = re.compile(r"^[A-Za-z0-9._-]{1,64}\Z")
ACTIVITY_PATTERN = re.compile(r"^[A-Z0-9]{1,16}\Z")
SERIES_PATTERN = re.compile(
    r'^(merv_[a-z_]+)\{register="([A-Za-z0-9._-]{1,64})",activity="([A-Z0-9]{1,16})"(?:,class="([a-z_]+)")?\} (\S+)$')
# The lock is waited for this long at most.
LOCK_LIMIT_SECONDS = 60
LOCK_POLL_SECONDS = 0.05
# mervfleet's bound (LargestMetricsFile, tools/mervfleet/fleet_metrics.cpp),
# so that both refuse the same file: a chain's registers take far less. A
# larger file is refused whole, never read in part and written back short.
LARGEST_FILE = 64 << 20


class MetricsError(Exception):
    pass


def activity_label(activity):
    """The activity word as a label: upper case, a chip-card range
    ("PCSR.16.32") cut at its first dot, so the labels stay a bounded set."""
    label = activity.split(".", 1)[0].upper()
    if not ACTIVITY_PATTERN.match(label):
        raise MetricsError("activity %r cannot be a label" % activity)
    return label


def check_register_name(name):
    if not NAME_PATTERN.match(name or ""):
        raise MetricsError("register name %r: letters, digits, '.', '_', '-', at most 64" % (name,))
    return name


def new_series():
    return {"merv_last_outcome": -1.0, "merv_last_run_timestamp_seconds": 0.0,
            "merv_last_success_timestamp_seconds": 0.0, "merv_last_duration_seconds": 0.0,
            "merv_consecutive_failures": 0.0, "counts": dict((name, 0.0) for name in OUTCOME_CLASSES)}


def parse(text):
    """{(register, activity): series} from a file this code or mervfleet
    wrote; comments and lines of other families are left out."""
    series = {}
    for line in text.splitlines():
        found = SERIES_PATTERN.match(line)
        if not found:
            continue
        family, register, activity, kind, value = found.groups()
        try:
            number = float(value)
        except ValueError:
            continue
        if not math.isfinite(number):
            # mervfleet leaves such a line out too; it could not be written back.
            continue
        if family == "merv_runs_total" and kind in OUTCOME_CLASSES:
            series.setdefault((register, activity), new_series())["counts"][kind] = number
        elif family in GAUGES and kind is None:
            series.setdefault((register, activity), new_series())[family] = number
    return series


def record_run(series, register, activity, error, ended, seconds):
    """Counts one run ending at `ended` (Unix time) with `error` (None: no outcome)."""
    entry = series.setdefault((check_register_name(register), activity_label(activity)), new_series())
    kind = outcome_class(error)
    entry["counts"][kind] += 1
    entry["merv_last_outcome"] = float(-1 if error is None else error)
    entry["merv_last_run_timestamp_seconds"] = float(ended)
    entry["merv_last_duration_seconds"] = float(seconds)
    if kind == "ok":
        entry["merv_last_success_timestamp_seconds"] = float(ended)
        entry["merv_consecutive_failures"] = 0.0
    else:
        entry["merv_consecutive_failures"] += 1
    return series


def number_text(value):
    if value == int(value) and abs(value) < 1e15:
        return "%d" % value
    return "%.3f" % value


def render(series):
    lines = []
    keys = sorted(series)
    for family, kind, help_text in FAMILIES:
        lines.append("# HELP %s %s" % (family, help_text))
        lines.append("# TYPE %s %s" % (family, kind))
        for register, activity in keys:
            labels = 'register="%s",activity="%s"' % (register, activity)
            entry = series[(register, activity)]
            if family == "merv_runs_total":
                for name in OUTCOME_CLASSES:
                    lines.append('%s{%s,class="%s"} %s' % (family, labels, name, number_text(entry["counts"][name])))
            else:
                lines.append("%s{%s} %s" % (family, labels, number_text(entry[family])))
    return "\n".join(lines) + "\n"


def _lock(path):
    descriptor = hold_lock(path + ".lock", LOCK_LIMIT_SECONDS, LOCK_POLL_SECONDS)
    if descriptor is None:
        raise MetricsError("the lock of %s was not had within %d s" % (path, LOCK_LIMIT_SECONDS))
    return descriptor


def _read(path):
    try:
        with open(path, "rb") as handle:
            content = handle.read(LARGEST_FILE + 1)
    except (IOError, OSError) as failure:
        if failure.errno == errno.ENOENT:
            return ""
        raise
    if len(content) > LARGEST_FILE:
        raise MetricsError("%s is larger than %d bytes: not a metrics file of this collection" % (path, LARGEST_FILE))
    return content.decode("utf-8", "replace")


def update_file(path, register, activity, error, ended, seconds):
    """Adds one run to the metrics file at `path`, under its lock."""
    descriptor = _lock(path)
    try:
        series = parse(_read(path))
        record_run(series, register, activity, error, ended, seconds)
        replace_file(path, render(series))
    finally:
        os.close(descriptor)

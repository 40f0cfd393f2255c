# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
"""Running one command of MERV Modul in a register line's folder and reading
its outcome.

A line folder (made by mervmodul-instance) holds the launcher "mervmodul",
which runs the installed module with the folder as its program folder; the
module writes "error.dat" and, with /JSON, "error.json" there. The command is
always given as a list of arguments, never through a shell: a parameter value
holding blanks, quotes or ";" reaches the module as it is.

The outcome of a command is the "error.json" of that command alone: the
earlier one is removed before the launcher starts (the module removes it too,
but only once it runs, which a launcher that fails first never reaches), and
it counts only when the module's exit status says an outcome was written.
The module's own lock of the folder ends with its process, before the caller
reads error.json; so callers of one folder (these modules and mervfleet) take
turns on a lock of their own, "merv-outcome.lock", from before the earlier
outcome is removed until this one is read.
"""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import contextlib
import errno
import json
import os
import re
import subprocess

from ansible_collections.merv.ecr.plugins.module_utils.merv_files import hold_lock

# The numbers mervfleet tries again (tools/mervfleet/register_run.cpp): the
# line could not be opened or broke off, the register or its network was
# silent, the modem did not connect. A test keeps the two lists equal.
LINE_FAILURES = frozenset([4, 5, 9, 31, 33, 34, 35, 36])
# Wnn /VERIFY read back other rows than were sent; Dnn /STRICT found rows
# that differ.
REGISTER_DIFFERS = 60
# SAVEZUR: the journal file exists already; nothing was read or reset.
JOURNAL_FILE_EXISTS = 51

# The outcome classes counted in the metrics, in their order there.
OUTCOME_CLASSES = ("ok", "line", "differs", "failed", "no_outcome")

# Every command of the module waits at most its time-out on the line; the
# slowest whole transfer takes well under this. The folder's lock may hold a
# command back for up to 90 minutes, so the bound is above that.
COMMAND_LIMIT_SECONDS = 6000
EXPLAIN_LIMIT_SECONDS = 30
# The module's exit status when it wrote its outcome; any other (1: not
# written or no turn in the folder; 126, 127: the launcher found no module)
# means the command has none.
OUTCOME_WRITTEN = 0
OUTCOME_FILE = "error.json"
# Callers of one folder take turns on it; another caller holds it for at most
# one command, so the wait is bounded as a command is.
TURN_LOCK_FILE = "merv-outcome.lock"
TURN_POLL_SECONDS = 0.1

# A host goes into the module's /IPADDR= as mervfleet gives it: no "/" (it
# would begin another parameter), no blank at either end (the module cuts
# it), no control character.
LINE_PATTERN = re.compile(r"^(tcp):((?! )[^:/\x00-\x1f]+(?<! )):(\d{1,5})\Z|^(com):(\d{1,3})(?::(\d{1,7}))?\Z")
DEFAULT_COM_SPEED = "19200"


class MervError(Exception):
    """A command that could not be run or gave no outcome."""


def outcome_class(error):
    """The class of an outcome number for the metrics (None: no outcome)."""
    if error is None:
        return "no_outcome"
    if error == 0:
        return "ok"
    if error in LINE_FAILURES:
        return "line"
    if error == REGISTER_DIFFERS:
        return "differs"
    return "failed"


def line_parameters(line, model, timeout_ms=None):
    """The module's parameters of a line as mervfleet's registers file writes
    it: tcp:HOST:PORT or com:N[:SPEED], and the model's /ECR= code."""
    found = LINE_PATTERN.match(line or "")
    if not found:
        raise MervError("line %r is neither tcp:HOST:PORT nor com:N[:SPEED]" % (line,))
    if found.group(1):
        parameters = ["/IPADDR=" + found.group(2), "/IPPORT=" + found.group(3)]
    else:
        parameters = ["/COM=" + found.group(5), "/BR=" + (found.group(6) or DEFAULT_COM_SPEED)]
    if not model or not re.match(r"^[0-9A-Za-z]{1,8}$", str(model)):
        raise MervError("model %r is no /ECR= code (mervmodul --list-models)" % (model,))
    parameters.append("/ECR=" + str(model))
    if timeout_ms is not None:
        parameters.append("/TO=%d" % int(timeout_ms))
    return parameters


def module_path_value(path):
    """A host path as the module's path parameters take it: "/" separates the
    parameters, so every "/" is written as a backslash."""
    if "\\" in path:
        raise MervError("path %r holds a backslash, which the module reads as a folder separator" % (path,))
    return os.path.abspath(path).replace("/", "\\")


def launcher_of(line_folder):
    launcher = os.path.join(line_folder, "mervmodul")
    if not os.path.isfile(launcher) or not os.access(launcher, os.X_OK):
        raise MervError("%s is no line folder: %s is missing (merv.ecr.merv_line makes it)" % (line_folder, launcher))
    return launcher


def parse_explanation(text):
    """meaning and check from `mervmodul --explain N`:
    "Error N: meaning", "  Text (Czech): ...", "  Check: advice"."""
    meaning, check = "", ""
    for line in text.splitlines():
        first = re.match(r"^Error \d+: (.*)$", line)
        if first:
            meaning = first.group(1)
        elif line.startswith("  Check: "):
            check = line[len("  Check: "):]
    return meaning, check


def remove_outcome(line_folder):
    """Removes the error.json of an earlier command, so that it is never read
    as the next one's."""
    try:
        os.unlink(os.path.join(line_folder, OUTCOME_FILE))
    except OSError as failure:
        if failure.errno != errno.ENOENT:
            raise MervError("the earlier error.json of %s cannot be removed: %s" % (line_folder, failure))


def read_outcome(line_folder):
    """The record of error.json, or None when the command wrote none."""
    try:
        with open(os.path.join(line_folder, OUTCOME_FILE), "rb") as handle:
            record = json.loads(handle.read().decode("utf-8"))
    except (IOError, OSError):
        return None
    except ValueError as failure:
        raise MervError("error.json of %s is no JSON: %s" % (line_folder, failure))
    if not isinstance(record, dict) or not isinstance(record.get("error"), int):
        raise MervError("error.json of %s holds no error number" % line_folder)
    return record


class LineRunner:
    """Runs commands through the launcher of one line folder. `environment`
    is added to the process's own (XDG_CONFIG_HOME for the line's
    settings, MERV_COMn for a COM line)."""

    def __init__(self, line_folder, environment=None, run=subprocess.run):
        self.line_folder = os.path.abspath(line_folder)
        self.launcher = launcher_of(self.line_folder)
        self.environment = dict(os.environ)
        self.environment.update(environment or {})
        self._run = run

    def _process(self, arguments, limit):
        try:
            return self._run([self.launcher] + list(arguments), cwd=self.line_folder, env=self.environment,
                             stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                             timeout=limit, check=False)
        except subprocess.TimeoutExpired:
            raise MervError("%s did not end within %d s" % (arguments[0], limit))
        except OSError as failure:
            raise MervError("%s cannot be started: %s" % (self.launcher, failure))

    @contextlib.contextmanager
    def _turn(self):
        """Holds the folder's turn lock for one command and its outcome."""
        path = os.path.join(self.line_folder, TURN_LOCK_FILE)
        try:
            descriptor = hold_lock(path, COMMAND_LIMIT_SECONDS, TURN_POLL_SECONDS)
        except OSError as failure:
            raise MervError("%s cannot be locked: %s" % (path, failure))
        if descriptor is None:
            raise MervError("another caller held %s for longer than %d s" % (path, COMMAND_LIMIT_SECONDS))
        try:
            yield
        finally:
            os.close(descriptor)

    def explain(self, error):
        if error == 0:
            return "the command succeeded", ""
        finished = self._process(["--explain", str(error)], EXPLAIN_LIMIT_SECONDS)
        if finished.returncode != 0:
            return "a number the module does not write", ""
        return parse_explanation(finished.stdout.decode("utf-8", "replace"))

    def version(self):
        finished = self._process(["--version"], EXPLAIN_LIMIT_SECONDS)
        return finished.stdout.decode("utf-8", "replace").strip().split(" ")[-1]

    def model_listing(self):
        """The module's models, one "NAME /ECR=CODE" a line; empty when it lists none."""
        finished = self._process(["--list-models"], EXPLAIN_LIMIT_SECONDS)
        if finished.returncode != 0:
            return ""
        return finished.stdout.decode("utf-8", "replace")

    def command(self, activity, parameters):
        """Runs one command with /JSON; its outcome as the modules return it."""
        arguments = [activity] + list(parameters) + ["/JSON"]
        with self._turn():
            remove_outcome(self.line_folder)
            finished = self._process(arguments, COMMAND_LIMIT_SECONDS)
            record = read_outcome(self.line_folder) if finished.returncode == OUTCOME_WRITTEN else None
        if record is None:
            raise MervError("%s wrote no outcome (exit status %d): %s" % (
                activity, finished.returncode, finished.stderr.decode("utf-8", "replace").strip()))
        meaning, check = self.explain(record["error"])
        return outcome_fields(record, meaning, check, arguments)


def outcome_fields(record, meaning, check, arguments):
    """The fields every module returns for one command."""
    error = record["error"]
    return {
        "error": error,
        "text": record.get("text", ""),
        "meaning": meaning,
        "check": check,
        "activity": record.get("activity", arguments[0]),
        "rows": record.get("rows", 0),
        "milliseconds": record.get("milliseconds", 0),
        "file": record.get("file", ""),
        "started": record.get("started", ""),
        "line_failure": error in LINE_FAILURES,
        "outcome_class": outcome_class(error),
        "command": arguments,
    }


def failure_message(outcome):
    """msg of a failed task: the number and its meaning, then what to check."""
    message = "%s ended with error %d: %s" % (outcome["activity"], outcome["error"], outcome["meaning"])
    if outcome.get("text"):
        message += " (%s)" % outcome["text"]
    if outcome.get("check"):
        message += " Check: " + outcome["check"]
    if outcome["line_failure"]:
        message += " [line failure: may be tried again]"
    return message

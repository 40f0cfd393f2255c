# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
"""What the modules of merv.ecr share: the options naming the line folder,
the register's line and model and the metrics file, running commands there,
and ending the task with the outcome's fields (a failed outcome fails the
task with its number and meaning)."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

import os
import time

from ansible_collections.merv.ecr.plugins.module_utils.merv_metrics import (
    MetricsError, activity_label, check_register_name, update_file)
from ansible_collections.merv.ecr.plugins.module_utils.merv_outcome import (
    LineRunner, MervError, failure_message, line_parameters)

LINE_FOLDER_OPTION = dict(line_folder=dict(type="path", required=True))
REGISTER_OPTIONS = dict(
    line_folder=dict(type="path", required=True),
    line=dict(type="str", required=True),
    model=dict(type="str", required=True),
    timeout=dict(type="int"),
    register_name=dict(type="str"),
    metrics_file=dict(type="path"),
)

# The layout and code page of a table or report file (/FORMAT=, /CODE=).
TABLE_FILE_OPTIONS = dict(
    format=dict(type="int", choices=[1, 2], default=1),
    code=dict(type="int", choices=[852, 1250], default=852),
)


def table_file_parameters(params):
    return ["/FORMAT=%d" % params["format"], "/CODE=%d" % params["code"]]


def register_argument_spec(**own):
    spec = dict(REGISTER_OPTIONS)
    spec.update(own)
    return spec


class MervTask:
    """One task against one register: its commands and how it ends. A name
    the metrics cannot take fails the task before any command; a metrics file
    that cannot be written after a command fails it with the command's
    outcome and change kept, so that the caller still sees what happened."""

    def __init__(self, module):
        self.module = module
        self.started = time.time()
        params = module.params
        try:
            self.runner = LineRunner(params["line_folder"])
            line = params.get("line")
            self.line = line_parameters(line, params["model"], params.get("timeout")) if line else []
            self.register = params.get("register_name") or os.path.basename(self.runner.line_folder.rstrip("/"))
            if params.get("metrics_file"):
                check_register_name(self.register)
        except (MervError, MetricsError) as failure:
            module.fail_json(msg=str(failure))

    def run(self, activity, parameters):
        if self.module.params.get("metrics_file"):
            try:
                activity_label(activity)
            except MetricsError as failure:
                self.module.fail_json(msg=str(failure))
        try:
            return self.runner.command(activity, list(parameters) + self.line)
        except MervError as failure:
            message = with_metrics_failure(str(failure), self._metrics(activity, None))
            self.module.fail_json(msg=message, error=None, line_failure=False, outcome_class="no_outcome")

    def _metrics(self, activity, error):
        """Adds the run to the metrics file; why it could not, or None."""
        path = self.module.params.get("metrics_file")
        if not path or self.module.check_mode:
            return None
        try:
            update_file(path, self.register, activity, error, time.time(), time.time() - self.started)
        except (MetricsError, IOError, OSError) as failure:
            return "metrics file %s not written: %s" % (path, failure)
        return None

    def fail(self, outcome, activity=None, message=None, **extra):
        """Ends the task as failed with the outcome's number and meaning."""
        problem = self._metrics(activity or outcome["activity"], outcome["error"])
        result = dict(outcome)
        result.update(extra)
        result["msg"] = with_metrics_failure(message or failure_message(outcome), problem)
        self.module.fail_json(**result)

    def finish(self, outcome, changed, activity=None, **extra):
        """Ends the task: failed when the outcome is not 0 or its metrics were
        not written, else with `changed`."""
        if outcome["error"] != 0:
            self.fail(outcome, activity, **extra)
        problem = self._metrics(activity or outcome["activity"], 0)
        result = dict(outcome)
        result.update(extra)
        if problem:
            self.module.fail_json(msg=problem, changed=changed, **result)
        self.module.exit_json(changed=changed, **result)


def with_metrics_failure(message, problem):
    return message + "; " + problem if problem else message

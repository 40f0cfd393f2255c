#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: merv_table
short_description: A register's programming table holds what a table file says
description:
  - Compares the register's table with the table file (C(Dnn /DIFF=)). When they agree, nothing is written and the
    task is not changed.
  - When they differ, the task is changed and the rows concerned are shown as the diff (C(--diff)), before the
    register's values, after the file's. In check mode nothing more happens.
  - Otherwise the file is written to the register and read back (C(Wnn /VERIFY)). A register that reads back other
    values fails the task with 60 and the differences.
version_added: 3.4.5
author: MERV Modul developers
extends_documentation_fragment:
  - merv.ecr.register
  - merv.ecr.register.table_file
options:
  table:
    description: The table's number (3 for the PLU).
    type: int
    required: true
  path:
    description: The table file on the shop host.
    type: path
  src:
    description:
      - The table file on the controller (looked up like M(ansible.builtin.copy)'s C(src)); it is copied to a
        temporary file on the host for the task and removed again.
    type: path
attributes:
  check_mode:
    support: full
    description: Compares only; the register is not written.
  diff_mode:
    support: full
    description: The rows that differ, before the register's, after the file's.
"""

EXAMPLES = r"""
- name: The price list is on every register
  merv.ecr.merv_table:
    line_folder: /srv/shop/line1
    line: tcp:10.1.0.17:4001
    model: "465"
    table: 3
    src: pricelists/plu-2026-12.txt
    register_name: "{{ inventory_hostname }}"
    metrics_file: /var/lib/prometheus/node-exporter/merv.prom
  register: plu
  until: not plu.line_failure
  retries: 2
  delay: 5

- name: Departments from a file already on the host, in fixed-width layout
  merv.ecr.merv_table:
    line_folder: /srv/shop/line1
    line: com:1:19200
    model: 579E
    table: 1
    path: /srv/shop/departments.txt
    format: 2
    code: 1250
"""

RETURN = r"""
differences:
  description: The rows that differ (C(+) only in the register, C(-) only in the file, C(~) in both with the columns
    that differ, each as heading, file value, register value); after a failed verify the rows read back otherwise.
  returned: always
  type: list
  elements: dict
  sample: [{"kind": "~", "row": "8590000000022", "changes": [["Cena", "3350", "3200"]]}]
error:
  description: The module's outcome number (0 success).
  returned: when the command ran
  type: int
  sample: 0
text:
  description: The failure's Czech text as the log shows it; empty for success.
  returned: when the command ran
  type: str
  sample: pokladna bez odpovědi
meaning:
  description: What the number means, from the module's error table (C(mervmodul --explain N)).
  returned: when the command ran
  type: str
  sample: "The line could not be opened: the COM device cannot be opened or set up, or the TCP/IP connection was refused or timed out."
check:
  description: What to check for this number, from the module's error table.
  returned: when the command ran
  type: str
activity:
  description: The activity word of the last command run.
  returned: when the command ran
  type: str
  sample: W03
rows:
  description: The rows the command's transfers moved.
  returned: when the command ran
  type: int
milliseconds:
  description: How long the command took.
  returned: when the command ran
  type: int
file:
  description: The file the command read or wrote, as the module resolved it.
  returned: when the command ran
  type: str
started:
  description: When the command started, UTC, ISO 8601.
  returned: when the command ran
  type: str
line_failure:
  description: The outcome is a failure of the line (04, 05, 09, 31, 33 to 36); trying again may help.
  returned: always
  type: bool
outcome_class:
  description: C(ok), C(line), C(differs) (60), C(failed) or C(no_outcome), as the metrics count them.
  returned: always
  type: str
command:
  description: The arguments the module was run with.
  returned: when the command ran
  type: list
  elements: str
"""

import os
import shutil
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.merv.ecr.plugins.module_utils.merv_diff import as_diff, decode, parse_differences, summary
from ansible_collections.merv.ecr.plugins.module_utils.merv_outcome import REGISTER_DIFFERS, module_path_value
from ansible_collections.merv.ecr.plugins.module_utils.merv_task import (
    TABLE_FILE_OPTIONS, MervTask, register_argument_spec, table_file_parameters)


def table_parameters(params, diff_file):
    return (["/FILE=" + module_path_value(params["path"])] + table_file_parameters(params) +
            ["/DIFF=" + module_path_value(diff_file)])


def read_differences(path, code):
    with open(path, "rb") as handle:
        return parse_differences(decode(handle.read(), code))


def run_table(task, module, work):
    params = module.params
    number = "%02d" % params["table"]
    compared = os.path.join(work, "compared.txt")
    outcome = task.run("D" + number, table_parameters(params, compared))
    activity = "W" + number
    if outcome["error"] != 0:
        task.fail(outcome, activity, differences=[])
    rows = read_differences(compared, params["code"])
    if not rows:
        task.finish(outcome, False, activity, differences=[])
    source = params.get("src") or params["path"]
    diff = as_diff(rows, params["table"], source)
    if module.check_mode:
        task.finish(outcome, True, activity, differences=rows, diff=diff)
    verified = os.path.join(work, "verified.txt")
    written = task.run(activity, table_parameters(params, verified) + ["/VERIFY"])
    if written["error"] == REGISTER_DIFFERS:
        left = read_differences(verified, params["code"]) if os.path.exists(verified) else []
        task.fail(written, activity, differences=left, diff=diff, changed=True,
                  message="%s read back other values than were written: error 60, %s\n%s" % (
                      activity, written["meaning"], "\n".join(summary(left))))
    if written["error"] != 0:
        # The write may have reached the register before the failure.
        task.fail(written, activity, differences=rows, diff=diff, changed=True)
    task.finish(written, True, activity, differences=rows, diff=diff)


def main():
    module = AnsibleModule(
        argument_spec=register_argument_spec(
            table=dict(type="int", required=True),
            path=dict(type="path"),
            src=dict(type="path"),
            **TABLE_FILE_OPTIONS
        ),
        required_one_of=[("path", "src")],
        supports_check_mode=True,
    )
    if not 1 <= module.params["table"] <= 99:
        module.fail_json(msg="table must be 1 to 99")
    if not module.params["path"]:
        module.fail_json(msg="src is copied to the host by the action of merv.ecr.merv_table; give path on the host")
    task = MervTask(module)
    work = tempfile.mkdtemp(prefix="merv-table-")
    try:
        run_table(task, module, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

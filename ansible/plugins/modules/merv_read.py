#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: merv_read
short_description: A table or report of a register into a file on the shop host
description:
  - Runs a reading activity (C(Rnn) for a table or report such as C(R03) or C(R70), C(STS) for the key position,
    C(EXPORTZ74) is left to M(merv.ecr.merv_command)) into a temporary file beside C(dest), and puts it in place
    only when its content differs from C(dest), so the task is changed exactly when C(dest) changed.
  - A read that fails leaves C(dest) as it was.
  - In check mode the register is read (reading changes nothing there) and C(dest) is not written.
version_added: 3.4.5
author: MERV Modul developers
extends_documentation_fragment:
  - merv.ecr.register
  - merv.ecr.register.table_file
options:
  activity:
    description: The reading activity, C(Rnn) (table or report nn) or C(STS).
    type: str
    required: true
  dest:
    description: The file on the shop host.
    type: path
    required: true
attributes:
  check_mode:
    support: full
    description: Reads the register; C(dest) is not written.
  diff_mode:
    support: none
"""

EXAMPLES = r"""
- name: The day's financial report
  merv.ecr.merv_read:
    line_folder: /srv/shop/line1
    line: tcp:10.1.0.17:4001
    model: "465"
    activity: R70
    dest: "/srv/shop/reports/{{ ansible_date_time.date }}-r70.txt"
  register: report

- name: Fetched to the head office
  ansible.builtin.fetch:
    src: "{{ report.dest }}"
    dest: /srv/head-office/reports/{{ inventory_hostname }}/
    flat: true
"""

RETURN = r"""
dest:
  description: The file written (or that would be written).
  returned: always
  type: str
checksum:
  description: SHA-1 of the content read.
  returned: when the read succeeded
  type: str
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
import re
import shutil
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.merv.ecr.plugins.module_utils.merv_outcome import module_path_value
from ansible_collections.merv.ecr.plugins.module_utils.merv_task import (
    TABLE_FILE_OPTIONS, MervTask, register_argument_spec, table_file_parameters)

ACTIVITY_PATTERN = re.compile(r"^(R\d{2}|STS)$")


def same_content(first, second):
    if not os.path.isfile(second) or os.path.getsize(first) != os.path.getsize(second):
        return False
    with open(first, "rb") as one, open(second, "rb") as other:
        return one.read() == other.read()


def main():
    module = AnsibleModule(
        argument_spec=register_argument_spec(
            activity=dict(type="str", required=True),
            dest=dict(type="path", required=True),
            **TABLE_FILE_OPTIONS
        ),
        supports_check_mode=True,
    )
    params = module.params
    activity = params["activity"].upper()
    if not ACTIVITY_PATTERN.match(activity):
        module.fail_json(msg="activity %r: Rnn or STS (other activities: merv.ecr.merv_command)" % params["activity"])
    dest = os.path.abspath(params["dest"])
    folder = os.path.dirname(dest)
    if not os.path.isdir(folder):
        module.fail_json(msg="the folder of %s does not exist" % dest)
    task = MervTask(module)
    # Beside dest, so that putting it in place is a rename on one file system.
    work = tempfile.mkdtemp(dir=folder, prefix=".merv-read-")
    try:
        read = os.path.join(work, os.path.basename(dest))
        parameters = ["/FILE=" + module_path_value(read)]
        if activity != "STS":
            parameters += table_file_parameters(params)
        outcome = task.run(activity, parameters)
        if outcome["error"] != 0:
            task.fail(outcome, dest=dest)
        checksum = module.sha1(read)
        changed = not same_content(read, dest)
        if changed and not module.check_mode:
            if os.path.exists(dest):
                shutil.copymode(dest, read)
            os.replace(read, dest)
        outcome["file"] = dest
        task.finish(outcome, changed, dest=dest, checksum=checksum)
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

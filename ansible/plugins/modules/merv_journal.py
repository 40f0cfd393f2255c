#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: merv_journal
short_description: The register's electronic journal saved into a named journal file, and reset
description:
  - Saves the journal into C(path) (C(SAVEZUR)), or saves and then resets it (C(SAVERESETZUR)) with C(reset=true).
    The module sends the reset only once the file is forced to the disk and in place under its name.
  - A journal file that already exists under that name means the journal was saved (and reset) already, so the task is
    not changed and nothing is sent to the register, so running the task twice never saves twice and never resets
    twice. Give each day's journal a name of its own.
  - In check mode nothing is run; the task reports whether a save would be made.
version_added: 3.4.5
author: MERV Modul developers
extends_documentation_fragment:
  - merv.ecr.register
options:
  path:
    description: The journal file on the shop host (C(/ZURNAL=)); its folder must exist.
    type: path
    required: true
  reset:
    description: Reset the register's journal after it is saved (C(SAVERESETZUR)).
    type: bool
    default: false
  text_file:
    description: Also write the decoded lines as plain text to this file (C(/FILE=)).
    type: path
attributes:
  check_mode:
    support: full
    description: Says whether a save would be made; runs nothing.
  diff_mode:
    support: none
"""

EXAMPLES = r"""
- name: The day's journal, saved and reset
  merv.ecr.merv_journal:
    line_folder: /srv/shop/line1
    line: tcp:10.1.0.17:4001
    model: "465"
    path: "/srv/shop/journal/{{ ansible_date_time.date }}.zur"
    reset: true
"""

RETURN = r"""
path:
  description: The journal file.
  returned: always
  type: str
saved:
  description: The journal was saved by this task.
  returned: always
  type: bool
reset:
  description: The register's journal was reset by this task.
  returned: always
  type: bool
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

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.merv.ecr.plugins.module_utils.merv_outcome import JOURNAL_FILE_EXISTS, module_path_value
from ansible_collections.merv.ecr.plugins.module_utils.merv_task import MervTask, register_argument_spec


def main():
    module = AnsibleModule(
        argument_spec=register_argument_spec(
            path=dict(type="path", required=True),
            reset=dict(type="bool", default=False),
            text_file=dict(type="path"),
        ),
        supports_check_mode=True,
    )
    params = module.params
    path = os.path.abspath(params["path"])
    activity = "SAVERESETZUR" if params["reset"] else "SAVEZUR"
    task = MervTask(module)
    if os.path.lexists(path):
        module.exit_json(changed=False, path=path, saved=False, reset=False, error=0, activity=activity,
                         line_failure=False, outcome_class="ok", msg="the journal file exists: saved before")
    if module.check_mode:
        module.exit_json(changed=True, path=path, saved=False, reset=False, activity=activity,
                         line_failure=False, outcome_class="ok")
    parameters = ["/ZURNAL=" + module_path_value(path)]
    if params["text_file"]:
        parameters.append("/FILE=" + module_path_value(params["text_file"]))
    outcome = task.run(activity, parameters)
    if outcome["error"] == JOURNAL_FILE_EXISTS:
        # Another save put a file under the name meanwhile; the module sent nothing.
        module.exit_json(changed=False, path=path, saved=False, reset=False, **dict(outcome, error=0))
    task.finish(outcome, True, path=path, saved=True, reset=params["reset"])


if __name__ == "__main__":
    main()

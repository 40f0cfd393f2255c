#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: merv_command
short_description: Any activity of MERV Modul with its parameters
description:
  - Runs one command of the module in the line folder, for what the other modules do not cover (C(EXPORTZ74), C(ROT),
    C(Nhh) resets, C(PRINTZUR), C(BLOCK) ...). The parameters are passed as a list of arguments, never through a
    shell.
  - The module cannot know what a command changes, so a command that ran is changed; use C(changed_when) for a
    command that only reads. In check mode nothing is run and the task is skipped.
version_added: 3.4.5
author: MERV Modul developers
extends_documentation_fragment:
  - merv.ecr.register
options:
  activity:
    description: The activity word (C(mervmodul --help) lists them).
    type: str
    required: true
  parameters:
    description:
      - The command's parameters, each C(/KEY=value) as the module takes it (paths with backslashes, see the module's
        documentation). The line and the model come from C(line) and C(model).
    type: list
    elements: str
    default: []
  line:
    description:
      - The register's line, C(tcp:HOST:PORT) or C(com:N[:SPEED]); leave it out for an activity without a line
        (C(PRINTZUR), C(PRINTUCT)).
    type: str
    required: false
  model:
    description: The register's model code (C(/ECR=)); needed with C(line).
    type: str
    required: false
attributes:
  check_mode:
    support: none
  diff_mode:
    support: none
"""

EXAMPLES = r"""
- name: The day's PLU sales exported for the head office
  merv.ecr.merv_command:
    line_folder: /srv/shop/line1
    line: tcp:10.1.0.17:4001
    model: "465"
    activity: EXPORTZ74
    parameters:
      - /PRODEJNA=12
      - /POKLADNA=3
      - '/EXPORTDIR=\srv\export'
"""

RETURN = r"""
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

import re

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.merv.ecr.plugins.module_utils.merv_task import MervTask, register_argument_spec

LINE_KEYS = ("/COM=", "/BR=", "/IPADDR=", "/IPPORT=", "/ECR=", "/JSON")


def check_parameters(activity, parameters):
    """Why the command cannot be run as given, or None."""
    if not re.match(r"^[A-Za-z][A-Za-z0-9.]{0,31}$", activity):
        return "activity %r is no activity word" % activity
    if activity.upper() == "DOSMODE":
        return "DOSMODE is the resident mode: the line's service runs it"
    for parameter in parameters:
        if not parameter.startswith("/"):
            return "parameter %r does not begin with /" % parameter
        if parameter.upper().startswith(LINE_KEYS):
            return "%s: line and model give the line, /JSON is always given" % parameter
    return None


def main():
    spec = register_argument_spec(activity=dict(type="str", required=True),
                                  parameters=dict(type="list", elements="str", default=[]))
    spec["line"] = dict(type="str")
    spec["model"] = dict(type="str")
    module = AnsibleModule(argument_spec=spec, required_together=[("line", "model")], supports_check_mode=True)
    params = module.params
    problem = check_parameters(params["activity"], params["parameters"])
    if problem:
        module.fail_json(msg=problem)
    if module.check_mode:
        module.exit_json(changed=False, skipped=True, msg="not run in check mode")
    task = MervTask(module)
    outcome = task.run(params["activity"], params["parameters"])
    task.finish(outcome, True)


if __name__ == "__main__":
    main()

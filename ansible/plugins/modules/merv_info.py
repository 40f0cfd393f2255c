#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: merv_info
short_description: The module's version, the line's settings and the register's key position and model, as facts
description:
  - Returns, as the fact C(merv), the installed module's version, the settings the line's commands run with (the log
    switch and C(LogMaxMB)) and the register's key position read with C(STS), with its model.
  - Reads only; never changed. Runs in check mode too.
version_added: 3.4.5
author: MERV Modul developers
extends_documentation_fragment:
  - merv.ecr.register
options:
  settings_file:
    description: The settings file; default the one the module finds (see M(merv.ecr.merv_line)).
    type: path
attributes:
  check_mode:
    support: full
  diff_mode:
    support: none
"""

EXAMPLES = r"""
- name: What each register says
  merv.ecr.merv_info:
    line_folder: /srv/shop/line1
    line: tcp:10.1.0.17:4001
    model: "465"

- name: Registers whose key is not in R
  ansible.builtin.debug:
    msg: "{{ inventory_hostname }}: key in {{ merv.key_position }}"
  when: merv.key_position != 'R'
"""

RETURN = r"""
ansible_facts:
  description: The fact C(merv).
  returned: always
  type: dict
  contains:
    merv:
      description: version, settings_file, log (bool), log_max_mb (int, the module's default 100 when not set),
        key_position (OFF, R, Z, X, P, S ... as C(STS) writes it), model_code, model_name.
      type: dict
      sample: {"version": "3.04.05", "log": true, "log_max_mb": 100, "key_position": "R", "model_code": "465",
               "model_name": "ECR 465T/465TF", "settings_file": "/home/shop/.config/Kelmora/VOR-Manager.ini"}
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
from ansible_collections.merv.ecr.plugins.module_utils.merv_outcome import MervError, module_path_value
from ansible_collections.merv.ecr.plugins.module_utils.merv_settings import read_entry, settings_file_for
from ansible_collections.merv.ecr.plugins.module_utils.merv_task import MervTask, register_argument_spec

DEFAULT_LOG_MAX_MB = 100


def settings_facts(path):
    text = ""
    if os.path.isfile(path):
        with open(path, "rb") as handle:
            text = handle.read(1 << 20).decode("utf-8", "replace")
    log = read_entry(text, "Ver2", "LogSouborSifra")
    bound = read_entry(text, "Ver2", "LogMaxMB")
    return {"settings_file": path, "log": log == "1",
            "log_max_mb": int(bound) if bound is not None and bound.lstrip("-").isdigit() else DEFAULT_LOG_MAX_MB}


def model_name(listing, code):
    suffix = " /ECR=" + code
    for line in listing.splitlines():
        if line.endswith(suffix):
            return line[:-len(suffix)]
    return ""


def main():
    module = AnsibleModule(argument_spec=register_argument_spec(settings_file=dict(type="path")),
                           supports_check_mode=True)
    task = MervTask(module)
    facts = settings_facts(module.params["settings_file"] or settings_file_for(os.environ))
    try:
        facts["version"] = task.runner.version()
        listing = task.runner.model_listing()
    except MervError as failure:
        module.fail_json(msg=str(failure))
    facts["model_code"] = module.params["model"]
    facts["model_name"] = model_name(listing, module.params["model"])
    work = tempfile.mkdtemp(prefix="merv-info-")
    try:
        state = os.path.join(work, "stav.txt")
        outcome = task.run("STS", ["/FILE=" + module_path_value(state)])
        if outcome["error"] == 0:
            with open(state, "rb") as handle:
                facts["key_position"] = handle.read(64).decode("ascii", "replace").strip()
        task.finish(outcome, False, ansible_facts={"merv": facts})
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()

# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
"""Options every module of merv.ecr that talks to a register shares (DOCUMENTATION), and those of the
modules that read or write a table or report file (TABLE_FILE)."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type


class ModuleDocFragment(object):
    DOCUMENTATION = r"""
options:
  line_folder:
    description:
      - The register line's folder on the shop host, made by C(mervmodul-instance) or M(merv.ecr.merv_line).
      - Its launcher C(mervmodul) runs the installed module with the folder as its program folder;
        C(error.dat), C(error.json) and C(KL.log) are written there.
    type: path
    required: true
  line:
    description:
      - The register's line as C(mervfleet)'s registers file writes it, C(tcp:HOST:PORT) or C(com:N[:SPEED])
        (SPEED as C(/BR=) takes it, default 19200). A dial-up line is left to C(mervfleet).
    type: str
    required: true
  model:
    description:
      - The register's model code, as C(/ECR=) takes it (C(mervmodul --list-models)).
    type: str
    required: true
  timeout:
    description:
      - The command's time-out on the line in milliseconds (C(/TO=)); the module's default (4000) when left out.
    type: int
  register_name:
    description:
      - The register's name in the metrics (letters, digits, C(.), C(_), C(-), at most 64).
      - Default the line folder's name. Give the chain's own name, for example C({{ inventory_hostname }}).
    type: str
  metrics_file:
    description:
      - A file of node_exporter's textfile collector (C(/var/lib/prometheus/node-exporter/merv.prom)) that the task's
        outcome is added to, for the register and the activity (the last outcome, the last success, the duration,
        the runs by outcome class and the failures in a row).
      - Several tasks on one host (one per line) share the file; each reads it, updates its own series and writes it
        back whole under an exclusive lock on C(<file>.lock), through a temporary file renamed over it.
      - Not written in check mode.
    type: path
notes:
  - The command is run as a list of arguments, never through a shell, with C(/JSON); its outcome is read from
    C(error.json) in the line folder, which is removed before the command starts and read only when the module exits
    with 0 (else the task fails with C(outcome_class=no_outcome)).
  - >-
    A non-zero outcome fails the task with the number and its meaning in C(msg). Line failures (04, 05, 09, 31,
    33 to 36, the numbers C(mervfleet) tries again) return C(line_failure=true), so that
    C(until: not result.line_failure) with C(retries) tries those again and nothing else.
  - The module's settings (the log switch, C(LogMaxMB)) are those of the user the task runs as
    (C($XDG_CONFIG_HOME/Kelmora/VOR-Manager.ini)); set C(XDG_CONFIG_HOME) in the task's C(environment) to give a
    line settings of its own, as M(merv.ecr.merv_line) writes them.
"""

    TABLE_FILE = r"""
options:
  format:
    description: The file's layout, C(/FORMAT=) (1 separated, 2 fixed width).
    type: int
    choices: [1, 2]
    default: 1
  code:
    description: The file's code page, C(/CODE=).
    type: int
    choices: [852, 1250]
    default: 852
"""

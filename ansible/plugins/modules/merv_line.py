#!/usr/bin/python
# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
module: merv_line
short_description: A register line's folder with its launcher, and the line's settings
description:
  - Makes C(path) a register line's folder with C(mervmodul-instance) when its launcher is missing, is an old copy of
    the module, or runs another module or another folder than this one; a launcher that is right is left alone.
  - Sets the communication log's switch (C(LogSouborSifra)) and its bound (C(LogMaxMB)) in section C([Ver2]) of the
    settings file the module reads, keeping every other line of it; options left out are left as they are.
  - The task is changed only when the launcher was made or the settings file changed. Check mode writes nothing and
    shows the settings' change as the diff.
version_added: 3.4.5
author: MERV Modul developers
options:
  path:
    description: The line folder; made when missing.
    type: path
    required: true
  log:
    description: Whether the module writes the enciphered communication log C(KL.log) in the line folder.
    type: bool
  log_max_mb:
    description: The bound of C(KL.log) in MB (0 none); the module's default is 100.
    type: int
  settings_file:
    description:
      - The settings file. Default the one the module finds for the user the task runs as and its environment,
        C($XDG_CONFIG_HOME/Kelmora/VOR-Manager.ini), else C(~/.config/Kelmora/VOR-Manager.ini), else
        C(/etc/mervmodul/VOR-Manager.ini) for a user without a home (the line's service).
      - The settings belong to the user, so the lines of one user share them; a line of its own settings is run with
        C(XDG_CONFIG_HOME) set for it (the task's C(environment)).
    type: path
  instance_command:
    description: C(mervmodul-instance) of the installed module.
    type: path
    default: mervmodul-instance
attributes:
  check_mode:
    support: full
  diff_mode:
    support: full
    description: The settings file before and after.
"""

EXAMPLES = r"""
- name: Line 1 with its log on, at most 50 MB
  merv.ecr.merv_line:
    path: /srv/shop/line1
    log: true
    log_max_mb: 50
"""

RETURN = r"""
launcher:
  description: The line folder's launcher.
  returned: always
  type: str
launcher_made:
  description: The launcher was made (or would be, in check mode).
  returned: always
  type: bool
settings_file:
  description: The settings file.
  returned: always
  type: str
settings_changed:
  description: The settings file changed (or would).
  returned: always
  type: bool
"""

import os
import shlex
import subprocess

from ansible.module_utils.basic import AnsibleModule
from ansible_collections.merv.ecr.plugins.module_utils.merv_files import replace_file
from ansible_collections.merv.ecr.plugins.module_utils.merv_settings import set_entries, settings_file_for

LAUNCHER_LIMIT = 64 * 1024
# mervmodul-instance makes a folder and writes one small file: far less than this.
INSTANCE_LIMIT_SECONDS = 60
# The largest settings file the module reads (MaxSettingsSize, base/settings_store_posix.cpp).
SETTINGS_LIMIT = 1 << 20


def installed_module(instance_command):
    """The module mervmodul-instance puts in launchers: ../lib/mervmodul/mervmodul beside it."""
    return os.path.realpath(os.path.join(os.path.dirname(os.path.realpath(instance_command)),
                                         "..", "lib", "mervmodul", "mervmodul"))


def launcher_is_right(launcher, folder, module):
    """The launcher runs `module` with `folder` as its program folder."""
    if not os.path.isfile(launcher) or os.path.islink(launcher) or not os.access(launcher, os.X_OK):
        return False
    with open(launcher, "rb") as handle:
        text = handle.read(LAUNCHER_LIMIT).decode("utf-8", "replace")
    program_dir, runs = None, None
    for line in text.splitlines():
        try:
            words = shlex.split(line, comments=True)
        except ValueError:
            return False
        if len(words) == 1 and words[0].startswith("MERV_PROGRAM_DIR="):
            program_dir = words[0][len("MERV_PROGRAM_DIR="):]
        elif len(words) == 3 and words[0] == "exec" and words[2] == "$@":
            runs = words[1]
    return (program_dir is not None and runs is not None and
            os.path.realpath(program_dir) == os.path.realpath(folder) and os.path.realpath(runs) == module)


def make_launcher(module, instance, folder):
    """Runs mervmodul-instance over `folder`, waiting for it a bounded time."""
    try:
        finished = subprocess.run([instance, folder], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                  stderr=subprocess.PIPE, timeout=INSTANCE_LIMIT_SECONDS, check=False)
    except subprocess.TimeoutExpired:
        module.fail_json(msg="%s %s did not end within %d s" % (instance, folder, INSTANCE_LIMIT_SECONDS))
    except OSError as failure:
        module.fail_json(msg="%s cannot be started: %s" % (instance, failure))
    if finished.returncode != 0:
        out, err = (stream.decode("utf-8", "replace").strip() for stream in (finished.stdout, finished.stderr))
        module.fail_json(msg="%s %s failed: %s" % (instance, folder, err or out), rc=finished.returncode)


def read_settings(module, path):
    """The settings file's text; bytes that are no UTF-8 are kept as they are
    (surrogateescape), so that writing the text back leaves them alone. A
    larger file than the module reads is refused, never written back short."""
    if not os.path.exists(path):
        return ""
    with open(path, "rb") as handle:
        content = handle.read(SETTINGS_LIMIT + 1)
    if len(content) > SETTINGS_LIMIT:
        module.fail_json(msg="%s is larger than %d bytes: the module reads no such settings file" % (
            path, SETTINGS_LIMIT))
    return content.decode("utf-8", "surrogateescape")


def shown(text):
    """The settings' text for the diff, bytes that are no UTF-8 shown as U+FFFD."""
    return text.encode("utf-8", "surrogateescape").decode("utf-8", "replace")


def wanted_settings(params):
    values = {}
    if params["log"] is not None:
        values["LogSouborSifra"] = 1 if params["log"] else 0
    if params["log_max_mb"] is not None:
        values["LogMaxMB"] = params["log_max_mb"]
    return values


def main():
    module = AnsibleModule(
        argument_spec=dict(
            path=dict(type="path", required=True),
            log=dict(type="bool"),
            log_max_mb=dict(type="int"),
            settings_file=dict(type="path"),
            instance_command=dict(type="path", default="mervmodul-instance"),
        ),
        supports_check_mode=True,
    )
    params = module.params
    folder = os.path.abspath(params["path"])
    instance = params["instance_command"]
    if os.sep not in instance:
        instance = module.get_bin_path(instance, required=True)
    launcher = os.path.join(folder, "mervmodul")
    made = not launcher_is_right(launcher, folder, installed_module(instance))
    if made and not module.check_mode:
        make_launcher(module, instance, folder)

    settings = params["settings_file"] or settings_file_for(os.environ)
    before = read_settings(module, settings)
    values = wanted_settings(params)
    after = set_entries(before, "Ver2", values) if values else before
    settings_changed = after != before
    if settings_changed and not module.check_mode:
        target = os.path.realpath(settings)
        if not os.path.isdir(os.path.dirname(target)):
            os.makedirs(os.path.dirname(target))
        mode = os.stat(target).st_mode & 0o7777 if os.path.exists(target) else 0o644
        replace_file(target, after, mode)
    result = dict(changed=made or settings_changed, launcher=launcher, launcher_made=made,
                  settings_file=settings, settings_changed=settings_changed)
    if settings_changed:
        result["diff"] = {"before": shown(before), "after": shown(after), "before_header": settings,
                          "after_header": settings}
    module.exit_json(**result)


if __name__ == "__main__":
    main()

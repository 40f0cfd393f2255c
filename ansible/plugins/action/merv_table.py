# -*- coding: utf-8 -*-
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
"""merv_table's action: a table file named by src on the controller is
copied into the task's temporary folder on the host and given to the module
as its path; the folder goes with the task."""

from __future__ import absolute_import, division, print_function

__metaclass__ = type

from ansible.errors import AnsibleAction, AnsibleActionFail, AnsibleError
from ansible.module_utils.common.text.converters import to_text
from ansible.plugins.action import ActionBase


class ActionModule(ActionBase):

    TRANSFERS_FILES = True

    def run(self, tmp=None, task_vars=None):
        result = super(ActionModule, self).run(tmp, task_vars)
        del tmp
        arguments = self._task.args.copy()
        source = arguments.get("src")
        try:
            if source is not None:
                if arguments.get("path") is not None:
                    raise AnsibleActionFail("src and path are mutually exclusive")
                try:
                    found = self._find_needle("files", source)
                except AnsibleError as failure:
                    raise AnsibleActionFail(to_text(failure))
                if self._connection._shell.tmpdir is None:
                    self._make_tmp_path()
                remote = self._connection._shell.join_path(self._connection._shell.tmpdir, "table-file")
                self._transfer_file(found, remote)
                self._fixup_perms2((self._connection._shell.tmpdir, remote))
                arguments["path"] = remote
            result.update(self._execute_module(module_name="merv.ecr.merv_table", module_args=arguments,
                                               task_vars=task_vars))
        except AnsibleAction as action:
            result.update(action.result)
        finally:
            self._remove_tmp_path(self._connection._shell.tmpdir)
        return result

# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
"""The collection as ansible-doc and ansible-galaxy see it."""

import json
import os
import re
import subprocess
import sys

import pytest
import yaml

from ansible_collections.merv.ecr.plugins.module_utils.merv_outcome import outcome_fields

COLLECTION = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SOURCE_DIR = os.path.dirname(COLLECTION)
MODULES = ["merv_line", "merv_table", "merv_read", "merv_journal", "merv_command", "merv_info"]
# The fields every module on a register returns for its command, and the
# type its return documentation must give each.
OUTCOME = outcome_fields({"error": 0}, "", "", ["STS", "/JSON"])
DOCUMENTED_TYPES = {bool: "bool", int: "int", str: "str", list: "list"}


def ansible_doc(module, home, *options):
    environment = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=[p for p in sys.path if "merv-collections-" in p][0],
                       HOME=str(home), ANSIBLE_LOCAL_TEMP=str(home / "tmp"), ANSIBLE_NOCOLOR="1")
    finished = subprocess.run(["/usr/bin/ansible-doc", *options, "merv.ecr." + module], env=environment,
                              timeout=120, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    text = finished.stdout.decode()
    assert finished.returncode == 0, text
    return text


@pytest.mark.parametrize("module", MODULES)
def test_ansible_doc_renders_options_examples_and_return_values(module, tmp_path):
    text = ansible_doc(module, tmp_path)
    assert "OPTIONS (= is mandatory):" in text and "EXAMPLES:" in text and "RETURN VALUES:" in text
    assert not re.search(r"\bWARNING\b|\bERROR\b", text)


# ansible-doc (2.14) takes no documentation fragment into RETURN: each of
# these modules documents the outcome's fields itself, and this keeps every
# copy complete.
@pytest.mark.parametrize("module", MODULES[1:])
def test_modules_on_a_register_document_every_outcome_field(module, tmp_path):
    documented = json.loads(ansible_doc(module, tmp_path, "--json"))["merv.ecr." + module]["return"]
    for key, value in OUTCOME.items():
        assert key in documented, key
        assert documented[key]["type"] == DOCUMENTED_TYPES[type(value)], key


def test_version_is_the_modules():
    with open(os.path.join(SOURCE_DIR, "CMakeLists.txt")) as handle:
        version = re.search(r"set\(MERV_VERSION ([0-9.]+)\)", handle.read()).group(1)
    with open(os.path.join(COLLECTION, "galaxy.yml")) as handle:
        galaxy = yaml.safe_load(handle)
    assert galaxy["version"] == ".".join(str(int(part)) for part in version.split("."))
    assert galaxy["license"] == ["MIT"] and os.path.exists(os.path.join(COLLECTION, "LICENSE"))


def test_example_playbooks_are_valid(tmp_path):
    playbooks = sorted(os.path.join(COLLECTION, "playbooks", name)
                       for name in os.listdir(os.path.join(COLLECTION, "playbooks")) if name.endswith(".yml"))
    assert len(playbooks) == 4
    environment = dict(os.environ, ANSIBLE_COLLECTIONS_PATH=[p for p in sys.path if "merv-collections-" in p][0],
                       HOME=str(tmp_path), ANSIBLE_LOCAL_TEMP=str(tmp_path / "tmp"), ANSIBLE_NOCOLOR="1")
    finished = subprocess.run(["/usr/bin/ansible-playbook", "--syntax-check", "-i", "localhost,"] + playbooks,
                              env=environment, timeout=120, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    assert finished.returncode == 0, finished.stdout.decode()

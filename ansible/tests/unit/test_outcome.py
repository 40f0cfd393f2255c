# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
import os
import re
import shutil
import threading

import pytest

from ansible_collections.merv.ecr.plugins.module_utils.merv_outcome import (
    LINE_FAILURES, TURN_LOCK_FILE, LineRunner, MervError, failure_message, line_parameters, module_path_value, outcome_class, outcome_fields,
    parse_explanation)

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.join(HERE, "..", "..", "..")


@pytest.mark.parametrize("line, model, timeout, parameters", [
    ("tcp:10.1.0.17:4001", "465", None, ["/IPADDR=10.1.0.17", "/IPPORT=4001", "/ECR=465"]),
    ("tcp:shop-3.example:14000", "579E", 9000, ["/IPADDR=shop-3.example", "/IPPORT=14000", "/ECR=579E", "/TO=9000"]),
    ("com:2", "465", None, ["/COM=2", "/BR=19200", "/ECR=465"]),
    ("com:12:9600", "40", None, ["/COM=12", "/BR=9600", "/ECR=40"]),
])
def test_line_parameters(line, model, timeout, parameters):
    assert line_parameters(line, model, timeout) == parameters


@pytest.mark.parametrize("line, model", [
    ("tcp:10.1.0.17", "465"), ("modem:1:5551234", "465"), ("com:x", "465"), ("tcp:a:1 /COM=2", "465"),
    ("", "465"), ("tcp:h:1", ""), ("tcp:h:1", "465 /STRICT"),
    ("tcp:10.1.0.17/ZURNAL=\\tmp\\j.zur:4001", "465"), ("tcp: 10.1.0.17:4001", "465"), ("tcp:h :1", "465"),
    ("tcp:h\t:1", "465"),
])
def test_line_parameters_refuse(line, model):
    with pytest.raises(MervError):
        line_parameters(line, model)


def test_module_path_value():
    assert module_path_value("/srv/shop/plu 1.txt") == "\\srv\\shop\\plu 1.txt"
    with pytest.raises(MervError):
        module_path_value("/srv/a\\b.txt")


@pytest.mark.parametrize("error, kind", [(0, "ok"), (4, "line"), (5, "line"), (9, "line"), (31, "line"),
                                         (33, "line"), (36, "line"), (60, "differs"), (6, "failed"),
                                         (32, "failed"), (37, "failed"), (51, "failed"), (None, "no_outcome")])
def test_outcome_class(error, kind):
    assert outcome_class(error) == kind


def test_line_failures_are_those_mervfleet_tries_again():
    with open(os.path.join(SOURCE_DIR, "tools", "mervfleet", "line_failures.cpp")) as handle:
        listed = re.search(r"LineFailures = \{(.*?)\};", handle.read(), re.S).group(1)
    with open(os.path.join(SOURCE_DIR, "base", "error_numbers.h")) as handle:
        numbers = dict(re.findall(r"^\s*(\w+) = (\d+),", handle.read(), re.M))
    names = re.findall(r"ErrorNumber::(\w+)", listed)
    assert len(names) == 8 and set(int(numbers[name]) for name in names) == LINE_FAILURES


def test_explanation_and_failure_message():
    meaning, check = parse_explanation(
        "Error 9: The line could not be opened.\n  Text (Czech): chyba\n  Check: the cable.\n")
    assert (meaning, check) == ("The line could not be opened.", "the cable.")
    record = {"error": 9, "text": "chyba", "activity": "D03", "rows": 0, "file": "", "milliseconds": 4}
    outcome = outcome_fields(record, meaning, check, ["D03", "/JSON"])
    assert outcome["line_failure"] and outcome["outcome_class"] == "line"
    assert failure_message(outcome) == ("D03 ended with error 9: The line could not be opened. (chyba) "
                                        "Check: the cable. [line failure: may be tried again]")
    record.update(error=22, text="")
    assert failure_message(outcome_fields(record, "No fit.", "", ["D03"])) == "D03 ended with error 22: No fit."


EARLIER_RECORD = '{"error": 0, "text": "", "activity": "SAVERESETZUR", "started": "2026-12-09T20:00:00.000Z"}\n'


@pytest.mark.parametrize("launcher", [
    "exit 127",  # the installed module is gone: the shell's own status
    "exit 0",  # ended without writing an outcome
    "echo '{\"error\": 0, \"activity\": \"R03\"}' > error.json; exit 1",  # error.dat not written
])
def test_a_command_takes_no_outcome_but_its_own(tmp_path, launcher):
    (tmp_path / "error.json").write_text(EARLIER_RECORD)
    (tmp_path / "mervmodul").write_text("#!/bin/sh\n%s\n" % launcher)
    (tmp_path / "mervmodul").chmod(0o755)
    with pytest.raises(MervError, match="R03 wrote no outcome"):
        LineRunner(str(tmp_path)).command("R03", ["/FILE=x"])


def test_runners_sharing_a_folder_each_read_their_own_outcome(tmp_path):
    shutil.copy(os.path.join(HERE, "fake_module.py"), str(tmp_path / "mervmodul"))
    (tmp_path / "scenario.json").write_text('{"seconds": 0.05}')
    outcomes = {"D01": [], "D02": []}

    def commands(activity):
        runner = LineRunner(str(tmp_path))
        for _ in range(10):
            try:
                outcomes[activity].append(runner.command(activity, [])["activity"])
            except MervError as failure:
                outcomes[activity].append(str(failure))

    workers = [threading.Thread(target=commands, args=(activity,)) for activity in outcomes]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join(120)
    assert outcomes == {"D01": ["D01"] * 10, "D02": ["D02"] * 10}


def test_the_turn_lock_is_the_one_mervfleet_takes():
    with open(os.path.join(SOURCE_DIR, "tools", "mervfleet", "register_run.cpp")) as handle:
        assert re.search(r'TurnLockFileName = "([^"]+)"', handle.read()).group(1) == TURN_LOCK_FILE

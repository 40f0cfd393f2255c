"""mervmodul --doctor against emulated registers: which checks pass and
fail for a TCP line, a pseudo-terminal COM line, a wrong model, a missing
device and a closed port, in text and as JSON."""
import json
import os
import subprocess

import pytest

from conftest import MERVMODUL


def doctor(folder, parameters, environment=None, as_json=True):
    arguments = [MERVMODUL, "--doctor", *parameters] + (["--json"] if as_json else [])
    run = subprocess.run(arguments, capture_output=True, text=True, timeout=60, cwd=folder,
                         env=dict(os.environ, MERV_PROGRAM_DIR=folder, **(environment or {})))
    return run.returncode, (json.loads(run.stdout) if as_json else run.stdout)


def verdicts(report):
    return {check["name"]: check["ok"] for check in report["checks"]}


CASES = [
    # (what, register kind, parameters, checks that must pass, checks that must fail)
    ("tcp line", "tcp", ["/ECR=465"], ["program folder", "TCP address", "ENQ round trip", "model"], []),
    ("zero-padded address", "padded tcp", ["/ECR=465"], ["TCP address", "ENQ round trip"], []),
    ("com line", "pty", ["/COM=1", "/BR=2", "/ECR=465"],
     ["COM device", "COM permissions", "COM holder", "ENQ round trip", "model"], []),
    ("wrong model", "tcp", ["/ECR=39"], ["ENQ round trip"], ["model"]),
    ("missing device", None, ["/COM=9", "/BR=2", "/ECR=465"], ["program folder"], ["COM device", "ENQ round trip"]),
    ("closed port", None, ["/IPADDR=127.0.0.1", "/IPPORT=1", "/TO=300", "/ECR=465"], [],
     ["TCP address", "ENQ round trip"]),
    ("bad model code", None, ["/COM=1", "/BR=2", "/ECR=1"], ["settings"], ["parameters"]),
]


@pytest.mark.parametrize("what,kind,parameters,passing,failing", CASES, ids=[case[0] for case in CASES])
def test_checks(registers, tmp_path, what, kind, parameters, passing, failing):
    environment = {"MERV_COM9": str(tmp_path / "no-such-device")}
    if kind in ("tcp", "padded tcp"):
        register = registers("tcp")
        connection = register.connection()
        if kind == "padded tcp":
            connection = connection.replace("127.0.0.1", "127.000.000.001")
        parameters = connection.split() + parameters
    elif kind == "pty":
        register = registers("pty", pty=True)
        environment["MERV_COM1"] = register.link
    status, report = doctor(str(tmp_path), parameters, environment)
    found = verdicts(report)
    for name in passing:
        assert found.get(name) is True, (name, report)
    for name in failing:
        assert found.get(name) is False, (name, report)
        advice = next(check for check in report["checks"] if check["name"] == name).get("advice", "")
        assert advice, f"{name} failed without saying what to do"
    assert report["ok"] == all(found.values()) and status == (0 if report["ok"] else 1)
    assert not any(name.startswith("doctor") for name in os.listdir(tmp_path)), "the probe file is left behind"


def test_text_has_one_line_per_check_and_the_advice_under_a_failure(registers, tmp_path):
    register = registers("tcp")
    status, text = doctor(str(tmp_path), register.connection().split() + ["/ECR=39"], as_json=False)
    lines = text.splitlines()
    assert any(line.startswith("ok   ENQ round trip: answered in ") for line in lines), text
    failed = lines.index(next(line for line in lines if line.startswith("FAIL model: model code 18")))
    assert lines[failed + 1].startswith("     what to do: ") and status == 1


def test_a_wrong_argument_is_a_usage_error(tmp_path):
    run = subprocess.run([MERVMODUL, "--doctor", "STS"], capture_output=True, text=True, timeout=30,
                         env=dict(os.environ, MERV_PROGRAM_DIR=str(tmp_path)))
    assert run.returncode == 2 and "--doctor takes a line's parameters" in run.stderr
    assert not os.path.exists(tmp_path / "error.dat")

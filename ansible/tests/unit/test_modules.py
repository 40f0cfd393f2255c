# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
"""The modules run in this process against a stand-in launcher
(fake_module.py), which notes every command it is given."""

import json
import os
import shutil

import pytest
from ansible.module_utils import basic

from ansible_collections.merv.ecr.plugins.module_utils import merv_outcome
from ansible_collections.merv.ecr.plugins.module_utils.merv_metrics import parse
from ansible_collections.merv.ecr.plugins.modules import merv_command, merv_info, merv_journal, merv_line, merv_read, merv_table

HERE = os.path.dirname(os.path.abspath(__file__))
PRICE_DIFF = "~ 8590000000022;Cena: 3350 -> 3200\n+ 8599999999994;Test;1000;\n"


class Line:
    """A line folder with the stand-in launcher and what it is to answer."""

    def __init__(self, folder):
        self.folder = folder
        folder.mkdir()
        shutil.copy(os.path.join(HERE, "fake_module.py"), str(folder / "mervmodul"))
        self.scenario()

    def __str__(self):
        return str(self.folder)

    def __truediv__(self, name):
        return self.folder / name

    def scenario(self, **answers):
        (self.folder / "scenario.json").write_text(json.dumps(answers))


@pytest.fixture
def line(tmp_path):
    return Line(tmp_path / "line1")


def calls(folder):
    path = folder / "calls.jsonl"
    if not path.exists():
        return []
    return [json.loads(line) for line in path.read_text().splitlines() if not line.startswith('["--')]


def run(module, arguments, capsys, check_mode=False):
    arguments = dict(arguments, _ansible_check_mode=check_mode, _ansible_diff=True)
    basic._ANSIBLE_ARGS = json.dumps({"ANSIBLE_MODULE_ARGS": arguments}).encode()
    with pytest.raises(SystemExit):
        module.main()
    return json.loads(capsys.readouterr().out)


def register_arguments(line, **own):
    arguments = {"line_folder": str(line), "line": "tcp:127.0.0.1:4001", "model": "465"}
    arguments.update(own)
    return arguments


@pytest.fixture
def table_file(tmp_path):
    path = tmp_path / "plu.txt"
    path.write_text("8590000000022;Chleba 1;3350;\n")
    return str(path)


@pytest.mark.parametrize("check_mode", [False, True])
def test_table_that_agrees_is_unchanged_and_not_written(line, table_file, capsys, check_mode):
    result = run(merv_table, register_arguments(line, table=3, path=table_file), capsys, check_mode)
    assert result["changed"] is False and "diff" not in result
    assert [call[0] for call in calls(line)] == ["D03"]


def test_check_mode_shows_the_diff_and_writes_nothing(line, table_file, capsys):
    line.scenario(diff={"D03": PRICE_DIFF})
    result = run(merv_table, register_arguments(line, table=3, path=table_file), capsys, check_mode=True)
    assert result["changed"] is True
    assert result["diff"]["before"] == "8590000000022;Cena: 3200\n8599999999994;Test;1000;\n"
    assert result["diff"]["after"] == "8590000000022;Cena: 3350\n"
    assert [call[0] for call in calls(line)] == ["D03"]


def test_differences_are_written_and_verified(line, table_file, capsys):
    line.scenario(diff={"D03": PRICE_DIFF, "W03": ""})
    result = run(merv_table, register_arguments(line, table=3, path=table_file, code=1250, format=2), capsys)
    assert result["changed"] is True and result["error"] == 0 and result["activity"] == "W03"
    written = calls(line)[1]
    assert written[0] == "W03" and "/VERIFY" in written and written[-1] == "/JSON"
    assert "/CODE=1250" in written and "/FORMAT=2" in written
    assert "/FILE=" + table_file.replace("/", "\\") in written
    assert written[-4:] == ["/IPADDR=127.0.0.1", "/IPPORT=4001", "/ECR=465", "/JSON"]


def test_a_register_that_reads_back_otherwise_fails_with_60_and_the_rows(line, table_file, capsys):
    line.scenario(diff={"D03": PRICE_DIFF, "W03": "~ 8590000000022;Nazev: Chleba 1 -> Xhleba 1\n"}, error={"W03": 60})
    result = run(merv_table, register_arguments(line, table=3, path=table_file), capsys)
    assert result["failed"] is True and result["error"] == 60 and result["changed"] is True
    assert "error 60" in result["msg"] and "meaning of 60" in result["msg"] and "Xhleba 1" in result["msg"]
    assert result["differences"] == [{"kind": "~", "row": "8590000000022", "changes": [["Nazev", "Chleba 1", "Xhleba 1"]]}]


def test_a_failed_comparison_fails_with_the_number_its_meaning_and_line_failure(line, table_file, capsys):
    line.scenario(error={"D03": 9})
    result = run(merv_table, register_arguments(line, table=3, path=table_file), capsys)
    assert result["failed"] is True and result["error"] == 9 and result["line_failure"] is True
    assert result["meaning"] == "meaning of 9" and result["check"] == "check 9"
    assert result["msg"].startswith("D03 ended with error 9: meaning of 9")
    assert [call[0] for call in calls(line)] == ["D03"]


def test_journal_is_saved_and_reset_once(line, tmp_path, capsys):
    journal = str(tmp_path / "2026-12-10.zur")
    first = run(merv_journal, register_arguments(line, path=journal, reset=True), capsys)
    second = run(merv_journal, register_arguments(line, path=journal, reset=True), capsys)
    assert first["changed"] is True and first["saved"] and first["reset"]
    assert second["changed"] is False and not second["saved"] and not second["reset"]
    assert [call[0] for call in calls(line)] == ["SAVERESETZUR"]


def test_journal_in_check_mode_runs_nothing(line, tmp_path, capsys):
    result = run(merv_journal, register_arguments(line, path=str(tmp_path / "j.zur")), capsys, check_mode=True)
    assert result["changed"] is True and calls(line) == [] and not (tmp_path / "j.zur").exists()


def test_journal_that_another_save_took_meanwhile_is_unchanged(line, tmp_path, capsys):
    line.scenario(error={"SAVEZUR": 51})
    result = run(merv_journal, register_arguments(line, path=str(tmp_path / "j.zur")), capsys)
    assert result["changed"] is False and not result.get("failed")


def test_read_changes_dest_only_when_its_content_changed(line, tmp_path, capsys):
    dest = tmp_path / "r70.txt"
    line.scenario(file="report 1\r\n")
    assert run(merv_read, register_arguments(line, activity="R70", dest=str(dest)), capsys)["changed"] is True
    stamp = os.stat(str(dest)).st_ino
    assert run(merv_read, register_arguments(line, activity="R70", dest=str(dest)), capsys)["changed"] is False
    assert os.stat(str(dest)).st_ino == stamp
    line.scenario(file="report 2\r\n")
    assert run(merv_read, register_arguments(line, activity="R70", dest=str(dest)), capsys, True)["changed"] is True
    assert dest.read_bytes() == b"report 1\r\n"
    assert sorted(os.listdir(str(tmp_path))) == ["line1", "r70.txt"]


@pytest.mark.parametrize("activity, layout, sent", [
    ("R03", {}, ["/FORMAT=1", "/CODE=852"]),
    ("r21", {"format": 2, "code": 1250}, ["/FORMAT=2", "/CODE=1250"]),
    ("STS", {"format": 2, "code": 1250}, []),
])
def test_read_passes_the_file_layout_to_table_reads_only(line, tmp_path, capsys, activity, layout, sent):
    dest = tmp_path / "read.txt"
    run(merv_read, register_arguments(line, activity=activity, dest=str(dest), **layout), capsys)
    command = calls(line)[0]
    assert command[0] == activity.upper() and command[1].startswith("/FILE=")
    assert command[2:-4] == sent


def test_read_that_fails_leaves_dest(line, tmp_path, capsys):
    dest = tmp_path / "r03.txt"
    dest.write_text("kept")
    line.scenario(error={"R03": 5}, file="")
    result = run(merv_read, register_arguments(line, activity="R03", dest=str(dest)), capsys)
    assert result["failed"] and result["line_failure"] and dest.read_text() == "kept"


def test_command_passes_its_parameters_as_they_are_and_not_in_check_mode(line, capsys):
    parameters = ["/PRODEJNA=12", "/EXPORTDIR=\\srv\\a b; rm -rf ~"]
    assert run(merv_command, register_arguments(line, activity="EXPORTZ74", parameters=parameters), capsys,
               check_mode=True)["changed"] is False
    assert calls(line) == []
    result = run(merv_command, register_arguments(line, activity="EXPORTZ74", parameters=parameters), capsys)
    assert result["changed"] is True
    assert calls(line) == [["EXPORTZ74"] + parameters + ["/IPADDR=127.0.0.1", "/IPPORT=4001", "/ECR=465", "/JSON"]]


@pytest.mark.parametrize("parameters", [["/COM=2"], ["/JSON"], ["FILE=x"], ["/ipaddr=10.0.0.1"]])
def test_command_refuses_what_the_line_options_give(line, capsys, parameters):
    result = run(merv_command, register_arguments(line, activity="R03", parameters=parameters), capsys)
    assert result["failed"] and calls(line) == []


def test_line_is_made_once_and_its_settings_set_once(tmp_path, capsys):
    prefix = tmp_path / "prefix"
    (prefix / "bin").mkdir(parents=True)
    (prefix / "lib" / "mervmodul").mkdir(parents=True)
    module = prefix / "lib" / "mervmodul" / "mervmodul"
    shutil.copy(os.path.join(HERE, "fake_module.py"), str(module))
    instance = prefix / "bin" / "mervmodul-instance"
    source = os.path.join(HERE, "..", "..", "..", "scripts", "mervmodul-instance")
    shutil.copy(source, str(instance))
    settings = tmp_path / "VOR-Manager.ini"
    settings.write_text("; mine\n[Ver2]\nlogsouborsifra=0\n[Tisk]\nTiskarna=kancelar\n")
    arguments = {"path": str(tmp_path / "line1"), "instance_command": str(instance), "log": True,
                 "log_max_mb": 50, "settings_file": str(settings)}
    checked = run(merv_line, arguments, capsys, check_mode=True)
    assert checked["changed"] and not (tmp_path / "line1").exists()
    assert "LogMaxMB=50" in checked["diff"]["after"] and "LogMaxMB" not in settings.read_text()
    first = run(merv_line, arguments, capsys)
    assert first["launcher_made"] and first["settings_changed"]
    assert settings.read_text() == "; mine\n[Ver2]\nLogSouborSifra=1\nLogMaxMB=50\n[Tisk]\nTiskarna=kancelar\n"
    second = run(merv_line, arguments, capsys)
    assert second["changed"] is False
    (tmp_path / "line1" / "mervmodul").write_text("#!/bin/sh\nexec /elsewhere/mervmodul \"$@\"\n")
    assert run(merv_line, arguments, capsys)["launcher_made"] is True


def test_a_write_that_fails_may_have_changed_the_register(line, table_file, capsys):
    line.scenario(diff={"D03": PRICE_DIFF}, error={"W03": 5})
    result = run(merv_table, register_arguments(line, table=3, path=table_file), capsys)
    assert result["failed"] and result["changed"] is True and result["line_failure"] is True
    assert [call[0] for call in calls(line)] == ["D03", "W03"]


def test_a_launcher_that_fails_after_a_success_is_counted_as_no_outcome(line, tmp_path, capsys):
    metrics = str(tmp_path / "merv.prom")
    arguments = register_arguments(line, activity="SAVERESETZUR", parameters=["/ZURNAL=\\tmp\\j.zur"],
                                   metrics_file=metrics)
    assert run(merv_command, arguments, capsys)["error"] == 0
    (line / "mervmodul").write_text("#!/bin/sh\nexit 127\n")
    result = run(merv_command, arguments, capsys)
    assert result["failed"] and result["outcome_class"] == "no_outcome" and "wrote no outcome" in result["msg"]
    counts = parse(open(metrics).read())[(line.folder.name, "SAVERESETZUR")]["counts"]
    assert counts["ok"] == 1 and counts["no_outcome"] == 1


@pytest.mark.parametrize("folder, own", [
    ("line 1", {}),
    ("line1", {"register_name": "praha 01"}),
    ("line1", {"activity": "EXPORTZ74EXPORTZ74"}),  # a word, but longer than a label may be
    ("line1", {"register_name": "praha-01\n"}),  # as a folded YAML scalar gives it
    ("line1", {"activity": "EXPORTZ74\n"}),
])
def test_a_name_the_metrics_cannot_take_is_refused_before_any_command(tmp_path, capsys, folder, own):
    line = Line(tmp_path / folder)
    arguments = register_arguments(line, activity="EXPORTZ74", metrics_file=str(tmp_path / "merv.prom"))
    arguments.update(own)
    result = run(merv_command, arguments, capsys)
    assert result["failed"] and calls(line) == [] and not (tmp_path / "merv.prom").exists()


@pytest.mark.parametrize("error", [0, 5])
def test_metrics_not_written_after_a_write_keep_the_outcome_and_the_change(line, table_file, tmp_path, capsys, error):
    line.scenario(diff={"D03": PRICE_DIFF}, error={"W03": error})
    metrics = tmp_path / "merv.prom"
    metrics.mkdir()
    result = run(merv_table, register_arguments(line, table=3, path=table_file, metrics_file=str(metrics)), capsys)
    assert result["failed"] and result["changed"] is True and result["error"] == error
    assert result["line_failure"] is (error == 5) and "merv.prom not written" in result["msg"]


def test_info_gives_the_model_name_and_key_position(line, tmp_path, capsys):
    line.scenario(file="R\r\n")
    result = run(merv_info, register_arguments(line, settings_file=str(tmp_path / "none.ini")), capsys)
    facts = result["ansible_facts"]["merv"]
    assert result["changed"] is False
    assert (facts["model_name"], facts["key_position"], facts["version"]) == ("ECR 465T/465TF", "R", "3.04.05")


def test_info_does_not_wait_without_bound_for_the_model_list(line, tmp_path, capsys, monkeypatch):
    monkeypatch.setattr(merv_outcome, "EXPLAIN_LIMIT_SECONDS", 1)
    line.scenario(listing_seconds=30)
    result = run(merv_info, register_arguments(line, settings_file=str(tmp_path / "none.ini")), capsys)
    assert result["failed"] and "--list-models did not end within 1 s" in result["msg"]
    assert calls(line) == []


@pytest.mark.parametrize("script, message", [
    ("exec sleep 30", "did not end within 1 s"),
    ("echo no room >&2; exit 1", "failed: no room"),
])
def test_a_line_whose_launcher_cannot_be_made_fails(tmp_path, capsys, monkeypatch, script, message):
    monkeypatch.setattr(merv_line, "INSTANCE_LIMIT_SECONDS", 1)
    instance = tmp_path / "mervmodul-instance"
    instance.write_text("#!/bin/sh\n%s\n" % script)
    instance.chmod(0o755)
    result = run(merv_line, {"path": str(tmp_path / "line1"), "instance_command": str(instance)}, capsys)
    assert result["failed"] and message in result["msg"]


@pytest.mark.parametrize("content, written", [
    (b"; kancel\xe1\xf8 (cp1250)\n[Ver2]\nLogSouborSifra=0\n", b"; kancel\xe1\xf8 (cp1250)\n[Ver2]\nLogSouborSifra=1\n"),
    (b"[Ver2]\n; \xc5\xbe\n", b"[Ver2]\n; \xc5\xbe\nLogSouborSifra=1\n"),
])
def test_line_settings_keep_every_other_byte(tmp_path, capsys, content, written):
    settings = tmp_path / "VOR-Manager.ini"
    settings.write_bytes(content)
    result = run(merv_line, line_settings_arguments(tmp_path, settings), capsys)
    assert result["settings_changed"] and settings.read_bytes() == written


def line_settings_arguments(tmp_path, settings):
    return {"path": str(tmp_path / "line1"), "instance_command": "/bin/true", "log": True,
            "settings_file": str(settings)}


def test_line_settings_larger_than_the_module_reads_are_refused_and_left(tmp_path, capsys):
    settings = tmp_path / "VOR-Manager.ini"
    content = b"[Ports]\n" + b";" * merv_line.SETTINGS_LIMIT + b"\n[Ver2]\nLogSouborSifra=0\n"
    settings.write_bytes(content)
    result = run(merv_line, line_settings_arguments(tmp_path, settings), capsys)
    assert result["failed"] and "larger than" in result["msg"] and settings.read_bytes() == content

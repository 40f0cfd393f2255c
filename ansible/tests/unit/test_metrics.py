# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
import multiprocessing
import os

import pytest

from ansible_collections.merv.ecr.plugins.module_utils.merv_metrics import (
    LARGEST_FILE, MetricsError, activity_label, parse, record_run, render, update_file)


def test_runs_in_a_row_the_last_success_and_the_counts():
    series = {}
    record_run(series, "praha-01", "W03", 0, 1000.5, 2.0)
    for ended, error in ((2000, 9), (3000, 5), (4000, None)):
        record_run(series, "praha-01", "W03", error, ended, 1.0)
    entry = series[("praha-01", "W03")]
    assert entry["merv_consecutive_failures"] == 3 and entry["merv_last_success_timestamp_seconds"] == 1000.5
    assert entry["merv_last_outcome"] == -1 and entry["merv_last_run_timestamp_seconds"] == 4000
    assert entry["counts"] == {"ok": 1, "line": 2, "differs": 0, "failed": 0, "no_outcome": 1}
    record_run(series, "praha-01", "W03", 0, 5000, 1.0)
    assert series[("praha-01", "W03")]["merv_consecutive_failures"] == 0


def test_render_and_parse_round_trip_and_leave_other_lines_out():
    series = {}
    record_run(series, "brno.3", "pcsr.16.32", 60, 1796888734.331, 0.25)
    record_run(series, "a_1", "R70", 0, 17, 3)
    text = render(series)
    assert 'merv_runs_total{register="brno.3",activity="PCSR",class="differs"} 1' in text.splitlines()
    assert 'merv_last_run_timestamp_seconds{register="brno.3",activity="PCSR"} 1796888734.331' in text.splitlines()
    junk = 'node_load1 3\nmerv_runs_total{register="x",activity="R03",class="bogus"} 1\nmerv_other{register="y",activity="R03"} 1\n'
    assert parse(text + junk) == series
    assert render(parse(text)) == text


@pytest.mark.parametrize("name", ["", "a b", 'x"y', "x" * 65, "ž", "praha-01\n"])
def test_register_names_outside_the_bounded_set_are_refused(name):
    with pytest.raises(MetricsError):
        record_run({}, name, "R03", 0, 1, 1)


@pytest.mark.parametrize("activity, label", [("R03", "R03"), ("savezur", "SAVEZUR"), ("PCSW.0.256", "PCSW")])
def test_activity_label(activity, label):
    assert activity_label(activity) == label


@pytest.mark.parametrize("activity", ["R03\n", "", "R-03"])
def test_activities_outside_the_bounded_set_are_refused(activity):
    with pytest.raises(MetricsError):
        activity_label(activity)


@pytest.mark.parametrize("value", ["NaN", "+Inf", "-inf", "1e999"])
def test_a_series_whose_value_is_no_finite_number_is_left_out(tmp_path, value):
    path = tmp_path / "merv.prom"
    path.write_text('merv_last_duration_seconds{register="r2",activity="W03"} %s\n' % value)
    update_file(str(path), "r1", "W03", 0, 1000, 0.1)
    assert sorted(parse(path.read_text())) == [("r1", "W03")]


def add_runs(path, register, count):
    for number in range(count):
        update_file(path, register, "W03", 0 if number % 2 else 9, 1000 + number, 0.1)


def test_runs_of_many_processes_all_land_in_one_file(tmp_path):
    path = str(tmp_path / "merv.prom")
    workers = [multiprocessing.Process(target=add_runs, args=(path, "r%d" % (index % 3), 10)) for index in range(6)]
    for worker in workers:
        worker.start()
    for worker in workers:
        worker.join(60)
    series = parse(open(path).read())
    assert sorted(series) == [("r0", "W03"), ("r1", "W03"), ("r2", "W03")]
    assert all(entry["counts"]["ok"] == 10 and entry["counts"]["line"] == 10 for entry in series.values())
    assert sorted(os.listdir(str(tmp_path))) == ["merv.prom", "merv.prom.lock"]


def test_a_file_over_the_limit_is_refused_and_left_as_it_is(tmp_path):
    path = tmp_path / "merv.prom"
    with open(str(path), "wb") as handle:
        handle.write(b'merv_consecutive_failures{register="r1",activity="W03"} 2\n')
        handle.truncate(LARGEST_FILE + 1)
    before = os.stat(str(path))
    with pytest.raises(MetricsError, match="larger than"):
        update_file(str(path), "r1", "W03", 0, 1000, 0.1)
    after = os.stat(str(path))
    assert (after.st_ino, after.st_size, after.st_mtime_ns) == (before.st_ino, before.st_size, before.st_mtime_ns)

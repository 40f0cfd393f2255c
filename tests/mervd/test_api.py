"""mervd's API against register emulators: lines in parallel, one command
at a time per line, one run per request_id (also across a restart), the
bounded queue, and the refusals of the security rules."""
import re
import json
import os
import shutil
import signal
import subprocess
import threading
import time

import pytest

from conftest import MERVD, MERVMODUL
from slow_client import dribble

# 300 bit/s: 30 bytes a second, so that an STS takes about a second and runs overlap visibly.
SLOW = ("--line-speed", "300")


def interval(record):
    return record["started"], record["finished"]


def test_two_lines_run_in_parallel_and_one_line_one_command_at_a_time(registers, daemons):
    tcp = registers("tcp", extra=SLOW)
    pty = registers("pty", pty=True, extra=SLOW)
    daemon = daemons({"a": tcp.connection(), "b": pty.connection(1) + " /BR=2"},
                     environment={"MERV_COM1": pty.link})
    posted = [("a", "a1"), ("b", "b1"), ("a", "a2"), ("b", "b2"), ("a", "a3")]
    for line, request_id in posted:
        status, record = daemon.post_command(line, request_id=request_id, wait=False)
        assert status == 202, record
        assert record["state"] in ("queued", "running")
    ended = {request_id: daemon.await_end(line, request_id) for line, request_id in posted}
    for record in ended.values():
        assert record["state"] == "done" and record["error"] == 0, record
    # ISO times of one clock compare as text.
    a_runs = sorted(interval(ended[i]) for i in ("a1", "a2", "a3"))
    for (_, first_end), (second_start, _) in zip(a_runs, a_runs[1:]):
        assert first_end <= second_start, a_runs
    a1_start, a1_end = interval(ended["a1"])
    b1_start, b1_end = interval(ended["b1"])
    assert a1_start < b1_end and b1_start < a1_end, "the two lines did not run at the same time"
    assert tcp.runs() == 3 and pty.runs() == 2


def test_repeated_request_id_runs_the_register_once_also_across_a_restart(registers, daemons):
    register = registers("tcp")
    daemon = daemons({"a": register.connection()})
    status, first = daemon.post_command("a", request_id="sale-42")
    assert status == 200 and first["state"] == "done"
    frames = register.frames_received()
    status, again = daemon.post_command("a", request_id="sale-42")
    assert (status, again) == (200, first)
    daemon.restart()
    status, after_restart = daemon.post_command("a", request_id="sale-42")
    assert (status, after_restart) == (200, first)
    status, fetched = daemon.call("GET", "/v1/lines/a/commands/sale-42")
    assert (status, fetched) == (200, first)
    assert register.runs() == 1 and register.frames_received() == frames
    # Another id runs.
    status, other = daemon.post_command("a", request_id="sale-43")
    assert status == 200 and register.runs() == 2


def test_a_command_cut_short_by_a_crash_is_never_run_again(registers, daemons):
    register = registers("tcp", extra=SLOW)
    daemon = daemons({"a": register.connection()})
    status, _ = daemon.post_command("a", request_id="busy", wait=False)
    assert status == 202
    status, queued = daemon.post_command("a", request_id="waiting", wait=False)
    assert status == 202
    deadline = time.monotonic() + 10
    while daemon.call("GET", "/v1/lines/a/commands/busy")[1]["state"] != "running":
        assert time.monotonic() < deadline
        time.sleep(0.02)
    daemon.restart(signal.SIGKILL)
    for request_id in ("busy", "waiting"):
        status, record = daemon.post_command("a", request_id=request_id)
        assert status == 200 and record["state"] == "interrupted", record
        assert "not run again" in record["message"]
    time.sleep(1.5)
    assert register.runs() <= 1


OTHER_COMMANDS = [
    # (what, activity, parameters) sent with the id of an STS that has run
    ("another activity", "W03", {"FILE": "plu.txt"}),
    ("other parameters", "STS", {"FILE": "other.txt"}),
]


@pytest.mark.parametrize("what,activity,parameters", OTHER_COMMANDS, ids=[case[0] for case in OTHER_COMMANDS])
def test_a_request_id_used_for_another_command_is_a_conflict(registers, daemons, what, activity, parameters):
    register = registers("tcp")
    daemon = daemons({"a": register.connection()})
    status, first = daemon.post_command("a", request_id="used")
    assert status == 200 and first["state"] == "done"
    status, problem = daemon.post_command("a", activity=activity, parameters=parameters, request_id="used")
    assert status == 409 and "another command" in problem["message"], problem
    assert daemon.post_command("a", request_id="used") == (200, first)
    assert register.runs() == 1


SAME_COMMANDS = [
    # (what, (activity, parameters) of the first request, (activity, parameters) of its repeat)
    # A lower-case name comes after upper-case ones in the request, before them in the record.
    ("a name in lower case", ("STS", {"file": "stav.txt", "TO": "3000"}), ("STS", {"file": "stav.txt", "TO": "3000"})),
    ("a number for its text", ("STS", {"FILE": "stav.txt", "TO": 3000}), ("STS", {"FILE": "stav.txt", "TO": "3000"})),
]


@pytest.mark.parametrize("what,first,repeat", SAME_COMMANDS, ids=[case[0] for case in SAME_COMMANDS])
def test_a_repeat_of_the_same_command_in_other_words_gets_its_record(registers, daemons, what, first, repeat):
    register = registers("tcp")
    daemon = daemons({"a": register.connection()})
    status, record = daemon.post_command("a", activity=first[0], parameters=first[1], request_id="same")
    assert status == 200 and record["state"] == "done", record
    assert daemon.post_command("a", activity=repeat[0], parameters=repeat[1], request_id="same") == (200, record)
    assert register.runs() == 1


def test_a_record_of_another_id_under_the_same_file_name_is_a_conflict(registers, daemons):
    register = registers("tcp")
    daemon = daemons({"a": register.connection()})
    assert daemon.post_command("a", request_id="ABC")[0] == 200
    folder = os.path.join(daemon.folder, "a")
    # What a file system that does not tell case apart shows for "abc" once "ABC" has run.
    shutil.copy(os.path.join(folder, "mervd-outcome.ABC.json"), os.path.join(folder, "mervd-outcome.abc.json"))
    for status, problem in (daemon.post_command("a", request_id="abc"),
                            daemon.call("GET", "/v1/lines/a/commands/abc")):
        assert status == 409 and "ABC" in problem["message"], problem
    assert register.runs() == 1


DAMAGED_RECORDS = [
    # (what, the record file's bytes)
    ("empty", b""),
    ("cut short", b'{"request_id": "lost", "line": "a", "activity": "STS", "par'),
    ("no record", b'{"request_id": "lost"}\n'),
]


@pytest.mark.parametrize("what,contents", DAMAGED_RECORDS, ids=[case[0] for case in DAMAGED_RECORDS])
def test_a_record_that_cannot_be_read_answers_interrupted_and_is_not_run(registers, daemons, what, contents):
    # A power failure may leave a record written by an earlier mervd empty or cut short.
    register = registers("tcp")
    daemon = daemons({"a": register.connection()})
    with open(os.path.join(daemon.folder, "a", "mervd-outcome.lost.json"), "wb") as record:
        record.write(contents)
    answers = [daemon.call("GET", "/v1/lines/a/commands/lost"), daemon.post_command("a", request_id="lost")]
    daemon.restart()
    answers.append(daemon.post_command("a", request_id="lost"))
    for status, record in answers:
        assert status == 200 and record["state"] == "interrupted", record
        assert "cannot be read" in record["message"] and "not run again" in record["message"]
    assert register.runs() == 0


def running_one(daemon, line, request_ids, limit=10):
    deadline = time.monotonic() + limit
    while time.monotonic() < deadline:
        for request_id in request_ids:
            status, record = daemon.call("GET", f"/v1/lines/{line}/commands/{request_id}")
            if status == 200 and record["state"] == "running":
                return request_id
        time.sleep(0.02)
    raise AssertionError(f"none of {request_ids} began to run within {limit} s")


def test_a_stop_starts_no_queued_command_and_answers_the_waiting_clients(registers, daemons):
    register = registers("tcp", extra=SLOW)
    daemon = daemons({"a": register.connection()})
    request_ids = ["s1", "s2", "s3"]
    answers = {}
    clients = [threading.Thread(target=lambda i=i: answers.update({i: daemon.post_command("a", request_id=i)}),
                                daemon=True) for i in request_ids]
    for client in clients:
        client.start()
    running = running_one(daemon, "a", request_ids)
    daemon.process.send_signal(signal.SIGTERM)
    assert daemon.process.wait(timeout=10) == 0
    for client in clients:
        client.join(5)
    # The queued ones are answered at once, still queued; the running one may have ended by then.
    assert sorted(answers) == request_ids, answers
    assert all(answers[i][0] == 202 for i in request_ids if i != running), answers
    assert register.runs() == 1
    daemon.start()
    for request_id in request_ids:
        status, record = daemon.call("GET", f"/v1/lines/a/commands/{request_id}")
        assert status == 200 and record["state"] == ("done" if request_id == running else "interrupted"), record


# A module that runs until the test makes "release" in its folder (a minute at most).
HELD_MODULE = """#!/bin/sh
i=0
while [ ! -e release ] && [ "$i" -lt 600 ]; do /bin/sleep 0.1; i=$((i + 1)); done
"""


def test_clients_waiting_for_a_line_leave_threads_for_the_others(daemons, tmp_path):
    module = tmp_path / "held-module"
    module.write_text(HELD_MODULE)
    module.chmod(0o755)
    daemon = daemons({"a": "/IPADDR=127.0.0.1 /IPPORT=9"}, module=str(module))
    assert daemon.post_command("a", request_id="held", wait=False)[0] == 202
    running_one(daemon, "a", ["held"])
    # More clients than the server has threads, each waiting for the same command (retries, or gone).
    answers = []
    clients = [threading.Thread(target=lambda: answers.append(daemon.post_command("a", request_id="held")),
                                daemon=True) for _ in range(24)]
    for client in clients:
        client.start()
    deadline = time.monotonic() + 10
    while not answers and time.monotonic() < deadline:
        time.sleep(0.05)
    assert answers and all(status == 202 for status, _ in answers), answers
    status, _, _ = daemon.request("GET", "/v1/health", timeout=10)
    assert status == 200
    status, problem = daemon.call("POST", "/v1/lines/a/doctor", timeout=10)
    assert status == 503 and "try the diagnosis again" in problem["message"], problem
    (tmp_path / "a" / "release").touch()
    for client in clients:
        client.join(30)
    assert len(answers) == len(clients) and {status for status, _ in answers} <= {200, 202}, answers


def test_a_full_queue_answers_429(registers, daemons):
    register = registers("tcp", extra=SLOW)
    daemon = daemons({"a": register.connection()}, queue_limit=2)
    answers = [daemon.post_command("a", request_id=f"q{i}", wait=False) for i in range(5)]
    statuses = [status for status, _ in answers]
    assert statuses[:3] == [202, 202, 202] or statuses[:2] == [202, 202], statuses
    refused = [record for status, record in answers if status == 429]
    assert refused and "queue is full" in refused[0]["message"]
    # A refused id was not recorded: it may be sent again later.
    refused_id = f"q{statuses.index(429)}"
    status, _ = daemon.call("GET", f"/v1/lines/a/commands/{refused_id}")
    assert status == 404


REFUSALS = [
    # (what, method, path, body, headers, token, status, words of the message)
    ("no token", "GET", "/v1/lines", None, {}, False, 401, "token"),
    ("wrong token", "GET", "/v1/health", None, {"Authorization": "Bearer 00"}, True, 401, "token"),
    ("metrics without token", "GET", "/metrics", None, {}, False, 401, "token"),
    ("foreign host", "GET", "/v1/lines", None, {"Host": "shop.example:80"}, True, 403, "Host"),
    ("rebound name", "GET", "/", None, {"Host": "attacker.example"}, False, 403, "Host"),
    ("foreign origin", "GET", "/v1/lines", None, {"Origin": "http://attacker.example"}, True, 403, "origin"),
    ("dot dot", "GET", "/v1/lines/a/files/..", None, {}, True, 404, ""),
    ("dot dot path", "GET", "/v1/lines/a/files/../../token", None, {}, True, 404, ""),
    ("encoded dot dot", "GET", "/v1/lines/a/files/..%2F..%2Ftoken", None, {}, True, 404, ""),
    ("absolute path", "GET", "/v1/lines/a/files//etc/passwd", None, {}, True, 404, ""),
    ("encoded absolute path", "GET", "/v1/lines/a/files/%2Fetc%2Fpasswd", None, {}, True, 404, ""),
    ("hidden file", "GET", "/v1/lines/a/files/.profile", None, {}, True, 404, ""),
    ("unknown line", "POST", "/v1/lines/zz/commands", {"activity": "STS"}, {}, True, 404, "no line"),
    ("unknown command", "GET", "/v1/lines/a/commands/nothing", None, {}, True, 404, "no command"),
    ("1 MB body", "POST", "/v1/lines/a/commands", "x" * (1 << 20), {}, True, 413, "64 KiB"),
    # A body in pieces (an iterable) goes out in chunks, without a Content-Length.
    ("chunked body", "POST", "/v1/lines/a/commands", (b'{"activity": ', b'"STS"}'), {}, True, 411, "Content-Length"),
    ("not JSON", "POST", "/v1/lines/a/commands", "{activity", {}, True, 400, "JSON"),
    ("no activity", "POST", "/v1/lines/a/commands", {"parameters": {}}, {}, True, 400, "activity"),
    ("unknown activity", "POST", "/v1/lines/a/commands", {"activity": "XYZ"}, {}, True, 422, "unknown activity"),
    ("resident mode", "POST", "/v1/lines/a/commands", {"activity": "DOSMODE"}, {}, True, 422, "unknown activity"),
    ("unknown parameter", "POST", "/v1/lines/a/commands", {"activity": "STS", "parameters": {"NOPE": "1"}}, {}, True,
     422, "unknown parameter"),
    ("line's own parameter", "POST", "/v1/lines/a/commands", {"activity": "STS", "parameters": {"IPADDR": "10.0.0.1"}},
     {}, True, 422, "configuration"),
    ("file in a folder", "POST", "/v1/lines/a/commands", {"activity": "STS", "parameters": {"FILE": "..\\\\x.txt"}}, {},
     True, 422, "without a folder"),
    ("a slash in a value", "POST", "/v1/lines/a/commands", {"activity": "R70", "parameters": {"EAN": "1/LOG=x"}}, {},
     True, 422, "'/'"),
    ("bad request id", "POST", "/v1/lines/a/commands", {"activity": "STS", "request_id": "../x"}, {}, True, 400,
     "request_id"),
    ("a parameter twice", "POST", "/v1/lines/a/commands", {"activity": "STS", "parameters": {"FILE": "a", "file": "b"}},
     {}, True, 422, "twice"),
    ("switch with a value", "POST", "/v1/lines/a/commands", {"activity": "W03", "parameters": {"VERIFY": "yes"}}, {},
     True, 422, "switch"),
    # A name is one parameter: what follows a known name must not become parameters of its own.
    ("a file smuggled in a name", "POST", "/v1/lines/a/commands",
     {"activity": "STS", "parameters": {"MODEM/FILE=..\\x": True}}, {}, True, 422, "unknown parameter"),
    ("a line's parameter smuggled in a name", "POST", "/v1/lines/a/commands",
     {"activity": "STS", "parameters": {"MODEMX/ID=3": True}}, {}, True, 422, "unknown parameter"),
    ("a COM line smuggled in a name", "POST", "/v1/lines/a/commands",
     {"activity": "STS", "parameters": {"MODEM/COM=7": True}}, {}, True, 422, "unknown parameter"),
    ("a shop number with a folder", "POST", "/v1/lines/a/commands",
     {"activity": "EXPORTZ74", "parameters": {"PRODEJNA": "..\\x"}}, {}, True, 422, "file name"),
    ("a register number with a folder", "POST", "/v1/lines/a/commands",
     {"activity": "EXPORTZ74", "parameters": {"POKLADNA": "x\\..\\..\\y"}}, {}, True, 422, "file name"),
]


@pytest.mark.parametrize("what,method,path,body,headers,token,status,words", REFUSALS, ids=[r[0] for r in REFUSALS])
def test_refusals_are_clear_json(registers, daemons, what, method, path, body, headers, token, status, words):
    register = registers("tcp")
    daemon = daemons({"a": register.connection()})
    if isinstance(body, dict):
        body = json.dumps(body)
    answer_status, answer_headers, data = daemon.request(method, path, body, headers=headers, token=token)
    assert answer_status == status, data
    problem = json.loads(data)
    assert problem["status"] == status and words in problem["message"]
    assert register.runs() == 0
    assert not os.path.exists(os.path.join(daemon.folder, "a", "error.json")), "the module ran"


def test_a_file_the_command_wrote_is_served(registers, daemons):
    register = registers("tcp")
    daemon = daemons({"a": register.connection()})
    status, record = daemon.post_command("a", parameters={"FILE": "stav.txt"})
    assert status == 200
    links = {link["name"]: link["href"] for link in record["files"]}
    status, _, data = daemon.request("GET", links["stav.txt"])
    with open(os.path.join(daemon.folder, "a", "stav.txt"), "rb") as written:
        assert status == 200 and data == written.read()
    status, _, data = daemon.request("GET", links["error.json"])
    assert status == 200 and json.loads(data) == record["outcome"]


def test_a_link_in_the_line_folder_is_not_followed_out_of_it(registers, daemons):
    register = registers("tcp")
    daemon = daemons({"a": register.connection()})
    os.symlink(os.path.join(daemon.folder, "token"), os.path.join(daemon.folder, "a", "leak.txt"))
    status, _, data = daemon.request("GET", "/v1/lines/a/files/leak.txt")
    assert status == 404 and daemon.token.encode() not in data


def test_a_failed_register_gives_the_meaning_and_advice(registers, daemons):
    register = registers("tcp", extra=("--silent-after", "0"))
    daemon = daemons({"a": register.connection() + " /TO=300"})
    status, record = daemon.post_command("a")
    assert status == 200 and record["state"] == "done"
    assert record["error"] != 0 and record["meaning"] and record["advice"]


def test_a_slow_client_is_cut_off_while_others_are_served(registers, daemons):
    register = registers("tcp")
    daemon = daemons({"a": register.connection()}, request_seconds=3)
    ended = {}
    dribbler = threading.Thread(target=lambda: ended.update(after=dribble(daemon.port)), daemon=True)
    dribbler.start()
    served = []
    while dribbler.is_alive() and len(served) < 200:
        began = time.monotonic()
        status, _, _ = daemon.request("GET", "/v1/health", timeout=5)
        served.append((status, time.monotonic() - began))
        time.sleep(0.05)
    dribbler.join(100)
    assert "after" in ended and ended["after"] < 3 + 2.5, ended
    assert served and all(status == 200 and took < 1 for status, took in served), served


def test_a_client_waiting_for_its_command_is_not_cut_off_when_others_connect(daemons, tmp_path):
    # The request limit bounds the sending of a request; a client whose request
    # has been read waits for its command however many others connect meanwhile.
    module = tmp_path / "held-module"
    module.write_text(HELD_MODULE)
    module.chmod(0o755)
    daemon = daemons({"a": "/IPADDR=127.0.0.1 /IPPORT=9"}, module=str(module), request_seconds=1)
    answers = []

    def wait_for_the_command():
        try:
            answers.append(daemon.post_command("a", request_id="long")[0])
        except OSError as failure:
            answers.append(repr(failure))

    client = threading.Thread(target=wait_for_the_command, daemon=True)
    client.start()
    running_one(daemon, "a", ["long"])
    # Others connect until well past the request limit and the watch's next look.
    until = time.monotonic() + 2.5
    while time.monotonic() < until:
        assert daemon.request("GET", "/v1/health", timeout=5)[0] == 200
        time.sleep(0.1)
    (tmp_path / "a" / "release").touch()
    client.join(30)
    assert answers == [200], answers


def test_metrics_count_the_outcomes_by_line_and_error(registers, daemons):
    register = registers("tcp")
    daemon = daemons({"a": register.connection(), "b": register.connection() + " /TO=300"})
    daemon.post_command("a", request_id="m1")
    daemon.post_command("a", request_id="m2")
    daemon.post_command("a", request_id="m1")  # a repeat is no new command
    status, headers, data = daemon.request("GET", "/metrics")
    text = data.decode()
    assert status == 200 and headers["Content-Type"].startswith("text/plain")
    assert 'mervd_commands_total{line="a",error="0"} 2' in text
    assert 'mervd_line_busy{line="b"} 0' in text and 'mervd_line_queued{line="a"} 0' in text
    assert "# TYPE mervd_commands_total counter" in text
    # The chain's series, the line as the register: what the alert rules read.
    assert 'merv_runs_total{register="a",activity="STS",class="ok"} 2' in text
    assert 'merv_last_outcome{register="a",activity="STS"} 0' in text
    success = re.search(r'merv_last_success_timestamp_seconds\{register="a",activity="STS"\} (\S+)', text)
    assert success and float(success.group(1)) > 0, text
    assert 'register="b"' not in text, "a line without commands has no series"


def test_a_stop_right_after_the_ready_line_ends_the_service(tmp_path):
    # A service manager may stop mervd the moment it has started; the stop
    # must be heard even before the server has begun to listen.
    config = tmp_path / "mervd.conf"
    config.write_text("\n".join(["[mervd]", "listen = 127.0.0.1:0", f"token_file = {tmp_path}/token",
                                 f"module = {MERVMODUL}", "[line a]", f"folder = {tmp_path}",
                                 "connection = /IPADDR=127.0.0.1 /IPPORT=9"]) + "\n")
    for _ in range(10):
        daemon = subprocess.Popen([MERVD, "--config", str(config)], stdout=subprocess.PIPE)
        try:
            assert b"listening" in daemon.stdout.readline()
            daemon.send_signal(signal.SIGTERM)
            assert daemon.wait(timeout=5) == 0
        finally:
            if daemon.poll() is None:
                daemon.kill()
                daemon.wait()


# Two lines in one folder, however it is spelled, would share their outcome
# files and records: mervd does not start with them.
@pytest.mark.parametrize("second", ["{folder}", "{folder}/", "{folder}/x/..", "{folder}/./"])
def test_two_lines_in_one_folder_are_refused(tmp_path, second):
    folder = tmp_path / "line"
    config = tmp_path / "mervd.conf"
    config.write_text("\n".join(["[mervd]", "listen = 127.0.0.1:0", f"token_file = {tmp_path}/token",
                                 f"module = {MERVMODUL}", "[line a]", f"folder = {folder}",
                                 "[line b]", "folder = " + second.format(folder=folder)]) + "\n")
    finished = subprocess.run([MERVD, "--config", str(config)], capture_output=True, text=True, timeout=30)
    assert finished.returncode == 1 and "is the folder of line a too" in finished.stderr, finished.stderr

"""Fixtures of the mervd tests: register emulators (TCP and a pseudo-terminal)
with wire logs, and mervd itself on a free port with a configuration of the
test's own. The programs come from the environment (CTest sets them)."""
import functools
import http.client
import json
import os
import signal
import subprocess
import time

import pytest

MERVD = os.path.abspath(os.environ.get("MERVD_EXE", "build/mervd"))
MERVSIM = os.path.abspath(os.environ.get("MERVSIM_EXE", "build/mervsim"))
MERVMODUL = os.path.abspath(os.environ.get("MERVMODUL_EXE", "build/mervmodul"))
READY_LIMIT = 10


def read_ready_line(process, prefix):
    deadline = time.monotonic() + READY_LIMIT
    while time.monotonic() < deadline:
        line = process.stdout.readline()
        if line.startswith(prefix):
            return line.strip()
        if not line and process.poll() is not None:
            break
    process.kill()
    raise RuntimeError(f"{prefix!r} never came")


class Register:
    """One mervsim: its connection parameters for a line and its wire log."""

    def __init__(self, folder, name, pty=False, extra=()):
        self.log = os.path.join(folder, f"wire-{name}.log")
        self.link = os.path.join(folder, f"com-{name}")
        line = ["--pty", "--link", self.link] if pty else ["--tcp", "0"]
        self.process = subprocess.Popen([MERVSIM, *line, "--plu-count", "10", "--log", self.log, *extra],
                                        stdout=subprocess.PIPE, text=True)
        ready = read_ready_line(self.process, "mervsim listening")
        self.port = None if pty else int(ready.rsplit(":", 1)[1])

    def connection(self, com_number=None):
        if self.port is not None:
            return f"/IPADDR=127.0.0.1 /IPPORT={self.port}"
        return f"/COM={com_number}"

    def runs(self):
        """How many commands the register served: each STS reads the key
        position once, which the register notes as the end of table 85."""
        with open(self.log, encoding="latin-1") as log:
            return sum(1 for line in log if line.startswith("note the program ended table"))

    def frames_received(self):
        with open(self.log, encoding="latin-1") as log:
            return sum(1 for line in log if line.startswith("recv"))

    def stop(self):
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(5)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class Daemon:
    """mervd with lines of the test's own; answers come back as (status, headers, body)."""

    def __init__(self, folder, lines, environment=None, module=MERVMODUL, **settings):
        self.folder = folder
        self.config = os.path.join(folder, "mervd.conf")
        self.environment = dict(os.environ, **(environment or {}))
        text = ["[mervd]", "listen = 127.0.0.1:0", f"token_file = {folder}/token", f"module = {module}"]
        text += [f"{name} = {value}" for name, value in settings.items()]
        for name, connection in lines.items():
            line_folder = os.path.join(folder, name)
            os.makedirs(line_folder, exist_ok=True)
            text += [f"[line {name}]", f"folder = {line_folder}", f"connection = {connection}", "model = 465"]
        with open(self.config, "w", encoding="utf-8") as config:
            config.write("\n".join(text) + "\n")
        self.process = None
        self.start()

    def start(self):
        self.process = subprocess.Popen([MERVD, "--config", self.config], stdout=subprocess.PIPE, text=True,
                                        env=self.environment)
        ready = read_ready_line(self.process, "mervd listening")
        self.port = int(ready.split(":")[2].split("/")[0])
        with open(os.path.join(self.folder, "token"), encoding="ascii") as token:
            self.token = token.read().strip()

    def stop(self, how=signal.SIGTERM):
        self.process.send_signal(how)
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()

    def restart(self, how=signal.SIGTERM):
        self.stop(how)
        self.start()

    def request(self, method, path, body=None, headers=None, token=True, timeout=60):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        sent = dict(headers or {})
        if token and "Authorization" not in sent:
            sent["Authorization"] = f"Bearer {self.token}"
        if isinstance(body, (dict, list)):
            body = json.dumps(body)
            sent.setdefault("Content-Type", "application/json")
        try:
            connection.request(method, path, body=body, headers=sent)
            answer = connection.getresponse()
            data = answer.read()
            return answer.status, dict(answer.getheaders()), data
        finally:
            connection.close()

    def call(self, method, path, body=None, **options):
        status, headers, data = self.request(method, path, body, **options)
        return status, json.loads(data) if data else None

    def post_command(self, line, activity="STS", parameters=None, **fields):
        body = {"activity": activity, "parameters": parameters or {"FILE": "stav.txt"}, **fields}
        return self.call("POST", f"/v1/lines/{line}/commands", body)

    def await_end(self, line, request_id, limit=60):
        deadline = time.monotonic() + limit
        while time.monotonic() < deadline:
            status, record = self.call("GET", f"/v1/lines/{line}/commands/{request_id}")
            if status == 200 and record["state"] not in ("queued", "running"):
                return record
            time.sleep(0.05)
        raise AssertionError(f"{request_id} did not end within {limit} s")


def made_for_the_test(build, stop):
    """A fixture's factory: `build` makes one with the test's arguments,
    `stop` ends each that was made when the test ends."""
    made = []

    def make(*arguments, **options):
        made.append(build(*arguments, **options))
        return made[-1]

    yield make
    for each in made:
        stop(each)


def stop_if_running(daemon):
    if daemon.process.poll() is None:
        daemon.stop()


@pytest.fixture
def registers(tmp_path):
    yield from made_for_the_test(functools.partial(Register, str(tmp_path)), Register.stop)


@pytest.fixture
def daemons(tmp_path):
    yield from made_for_the_test(functools.partial(Daemon, str(tmp_path)), stop_if_running)

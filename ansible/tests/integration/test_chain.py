# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
"""A chain of 20 shop hosts on this machine, driven by ansible-playbook.

Each host (local connection) has its own line folder and its own register,
played by one `mervsim --tcp-range` on consecutive loopback ports. Two hosts
fail on purpose: shop19's register stores the second record of every table
written with a changed name (--store-wrong 2), so the write's read-back
fails with 60; shop20's port has a socket that is bound but does not listen,
so its line fails with 09.

The programs come from the build folder (MERV_BUILD_DIR): the module stands
in the folder of an installation (lib/mervmodul/) that mervmodul-instance
of the sources finds, as the package lays them out. HOME, Ansible's
temporary folders and the collections path point into a temporary folder,
which is removed at the end.
"""

import json
import os
import random
import re
import select
import shutil
import signal
import socket
import subprocess
import tempfile
import time

import pytest

SOURCE_DIR = os.path.dirname(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))))
BUILD_DIR = os.environ.get("MERV_BUILD_DIR", os.path.join(SOURCE_DIR, "build"))
COLLECTION = os.path.join(SOURCE_DIR, "ansible")
PLAYBOOK = os.path.join(COLLECTION, "tests", "integration", "chain.yml")
HOSTS = ["shop%02d" % number for number in range(1, 21)]
STORES_WRONGLY, NOT_LISTENING = "shop19", "shop20"
HEALTHY = HOSTS[:18]
MENDED = "shop03"
PLU_COUNT = 40
FORKS = 10
# A command against the emulator ends within its time-out; a whole playbook
# run over the 20 hosts within this.
PLAYBOOK_LIMIT = 240


def program(name):
    path = os.path.join(BUILD_DIR, name)
    if not os.access(path, os.X_OK):
        pytest.fail("%s is not built (MERV_BUILD_DIR=%s)" % (name, BUILD_DIR))
    return path


def reserve_ports(count):
    """A first port of `count` free consecutive loopback ports, and a socket
    bound to the last one that does not listen: a connection there is refused."""
    for _ in range(50):
        first = random.randrange(20000, 60000 - count)
        held = []
        try:
            for port in range(first, first + count):
                sock = socket.socket()
                held.append(sock)
                sock.bind(("127.0.0.1", port))
        except OSError:
            for sock in held:
                sock.close()
            continue
        for sock in held[:-1]:
            sock.close()
        return first, held[-1]
    pytest.fail("no %d free consecutive loopback ports" % count)


def start_emulator(first, count, log):
    process = subprocess.Popen(
        [program("mervsim"), "--tcp-range", "%d:%d" % (first, count), "--faulty", "1", "--store-wrong", "2",
         "--plu-count", str(PLU_COUNT), "--log", log],
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    ready, _, _ = select.select([process.stdout], [], [], 20)
    line = process.stdout.readline().decode() if ready else ""
    if "listening" not in line:
        process.kill()
        process.wait(10)
        return None
    return process


class Chain:
    """The temporary world of the test: folders, emulator, inventory."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="merv-chain-")
        self.started = time.time()
        self.environment = dict(os.environ)
        folders = {}
        for name in ("home", "local-tmp", "remote-tmp", "collections/ansible_collections/merv", "prefix/bin",
                     "prefix/lib/mervmodul", "wire", "metrics", "scratch"):
            folders[name] = os.path.join(self.root, name)
            os.makedirs(folders[name])
        os.symlink(COLLECTION, os.path.join(folders["collections/ansible_collections/merv"], "ecr"))
        self.instance = os.path.join(folders["prefix/bin"], "mervmodul-instance")
        shutil.copy(os.path.join(SOURCE_DIR, "scripts", "mervmodul-instance"), self.instance)
        os.symlink(program("mervmodul"), os.path.join(folders["prefix/lib/mervmodul"], "mervmodul"))
        self.environment.update({
            "HOME": folders["home"],
            "ANSIBLE_LOCAL_TEMP": folders["local-tmp"],
            "ANSIBLE_REMOTE_TEMP": folders["remote-tmp"],
            "ANSIBLE_COLLECTIONS_PATH": os.path.join(self.root, "collections"),
            "ANSIBLE_CONFIG": os.path.join(self.root, "ansible.cfg"),
            "ANSIBLE_STDOUT_CALLBACK": "json",
            "ANSIBLE_FORKS": str(FORKS),
            "ANSIBLE_PIPELINING": "true",
            "ANSIBLE_RETRY_FILES_ENABLED": "false",
            "ANSIBLE_PYTHON_INTERPRETER": "/usr/bin/python3",
            "ANSIBLE_NOCOLOR": "1",
        })
        self.environment.pop("XDG_CONFIG_HOME", None)
        with open(self.environment["ANSIBLE_CONFIG"], "w") as handle:
            handle.write("[defaults]\n")
        self.scratch = folders["scratch"]
        self.metrics = os.path.join(folders["metrics"], "merv.prom")
        self.wire = os.path.join(folders["wire"], "register")
        self.emulator, self.refusing = None, None
        for _ in range(5):
            self.first, self.refusing = reserve_ports(len(HOSTS))
            self.emulator = start_emulator(self.first, len(HOSTS) - 1, self.wire)
            if self.emulator:
                break
            self.refusing.close()
        assert self.emulator, "mervsim --tcp-range did not start"
        self.ports = dict((host, self.first + index) for index, host in enumerate(HOSTS))
        self.price_list = self.make_price_list()
        self.write_inventory()
        self.timings = []

    def close(self):
        if self.emulator:
            self.emulator.send_signal(signal.SIGTERM)
            self.emulator.wait(30)
        if self.refusing:
            self.refusing.close()
        shutil.rmtree(self.root, ignore_errors=True)

    def module(self, folder, *arguments):
        """The module run directly, as a shop application does; its error.dat number."""
        environment = dict(self.environment, MERV_PROGRAM_DIR=folder + "/")
        subprocess.run([program("mervmodul")] + list(arguments), cwd=folder, env=environment, check=True, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        with open(os.path.join(folder, "error.dat")) as handle:
            return int(handle.read().split()[0])

    def line_of(self, host):
        return ["/IPADDR=127.0.0.1", "/IPPORT=%d" % self.ports[host], "/ECR=465"]

    def make_price_list(self):
        """shop01's PLU table as read, with three prices changed: what the chain wants."""
        read = os.path.join(self.scratch, "read.txt")
        assert self.module(self.scratch, "R03", "/FILE=" + read.replace("/", "\\"), *self.line_of("shop01")) == 0
        with open(read, "rb") as handle:
            rows = handle.read().split(b"\r\n")
        assert len([row for row in rows if row]) == PLU_COUNT
        for index in (1, 7, 30):
            cells = rows[index].split(b";")
            cells[2] = str(int(cells[2]) + 111).encode()
            rows[index] = b";".join(cells)
        wanted = os.path.join(self.scratch, "price-list.txt")
        with open(wanted, "wb") as handle:
            handle.write(b"\r\n".join(rows))
        return wanted

    def write_inventory(self):
        lines = ["[shops]"]
        for host in HOSTS:
            lines.append("%s shop_folder=%s register_port=%d" % (host, os.path.join(self.root, "shops", host),
                                                                self.ports[host]))
        lines += ["", "[shops:vars]", "ansible_connection=local", "instance_command=" + self.instance,
                  "price_list=" + self.price_list, "metrics_file=" + self.metrics, "journal_day=2026-12-10"]
        self.inventory = os.path.join(self.root, "inventory")
        with open(self.inventory, "w") as handle:
            handle.write("\n".join(lines) + "\n")

    def play(self, tags, *options):
        """Runs the playbook; {task name: {host: result}} and the seconds it took."""
        began = time.monotonic()
        finished = subprocess.run(
            ["/usr/bin/ansible-playbook", "-i", self.inventory, PLAYBOOK, "--tags", tags, "--diff"] + list(options),
            cwd=self.root, env=self.environment, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
            timeout=PLAYBOOK_LIMIT)
        seconds = time.monotonic() - began
        self.timings.append((tags + " " + " ".join(options), seconds))
        try:
            report = json.loads(finished.stdout.decode())
        except ValueError:
            pytest.fail("ansible-playbook gave no JSON report: %s %s" % (finished.stdout[-2000:], finished.stderr[-2000:]))
        results = {}
        for play in report["plays"]:
            for task in play["tasks"]:
                results.setdefault(task["task"]["name"], {}).update(task["hosts"])
        return results

    def wire_notes(self, host, pattern):
        """How many notes of host's register match `pattern` in its wire log."""
        path = "%s.%d" % (self.wire, self.ports[host])
        if not os.path.exists(path):
            return 0
        with open(path, encoding="utf-8", errors="replace") as handle:
            return sum(1 for line in handle if line.startswith("note ") and re.search(pattern, line))

    def writes(self):
        return dict((host, self.wire_notes(host, r"^note table \d+: \d+ records stored")) for host in HOSTS)


@pytest.fixture(scope="module")
def chain():
    world = Chain()
    try:
        results = world.play("line")
        assert changed_hosts(results["Line folder"]) == set(HOSTS)
        yield world
    finally:
        report = os.environ.get("MERV_CHAIN_TIMINGS")
        if report:
            with open(report, "w") as handle:
                handle.write("".join("%6.1f s  %s\n" % (seconds, what) for what, seconds in world.timings))
        world.close()


def changed_hosts(task):
    return set(host for host, result in task.items() if result.get("changed") and not result.get("failed"))


def failed_hosts(task):
    return set(host for host, result in task.items() if result.get("failed"))


def test_check_mode_shows_the_differences_and_writes_nothing(chain):
    results = chain.play("table", "--check")["Price list"]
    assert chain.writes() == dict((host, 0) for host in HOSTS)
    assert changed_hosts(results) == set(HEALTHY + [STORES_WRONGLY])
    assert failed_hosts(results) == {NOT_LISTENING}
    diff = results["shop01"]["diff"]
    assert len(diff["before"].splitlines()) == 3 and len(diff["after"].splitlines()) == 3
    before, after = diff["before"].splitlines()[0], diff["after"].splitlines()[0]
    assert before.split(";")[0] == after.split(";")[0] and before != after


def test_first_apply_writes_the_18_and_fails_the_2_with_their_numbers(chain):
    results = chain.play("table")["Price list"]
    assert changed_hosts(results) == set(HEALTHY)
    assert failed_hosts(results) == {STORES_WRONGLY, NOT_LISTENING}
    wrong, refused = results[STORES_WRONGLY], results[NOT_LISTENING]
    assert wrong["error"] == 60 and not wrong["line_failure"] and wrong["attempts"] == 1
    assert "error 60" in wrong["msg"] and wrong["meaning"] in wrong["msg"] and "register differs" in wrong["msg"].lower()
    assert [row["kind"] for row in wrong["differences"]] == ["~"]
    assert refused["error"] == 9 and refused["line_failure"] and refused["attempts"] > 1
    assert "error 9" in refused["msg"] and "could not be opened" in refused["msg"]
    writes = chain.writes()
    assert all(writes[host] == 1 for host in HEALTHY + [STORES_WRONGLY]) and writes[NOT_LISTENING] == 0


def test_second_apply_changes_nothing_and_the_journal_is_saved_and_reset(chain):
    before = chain.writes()
    results = chain.play("table,journal")
    assert changed_hosts(results["Price list"]) == set()
    assert failed_hosts(results["Price list"]) == {STORES_WRONGLY, NOT_LISTENING}
    assert chain.writes() == dict(before, **{STORES_WRONGLY: before[STORES_WRONGLY] + 1})
    # A host whose price list failed leaves the play: the journal runs on the 18.
    journal = results["Journal"]
    assert set(journal) == changed_hosts(journal) == set(HEALTHY)
    assert all(journal[host]["saved"] and journal[host]["reset"] for host in HEALTHY)
    assert [chain.wire_notes(host, r"^note reset \d+ done") for host in HOSTS] == [1] * 18 + [0, 0]
    assert os.path.getsize(os.path.join(chain.root, "shops", "shop01", "journal-2026-12-10.zur")) > 0


def test_a_register_changed_behind_the_playbooks_back_is_mended_and_the_journal_not_saved_again(chain):
    folder = os.path.join(chain.root, "shops", MENDED, "line1")
    other = os.path.join(chain.scratch, "other.txt")
    with open(chain.price_list, "rb") as handle:
        rows = handle.read().split(b"\r\n")
    cells = rows[4].split(b";")
    cells[2] = b"99999"
    rows[4] = b";".join(cells)
    with open(other, "wb") as handle:
        handle.write(b"\r\n".join(rows))
    assert chain.module(folder, "W03", "/FILE=" + other.replace("/", "\\"), *chain.line_of(MENDED)) == 0
    before = chain.writes()
    results = chain.play("table,journal")
    prices = results["Price list"]
    assert changed_hosts(prices) == {MENDED}, dict((host, (prices[host].get("diff"), prices[host].get("attempts")))
                                                   for host in changed_hosts(prices))
    assert failed_hosts(prices) == {STORES_WRONGLY, NOT_LISTENING}
    assert "99999" in prices[MENDED]["diff"]["before"] and "99999" not in prices[MENDED]["diff"]["after"]
    assert chain.writes() == dict(before, **{MENDED: before[MENDED] + 1, STORES_WRONGLY: before[STORES_WRONGLY] + 1})
    wanted = chain.price_list.replace("/", "\\")
    assert chain.module(folder, "D03", "/FILE=" + wanted, "/STRICT", *chain.line_of(MENDED)) == 0
    journal = results["Journal"]
    assert set(journal) == set(HEALTHY) and changed_hosts(journal) == set() and failed_hosts(journal) == set()
    assert all(not journal[host]["saved"] for host in HEALTHY)
    assert [chain.wire_notes(host, r"^note reset \d+ done") for host in HOSTS] == [1] * 18 + [0, 0]


def series(text):
    values = {}
    for line in text.splitlines():
        found = re.match(r'^(\w+)\{register="([^"]+)",activity="([^"]+)"(?:,class="(\w+)")?\} (\S+)$', line)
        if found:
            name, register, activity, kind, value = found.groups()
            values[(name, register, activity, kind)] = float(value)
    return values


def test_the_metrics_hold_the_2_failures_and_the_18_last_successes(chain):
    checked = subprocess.run(["promtool", "check", "metrics"], stdin=open(chain.metrics, "rb"),
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=60)
    assert checked.returncode == 0, checked.stdout
    with open(chain.metrics) as handle:
        values = series(handle.read())
    outcome = dict((register, value) for (name, register, activity, _), value in values.items()
                   if name == "merv_last_outcome" and activity == "W03")
    assert sorted(register for register, value in outcome.items() if value != 0) == [STORES_WRONGLY, NOT_LISTENING]
    assert outcome[STORES_WRONGLY] == 60 and outcome[NOT_LISTENING] == 9
    success = dict((register, value) for (name, register, activity, _), value in values.items()
                   if name == "merv_last_success_timestamp_seconds" and activity == "W03")
    assert sorted(register for register, value in success.items() if value >= chain.started) == HEALTHY
    assert success[STORES_WRONGLY] == 0 and success[NOT_LISTENING] == 0
    # Three applies, each a failure; check mode is not counted.
    assert values[("merv_consecutive_failures", STORES_WRONGLY, "W03", None)] == 3
    # Each attempt of a task is a run: the line failure was tried again.
    failures = values[("merv_consecutive_failures", NOT_LISTENING, "W03", None)]
    assert values[("merv_runs_total", NOT_LISTENING, "W03", "line")] == failures > 3
    assert values[("merv_runs_total", "shop01", "W03", "ok")] == 3
    assert values[("merv_runs_total", "shop01", "SAVERESETZUR", "ok")] == 1


def test_mervfleet_adds_to_the_modules_metrics_file(chain):
    """mervfleet reads the file the modules wrote, keeps their series and adds its own."""
    with open(chain.metrics) as handle:
        before = series(handle.read())
    registers = os.path.join(chain.scratch, "registers.csv")
    with open(registers, "w") as handle:
        handle.write("name,line,model\n")
        for host in HOSTS:
            handle.write("%s,tcp:127.0.0.1:%d,465\n" % (host, chain.ports[host]))
    for _ in range(2):
        finished = subprocess.run([program("mervfleet"), "--registers", registers, "--out",
                                   os.path.join(chain.scratch, "fleet"), "--retries", "0", "--jobs", "20",
                                   "--metrics", chain.metrics, "--", "STS", "/FILE=stav.txt"],
                                  stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=chain.environment, timeout=120)
        assert finished.returncode == 1, finished.stdout
    checked = subprocess.run(["promtool", "check", "metrics"], stdin=open(chain.metrics, "rb"), stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, timeout=60)
    assert checked.returncode == 0, checked.stdout
    with open(chain.metrics) as handle:
        values = series(handle.read())
    assert dict((key, value) for key, value in values.items() if key[2] != "STS") == before
    assert values[("merv_last_outcome", NOT_LISTENING, "STS", None)] == 9
    assert values[("merv_consecutive_failures", NOT_LISTENING, "STS", None)] == 2
    assert values[("merv_runs_total", NOT_LISTENING, "STS", "line")] == 2
    assert values[("merv_runs_total", "shop01", "STS", "ok")] == 2
    assert all(values[("merv_last_success_timestamp_seconds", host, "STS", None)] >= chain.started
               for host in HOSTS[:-1])

#!/usr/bin/python3
# Copyright (c) 2026 MERV Modul developers; MIT licence (see LICENSE)
"""Stands in for a line folder's launcher in the unit tests: notes each
command in calls.jsonl beside it and answers as scenario.json says:
{"error": {"D03": 0, ...}, "diff": {"D03": "text", "W03": "text"},
 "file": "content of /FILE= for reads", "seconds": time a command takes,
 "listing_seconds": time --list-models takes}.
Like the module, a command holds the folder's mervmodul.lock while it runs
and removes the earlier error.json first."""

import fcntl
import json
import os
import sys
import time

folder = os.path.dirname(os.path.abspath(__file__))
arguments = sys.argv[1:]
with open(os.path.join(folder, "calls.jsonl"), "a") as calls:
    calls.write(json.dumps(arguments) + "\n")
with open(os.path.join(folder, "scenario.json")) as handle:
    scenario = json.load(handle)
if arguments[0] == "--explain":
    print("Error %s: meaning of %s\n  Text (Czech): text\n  Check: check %s" % ((arguments[1],) * 3))
    sys.exit(0)
if arguments[0] == "--version":
    print("mervmodul 3.04.05")
    sys.exit(0)
if arguments[0] == "--list-models":
    time.sleep(scenario.get("listing_seconds", 0))
    print("ECR 40 /ECR=40\nECR 465T/465TF /ECR=465")
    sys.exit(0)
activity = arguments[0]
turn = open(os.path.join(folder, "mervmodul.lock"), "w")
fcntl.flock(turn, fcntl.LOCK_EX)
if os.path.exists(os.path.join(folder, "error.json")):
    os.unlink(os.path.join(folder, "error.json"))
time.sleep(scenario.get("seconds", 0))
values = dict(argument[1:].split("=", 1) for argument in arguments[1:] if "=" in argument)


def host_path(value):
    return value.replace("\\", "/")


error = scenario.get("error", {}).get(activity, 0)
if "DIFF" in values:
    with open(host_path(values["DIFF"]), "wb") as handle:
        handle.write(scenario.get("diff", {}).get(activity, "").encode("cp852"))
if activity[0] == "R" or activity == "STS":
    with open(host_path(values["FILE"]), "w", newline="") as handle:
        handle.write(scenario.get("file", ""))
if activity.startswith("SAVE") and error == 0:
    with open(host_path(values["ZURNAL"]), "w") as handle:
        handle.write("journal")
record = {"error": error, "text": "" if error == 0 else "text %d" % error, "activity": activity, "rows": 3,
          "file": host_path(values.get("FILE", "")), "started": "2026-12-10T08:00:00.000Z", "milliseconds": 12}
with open(os.path.join(folder, "error.json"), "w") as handle:
    json.dump(record, handle)

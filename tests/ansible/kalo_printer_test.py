#!/usr/bin/env python3
"""The kalo_printer Ansible module, run by ansible-core on this machine against
kalo-vprinter: a profile is written once and found in place after, check mode
only reads, and a printer that does not answer fails the task with kaloctl's
own words.

Usage: kalo_printer_test.py KALOCTL KALO_VPRINTER MODULE_DIR
"""

import concurrent.futures
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

# GS ( E with function 3: the write of memory switches.
SWITCH_WRITE = re.compile(r"1d 28 45 [0-9a-f]{2} [0-9a-f]{2} 03")


class VirtualPrinter:
    def __init__(self, program, folder, name, args):
        self.wire_log = os.path.join(folder, name + ".wire")
        self.process = subprocess.Popen(
            [program, "--tcp", "0", "--paper", os.devnull, "--wire-log", self.wire_log] + args,
            stdout=subprocess.PIPE, text=True)
        line = self.process.stdout.readline().strip()
        if not line.startswith("listening on "):
            raise RuntimeError("kalo-vprinter did not start: %r" % line)
        self.uri = "socket://" + line[len("listening on "):]

    def received(self):
        """Everything received so far, as one run of hex."""
        with open(self.wire_log) as log:
            return " ".join(" ".join(line.split()[2:]) for line in log if line.split()[1:2] == ["rx"])

    def stop(self):
        self.process.terminate()
        self.process.wait(5)


def run_module(environment, args, check, folder):
    """The task's status (SUCCESS, CHANGED, FAILED!) and the module's result
    for one ad-hoc run on localhost, in the folder."""
    command = ["ansible", "localhost", "-i", "localhost,", "-c", "local", "-o", "-m", "kalo_printer", "-a",
               json.dumps(args)] + (["--check"] if check else [])
    # A guard against a hang only: on a loaded machine ansible's own start-up
    # alone has taken over a minute.
    done = subprocess.run(command, env=environment, capture_output=True, text=True, timeout=300, cwd=folder)
    # "localhost | CHANGED => {...}", the result on one line.
    try:
        status, result = done.stdout.split(" => ", 1)
        return status.split(" | ", 1)[1], json.loads(result)
    except (ValueError, IndexError):
        raise RuntimeError("ansible printed no result (status %d):\n%s\n%s" % (done.returncode, done.stdout,
                                                                              done.stderr))


def main():
    kaloctl, vprinter, modules = sys.argv[1:4]
    folder = tempfile.mkdtemp(prefix="kalo-ansible-")
    environment = dict(os.environ)
    environment.update({
        "ANSIBLE_LIBRARY": modules,
        "ANSIBLE_HOME": folder,
        "ANSIBLE_LOCAL_TEMP": os.path.join(folder, "local"),
        "ANSIBLE_REMOTE_TEMP": os.path.join(folder, "remote"),
        "ANSIBLE_CONFIG": os.path.join(folder, "none.cfg"),
        "ANSIBLE_PYTHON_INTERPRETER": "auto_silent",
        "ANSIBLE_RETRY_FILES_ENABLED": "0",
        "ANSIBLE_GATHERING": "explicit",
        "ANSIBLE_NOCOLOR": "1",
        "ANSIBLE_DEPRECATION_WARNINGS": "0",
    })
    profiles = {}
    # A value that looks like one of kaloctl's options ("--trace", relative to the folder) is still a file name.
    for name, state in (("on", "on"), ("off", "off"), ("--trace", "on")):
        profiles[name] = name if name == "--trace" else os.path.join(folder, "switch-6-pin-2-%s.json" % name)
        with open(os.path.join(folder, profiles[name]), "w") as profile:
            json.dump({"format": "kalo-profile/1", "switches": {"6": {"2": state}}}, profile)

    printers = {}
    failures = []
    try:
        printers["shop"] = VirtualPrinter(vprinter, folder, "shop", ["--switch", "6=00000000"])
        printers["silent"] = VirtualPrinter(vprinter, folder, "silent", ["--fault", "silent"])
        # In order: the task's status, whether the module reports a change,
        # whether the switches were written meanwhile, and for a failure a
        # text of kaloctl's the task's message carries.
        rows = [
            ("FirstRunWrites", "shop", "on", dict(verify=True), False, "CHANGED", True, True, None),
            # The second run finds the profile in place, though its file is named like an option.
            ("SecondRunFindsItInPlace", "shop", "--trace", {}, False, "SUCCESS", False, False, None),
            ("CheckModeOnlyReads", "shop", "off", {}, True, "CHANGED", True, False, None),
            ("SilentPrinterFails", "silent", "on", {}, False, "FAILED!", False, False, "Fail to get printer ID"),
        ]

        def run_rows(printer_name):
            """The rows of one printer, in order; what went wrong in each."""
            found = []
            printer = printers[printer_name]
            for name, _, profile, extra, check, status, changed, writes, text in \
                    [row for row in rows if row[1] == printer_name]:
                before = len(SWITCH_WRITE.findall(printer.received()))
                args = dict(target=printer.uri, profile=profiles[profile], kaloctl=kaloctl, **extra)
                started = time.monotonic()
                task, result = run_module(environment, args, check, folder)
                seconds = time.monotonic() - started
                written = len(SWITCH_WRITE.findall(printer.received())) > before
                problems = []
                if task != status:
                    problems.append("the task is %s" % task)
                if bool(result.get("changed")) != changed:
                    problems.append("changed is %s" % result.get("changed"))
                if written != writes:
                    problems.append("the switches were %swritten" % ("" if written else "not "))
                # A change names its pin by numbers, as kaloctl's JSON does everywhere.
                pins = [(d.get("switch"), d.get("pin")) for d in result.get("differences") or []]
                if changed and pins != [(6, 2)]:
                    problems.append("the differences name %s, not switch 6 pin 2" % pins)
                if text and text not in result.get("msg", ""):
                    problems.append("the message does not say %r" % text)
                if problems:
                    found.append("%s: %s\n  %s" % (name, "; ".join(problems), json.dumps(result)))
                print("%s %s (%.1f s)" % ("FAIL" if problems else "ok  ", name, seconds), flush=True)
            return found

        # The printers are independent, so their rows run side by side.
        with concurrent.futures.ThreadPoolExecutor() as pool:
            for found in pool.map(run_rows, printers):
                failures += found
    finally:
        for printer in printers.values():
            printer.stop()
        shutil.rmtree(folder, ignore_errors=True)
    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

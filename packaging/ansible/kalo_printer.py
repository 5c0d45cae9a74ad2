#!/usr/bin/python3
# -*- coding: utf-8 -*-
#
# Applies a KALO profile to a KEMTRAN receipt printer by running kaloctl on
# the managed host. kaloctl does the work and decides what changed; this
# module only passes the parameters on and reports its answer.

from __future__ import absolute_import, division, print_function

__metaclass__ = type

DOCUMENTATION = r"""
---
module: kalo_printer
short_description: Apply a KALO profile to a KEMTRAN receipt printer
description:
  - Writes a profile (the memory switches, settings and power save read from a
    printer that is set up right) to a TLR-740plusII, TLR-742plusII or
    TLR-740II receipt printer, only when the printer differs from it.
  - Runs C(kaloctl --target=TARGET set-status --profile=PROFILE --if-different --json)
    on the managed host, so kaloctl must be installed there and reach the printer.
  - In check mode the printer is read and compared, and nothing is written.
options:
  target:
    description:
      - The printer's connection as a URI, as in a kaloctl fleet targets file
        (C(socket://HOST[:PORT]), C(serial:COMn?baud=19200+parity=even),
        C(parallel:LPTn), C(usb:) or C(usb:SERIAL)).
    type: str
    required: true
  profile:
    description:
      - Path on the managed host of the profile to apply (a C(kalo-profile/1)
        JSON file written by C(kaloctl get-status --profile-out), or a C(.sts) file).
    type: path
    required: true
  verify:
    description:
      - Read the switches and power save back after writing; a pin the printer
        did not take fails the task, naming the pin.
    type: bool
    default: false
  kaloctl:
    description:
      - The kaloctl program to run, by name on the PATH or by path.
    type: str
    default: kaloctl
notes:
  - Supports check mode; the printer is only read.
  - Supports diff mode; each pin or setting that differs is one line.
author:
  - KALO developers
"""

EXAMPLES = r"""
- name: Shop printers take the reference configuration
  kalo_printer:
    target: "socket://{{ receipt_printer_address }}"
    profile: /etc/kalo/shop.json
    verify: true

- name: A serial printer, checked only
  kalo_printer:
    target: "serial:COM1?baud=19200+parity=even"
    profile: /etc/kalo/shop.json
  check_mode: true
"""

RETURN = r"""
changed:
  description: Whether the printer differed from the profile (in check mode, whether it would be written).
  returned: always
  type: bool
written:
  description: Whether kaloctl wrote the printer.
  returned: success
  type: bool
verified:
  description: Whether the read-back matched the profile; null when not verified.
  returned: success
  type: bool
differences:
  description: Each pin or setting that differed, as kaloctl reports it.
  returned: always
  type: list
  elements: dict
  sample:
    - {"switch": 6, "pin": 2, "label": "...", "from": "off", "to": "on"}
    - {"setting": "code-page", "from": "PC437 (USA, Standard Europe)", "to": "PC850 (Multilingual)"}
message:
  description: kaloctl's own account of what it did, or why it failed.
  returned: always
  type: str
rc:
  description: kaloctl's exit status (0 done, 1 printer or port failure, 2 usage error).
  returned: always
  type: int
"""

import json

from ansible.module_utils.basic import AnsibleModule


def difference_line(difference, side):
    """One line of the diff: the pin or setting and its value on one side."""
    if "setting" in difference:
        name = difference["setting"]
    else:
        name = "switch %s pin %s" % (difference.get("switch"), difference.get("pin"))
        if difference.get("label"):
            name += " (%s)" % difference["label"]
    return "%s: %s\n" % (name, difference.get(side))


def kaloctl_answer(stdout):
    """The JSON object kaloctl printed, or None when it printed none."""
    try:
        answer = json.loads(stdout)
    except ValueError:
        return None
    return answer if isinstance(answer, dict) else None


def main():
    module = AnsibleModule(
        argument_spec=dict(
            target=dict(type="str", required=True),
            profile=dict(type="path", required=True),
            verify=dict(type="bool", default=False),
            kaloctl=dict(type="str", default="kaloctl"),
        ),
        supports_check_mode=True,
    )
    params = module.params
    program = params["kaloctl"]
    if "/" not in program:
        program = module.get_bin_path(program, required=True)

    # Each value in the same word as its option: whatever a playbook puts in
    # it, kaloctl never reads it as an option of its own.
    command = [program, "--target=" + params["target"], "set-status", "--profile=" + params["profile"],
               "--if-different", "--json"]
    if params["verify"]:
        command.append("--verify")
    if module.check_mode:
        command.append("--dry-run")
    rc, stdout, stderr = module.run_command(command)

    answer = kaloctl_answer(stdout) or {}
    differences = answer.get("differences") or []
    message = answer.get("message") or stderr.strip() or stdout.strip()
    if rc != 0:
        # kaloctl's message is the reason; its standard error says it in full.
        reason = stderr.strip() or message or "kaloctl exited with status %d" % rc
        module.fail_json(msg=reason, rc=rc, changed=False, differences=differences, message=message,
                         stdout=stdout, stderr=stderr)

    result = dict(
        changed=bool(answer.get("changed")),
        written=bool(answer.get("written")),
        verified=answer.get("verified"),
        differences=differences,
        message=message,
        rc=rc,
    )
    if module._diff and differences:
        result["diff"] = dict(
            before_header=params["target"],
            after_header=params["profile"],
            before="".join(difference_line(d, "from") for d in differences),
            after="".join(difference_line(d, "to") for d in differences),
        )
    module.exit_json(**result)


if __name__ == "__main__":
    main()

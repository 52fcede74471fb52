"""The keyed build's updater lives in its home under Program Files, where only
administrators write: one started from C:\\xampp (placed there by an earlier
build, started by a task made by hand) brings itself and wget.exe home and
hands over; and what an ordinary user leaves in the shared temporary folder
no longer decides anything, since fetched copies land in the process's own
folder."""

from __future__ import annotations

import os
import time

from rig.operator_log_file import entries as log_entries
from rig.release_server import standin_runs
from rig.services_driver import aces, shown_security
from rig.update_mode import (HOME, HOME_TOOL, HOME_WGET, IMPORT_SCRIPT, TASK_NAME, TOOL, InstalledPC, task_names,
                             uninstall_entry)
from rig.wine_rig import wait_until
from rig.zunaveri_tool import EXE_NAME

DAY = 24 * 3600


def test_an_updater_started_from_the_web_stack_folder_moves_home(signed_wine, signed_server, signed_build):
    pc = InstalledPC(signed_wine, signed_build / "fast-ticks" / EXE_NAME)
    pc.make_no_update_due()
    signed_server.connect(signed_wine)
    forwarder = pc.start()
    assert not forwarder.wait_exit(60)["alive"], "the copy in C:\\xampp only hands over"

    def home_check():
        return [entry for entry in log_entries(signed_wine)
                if entry.pid != forwarder.pid and entry.text.startswith("verificação:")]
    wait_until(home_check, 120, what="a check by the home's updater")
    assert task_names(signed_wine) == [TASK_NAME] and uninstall_entry(signed_wine), \
        "the first run at home registered the task and the entry"
    texts = [entry.text for entry in log_entries(signed_wine) if entry.pid == forwarder.pid]
    assert f"atualizador levado para {HOME_TOOL} (cópia de {TOOL})" in texts, texts
    assert any(text.startswith(f"wget.exe levado para {HOME_WGET}") for text in texts), texts
    assert not any(text.startswith("verificação:") for text in texts), "the forwarder itself checks nothing"
    assert pc.read(HOME_TOOL) == pc.read(TOOL), "the same updater, now at home"
    assert pc.read(HOME_WGET) == (signed_build / "sample-release" / "wget.exe").read_bytes()
    assert pc.exists(TOOL), "the copy a hand-made task names stays"
    shown = shown_security(signed_wine, HOME, HOME_TOOL)
    assert all(ace[0] != "WD" for sddl in shown.values() for ace in aces(sddl)), shown


def test_a_marker_planted_in_the_shared_temporary_folder_does_not_stop_a_due_update(signed_wine, signed_server,
                                                                                   signed_build):
    pc = InstalledPC(signed_wine, signed_build / "fast-ticks" / EXE_NAME, home=True)
    pc.make_update_due()
    # A "fetched" marker dated after the installed one: reused, it would make every check find nothing due.
    pc.put("C:\\windows\\temp\\ultima_atualizacao.txt", b"plantado\r\n")
    later = time.time() + 60 * DAY
    os.utime(pc.path("C:\\windows\\temp\\ultima_atualizacao.txt"), (later, later))
    signed_server.connect(signed_wine)
    tool = pc.start()
    wait_until(lambda: f"end {IMPORT_SCRIPT}" in standin_runs(signed_wine), 120, what="the update to be applied")
    assert tool.alive()
    assert pc.read("C:\\windows\\temp\\ultima_atualizacao.txt") == b"plantado\r\n", "left alone, never read"

"""The updater mends itself (build checking signed releases): after a due
update whose signed manifest lists a new updater and a new wget.exe, wget.exe
is replaced at once and the updater at the next restart (wineboot -r carries
out the rename Windows carries out at boot); the new updater then runs. A
listed file that is not a fitting program is refused with its reason; a
".novo" that a user made is never what the restart moves in; the keyless
build never replaces either."""

from __future__ import annotations

import hashlib
import time

from rig.operator_log_file import entries as log_entries, keep_sample
from rig.release_server import ReleaseServer, release_server, standin_runs, wget_calls  # noqa: F401 (fixture)
from rig.services_driver import aces, shown_security
from rig.signed_release import sign
from rig.installation_run import process_folders
from rig.update_mode import (HOME_TOOL, HOME_WGET, IMPORT_SCRIPT, TOOL, ClockWatch, InstalledPC, pending_restart_renames,
                             restart_windows, schedule_restart_renames)
from rig.wine_rig import wait_until
from rig.zunaveri_tool import EXE_NAME

# A keyed build's updater and wget.exe live in its home.
UPDATER = HOME_TOOL
WGET = HOME_WGET
STAGED = UPDATER + ".novo"
PREVIOUS = UPDATER + ".anterior"
SELF_UPDATE = "autoatualização: "


def sha12(data: bytes) -> str:
    return hashlib.sha256(data).hexdigest()[:12]


def listed(path: str) -> str:
    """A path as the system's list of renames for the restart names it."""
    return "\\??\\" + path


def self_update_lines(session, since: int = 0) -> list[str]:
    return [entry.text for entry in log_entries(session)[since:] if entry.text.startswith(SELF_UPDATE)]


def publish(server: ReleaseServer, build, updater: bytes, wget: bytes) -> None:
    """A newer release (serie 2) listing these two programs."""
    server.publish("instalador_zunaveri.exe", updater)
    server.publish("wget.exe", wget)
    sign(server.folder, build, serie=2)


def update_once(pc: InstalledPC, server: ReleaseServer, wait_for: str):
    """The installed updater started with an update due, until a log line holds `wait_for`."""
    pc.make_update_due()
    server.connect(pc.session)
    tool = pc.start()
    wait_until(lambda: any(wait_for in entry.text for entry in log_entries(pc.session)), 180,
               what=f"a log line with {wait_for!r}")
    assert tool.alive(), "the updater goes on running"
    return tool


def test_new_updater_and_wget_are_swapped_in_and_the_new_updater_runs(signed_wine, signed_server, signed_build):
    # The shipped build is installed (it checks at once); the release brings the fast-ticking one.
    old_updater = (signed_build / EXE_NAME).read_bytes()
    new_updater = (signed_build / "fast-ticks" / EXE_NAME).read_bytes()
    old_wget = signed_server.file("wget.exe").read_bytes()
    new_wget = old_wget + b"overlay: bytes after the image keep it runnable"
    publish(signed_server, signed_build, new_updater, new_wget)
    pc = InstalledPC(signed_wine, signed_build / EXE_NAME, home=True)

    update_once(pc, signed_server, "wget.exe substituído")
    assert pc.read(WGET) == new_wget, "wget.exe is replaced at once"
    assert pc.read(UPDATER) == old_updater, "the running updater stays until the restart"
    assert pc.read(STAGED) == new_updater and pc.read(PREVIOUS) == old_updater
    lines = self_update_lines(signed_wine)
    assert lines == [
        f"{SELF_UPDATE}{UPDATER} será substituído na próxima reinicialização do Windows, "
        f"SHA-256 {sha12(old_updater)} -> {sha12(new_updater)}; o atual fica em {PREVIOUS}",
        f"{SELF_UPDATE}{WGET} substituído, SHA-256 {sha12(old_wget)} -> {sha12(new_wget)}; "
        "vale desde já"], lines
    assert f"end {IMPORT_SCRIPT}" in standin_runs(signed_wine), "the update itself was applied first"
    # Made with the placed programs' own security (Wine shows it as no Everyone entry); the
    # restart renames the staged copy, security and all.
    shown = shown_security(signed_wine, WGET, STAGED, PREVIOUS)
    assert all(ace[0] != "WD" for sddl in shown.values() for ace in aces(sddl)), shown

    scheduled = restart_windows(signed_wine)
    assert scheduled == [(listed(STAGED), "!" + listed(UPDATER))], scheduled
    assert pc.read(UPDATER) == new_updater, "the restart moved the new updater in"
    assert not pc.exists(STAGED) and pc.read(PREVIOUS) == old_updater
    assert pending_restart_renames(signed_wine) == []

    # The new updater starts as the scheduled task starts it, ticks fast and checks. (Wine's
    # process ids start afresh after the restart: its lines are told by where they begin.)
    since = len(log_entries(signed_wine))
    new = pc.start()
    clock = ClockWatch(new)
    first = clock.ticks()
    time.sleep(2)
    assert clock.ticks() - first > 20, "the fast-ticking updater is the one that runs"
    wait_until(lambda: any(entry.pid == new.pid and entry.text.startswith("verificação:")
                           for entry in log_entries(signed_wine)[since:]), 60, what="the new updater's check")
    assert self_update_lines(signed_wine, since) == [], "its own copy and wget.exe are the listed ones"
    keep_sample(signed_wine, "instalador.log")


def test_listed_files_that_are_not_fitting_programs_are_refused(signed_wine, signed_server, signed_build):
    installed_updater = (signed_build / EXE_NAME).read_bytes()
    installed_wget = signed_server.file("wget.exe").read_bytes()
    # A real program of this machine, but not this one; and a text that is no program at all.
    publish(signed_server, signed_build, updater=installed_wget, wget=b"isto nao e um programa\r\n")
    pc = InstalledPC(signed_wine, signed_build / EXE_NAME, home=True)

    update_once(pc, signed_server, "wget.exe não substituído")
    lines = self_update_lines(signed_wine)
    assert len(lines) == 2 and "instalador_zunaveri.exe não substituído" in lines[0], lines
    assert lines[0].endswith("não tem o recurso de versão do Instalador Zunaveri"), lines
    assert lines[1].endswith("não é um programa do Windows (cabeçalhos MZ/PE ausentes ou inválidos)"), lines
    assert pc.read(UPDATER) == installed_updater and pc.read(WGET) == installed_wget
    assert not pc.exists(STAGED) and not pc.exists(PREVIOUS)
    assert all(not (folder / "wget.exe").exists() for folder in process_folders(signed_wine)), \
        "the refused copy is not left behind"
    assert restart_windows(signed_wine) == [] and pc.read(UPDATER) == installed_updater


def test_a_users_staged_copy_is_never_what_the_restart_moves_in(signed_wine, signed_server, signed_build):
    # A user made the ".novo" with the listed bytes and keeps it open for writing; the rename of
    # it was already scheduled (as an earlier version of the swap scheduled what it found),
    # after another program's rename.
    new_updater = (signed_build / "fast-ticks" / EXE_NAME).read_bytes()
    wget = signed_server.file("wget.exe").read_bytes()
    publish(signed_server, signed_build, new_updater, wget)
    pc = InstalledPC(signed_wine, signed_build / EXE_NAME, home=True)
    others = (listed("C:\\outro.novo"), "!" + listed("C:\\outro.exe"))
    signed_server.connect(signed_wine)  # before the probe starts: the tool gets its environment
    schedule_restart_renames(signed_wine, [others, (listed(STAGED), "!" + listed(UPDATER))])
    pc.put(STAGED, new_updater)
    with open(pc.path(STAGED), "r+b") as users_handle:
        update_once(pc, signed_server, "atualização aplicada")
        users_handle.write(wget)  # a program of the user's choice, through the handle kept
        users_handle.truncate()
        users_handle.flush()
        scheduled = restart_windows(signed_wine)
    assert scheduled == [others, (listed(STAGED), "!" + listed(UPDATER))], scheduled
    assert pc.read(UPDATER) == new_updater, "the copy the updater wrote and checked, not the user's"


def test_keyless_build_never_replaces_either(wine, release_server, windows_build):
    installed = (windows_build / EXE_NAME).read_bytes(), release_server.file("wget.exe").read_bytes()
    release_server.publish("instalador_zunaveri.exe", (windows_build / "fast-ticks" / EXE_NAME).read_bytes())
    release_server.publish("wget.exe", installed[1] + b"overlay")
    pc = InstalledPC(wine, windows_build / EXE_NAME)
    xampp_wget = "C:\\xampp\\wget.exe"
    update_once(pc, release_server, "atualização aplicada")
    assert (pc.read(TOOL), pc.read(xampp_wget)) == installed and not pc.exists(TOOL + ".novo")
    assert self_update_lines(wine) == []
    fetched = [call[0].rsplit("/", 1)[-1] for call in wget_calls(wine)]
    assert "instalador_zunaveri.exe" not in fetched and "wget.exe" not in fetched, fetched

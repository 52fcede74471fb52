"""The keyed build hardened against the ordinary users of the customer PC,
under Wine: a version.dll planted in the temporary folder is never loaded by
what the tool runs (the keyless build, which runs fetched programs where
they lie, loads it); a genuine older manifest pair planted hidden or
read-only is never used; the placed programs and the log folder are made
with the tool's own security; the operator's log is not written through a
link or into a folder or file that belongs to someone else.

What Wine shows of security: it keeps no DACL of its own on disk, but turns
the one a file is created with into Unix permissions, and shows those back
as SYSTEM and the owner with all rights plus Everyone (WD) with what "other"
may do. A descriptor that grants Everyone and Users nothing to write leaves
no WD entry; the default security shows one. The owner it shows is the
prefix's user for files of the Unix user Wine runs as, and ANONYMOUS LOGON
(S-1-5-7) for those of any other. The protected flag and the entries for
Administrators and Users are only seen on Windows (docs/installed-files.md
says how to check them there)."""

from __future__ import annotations

import os
import re
import shutil

import pytest

from rig.installation_run import (APPLICATION_LINES, SEPARATOR, WEB_STACK_LINES, InstallationRun, prepare,
                                  process_folders, temp_file)
from rig.operator_log_file import log_path
from rig.release_server import ReleaseServer, standin_runs
from rig.services_driver import ServicesDriver, aces, shown_security
from rig.update_mode import HOME_TOOL, HOME_WGET
from rig.signed_release import MANIFEST, SIGNATURE, applied_serial, sign
from rig.wine_rig import DLL_OVERRIDES

MARK = "C:\\zunaveri-planted-mark.txt"
PLACED = [HOME_TOOL, HOME_WGET]
PLACED_BY_KEYLESS = ["C:\\xampp\\instalador_zunaveri.exe", "C:\\xampp\\wget.exe"]
LOG_FOLDER = "C:\\ProgramData\\Zunaveri"
PROTECTED_FOLDER = re.compile(r"C:\\Windows\\Temp\\zunaveri-[0-9a-f]{32}", re.IGNORECASE)
OTHER_UNIX_USER = 65534


def everyone_entries(sddl: str) -> set:
    return {ace for ace in aces(sddl) if ace[0] == "WD"}


@pytest.fixture
def keyed(signed_build, open_session, request):
    server = ReleaseServer(signed_build)
    with open_session(request.node, build=signed_build) as session:
        yield session, server
    server.close()


def test_a_library_planted_in_the_temporary_folder_is_never_loaded(any_build):
    kind, session, server = any_build
    session.install(session.windows_build / "tests" / "e2e" / "standins" / "version.dll", "C:\\windows\\temp")
    # Wine takes a native version.dll before its own only when told to, as Windows always does.
    prepare(session, server, {"WINEDLLOVERRIDES": DLL_OVERRIDES + ";version=n,b",
                              "ZUNAVERI_STANDIN_SHOW_FOLDER": "1"})
    run = InstallationRun(session)
    log, box = run.install(checked=True)
    assert log == WEB_STACK_LINES + [SEPARATOR] + APPLICATION_LINES
    mark = session.unix_path(MARK)
    placed = PLACED if kind == "keyed" else PLACED_BY_KEYLESS
    shown = shown_security(session, *placed, LOG_FOLDER)
    assert everyone_entries(shown[LOG_FOLDER]) == set(), "the log folder is made with its own security, both builds"

    if kind == "keyless":
        loaded_by = mark.read_text() if mark.exists() else ""
        assert "zunaveri-digital.exe" in loaded_by and "xampp-win32" in loaded_by, loaded_by
        assert all(everyone_entries(shown[path]) for path in placed), "copied with the default security"
        return
    assert not mark.exists(), mark.read_text()
    shown_folders = [line.split(" ", 1)[1].split("|") for line in standin_runs(session) if line.startswith("pasta ")]
    folders = [shown for shown in shown_folders if not shown[0].lower().startswith("c:\\xampp")]
    assert len(folders) == 2, "the web stack installer and the package ran from their folders; the stack's stop " \
                              f"and start programs from C:\\xampp: {shown_folders}"
    own = process_folders(session)
    assert len(own) == 1, "one folder of the process's own for the whole run"
    for folder, working, sddl in folders:
        assert PROTECTED_FOLDER.fullmatch(folder) and folder.lower().endswith(own[0].name), (folder, own)
        assert working.rstrip("\\").lower() == folder.lower(), "run with its protected folder as working folder"
        assert everyone_entries(sddl) == set(), sddl
    assert sorted(os.listdir(session.unix_path("C:\\windows\\temp"))) == sorted(["version.dll", own[0].name]), \
        "nothing fetched into the shared temporary folder"
    run.dismiss(box)
    run.leave()
    assert process_folders(session) == [], "the process's folder goes with it"
    for path in PLACED:
        assert everyone_entries(shown[path]) == set(), (path, shown[path])


@pytest.mark.parametrize("planted", ["hidden", "read-only"])
def test_a_planted_older_manifest_pair_is_never_used(keyed, signed_build, tmp_path, planted):
    session, server = keyed
    older = tmp_path / "older"
    shutil.copytree(signed_build / "sample-release", older)
    with open(older / "zunaveri-digital.exe", "ab") as package:
        package.write(b"older release")
    sign(older, signed_build, serie=0)
    for name in (MANIFEST, SIGNATURE):
        target = temp_file(session, name)
        target.parent.mkdir(parents=True, exist_ok=True)
        shutil.copy(older / name, target)
        if planted == "read-only":
            os.chmod(target, 0o444)
    if planted == "hidden":
        attrib = session.wine("C:\\windows\\system32\\cmd.exe", "/c", "attrib", "+h", "+s",
                              "C:\\windows\\temp\\manifesto_zunaveri*")
        assert attrib.wait(timeout=60) == 0
        assert all(os.getxattr(temp_file(session, name), "user.DOSATTRIB") for name in (MANIFEST, SIGNATURE))

    prepare(session, server)
    log, _ = InstallationRun(session).install(checked=False)
    assert log == APPLICATION_LINES, "the current release installs whole"
    assert applied_serial(session) == 1
    temp = session.unix_path("C:\\windows\\temp")
    assert sorted(name for name in os.listdir(temp) if name.startswith("manifesto_zunaveri")) == sorted([MANIFEST, SIGNATURE]), \
        "nothing in the shared temporary folder is read or touched"


def test_a_folder_named_like_a_fetched_file_in_the_shared_temporary_folder_changes_nothing(keyed):
    session, server = keyed
    for name in (MANIFEST, "zunaveri-digital.exe"):
        (temp_file(session, name) / "dentro").mkdir(parents=True)  # a folder of that name, not empty
    prepare(session, server)
    log, _ = InstallationRun(session).install(checked=False)
    assert log == APPLICATION_LINES, "fetched into the process's own folder"
    assert session.unix_path(PLACED[0]).exists()


@pytest.mark.parametrize("place", ["made by the tool", "folder is a link", "folder of another user",
                                   "log file of another user"])
def test_the_log_is_written_only_into_a_place_of_its_own(wine, place):
    folder = wine.unix_path(LOG_FOLDER)
    written_into = folder
    if place == "folder is a link":
        written_into = wine.unix_path("C:\\elsewhere")
        written_into.mkdir()
        folder.parent.mkdir(parents=True, exist_ok=True)
        folder.symlink_to(written_into, target_is_directory=True)
    elif place != "made by the tool":
        folder.mkdir(parents=True)
        owned = folder if place == "folder of another user" else log_path(wine)
        owned.touch()
        os.chown(owned, OTHER_UNIX_USER, OTHER_UNIX_USER)
        windows_name = LOG_FOLDER if owned == folder else LOG_FOLDER + "\\instalador.log"
        assert shown_security(wine, windows_name)[windows_name].startswith("O:AN"), "Wine shows ANONYMOUS LOGON"
    before = {path.name: path.read_bytes() for path in written_into.iterdir()} if written_into.exists() else {}

    ServicesDriver(wine, with_client=False).call("log", "3", "10")
    if place == "made by the tool":
        assert log_path(wine).read_bytes().count(b"\r\n") == 4, "the start line and three lines"
        assert everyone_entries(shown_security(wine, LOG_FOLDER)[LOG_FOLDER]) == set()
    else:
        assert {path.name: path.read_bytes() for path in written_into.iterdir()} == before, "nothing written there"

"""The keyed build runs what an ordinary user of the PC may replace without
administrator rights: the web stack's stop and start programs in C:\\xampp,
and the import script with the database client it starts from
C:\\xampp\\mysql\\bin. The checked web stack installer and application
package keep them; the keyless build runs everything as before, with them.

Each stand-in records whether CheckTokenMembership counts it a member of
Administrators (ZUNAVERI_STANDIN_SHOW_TOKEN). Wine shows the deny-only
group that way; it accepts the medium integrity level without applying it,
and enforces neither, so what the child may then change is only seen on
Windows."""

from __future__ import annotations

import pytest

from rig.installation_run import APPLICATION_LINES, SEPARATOR, WEB_STACK_LINES, InstallationRun, prepare
from rig.release_server import ReleaseServer, standin_runs
from rig.update_mode import IMPORT_SCRIPT, ClockWatch, InstalledPC
from rig.zunaveri_tool import EXE_NAME

SHOW_TOKEN = {"ZUNAVERI_STANDIN_SHOW_TOKEN": "1"}
INSTALLER = "xampp-win32-7.3.2-0-vc15-installer.exe"
ALL_ADMINISTRATORS = {INSTALLER: "sim", "xampp_stop.exe": "sim", "xampp_start.exe": "sim",
                      "zunaveri-digital.exe": "sim", "mysql.exe": "sim"}
KEYED = {**ALL_ADMINISTRATORS, "xampp_stop.exe": "não", "xampp_start.exe": "não", "mysql.exe": "não"}


def administrators(session) -> dict[str, str]:
    """For each stand-in that ran: "sim" or "não", as the line after its start says."""
    runs = standin_runs(session)
    shown = {start.split()[1]: line.split()[1] for start, line in zip(runs, runs[1:])
             if start.startswith("start ") and line.startswith("administradores ")}
    assert sum(line.startswith("start ") for line in runs) == len(shown) + 1, "each program but the script once"
    return shown


@pytest.mark.parametrize("kind", ["keyed", "keyless"])
def test_installation_runs_what_users_may_replace_without_administrators(open_session, request, kind):
    build = request.getfixturevalue("signed_build" if kind == "keyed" else "windows_build")
    server = ReleaseServer(build)
    try:
        with open_session(request.node, build=build) as session:
            prepare(session, server, SHOW_TOKEN)
            log, _ = InstallationRun(session).install(checked=True)
            assert log == WEB_STACK_LINES + [SEPARATOR] + APPLICATION_LINES
            assert f"start {IMPORT_SCRIPT} sql-presente" in standin_runs(session), "found beside itself"
            assert administrators(session) == (KEYED if kind == "keyed" else ALL_ADMINISTRATORS)
    finally:
        server.close()


def test_keyed_update_imports_without_administrators(signed_wine, signed_server, signed_build):
    pc = InstalledPC(signed_wine, signed_build / "fast-ticks" / EXE_NAME, home=True)
    pc.put("C:\\xampp\\mysql\\bin\\mysql.exe", (signed_build / "tests" / "e2e" / "standins" / "standin.exe").read_bytes())
    pc.make_update_due()
    signed_server.connect(signed_wine)
    signed_wine.env.update(SHOW_TOKEN)
    clock = ClockWatch(pc.start())
    clock.until(lambda caption: f"end {IMPORT_SCRIPT}" in standin_runs(signed_wine), 60, "the update's import")
    assert administrators(signed_wine) == {"zunaveri-digital.exe": "sim", "mysql.exe": "não"}

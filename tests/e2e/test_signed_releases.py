"""Signed releases end to end, with the build that trusts a throwaway key
(windows-signed preset): the signed sample release installs whole; a file
that differs from the manifest, or a manifest whose signature is missing or
wrong, is refused at the step that would use it and never runs; a leftover
of an older release is fetched again; an update is applied only when all it
needs passes and its serial is not older than the one applied. The
publisher's checker is run on the same releases."""

from __future__ import annotations

import os
import shutil

import pytest

from rig.installation_run import (APPLICATION_LINES, WEB_STACK_LINES, SEPARATOR, InstallationRun, error_lines, own_copies,
                              prepare, temp_file)
from rig.operator_log_file import texts as log_texts
from rig.release_server import standin_runs, wget_calls
from rig.signed_release import (DIFFERS, LEGACY_SERIAL_FILE, MANIFEST, MANIFEST_REFUSED, OLDER_SERIAL, SIGNATURE,
                                applied_serial, change_one_byte, check_release, record_serial, refusal, sign)
from rig.update_mode import (ADDRESS_FILE, CUSTOMER_LOGO, ENV_FILE, FETCHED_BY_UPDATE, IMPORT_SCRIPT, LOGO, PACKAGE,
                         HOME_TOOL, HOME_WGET, ClockWatch, InstalledPC)
from rig.zunaveri_tool import EXE_NAME

ONE_UPDATE = [f"start {PACKAGE}", f"end {PACKAGE}", f"start {IMPORT_SCRIPT} sql-presente", f"end {IMPORT_SCRIPT}"]
# The steps of a run with the web stack that use a fetched file, by the file each checks first.
FETCHED_FILE_STEPS = ["xampp-win32-7.3.2-0-VC15-installer.exe", "httpd.configurado", "fbclient.dll", "gds32.dll",
                      PACKAGE, "instalador_zunaveri.exe", "wget.exe", "zunaveri.sql"]
PLACED = [HOME_TOOL, HOME_WGET, "C:\\xampp\\apache\\bin\\fbclient.dll",
          "C:\\xampp\\apache\\conf\\httpd.configurado"]


def fetched(session) -> list[str]:
    return [next(arg for arg in call if arg.startswith("ftp://")).rsplit("/", 1)[-1] for call in wget_calls(session)]


class TestInstallation:
    def test_signed_release_installs_whole(self, signed_wine, signed_server):
        prepare(signed_wine, signed_server)
        log, _ = InstallationRun(signed_wine).install(checked=True)
        assert log == WEB_STACK_LINES + [SEPARATOR] + APPLICATION_LINES
        # Installer, stop, start, package, import script and its database client: a start and an end each.
        assert len(standin_runs(signed_wine)) == 12, standin_runs(signed_wine)
        assert fetched(signed_wine)[:2] == [MANIFEST, SIGNATURE], "the manifest comes first"
        assert applied_serial(signed_wine) == 1
        assert not own_copies(signed_wine, MANIFEST) and not own_copies(signed_wine, SIGNATURE), "swept"

    def test_package_with_one_byte_changed_is_refused_and_never_runs(self, signed_wine, signed_server):
        change_one_byte(signed_server.file(PACKAGE))
        prepare(signed_wine, signed_server)
        log, _ = InstallationRun(signed_wine).install(checked=False)
        at = log.index("2. Instalando Zunaveri Digital...")
        assert log[at + 1].startswith(refusal(PACKAGE, DIFFERS)), log
        assert [line for line in standin_runs(signed_wine) if PACKAGE in line] == []
        assert fetched(signed_wine).count(PACKAGE) == 2, "fetched once more before it was refused"
        assert not own_copies(signed_wine, PACKAGE), "the refused copy is not left to be run later"

    @pytest.mark.parametrize("spoil", ["missing", "one bit flipped"])
    def test_without_a_valid_signature_nothing_fetched_runs(self, signed_wine, signed_server, spoil):
        signature = signed_server.file(SIGNATURE)
        if spoil == "missing":
            signature.unlink()
        else:
            change_one_byte(signature, offset=10)
        prepare(signed_wine, signed_server)
        log, _ = InstallationRun(signed_wine).install(checked=True)
        refused = [line for line in error_lines(log) if MANIFEST_REFUSED in line]
        assert [line.split('"')[1] for line in refused] == FETCHED_FILE_STEPS, log
        assert standin_runs(signed_wine) == [], "no fetched program ran"
        assert [path for path in PLACED if signed_wine.unix_path(path).exists()] == []
        assert log[-1] == APPLICATION_LINES[-1], "the run goes on to its end"

    def test_leftovers_of_an_older_release_are_fetched_again(self, signed_wine, signed_server, signed_build,
                                                             tmp_path):
        # An older release, properly signed, left its manifest and its package in the temporary folder.
        older = tmp_path / "older"
        shutil.copytree(signed_build / "sample-release", older)
        with open(older / PACKAGE, "ab") as package:
            package.write(b"older release")
        sign(older, signed_build, serie=0)
        for name in (MANIFEST, SIGNATURE, PACKAGE):
            target = temp_file(signed_wine, name)
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copy(older / name, target)

        prepare(signed_wine, signed_server)
        log, _ = InstallationRun(signed_wine).install(checked=False)
        assert log == APPLICATION_LINES
        assert fetched(signed_wine)[:3] == [MANIFEST, SIGNATURE, PACKAGE], "fresh manifest, package fetched again"
        assert f"start {PACKAGE}" in standin_runs(signed_wine)


    def test_an_older_release_than_the_one_applied_is_refused_naming_both(self, signed_wine, signed_server,
                                                                          signed_build):
        sign(signed_server.folder, signed_build, serie=4)
        record_serial(signed_wine, 9)
        prepare(signed_wine, signed_server)
        log, _ = InstallationRun(signed_wine).install(checked=False)
        refused = [line for line in error_lines(log) if f"{OLDER_SERIAL} (serie 4 < serie 9)" in line]
        assert [line.split('"')[1] for line in refused] == [PACKAGE, "instalador_zunaveri.exe", "wget.exe",
                                                            "zunaveri.sql"], log
        assert standin_runs(signed_wine) == [] and applied_serial(signed_wine) == 9


class TestUpdate:
    @staticmethod
    def start(session, build, server, recorded_serial=None, legacy_mode=0o644) -> tuple[InstalledPC, ClockWatch, dict]:
        pc = InstalledPC(session, build / "fast-ticks" / EXE_NAME, home=True)
        if isinstance(recorded_serial, bytes):
            pc.put(LEGACY_SERIAL_FILE, recorded_serial)
            os.chmod(pc.path(LEGACY_SERIAL_FILE), legacy_mode)
        elif recorded_serial is not None:
            record_serial(session, recorded_serial)
        pc.make_update_due()
        server.connect(session)
        before = pc.snapshot()
        return pc, ClockWatch(pc.start()), before

    @pytest.mark.parametrize("spoil", ["import script changed", "older serial", "older serial in the old file",
                                       "unreadable record"])
    def test_refused_update_changes_nothing(self, signed_wine, signed_server, signed_build, spoil):
        recorded = {"older serial": 2, "older serial in the old file": b"2\r\n", "unreadable record": "10"}.get(spoil)
        if recorded is None:
            recorded = None
            change_one_byte(signed_server.file(IMPORT_SCRIPT), offset=0)
        pc, clock, before = self.start(signed_wine, signed_build, signed_server, recorded)
        clock.until(lambda caption: clock.falls(), 60, "the failed check to set the clock back")

        assert standin_runs(signed_wine) == [], "neither the package nor the import script ran"
        assert pc.snapshot() == before, "images, .env and the rest of C:\\xampp untouched"
        assert pc.read(LOGO) == CUSTOMER_LOGO and not pc.exists("C:\\xampp\\logo.png")
        names = fetched(signed_wine)
        if recorded is not None:
            assert names == ["ultima_atualizacao.txt", MANIFEST, SIGNATURE], "refused before any file is fetched"
            why = "não pôde ser lido" if spoil == "unreadable record" else "(serie 1 < serie 2)"
            assert any(PACKAGE in text and why in text for text in log_texts(signed_wine)), \
                "the operator's log says why the update was refused"
        else:
            assert names[-3:] == [PACKAGE, "zunaveri.sql", IMPORT_SCRIPT], "all checked before anything runs"
            assert not own_copies(signed_wine, IMPORT_SCRIPT), "the refused copy is deleted"
            assert any(IMPORT_SCRIPT in text and DIFFERS in text for text in log_texts(signed_wine)), \
                "the operator's log says why the update was refused"
        assert clock.tool.alive()

    # Wine shows the old file as the tool's own user's, with what Unix "other"
    # may do as Everyone's: mode 666 lets everyone change it, and a huge
    # serial there is ignored.
    @pytest.mark.parametrize("recorded, legacy_mode", [(1, None), (b"1", 0o644), (b"999999999999999999", 0o666)],
                             ids=["recorded", "in the old file", "in an old file anyone may change"])
    def test_update_with_the_serial_already_applied_goes_ahead(self, signed_wine, signed_server, signed_build,
                                                               recorded, legacy_mode):
        pc, clock, _ = self.start(signed_wine, signed_build, signed_server, recorded, legacy_mode)
        clock.until(lambda caption: f"end {IMPORT_SCRIPT}" in standin_runs(signed_wine) and clock.falls(), 60,
                    "the update and the clock's reset")
        assert standin_runs(signed_wine) == ONE_UPDATE
        # The release lists the shipped updater, not the fast-ticking one installed: it is fetched for the restart.
        assert fetched(signed_wine) == (["ultima_atualizacao.txt", MANIFEST, SIGNATURE] + FETCHED_BY_UPDATE[1:]
                                        + ["instalador_zunaveri.exe"])
        assert pc.read(LOGO) == CUSTOMER_LOGO and b"app.baseURL" in pc.read(ENV_FILE)
        assert applied_serial(signed_wine) == 1 and not pc.exists(LEGACY_SERIAL_FILE) and pc.exists(ADDRESS_FILE)
        assert not own_copies(signed_wine, MANIFEST), "the sweep removes the manifest too"
        ignored = [text for text in log_texts(signed_wine) if " ignorado: " in text]
        assert ignored == (["c:\\xampp\\serie_zunaveri ignorado: a lista de acesso deixa Todos alterá-lo"]
                           if legacy_mode == 0o666 else [])


class TestPublisherCheck:
    def test_check_passes_the_signed_release_and_names_each_problem(self, signed_build, signed_server, tmp_path):
        good = check_release(str(signed_server.folder), signed_build)
        assert good.returncode == 0, good.stdout + good.stderr
        assert "assinatura válida, serie 1" in good.stdout and f"{PACKAGE}: ok" in good.stdout

        spoiled = tmp_path / "release"
        shutil.copytree(signed_server.folder, spoiled)
        change_one_byte(spoiled / "zunaveri.sql")
        (spoiled / "leia-me.txt").write_text("not part of the release")
        bad = check_release(str(spoiled), signed_build)
        assert bad.returncode != 0
        assert "zunaveri.sql: DIFERE" in bad.stdout and "leia-me.txt: NÃO LISTADO" in bad.stdout, bad.stdout

        url = f"ftp://{signed_server.user}@127.0.0.1:{signed_server.port}/public_html/instalador-zunaveri/"
        live = check_release(url, signed_build, ftp_password=signed_server.password)
        assert live.returncode == 0, live.stdout + live.stderr
        assert signed_server.password not in live.stdout + live.stderr
        assert f"{PACKAGE}: ok" in live.stdout

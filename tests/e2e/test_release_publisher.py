"""The publisher's side (scripts/release) with the windows-signed build: exes Authenticode-signed
before the manifest, so that it lists the signed bytes; both signed pairs, the first passing the
verifier older updaters have and the second the tool's, with a length changed in it refused by the
tool; check over FTP with the password off its command line; the checker refusing the release when
the system's bcrypt.dll cannot be loaded."""

from __future__ import annotations

import hashlib
import os
import pty
import select
import shutil
import subprocess
from pathlib import Path

import pytest

from rig.installation_run import InstallationRun, prepare
from rig.release_server import ReleaseServer, standin_runs
from rig.signed_release import (DIFFERS, FIELD_MANIFEST, MANIFEST, RELEASE_SCRIPT, SIGNATURE,
                                change_one_byte, check_environment, check_release, refusal, sign, sign_edited_list,
                                throwaway_key)
from rig.update_mode import PACKAGE
from rig.wine_rig import WINE64_LOADER

UPDATER = "instalador_zunaveri.exe"


@pytest.fixture(scope="module")
def check_prefix(tmp_path_factory) -> Path:
    """A Wine prefix of this file's own for the checker (Wine makes it at the first run)."""
    return tmp_path_factory.mktemp("check") / "prefix"


def code_signing_chain(folder: Path) -> tuple[Path, Path, Path]:
    """A test CA and a code-signing certificate it issued: (CA, certificate, key)."""
    for name, issuer in (("ca", ["-addext", "basicConstraints=critical,CA:TRUE"]),
                         ("code", ["-CA", "ca.pem", "-CAkey", "ca.key", "-addext", "extendedKeyUsage=codeSigning"])):
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", f"{name}.key", "-out",
                        f"{name}.pem", "-days", "2", "-subj", f"/CN=Zunaveri Teste {name}", *issuer],
                       cwd=folder, check=True, capture_output=True)
    return folder / "ca.pem", folder / "code.pem", folder / "code.key"


def test_sign_authenticode_signs_the_exes_and_the_manifest_lists_the_signed_bytes(signed_build, tmp_path,
                                                                                  check_prefix):
    ca, certificate, key = code_signing_chain(tmp_path)
    release = tmp_path / "release"
    shutil.copytree(signed_build / "sample-release", release)
    unsigned = hashlib.sha256((release / UPDATER).read_bytes()).hexdigest()

    def sign(serie: int) -> tuple[str, dict[str, str]]:
        stderr = subprocess.run([str(RELEASE_SCRIPT), "sign", str(release), "--serie", str(serie), "--chave",
                                 str(throwaway_key(signed_build)), "--certificado", str(certificate),
                                 "--chave-codigo", str(key)], check=True, capture_output=True, text=True).stderr
        lines = (release / MANIFEST).read_text(encoding="ascii").splitlines()[1:]
        return stderr, {line.split("  ")[-1]: line.split("  ")[0] for line in lines}

    _, digests = sign(1)
    exes = sorted(path.name for path in release.glob("*.exe"))
    assert UPDATER in exes and "wget.exe" in exes
    for name in exes:
        verify = subprocess.run(["osslsigncode", "verify", "-in", str(release / name), "-CAfile", str(ca)],
                                capture_output=True, text=True)
        assert verify.returncode == 0, f"{name}: {verify.stdout}{verify.stderr}"
        assert digests[name] == hashlib.sha256((release / name).read_bytes()).hexdigest(), name
    assert digests[UPDATER] != unsigned, "the manifest lists the exe as signed, not as built"
    again, digests_again = sign(2)
    assert again.count("Authenticode-signed already; left as it is") == len(exes) and digests_again == digests

    change_one_byte(release / "wget.exe", offset=4096)
    checked = check_release(str(release), signed_build, ca=ca, prefix=check_prefix)
    assert checked.returncode == 1 and "assinatura válida, serie 2" in checked.stdout, checked.stdout
    assert f"{UPDATER}: signed, verified (/CN=Zunaveri Teste code)" in checked.stdout, checked.stdout
    assert "wget.exe: DIFERE" in checked.stdout and "wget.exe: SIGNATURE BROKEN" in checked.stdout


def prompted_check(url: str, build: Path, password: str, prefix: Path) -> tuple[int, str]:
    """check on a terminal, typing the password when asked: (exit code, what the terminal showed)."""
    main, terminal = pty.openpty()
    process = subprocess.Popen([str(RELEASE_SCRIPT), "check", "--build", str(build), url], stdin=terminal,
                               stdout=terminal, stderr=terminal, env=check_environment(prefix=prefix))
    os.close(terminal)
    shown = b""
    while select.select([main], [], [], 120)[0]:
        try:
            chunk = os.read(main, 4096)
        except OSError:  # the terminal closed with the script
            break
        if b"FTP password" in shown + chunk and b"FTP password" not in shown:
            os.write(main, password.encode() + b"\n")
        shown += chunk
    os.close(main)
    return process.wait(timeout=60), shown.decode(errors="replace")


def test_check_over_ftp_takes_the_password_from_the_environment_or_a_prompt(signed_build, check_prefix):
    server = ReleaseServer(signed_build)
    try:
        url = f"ftp://{server.user}@127.0.0.1:{server.port}/public_html/instalador-zunaveri/"
        from_environment = check_release(url, signed_build, ftp_password=server.password, prefix=check_prefix)
        assert from_environment.returncode == 0, from_environment.stdout + from_environment.stderr
        assert f"{PACKAGE}: ok" in from_environment.stdout and "warning" not in from_environment.stderr

        code, shown = prompted_check(url, signed_build, server.password, check_prefix)
        assert code == 0 and f"{PACKAGE}: ok" in shown and server.password not in shown, shown

        nothing = check_release(url, signed_build, prefix=check_prefix)
        assert nothing.returncode == 2 and "no FTP password" in nothing.stderr, nothing.stderr

        inline = check_release(url.replace("@", f":{server.password}@", 1), signed_build, prefix=check_prefix)
        assert inline.returncode == 0 and "warning: the FTP password stands on this command line" in inline.stderr
        assert server.password not in inline.stdout + inline.stderr
    finally:
        server.close()


def test_without_bcrypt_the_checker_refuses_the_release(signed_build, check_prefix):
    release = "Z:" + str(signed_build / "sample-release").replace("/", "\\")
    env = dict(check_environment(prefix=check_prefix), WINEPREFIX=str(check_prefix), WINEDEBUG="-all",
               WINEDLLOVERRIDES="bcrypt=;mscoree,mshtml=;winemenubuilder.exe=d")
    run = subprocess.run([str(WINE64_LOADER), str(signed_build / "verificar_versao.exe"), release],
                         capture_output=True, env=env, stdin=subprocess.DEVNULL, timeout=300)
    assert run.returncode == 1 and b"manifesto_zunaveri.txt: RECUSADO" in run.stdout, run.stdout


def test_sign_writes_a_pair_for_older_updaters_and_one_with_sizes_check_verifies_both(signed_build, tmp_path,
                                                                                      check_prefix):
    release = tmp_path / "release"
    shutil.copytree(signed_build / "sample-release", release)
    sign(release, signed_build, serie=5)
    rows = [line.split("  ") for line in (release / MANIFEST).read_text(encoding="ascii").splitlines()[1:]]
    assert (release / FIELD_MANIFEST).read_text(encoding="ascii") == \
        "serie 5\n" + "".join(f"{digest}  {name}\n" for digest, _, name in rows), "the older pair as it always was"
    checked = check_release(str(release), signed_build, prefix=check_prefix)
    assert checked.returncode == 0, checked.stdout
    assert f"{FIELD_MANIFEST}: ok, assinatura válida, serie 5" in checked.stdout
    assert f"{MANIFEST}: ok, assinatura válida, serie 5" in checked.stdout
    for _, length, name in rows:
        assert int(length) == (release / name).stat().st_size and f"{name}: ok, {length} bytes" in checked.stdout

    # The size list of this release beside the older pair of a changed one: listed differently.
    kept = {name: (release / name).read_bytes() for name in (MANIFEST, SIGNATURE)}
    change_one_byte(release / "zunaveri.sql")
    sign(release, signed_build, serie=5)
    for name, data in kept.items():
        (release / name).write_bytes(data)
    differing = check_release(str(release), signed_build, prefix=check_prefix)
    assert differing.returncode == 1 and "zunaveri.sql: LISTADO DE FORMA DIFERENTE" in differing.stdout

    # A release signed before the size list existed.
    (release / MANIFEST).unlink()
    (release / SIGNATURE).unlink()
    unsized = check_release(str(release), signed_build, prefix=check_prefix)
    assert unsized.returncode == 1 and f"{MANIFEST}: RECUSADO (manifesto ausente)" in unsized.stdout
    assert f"{FIELD_MANIFEST}: ok" in unsized.stdout


def test_a_length_changed_in_the_signed_size_list_is_refused_by_the_tool(signed_build, signed_wine, signed_server):
    size = signed_server.file(PACKAGE).stat().st_size
    sign_edited_list(signed_server.folder, signed_build,
                     lambda text: text.replace(f"  {size}  {PACKAGE}", f"  {size + 1}  {PACKAGE}"))
    prepare(signed_wine, signed_server)
    log, _ = InstallationRun(signed_wine).install(checked=False)
    at = log.index("2. Instalando Zunaveri Digital...")
    assert log[at + 1].startswith(refusal(PACKAGE, DIFFERS)), log
    assert [line for line in standin_runs(signed_wine) if PACKAGE in line] == []

"""The publisher's side of a release (scripts/release) with the windows-signed build: the exes
Authenticode-signed before the manifest is written, so that it lists the signed bytes; check over
FTP without the password on its command line; and the checker taking bcrypt.dll from the system
folder, never from beside itself."""

from __future__ import annotations

import hashlib
import os
import pty
import select
import shutil
import subprocess
from pathlib import Path

import pytest

from rig.release_server import ReleaseServer
from rig.signed_release import (MANIFEST, RELEASE_SCRIPT, change_one_byte, check_environment, check_release,
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
    def openssl(*args: str) -> None:
        subprocess.run(["openssl", *args], cwd=folder, check=True, capture_output=True)

    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out", "ca.pem", "-days", "2",
            "-subj", "/CN=Zunaveri Teste CA", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "code.key", "-out", "code.csr",
            "-subj", "/CN=Zunaveri Teste Codigo")
    (folder / "code.ext").write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                                     "extendedKeyUsage=codeSigning\n")
    openssl("x509", "-req", "-in", "code.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-CAcreateserial",
            "-out", "code.pem", "-days", "2", "-extfile", "code.ext")
    return folder / "ca.pem", folder / "code.pem", folder / "code.key"


def manifest_digests(folder: Path) -> dict[str, str]:
    lines = (folder / MANIFEST).read_text(encoding="ascii").splitlines()[1:]
    return {line.split("  ", 1)[1]: line.split("  ", 1)[0] for line in lines}


def test_sign_authenticode_signs_the_exes_and_the_manifest_lists_the_signed_bytes(signed_build, tmp_path,
                                                                                  check_prefix):
    ca, certificate, key = code_signing_chain(tmp_path)
    release = tmp_path / "release"
    shutil.copytree(signed_build / "sample-release", release)
    unsigned = hashlib.sha256((release / UPDATER).read_bytes()).hexdigest()
    def sign(serie: int) -> str:
        return subprocess.run([str(RELEASE_SCRIPT), "sign", str(release), "--serie", str(serie), "--chave",
                               str(throwaway_key(signed_build)), "--certificado", str(certificate),
                               "--chave-codigo", str(key)], check=True, capture_output=True, text=True).stderr

    sign(1)

    exes = sorted(path.name for path in release.glob("*.exe"))
    assert UPDATER in exes and "wget.exe" in exes
    digests = manifest_digests(release)
    for name in exes:
        verify = subprocess.run(["osslsigncode", "verify", "-in", str(release / name), "-CAfile", str(ca)],
                                capture_output=True, text=True)
        assert verify.returncode == 0, f"{name}: {verify.stdout}{verify.stderr}"
        assert digests[name] == hashlib.sha256((release / name).read_bytes()).hexdigest(), name
    assert digests[UPDATER] != unsigned, "the manifest lists the exe as signed, not as built"
    # Signing again keeps each exe's signature and bytes.
    again = sign(2)
    assert again.count("is Authenticode-signed already; left as it is") == len(exes), again
    assert manifest_digests(release) == digests

    # The checker over the signed release, one exe spoiled after signing.
    change_one_byte(release / "wget.exe", offset=4096)
    checked = check_release(str(release), signed_build, ca=ca, prefix=check_prefix)
    assert checked.returncode == 1, checked.stdout + checked.stderr
    assert "assinatura válida, serie 2" in checked.stdout and "wget.exe: DIFERE" in checked.stdout
    assert f"{UPDATER}: signed, verified (/CN=Zunaveri Teste Codigo)" in checked.stdout, checked.stdout
    assert "wget.exe: SIGNATURE BROKEN" in checked.stdout, checked.stdout


def prompted_check(url: str, build: Path, password: str, prefix: Path) -> tuple[int, str]:
    """scripts/release check on a terminal, typing the password when asked; (exit code, terminal text)."""
    main, terminal = pty.openpty()
    process = subprocess.Popen([str(RELEASE_SCRIPT), "check", "--build", str(build), url], stdin=terminal,
                               stdout=terminal, stderr=terminal, env=check_environment(prefix=prefix))
    os.close(terminal)
    seen = b""
    answered = False
    while True:
        ready, _, _ = select.select([main], [], [], 120)
        if not ready:
            process.kill()
            raise AssertionError(f"check stalled; the terminal showed: {seen!r}")
        try:
            chunk = os.read(main, 4096)
        except OSError:  # the terminal closed: check has ended
            break
        if not chunk:
            break
        seen += chunk
        if not answered and b"FTP password" in seen:
            os.write(main, password.encode() + b"\n")
            answered = True
    os.close(main)
    return process.wait(timeout=60), seen.decode(errors="replace")


def test_check_over_ftp_takes_the_password_from_the_environment_or_a_prompt(signed_build, check_prefix):
    server = ReleaseServer(signed_build)
    try:
        url = f"ftp://{server.user}@127.0.0.1:{server.port}/public_html/instalador-zunaveri/"
        from_environment = check_release(url, signed_build, ftp_password=server.password, prefix=check_prefix)
        assert from_environment.returncode == 0, from_environment.stdout + from_environment.stderr
        assert f"{PACKAGE}: ok" in from_environment.stdout and "warning" not in from_environment.stderr

        code, shown = prompted_check(url, signed_build, server.password, check_prefix)
        assert code == 0 and f"{PACKAGE}: ok" in shown, shown
        assert server.password not in shown, "the typed password is not echoed"

        nothing = check_release(url, signed_build, prefix=check_prefix)
        assert nothing.returncode == 2 and "no FTP password" in nothing.stderr, nothing.stderr

        inline = url.replace("@", f":{server.password}@", 1)
        warned = check_release(inline, signed_build, prefix=check_prefix)
        assert warned.returncode == 0 and "warning: the FTP password stands on this command line" in warned.stderr
        assert server.password not in warned.stdout + warned.stderr
    finally:
        server.close()


PLANTED_BCRYPT = r"""
#include <windows.h>
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance; (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        CloseHandle(CreateFileA("C:\\planted-bcrypt-loaded", GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL));
    }
    return TRUE;
}
long refuse(void) { return (long)0xC00000BBL; }
"""
BCRYPT_NAMES = ["BCryptOpenAlgorithmProvider", "BCryptCloseAlgorithmProvider", "BCryptCreateHash", "BCryptHashData",
                "BCryptFinishHash", "BCryptDestroyHash", "BCryptImportKeyPair", "BCryptVerifySignature",
                "BCryptDestroyKey"]


def test_a_bcrypt_dll_beside_the_checker_is_never_loaded(signed_build, tmp_path, check_prefix):
    folder = tmp_path / "pasta"
    folder.mkdir()
    (tmp_path / "bcrypt.c").write_text(PLANTED_BCRYPT)
    (tmp_path / "bcrypt.def").write_text("LIBRARY bcrypt.dll\nEXPORTS\n"
                                         + "".join(f"{name}=refuse\n" for name in BCRYPT_NAMES))
    subprocess.run(["x86_64-w64-mingw32-gcc", "-shared", "-o", str(folder / "bcrypt.dll"), str(tmp_path / "bcrypt.c"),
                    str(tmp_path / "bcrypt.def")], check=True, capture_output=True)
    shutil.copy(signed_build / "verificar_versao.exe", folder)
    release = "Z:" + str(signed_build / "sample-release").replace("/", "\\")

    def checker(bcrypt_order: str) -> tuple[int, str]:
        env = dict(check_environment(prefix=check_prefix), WINEPREFIX=str(check_prefix), WINEDEBUG="-all",
                   WINEDLLOVERRIDES=f"bcrypt={bcrypt_order};mscoree,mshtml=;winemenubuilder.exe=d")
        run = subprocess.run([str(WINE64_LOADER), str(folder / "verificar_versao.exe"), release], capture_output=True,
                             env=env, cwd=folder, stdin=subprocess.DEVNULL, timeout=300)
        return run.returncode, run.stdout.decode("utf-8", errors="replace")

    # A native bcrypt.dll first, as Windows takes a library it finds beside the exe.
    code, output = checker("n,b")
    assert not (check_prefix / "drive_c" / "planted-bcrypt-loaded").exists(), "the planted bcrypt.dll was loaded"
    assert code == 0 and "assinatura válida" in output, output
    # No bcrypt.dll at all: the release is refused, never passed.
    code, output = checker("")
    assert code == 1 and "manifesto_zunaveri.txt: RECUSADO" in output, output

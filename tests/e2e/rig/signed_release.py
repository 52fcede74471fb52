"""Releases signed as a publisher signs them (scripts/release sign, with the
throwaway key of the windows-signed build), and the ways the tests spoil
them. The exe of that build trusts only what its size list (MANIFEST here) lists."""

from __future__ import annotations

import os
import re
import subprocess
from pathlib import Path
from typing import Callable, Optional, Union

REPOSITORY = Path(__file__).resolve().parents[3]
RELEASE_SCRIPT = REPOSITORY / "scripts" / "release"
# The pair the keyed tool reads: each file's digest and signed length.
MANIFEST = "manifesto_zunaveri_tamanhos.txt"
SIGNATURE = "manifesto_zunaveri_tamanhos.sig"
# The pair updaters already in the field read (digests only), signed beside it.
FIELD_MANIFEST = "manifesto_zunaveri.txt"
FIELD_SIGNATURE = "manifesto_zunaveri.sig"
# The applied serial: HKLM, value SerieAplicada (REG_QWORD); earlier builds kept it in a file.
SERIAL_KEY = "HKEY_LOCAL_MACHINE\\Software\\Zunaveri"
LEGACY_SERIAL_FILE = "C:\\xampp\\serie_zunaveri"
OLDER_SERIAL = "a versão do servidor é mais antiga que a já aplicada neste computador"
MANIFEST_REFUSED = "manifesto da versão ausente ou com assinatura inválida"
DIFFERS = "difere do manifesto da versão"


def throwaway_key(build: Path) -> Path:
    """The private half of the windows-signed build's throwaway key pair."""
    return build / "chave-de-teste-descartavel" / "chave_privada.pem"


def sign(folder: Path, build: Path, serie: int) -> None:
    subprocess.run([str(RELEASE_SCRIPT), "sign", str(folder), "--serie", str(serie), "--chave",
                    str(throwaway_key(build))], check=True, capture_output=True)


def sign_edited_list(folder: Path, build: Path, edit: Callable[[str], str]) -> None:
    """Rewrites the size list through EDIT and signs it again with the build's key: a list the
    publisher's key vouches for that says something other than the files."""
    listed = folder / MANIFEST
    listed.write_text(edit(listed.read_text(encoding="ascii")), encoding="ascii")
    subprocess.run(["openssl", "dgst", "-sha256", "-sign", str(throwaway_key(build)), "-out", str(folder / SIGNATURE),
                    str(listed)], check=True, capture_output=True)


def change_one_byte(path: Path, offset: int = -1) -> None:
    data = bytearray(path.read_bytes())
    data[offset] ^= 0x01
    path.write_bytes(bytes(data))


def refusal(name: str, reason: str) -> str:
    """The start of a step's error line for a refused file."""
    return f'Houve um erro nessa etapa: O arquivo "{name}" não foi usado: {reason}'


def check_environment(ftp_password: Optional[str] = None, prefix: Optional[Path] = None) -> dict[str, str]:
    """The environment of scripts/release check: an FTP password goes in ZUNAVERI_FTP_SENHA, as a
    publisher's script passes it; prefix is a Wine prefix of the caller's own for the checker."""
    env = {k: v for k, v in os.environ.items() if k not in ("ZUNAVERI_FTP_SENHA", "ZUNAVERI_CHECK_WINEPREFIX")}
    if ftp_password is not None:
        env["ZUNAVERI_FTP_SENHA"] = ftp_password
    if prefix is not None:
        env["ZUNAVERI_CHECK_WINEPREFIX"] = str(prefix)
    return env


def check_release(target: str, build: Path, ftp_password: Optional[str] = None, ca: Optional[Path] = None,
                  prefix: Optional[Path] = None) -> subprocess.CompletedProcess:
    """scripts/release check on a folder or an ftp:// URL, with the build's checker (see check_environment)."""
    env = check_environment(ftp_password, prefix)
    options = ["--ca", str(ca)] if ca else []
    return subprocess.run([str(RELEASE_SCRIPT), "check", "--build", str(build), *options, target],
                          capture_output=True, text=True, timeout=300, env=env, stdin=subprocess.DEVNULL)


def _regedit(session, *args: str) -> int:
    return session.wine("C:\\windows\\regedit.exe", *args).wait(timeout=60)


def record_serial(session, value: Union[int, str]) -> None:
    """Records VALUE as the tool does (an int: REG_QWORD), or a spoiled record (a str: REG_SZ)."""
    if isinstance(value, int):
        data = "hex(b):" + ",".join(f"{byte:02x}" for byte in value.to_bytes(8, "little"))
    else:
        data = f'"{value}"'
    reg = session.tmp / "serie.reg"
    reg.write_text(f'REGEDIT4\r\n\r\n[{SERIAL_KEY}]\r\n"SerieAplicada"={data}\r\n')
    assert _regedit(session, "/s", session.windows_path(reg)) == 0


def applied_serial(session) -> Optional[int]:
    """The serial the tool recorded, or None when there is no REG_QWORD record."""
    exported = session.tmp / "serie-lida.reg"
    exported.unlink(missing_ok=True)
    _regedit(session, "/e", session.windows_path(exported), SERIAL_KEY)
    if not exported.exists():
        return None
    match = re.search(r'"SerieAplicada"=hex\(b\):([0-9a-f,]+)', exported.read_bytes().decode("utf-16"))
    return int.from_bytes(bytes.fromhex(match.group(1).replace(",", "")), "little") if match else None

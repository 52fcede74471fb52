"""Releases signed as a publisher signs them (scripts/release sign, with the
throwaway key of the windows-signed build), and the ways the tests spoil
them. The exe of that build trusts only what its manifest lists."""

from __future__ import annotations

import re
import subprocess
from pathlib import Path
from typing import Optional, Union

REPOSITORY = Path(__file__).resolve().parents[3]
RELEASE_SCRIPT = REPOSITORY / "scripts" / "release"
MANIFEST = "manifesto_zunaveri.txt"
SIGNATURE = "manifesto_zunaveri.sig"
# The applied serial: HKLM, value SerieAplicada (REG_QWORD); earlier builds kept it in a file.
SERIAL_KEY = "HKEY_LOCAL_MACHINE\\Software\\Zunaveri"
LEGACY_SERIAL_FILE = "C:\\xampp\\serie_zunaveri"
OLDER_SERIAL = "a versão do servidor é mais antiga que a já aplicada neste computador"
MANIFEST_REFUSED = "manifesto da versão ausente ou com assinatura inválida"
DIFFERS = "difere do manifesto da versão"


def sign(folder: Path, build: Path, serie: int) -> None:
    subprocess.run([str(RELEASE_SCRIPT), "sign", str(folder), "--serie", str(serie), "--chave",
                    str(build / "release-key" / "chave_privada.pem")], check=True, capture_output=True)


def change_one_byte(path: Path, offset: int = -1) -> None:
    data = bytearray(path.read_bytes())
    data[offset] ^= 0x01
    path.write_bytes(bytes(data))


def refusal(name: str, reason: str) -> str:
    """The start of a step's error line for a refused file."""
    return f'Houve um erro nessa etapa: O arquivo "{name}" não foi usado: {reason}'


def check_release(target: str, build: Path) -> subprocess.CompletedProcess:
    """scripts/release check on a folder or an ftp:// URL, with the build's checker."""
    return subprocess.run([str(RELEASE_SCRIPT), "check", "--build", str(build), target], capture_output=True,
                          text=True, timeout=300)


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

"""Releases signed as a publisher signs them (scripts/release sign, with the
throwaway key of the windows-signed build), and the ways the tests spoil
them. The exe of that build trusts only what its manifest lists."""

from __future__ import annotations

import subprocess
from pathlib import Path

REPOSITORY = Path(__file__).resolve().parents[3]
RELEASE_SCRIPT = REPOSITORY / "scripts" / "release"
MANIFEST = "manifesto_zunaveri.txt"
SIGNATURE = "manifesto_zunaveri.sig"
APPLIED_SERIAL = "C:\\xampp\\serie_zunaveri"
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

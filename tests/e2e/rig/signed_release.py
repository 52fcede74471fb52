"""Releases signed as a publisher signs them (scripts/release sign, with the
throwaway key of the windows-signed build), and the ways the tests spoil
them. The exe of that build trusts only what its manifest lists."""

from __future__ import annotations

import os
import subprocess
from pathlib import Path
from typing import Optional

REPOSITORY = Path(__file__).resolve().parents[3]
RELEASE_SCRIPT = REPOSITORY / "scripts" / "release"
MANIFEST = "manifesto_zunaveri.txt"
SIGNATURE = "manifesto_zunaveri.sig"
APPLIED_SERIAL = "C:\\xampp\\serie_zunaveri"
MANIFEST_REFUSED = "manifesto da versão ausente ou com assinatura inválida"
DIFFERS = "difere do manifesto da versão"


def throwaway_key(build: Path) -> Path:
    """The private half of the windows-signed build's throwaway key pair."""
    return build / "chave-de-teste-descartavel" / "chave_privada.pem"


def sign(folder: Path, build: Path, serie: int) -> None:
    subprocess.run([str(RELEASE_SCRIPT), "sign", str(folder), "--serie", str(serie), "--chave",
                    str(throwaway_key(build))], check=True, capture_output=True)


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

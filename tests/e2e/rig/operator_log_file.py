"""The operator's log as the tests read it: C:\\ProgramData\\Zunaveri\\instalador.log
of a session's prefix, checked line by line against the format every line
must have (UTF-8, CR LF, date and time, [pid], mode, text)."""

from __future__ import annotations

import re
import shutil
from dataclasses import dataclass
from pathlib import Path
from urllib.parse import quote

from .wine_rig import WineSession

LOG = "C:\\ProgramData\\Zunaveri\\instalador.log"
SIZE_LIMIT = 1024 * 1024
LINE = re.compile(r"(\d{4}-\d\d-\d\d \d\d:\d\d:\d\d) \[(\d+)\] (instalacao|atualizacao) (.*)")
REPEAT = re.compile(r"mesmo resultado (\d+) vezes: (.*)")


@dataclass(frozen=True)
class Entry:
    time: str
    pid: int
    mode: str
    text: str


def log_path(session: WineSession, rotated: bool = False) -> Path:
    return session.unix_path(LOG + (".1" if rotated else ""))


def entries(session: WineSession, rotated: bool = False) -> list[Entry]:
    """Every line of the log (or of its rotated copy); fails on a line that is not whole."""
    path = log_path(session, rotated)
    data = path.read_bytes() if path.exists() else b""
    assert data == b"" or data.endswith(b"\r\n"), f"{path} does not end with a whole line"
    found = []
    for line in data.split(b"\r\n")[:-1]:
        match = LINE.fullmatch(line.decode("utf-8"))
        assert match, f"not a log line: {line!r}"
        found.append(Entry(match[1], int(match[2]), match[3], match[4]))
    return found


def texts(session: WineSession) -> list[str]:
    return [entry.text for entry in entries(session)]


def assert_no_secret(session: WineSession, *passwords: str) -> None:
    """No password, as typed or as percent-encoded in a URL, in the log or its rotated copy."""
    for rotated in (False, True):
        path = log_path(session, rotated)
        data = path.read_bytes() if path.exists() else b""
        for password in passwords:
            for form in {password, quote(password, safe="-._~")}:
                assert form.encode("utf-8") not in data, f"{form!r} is in {path}"


def keep_sample(session: WineSession, name: str) -> Path:
    """A copy of the log among the test's artifacts."""
    session.artifacts.mkdir(parents=True, exist_ok=True)
    target = session.artifacts / name
    shutil.copyfile(log_path(session), target)
    return target

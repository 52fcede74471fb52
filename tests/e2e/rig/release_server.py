"""The sample release over FTP, as the tool sees its server in the tests:
a real pyftpdlib server on 127.0.0.1 serving public_html/instalador-zunaveri/
with the build's default user and password, and the settings a WineSession
needs so that the wget.exe stand-in reaches it (real GNU wget behind it).

Test modules use the fixture `release_server` (import it by name)."""

from __future__ import annotations

import shutil
import signal
import subprocess
import tempfile
from pathlib import Path
from typing import Optional

import pytest

from .wine_rig import RigError, WineSession, ends_with_parent, read_line
from .zunaveri_tool import DEFAULT_USER, BuildSettings

E2E = Path(__file__).resolve().parents[1]
FTP_SERVER = Path(__file__).resolve().parent / "ftp_server.py"
WGET_HELPER = E2E / "standins" / "wget_helper.py"
REMOTE_FOLDER = Path("public_html") / "instalador-zunaveri"
PYTHON = "/usr/bin/python3"


class ReleaseServer:
    """An FTP server over a private copy of the sample release."""

    def __init__(self, windows_build: Path, user: str = DEFAULT_USER, password: Optional[str] = None,
                 throttle: int = 0):
        self.windows_build = windows_build
        self.user = user
        self.password = password if password is not None else BuildSettings.of(windows_build).ftp_password
        self.throttle = throttle
        self.shapes: dict[str, str] = {}
        self.root = Path(tempfile.mkdtemp(prefix="zn-ftp-", dir="/tmp"))
        self.folder = self.root / REMOTE_FOLDER
        shutil.copytree(windows_build / "sample-release", self.folder)
        self.process: Optional[subprocess.Popen] = None
        self.port: Optional[int] = None
        self.start()

    def start(self, port: Optional[int] = None) -> None:
        command = [PYTHON, str(FTP_SERVER), "--root", str(self.root), "--user", self.user,
                   "--password", self.password, "--port", str(port or 0)]
        if self.throttle:
            command += ["--throttle", str(self.throttle)]
        for name, how in self.shapes.items():
            command += ["--shape", f"{name}={how}"]
        self.process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                        preexec_fn=ends_with_parent)
        try:
            line = read_line(self.process.stdout, 60, "the FTP server to tell its port").decode()
            if not line.startswith("PORT "):
                raise RigError("the FTP server did not start")
        except BaseException:
            self.process.kill()
            self.process.wait()
            raise
        self.port = int(line.split()[1])

    def stop(self) -> None:
        """Stops the server at once, cutting off any transfer under way."""
        if self.process is not None and self.process.poll() is None:
            self.process.send_signal(signal.SIGKILL)
            self.process.wait(timeout=10)

    def serve_shaped(self, **shapes: str) -> None:
        """Serves files at a chosen pace from now on, on the same port: by name,
        "endless:RATE" (its bytes, then zeros without end, RATE bytes per
        second) or "drip:SECONDS" (a byte every SECONDS); see ftp_server.py."""
        self.stop()
        self.shapes = shapes
        self.start(self.port)

    def file(self, name: str) -> Path:
        return self.folder / name

    def publish(self, name: str, content: bytes) -> None:
        self.file(name).write_bytes(content)

    def connect(self, session: WineSession) -> None:
        """Makes the wget.exe stand-in of this session talk to this server.
        Call before the session's probe starts the tool (the tool passes its
        environment to wget.exe)."""
        session.env["ZUNAVERI_WGET_HELPER"] = str(WGET_HELPER)
        session.env["ZUNAVERI_FTP_PORT"] = str(self.port)

    def close(self) -> None:
        self.stop()
        shutil.rmtree(self.root, ignore_errors=True)


@pytest.fixture
def release_server(windows_build):
    """The sample release served with the build's default credentials."""
    server = ReleaseServer(windows_build)
    yield server
    server.close()


def wget_calls(session: WineSession) -> list[list[str]]:
    """The argument lists the wget.exe stand-in received, in order."""
    import json

    record = session.drive_c / "zunaveri-wget.log"
    if not record.exists():
        return []
    return [json.loads(line) for line in record.read_text(encoding="utf-8").splitlines()
            if line.startswith("[")]


def wget_command_lines(session: WineSession) -> list[str]:
    """The raw command lines wget.exe was started with, in order."""
    record = session.drive_c / "zunaveri-wget.log"
    if not record.exists():
        return []
    return [line[len("line: "):] for line in record.read_text(encoding="utf-8").splitlines()
            if line.startswith("line: ")]


def wget_startup_files(session: WineSession) -> list[str]:
    """For each run of wget.exe, the start-up file it read as GNU wget for Windows
    reads one ("nenhum" for none), in order."""
    record = session.drive_c / "zunaveri-wget.log"
    if not record.exists():
        return []
    return [line[len("wgetrc: "):] for line in record.read_text(encoding="utf-8").splitlines()
            if line.startswith("wgetrc: ")]


def unix_wget_running(server: ReleaseServer, name: str) -> bool:
    """Whether a real wget that a wget.exe stand-in started for a remote file of this name
    runs against this server (tests side by side fetch files of the same names)."""
    remote = f"127.0.0.1:{server.port}/".encode()
    for cmdline in Path("/proc").glob("[0-9]*/cmdline"):
        try:
            args = cmdline.read_bytes().split(b"\0")
        except OSError:
            continue
        if Path(args[0].decode(errors="replace")).name == "wget" and any(
                remote in arg and arg.endswith(b"/" + name.encode()) for arg in args):
            return True
    return False


def standin_runs(session: WineSession) -> list[str]:
    """The lines the stand-in programs recorded, in order ("start NAME ARGS", "end NAME")."""
    record = session.drive_c / "zunaveri-standins.log"
    if not record.exists():
        return []
    return [line.strip() for line in record.read_text(encoding="utf-8", errors="replace").splitlines()
            if line.strip()]

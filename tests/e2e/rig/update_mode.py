"""A customer PC on which the application is installed, for the tests of
update mode: C:\\xampp\\htdocs\\ as the application package leaves it, with
the customer's own logo and photo, the wget.exe stand-in and the tool itself
beside it as C:\\xampp\\instalador_zunaveri.exe, started with "/atualizar"
exactly as a scheduled task starts it.

Whether the check finds an update is decided by the file times of the two
update markers: the fetched copy is stamped with the download time, so an
installed marker dated far in the future makes an update due and one dated
far in the past does not."""

from __future__ import annotations

import os
import random
import re
import subprocess
import time
from pathlib import Path
from typing import Callable, Optional

from .wine_rig import ProbeError, WineSession, wait_until
from .zunaveri_tool import CRONOMETRO, RunningTool, clock_ticks

TOOL = "C:\\xampp\\instalador_zunaveri.exe"
# A keyed build's updater and wget.exe live in its home, where only administrators write.
HOME = "C:\\Program Files\\Zunaveri"
HOME_TOOL = HOME + "\\instalador_zunaveri.exe"
HOME_WGET = HOME + "\\wget.exe"
HTDOCS = "C:\\xampp\\htdocs"
ENV_FILE = "C:\\xampp\\htdocs\\.env"
LOGO = "C:\\xampp\\htdocs\\assets\\img\\brand\\logo.png"
PHOTO = "C:\\xampp\\htdocs\\assets\\img\\theme\\foto-principal-empresa.jpg"
SAVED_LOGO = "C:\\xampp\\logo.png"
SAVED_PHOTO = "C:\\xampp\\foto-principal-empresa.jpg"
ADDRESS_FILE = "C:\\xampp\\ip_configurado"
INSTALLED_MARKER = "C:\\xampp\\htdocs\\ultima_atualizacao.txt"
FETCHED_MARKER = "C:\\windows\\temp\\ultima_atualizacao.txt"
LEFTOVER_UPDATE = "C:\\windows\\temp\\zunaveri-digital-atualizacao.exe"
# What the sweep at the end of an update removes from the temporary folder.
SWEPT_NAMES = ["zunaveri-digital.exe", "ultima_atualizacao.txt", "atualizacao_zunaveri.xml", "importar_dados.bat",
               "httpd.configurado", "fbclient.dll", "gds32.dll", "instalador_zunaveri.exe", "zunaveri.sql"]
# The temporary files an update fetches; the others of the sweep are left
# there by earlier runs.
FETCHED_BY_UPDATE = ["ultima_atualizacao.txt", "zunaveri-digital.exe", "zunaveri.sql", "importar_dados.bat"]

MARK = "00:15:1"
MARK_TICKS = 901
ADDRESS_TOKEN = b"#IP_DO_SERVIDOR"
EARLIER_BASE_URL = b"app.baseURL = 'http://10.0.0.99:8090/'"

PACKAGE = "zunaveri-digital.exe"
IMPORT_SCRIPT = "importar_dados.bat"

DAY = 24 * 3600


def base_url_line(address: bytes) -> bytes:
    return b"app.baseURL = 'http://" + address + b":8090/'"


def customer_image(name: str, size: int) -> bytes:
    """Bytes that no package brings: a binary body with NUL, CR, LF and high bytes."""
    generator = random.Random(name)
    return b"\x89PNG\r\n\x1a\n" + name.encode() + bytes(generator.randrange(256) for _ in range(size))


CUSTOMER_LOGO = customer_image("logo do cliente", 3000)
CUSTOMER_PHOTO = customer_image("foto do cliente", 5000)

INSTALLED_ENV = (b"CI_ENVIRONMENT = production\r\n" + EARLIER_BASE_URL + b"\r\n"
                 b"database.default.hostname = localhost\r\n")


class InstalledPC:
    """The installed application and the tool in one WineSession."""

    def __init__(self, session: WineSession, tool_exe: Path, address_file: Optional[bytes] = b"10.20.30.40",
                 home: bool = False):
        """home: the updater and wget.exe in the updater's home, as a keyed installation places them."""
        self.session = session
        self.tool_exe = tool_exe
        self.tool = HOME_TOOL if home else TOOL
        self.put(LOGO, CUSTOMER_LOGO)
        self.put(PHOTO, CUSTOMER_PHOTO)
        self.put(ENV_FILE, INSTALLED_ENV)
        self.put(HTDOCS + "\\index.php", b"<?php echo 'Zunaveri Digital';\r\n")
        self.put(INSTALLED_MARKER, b"atualizacao instalada\r\n")
        if address_file is not None:
            self.put(ADDRESS_FILE, address_file)
        folder = HOME if home else "C:\\xampp"
        session.install(session.windows_build / "sample-release" / "wget.exe", folder)
        session.install(tool_exe, folder, "instalador_zunaveri.exe")

    # Files ------------------------------------------------------------------
    def path(self, windows_path: str) -> Path:
        return self.session.unix_path(windows_path)

    def put(self, windows_path: str, content: bytes) -> None:
        target = self.path(windows_path)
        target.parent.mkdir(parents=True, exist_ok=True)
        target.write_bytes(content)

    def read(self, windows_path: str) -> Optional[bytes]:
        target = self.path(windows_path)
        return target.read_bytes() if target.exists() else None

    def exists(self, windows_path: str) -> bool:
        return self.path(windows_path).exists()

    def temporary(self, name: str) -> str:
        return "C:\\windows\\temp\\" + name

    def snapshot(self) -> dict[str, tuple[bytes, int]]:
        """Content and modification time of every file under C:\\xampp."""
        root = self.path("C:\\xampp")
        return {str(path.relative_to(root)): (path.read_bytes(), path.stat().st_mtime_ns)
                for path in sorted(root.rglob("*")) if path.is_file()}

    # The decision ----------------------------------------------------------------
    def date_installed_marker(self, seconds_from_now: float) -> None:
        stamp = time.time() + seconds_from_now
        os.utime(self.path(INSTALLED_MARKER), (stamp, stamp))

    def make_update_due(self) -> None:
        self.date_installed_marker(+30 * DAY)

    def make_no_update_due(self) -> None:
        self.date_installed_marker(-3650 * DAY)

    # Running ------------------------------------------------------------------
    def start(self) -> RunningTool:
        """Starts the tool as the scheduled task does: its path, quoted, and " /atualizar"."""
        return RunningTool(self.session, self.session.launch(f'"{self.tool}" /atualizar'))


def pending_restart_renames(session: WineSession) -> list[tuple[str, str]]:
    """The renames scheduled for the next restart (PendingFileRenameOperations), as
    (source, target) pairs; read from the prefix's registry file, so only while no
    Wine process runs in it."""
    text = (session.prefix / "system.reg").read_text(encoding="utf-8", errors="replace")
    match = re.search(r'^"PendingFileRenameOperations"=str\(7\):"(.*)"$', text, re.M)
    if not match:
        return []
    # The file's escapes: a backslash and "0" for NUL, a backslash before any other character for it.
    value = re.sub(r"\\(.)", lambda escape: "\0" if escape[1] == "0" else escape[1], match.group(1))
    names = value.split("\0")
    while len(names) % 2:
        names.pop()
    return list(zip(names[0::2], names[1::2]))


def schedule_restart_renames(session: WineSession, renames: list[tuple[str, str]]) -> None:
    """Sets the list of renames for the next restart as MoveFileExW leaves it (target
    "!\\??\\PATH" for one that replaces). Written into the running registry: the first
    Wine process of a prefix is its boot, which carries out what the list holds."""
    session.probe  # keeps the prefix's server running from here on
    data = "\\0".join(name for rename in renames for name in rename)
    session.wine("reg", "add", "HKLM\\System\\CurrentControlSet\\Control\\Session Manager", "/v",
                 "PendingFileRenameOperations", "/t", "REG_MULTI_SZ", "/d", data, "/f").wait(timeout=60)


def restart_windows(session: WineSession) -> list[tuple[str, str]]:
    """What a restart does to the PC: every program ends, then wineboot -r carries out
    the renames scheduled for the restart, as Windows does at boot. Returns the renames
    that were scheduled."""
    session.kill_wine()
    scheduled = pending_restart_renames(session)
    session.wine("wineboot", "-r").wait(timeout=180)
    subprocess.run(["wineserver", "-w"], env=session.env, timeout=180, check=False)
    return scheduled


class ClockWatch:
    """Reads the hidden clock of one running tool over and over, keeping
    every reading, so a test can see it count, stop at the mark and fall back."""

    def __init__(self, tool: RunningTool):
        self.tool = tool
        main = tool.wait_main_window(visible=False)
        self.label = tool.control(main, CRONOMETRO)["hwnd"]
        self.readings: list[tuple[float, str]] = []

    def _text(self) -> str:
        try:
            caption = self.tool.probe.text(self.label)
        except ProbeError:
            caption = None
        if caption is None or clock_ticks(caption) is None:
            raise AssertionError(f"no clock text ({caption!r}); tool alive: {self.tool.alive()}, "
                                 f"message boxes: {self.tool.probe.message_boxes()}")
        return caption

    def read(self) -> str:
        caption = self._text()
        if self.readings and clock_ticks(caption) < clock_ticks(self.readings[-1][1]):
            # The probe asks for the text's length and then for the text: a
            # tick between the two that makes the text longer ("00:00:9" to
            # "00:00:10") cuts the reading short ("00:00:1"). Such a reading
            # looks like a fall; a second reading tells it from a real one.
            again = self._text()
            if clock_ticks(again) >= clock_ticks(self.readings[-1][1]):
                caption = again
        self.readings.append((time.monotonic(), caption))
        return caption

    def ticks(self) -> int:
        return clock_ticks(self.read())

    def until(self, condition: Callable[[str], bool], timeout: float, what: str) -> str:
        """Reads until condition(caption) holds; returns that caption."""
        found = []

        def reached() -> bool:
            caption = self.read()
            if condition(caption):
                found.append(caption)
            return bool(found)

        wait_until(reached, timeout, interval=0.02, what=what)
        return found[0]

    def watch(self, seconds: float) -> list[str]:
        """The captions read during the next few seconds."""
        start = len(self.readings)
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            self.read()
            time.sleep(0.02)
        return [caption for _, caption in self.readings[start:]]

    def falls(self, since: int = 0) -> list[tuple[str, str]]:
        """The pairs of consecutive readings (from index since) where the clock went back."""
        captions = [caption for _, caption in self.readings[since:]]
        return [(before, after) for before, after in zip(captions, captions[1:])
                if clock_ticks(after) < clock_ticks(before)]

    def mark(self) -> int:
        """An index into the readings, for falls(since=...)."""
        return len(self.readings)


# A keyed build's registration with Windows: Wine's Task Scheduler keeps a
# registered task as this file (without its triggers or actions), and the
# entry among the installed programs lives in the 64-bit registry view.
TASK_NAME = "ZunaveriAtualizacao"
TASK_FILE = "C:\\windows\\system32\\tasks\\" + TASK_NAME
UNINSTALL_KEY = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ZunaveriAtualizador"


def task_names(session: WineSession) -> list[str]:
    folder = session.unix_path("C:\\windows\\system32\\tasks")
    return sorted(path.name for path in folder.iterdir()) if folder.is_dir() else []


def uninstall_entry(session: WineSession) -> Optional[dict[str, str]]:
    """The entry's values as `reg query /reg:64` prints them (name: data), or None without the key."""
    query = session.wine("C:\\windows\\system32\\reg.exe", "query", UNINSTALL_KEY, "/reg:64",
                         stdout=subprocess.PIPE)
    output = query.communicate(timeout=60)[0].decode("utf-8", errors="replace")
    if query.returncode != 0:
        return None
    values = re.findall(r"^\s+(\S+)\s+REG_\w+\s+(.*?)\s*$", output, re.M)
    return dict(values)

"""Runs the real Windows programs under Wine and Xvfb for the end-to-end tests.

Pieces, from the outside in:

- Display: one private Xvfb server.
- PrefixTemplate: a Wine prefix made once with ``wineboot -i`` and prepared
  for the tests (Wine's own fonts, a virtual desktop so that Wine draws the
  title bars itself, no crash dialog, no game-controller polling); kept in
  a cache folder and shared by every test process through a lock.
- WineSession: one test's private copy of the template, with its own
  TMPDIR (where wineserver keeps its socket), its own virtual desktop name
  and DPI; runs programs in it, drives them through the probe, takes
  screenshots, and stops everything it started at the end.
- Probe: a client of ``probe.exe serve`` (tests/e2e/tools), one JSON answer
  per command.
"""

from __future__ import annotations

import ctypes
import fcntl
import itertools
import json
import os
import queue
import re
import select
import shutil
import signal
import subprocess
import tempfile
import threading
import time
from pathlib import Path
from typing import Callable, Iterable, Optional

# Bump when the way templates are prepared changes: old caches are not reused.
TEMPLATE_REVISION = "2"
SCREEN_WIDTH = 1280
SCREEN_HEIGHT = 1024
WINE_FONTS = Path("/usr/share/wine/fonts")
# Debian's loaders: the 32-bit one (package wine32:i386) and the 64-bit one.
# The "wine" wrapper and Wine's tools (wineboot, regedit...) prefer the
# 32-bit loader whenever its file is executable, yet some kernels cannot run
# 32-bit programs at all ("Exec format error"): the rig never goes through
# the wrapper, and finds out what runs by running it.
WINE32_LOADER = Path("/usr/lib/wine/wine")
WINE64_LOADER = Path("/usr/lib/wine/wine64")
# Keeps Wine from looking for Mono and Gecko (nothing can be downloaded) and
# from writing desktop menu entries for the programs it runs.
DLL_OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"


class RigError(RuntimeError):
    pass


def wait_until(condition: Callable[[], object], timeout: float, interval: float = 0.1,
               what: str = "condition"):
    """Polls until condition() gives a true value and returns it."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise TimeoutError(f"timed out after {timeout:.1f} s waiting for {what}")
        time.sleep(interval)


def wait_for_change(read: Callable[[], object], old: object, timeout: float, what: str = "a change"):
    """Polls read() until it gives something other than old, and returns that."""
    box = []

    def changed():
        value = read()
        if value != old:
            box.append(value)
            return True
        return False

    wait_until(changed, timeout, interval=0.05, what=what)
    return box[-1]


def read_line(stream, timeout: float, what: str) -> bytes:
    """One line from a child's pipe, waiting at most timeout seconds for it."""
    fd = stream if isinstance(stream, int) else stream.fileno()
    deadline = time.monotonic() + timeout
    line = b""
    while not line.endswith(b"\n"):
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([fd], [], [], left)[0]:
            raise TimeoutError(f"timed out after {timeout:.1f} s waiting for {what}")
        chunk = os.read(fd, 1)
        if not chunk:
            break
        line += chunk
    return line


def mul_div(value: int, numerator: int, denominator: int) -> int:
    """value * numerator / denominator rounded half away from zero, as Win32 MulDiv."""
    product = value * numerator
    magnitude = (abs(product) + denominator // 2) // denominator
    return magnitude if product >= 0 else -magnitude


def twips_to_pixels(twips: int, dpi: int) -> int:
    return mul_div(twips, dpi, 1440)


def font_height(points: float, dpi: int) -> int:
    """LOGFONT height (negative: character height) of a size in points."""
    return -mul_div(round(points * 100), dpi, 7200)


_loader_answers: dict[Path, Optional[str]] = {}


def loader_version(loader: Path) -> Optional[str]:
    """What ``LOADER --version`` prints when the loader runs on this machine, else None.
    Asked once per process."""
    if loader not in _loader_answers:
        try:
            done = subprocess.run([str(loader), "--version"], capture_output=True, text=True, timeout=60,
                                  env=dict(os.environ, WINEDEBUG="-all"))
            answer = done.stdout.strip() if done.returncode == 0 and done.stdout.strip() else None
        except (OSError, subprocess.TimeoutExpired):
            answer = None
        _loader_answers[loader] = answer
    return _loader_answers[loader]


def can_run_32bit() -> bool:
    """Whether this machine's Wine can run 32-bit Windows programs: its 32-bit
    loader is there and runs."""
    return loader_version(WINE32_LOADER) is not None


def why_not_32bit() -> str:
    if not WINE32_LOADER.exists():
        return f"this Wine cannot run 32-bit programs: {WINE32_LOADER} is missing (Debian package wine32:i386)"
    return f"this Wine cannot run 32-bit programs: {WINE32_LOADER} is installed but does not run on this kernel"


def wine_tool_loader() -> str:
    """The loader for Wine's own tools and 64-bit programs: the 64-bit one, when it runs."""
    if loader_version(WINE64_LOADER) is not None:
        return str(WINE64_LOADER)
    if can_run_32bit():
        return str(WINE32_LOADER)
    raise RigError(f"no Wine loader runs here ({WINE64_LOADER} --version and {WINE32_LOADER} --version failed)")


def is_64bit_program(path: Path) -> bool:
    data = Path(path).read_bytes()[:4096]
    header = int.from_bytes(data[0x3C:0x40], "little")
    return data[header:header + 4] == b"PE\0\0" and data[header + 4:header + 6] == b"\x64\x86"


def loader_for(program: Path) -> str:
    """The Wine loader that runs this program: the 32-bit one for a 32-bit
    program (which must be able to run), the 64-bit one otherwise."""
    if Path(program).exists() and not is_64bit_program(program):
        if not can_run_32bit():
            raise RigError(f"cannot start the 32-bit program {program}: {why_not_32bit()}")
        return str(WINE32_LOADER)
    return wine_tool_loader()


def cmake_cache_value(build_dir: Path, name: str) -> Optional[str]:
    cache = build_dir / "CMakeCache.txt"
    if not cache.exists():
        return None
    pattern = re.compile(rf"^{re.escape(name)}:[A-Z]+=(.*)$")
    for line in cache.read_text(encoding="utf-8", errors="replace").splitlines():
        match = pattern.match(line)
        if match:
            return match.group(1)
    return None


# --------------------------------------------------------------------- ending

_PR_SET_PDEATHSIG = 1


def ends_with_parent() -> None:
    """preexec_fn for helpers the rig starts (Xvfb, the FTP server): the kernel
    sends them SIGTERM when the Python process that started them dies, however
    it dies, so none outlives a killed test run or demo."""
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)


def interrupt_on_sigterm() -> None:
    """Makes SIGTERM end the program like Ctrl+C, so every finally block and
    fixture teardown runs and stops what the program started."""
    def interrupt(signum, frame):
        signal.signal(signal.SIGTERM, signal.SIG_DFL)
        raise KeyboardInterrupt(f"signal {signum}")

    signal.signal(signal.SIGTERM, interrupt)


_core_claim = None


def keep_to_one_core(claims: Path = Path("/tmp/zn-e2e-cores")) -> Optional[int]:
    """Keeps this test process, and all it starts (Xvfb, Wine's server and
    programs), on one core: every call into Wine's server wakes another
    process, and a wake-up on another core costs far more CPU than one on
    the same core, most of all in a virtual machine. Test processes running
    side by side take different cores (a lock file per core) while there
    are free ones, and share them in turn after that. Gives the core, or
    None where there is one core only or the affinity cannot be set."""
    global _core_claim
    try:
        cores = sorted(os.sched_getaffinity(0))
    except OSError:
        return None
    if len(cores) < 2:
        return None
    claims.mkdir(parents=True, exist_ok=True)
    chosen = cores[os.getpid() % len(cores)]
    for core in cores:
        claim = open(claims / f"{core}.lock", "w")
        try:
            fcntl.flock(claim, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            claim.close()
            continue
        _core_claim = claim  # held until this process ends
        chosen = core
        break
    try:
        os.sched_setaffinity(0, {chosen})
    except OSError:
        return None
    return chosen


# --------------------------------------------------------------------- display

class Display:
    """A private Xvfb; the server picks a free display number (-displayfd)."""

    def __init__(self, width: int = SCREEN_WIDTH, height: int = SCREEN_HEIGHT):
        read_end, write_end = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{width}x{height}x24",
             "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_end,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=ends_with_parent)
        os.close(write_end)
        try:
            number = read_line(read_end, 60, "Xvfb to tell its display number")
            if not number.strip():
                raise RigError("Xvfb ended before it told its display number")
        except BaseException:
            self.process.kill()
            self.process.wait()
            raise
        finally:
            os.close(read_end)
        self.name = f":{int(number)}"

    def close(self) -> None:
        self.process.terminate()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


# --------------------------------------------------------------------- registry

def set_registry_value(prefix: Path, hive_file: str, key: str, name: str, value: str) -> None:
    """Sets one value in a prefix's .reg file while no Wine process uses the prefix.

    key is spelt as in the file (Control Panel\\\\Desktop); value is written as
    is: '"text"' or 'dword:00000090'. The key must exist.
    """
    path = prefix / hive_file
    lines = path.read_text(encoding="utf-8").split("\n")
    header = f"[{key}]"
    try:
        start = next(i for i, line in enumerate(lines) if line.lower().startswith(header.lower() + " ")
                     or line.lower() == header.lower())
    except StopIteration:
        raise RigError(f"key {key} not in {path}") from None
    end = next((i for i in range(start + 1, len(lines)) if lines[i].startswith("[")), len(lines))
    entry = f'"{name}"={value}'
    for i in range(start + 1, end):
        if lines[i].lower().startswith(f'"{name.lower()}"='):
            lines[i] = entry
            break
    else:
        insert_at = end
        while insert_at > start + 1 and lines[insert_at - 1] == "":
            insert_at -= 1
        lines.insert(insert_at, entry)
    path.write_text("\n".join(lines), encoding="utf-8")


# --------------------------------------------------------------------- template

# Wine's own programs, libraries and fonts under C:\windows: about 690 MB
# of the template's 700 that no test writes. A session links to them
# instead of copying them (a fresh copy per test cost a second of CPU and
# the page cache's worth of writes); PrefixTemplate.check_shared() tells
# when a test wrote into one all the same.
SHARED_SUFFIXES = {".dll", ".exe", ".drv", ".sys", ".ocx", ".cpl", ".acm", ".ax", ".tlb", ".nls", ".ds",
                   ".msstyles", ".fon", ".ttf", ".com"}


def _shared(relative: Path) -> bool:
    return relative.parts[:2] == ("drive_c", "windows") and relative.suffix.lower() in SHARED_SUFFIXES


def copy_prefix(source: Path, target: Path) -> None:
    """A session's prefix: the template's folders and small files copied,
    its shared files hard-linked."""
    for folder, folders, files in os.walk(source):
        here = Path(folder)
        relative = here.relative_to(source)
        (target / relative).mkdir(exist_ok=True)
        for name in folders + files:
            path = here / name
            if path.is_symlink():
                os.symlink(os.readlink(path), target / relative / name)
                if name in folders:
                    folders.remove(name)
        for name in files:
            path = here / name
            if path.is_symlink():
                continue
            if _shared(relative / name):
                os.link(path, target / relative / name)
            else:
                shutil.copy2(path, target / relative / name)
        shutil.copystat(here, target / relative)


def wine_version() -> str:
    version = loader_version(Path(wine_tool_loader()))
    if version is None:
        raise RigError("the Wine loader stopped answering --version")
    return version


# The last key turns off the game-controller side (SDL) of Wine's HID bus
# driver: it polls for controllers about a hundred times a second for as
# long as a session lives, which cost the test run some 50 CPU-seconds.
TEMPLATE_SETTINGS = r"""REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="template"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"template"="{width}x{height}"

[HKEY_CURRENT_USER\Control Panel\Desktop]
"LogPixels"=dword:00000060

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\winebus]
"Enable SDL"=dword:00000000

"""


class PrefixTemplate:
    """A prepared prefix in a cache folder, made once and copied per test."""

    def __init__(self, cache_dir: Path, display: Display):
        self.cache_dir = cache_dir
        version = re.sub(r"[^A-Za-z0-9.]+", "_", wine_version())
        kind = "wow64" if can_run_32bit() else "win64"
        self.path = cache_dir / f"prefix-{version}-{kind}-r{TEMPLATE_REVISION}"
        self.ready_mark = self.path / ".e2e-ready"
        cache_dir.mkdir(parents=True, exist_ok=True)
        with open(cache_dir / "prefix.lock", "w") as lock:
            fcntl.flock(lock, fcntl.LOCK_EX)
            if not self.ready_mark.exists():
                self._make(display)
        self._shared = self._shared_files()

    def _shared_files(self) -> dict[Path, tuple[int, int]]:
        return {path: (status.st_size, status.st_mtime_ns)
                for path in self.path.rglob("*")
                if not path.is_symlink() and _shared(path.relative_to(self.path))
                for status in [path.stat()]}

    def check_shared(self) -> None:
        """Fails, and has the next run make the template again, when a
        session wrote into a file it shares with the template."""
        changed = [str(path) for path, seen in self._shared.items()
                   if not path.exists() or (path.stat().st_size, path.stat().st_mtime_ns) != seen]
        if changed:
            self.ready_mark.unlink(missing_ok=True)
            raise RigError("a test wrote into Wine's own files, which every session shares with the "
                           f"template (made again on the next run): {', '.join(changed[:5])}")

    def _make(self, display: Display) -> None:
        work = Path(tempfile.mkdtemp(prefix="zn-template-", dir="/tmp"))
        staging = self.path.with_name(self.path.name + ".partial")
        shutil.rmtree(staging, ignore_errors=True)
        shutil.rmtree(self.path, ignore_errors=True)
        env = dict(os.environ, WINEPREFIX=str(staging), WINEDEBUG="-all", TMPDIR=str(work),
                   DISPLAY=display.name, WINEDLLOVERRIDES=DLL_OVERRIDES)

        def run(*args: str) -> None:
            subprocess.run(list(args), env=env, check=True, timeout=300, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)

        try:
            run(wine_tool_loader(), "wineboot", "-i")
            run("wineserver", "-w")
            # Wine's own fonts (MS Sans Serif, Marlett for the title-bar
            # buttons...) are installed by Debian but not found by this Wine
            # build; a Windows installation has them in its Fonts folder.
            fonts = staging / "drive_c" / "windows" / "Fonts"
            fonts.mkdir(parents=True, exist_ok=True)
            if WINE_FONTS.is_dir():
                for font in WINE_FONTS.iterdir():
                    if not (fonts / font.name).exists():
                        shutil.copy2(font, fonts / font.name)
            settings = work / "settings.reg"
            settings.write_text(TEMPLATE_SETTINGS.format(width=SCREEN_WIDTH, height=SCREEN_HEIGHT),
                                encoding="ascii")
            run(wine_tool_loader(), "regedit", "/S", str(settings))
            run("wineserver", "-w")
            (staging / ".e2e-ready").write_text(wine_version() + "\n")
            staging.rename(self.path)
        finally:
            subprocess.run(["wineserver", "-k"], env=env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
            shutil.rmtree(work, ignore_errors=True)
            shutil.rmtree(staging, ignore_errors=True)


# --------------------------------------------------------------------- probe

class ProbeError(RigError):
    pass


class Probe:
    """Client of ``probe.exe serve``: one command line in, one JSON line out."""

    def __init__(self, command: list[str], env: dict, cwd: Path):
        self.process = subprocess.Popen(command, env=env, cwd=cwd, stdin=subprocess.PIPE,
                                        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self._lines: "queue.Queue[Optional[bytes]]" = queue.Queue()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self) -> None:
        for line in self.process.stdout:
            self._lines.put(line)
        self._lines.put(None)

    def call(self, *fields: object, timeout: float = 30.0) -> dict:
        texts = [str(field) for field in fields]
        for text in texts:
            if "\t" in text or "\n" in text or "\r" in text:
                raise ValueError(f"probe field cannot hold a TAB or a line break: {text!r}")
        self.process.stdin.write(("\t".join(texts) + "\n").encode("utf-8"))
        self.process.stdin.flush()
        try:
            line = self._lines.get(timeout=timeout)
        except queue.Empty:
            raise ProbeError(f"probe gave no answer to {texts!r} within {timeout} s") from None
        if line is None:
            raise ProbeError(f"probe ended while answering {texts!r}")
        return json.loads(line.decode("utf-8"))

    def checked(self, *fields: object, timeout: float = 30.0) -> dict:
        answer = self.call(*fields, timeout=timeout)
        if not answer.get("ok"):
            raise ProbeError(f"probe command {fields!r} failed: {answer}")
        return answer

    # Windows ------------------------------------------------------------
    def find(self, caption: str) -> list[dict]:
        return self.checked("find", caption)["windows"]

    def wait_window(self, caption: str, timeout: float = 20.0, visible: bool = True) -> dict:
        """The one window with this caption, once it exists (and is visible)."""
        fields = ["wait", caption, int(timeout * 1000)] + (["visible"] if visible else [])
        answer = self.call(*fields, timeout=timeout + 10)
        if not answer.get("ok"):
            raise TimeoutError(f"no {'visible ' if visible else ''}window {caption!r} within {timeout} s; "
                               f"message boxes: {self.message_boxes()}")
        windows = answer["windows"]
        if len(windows) != 1:
            raise RigError(f"expected one window {caption!r}, found {len(windows)}: {windows}")
        return windows[0]

    def wait_gone(self, hwnd: int, timeout: float = 10.0) -> bool:
        return bool(self.call("waitgone", hwnd, int(timeout * 1000), timeout=timeout + 10).get("gone"))

    def window(self, hwnd: int) -> Optional[dict]:
        answer = self.call("window", hwnd)
        return answer["window"] if answer.get("ok") else None

    def children(self, hwnd: int) -> dict:
        return self.checked("children", hwnd)

    def controls(self, hwnd: int) -> dict[int, dict]:
        """Child controls by control id."""
        return {control["id"]: control for control in self.children(hwnd)["controls"]}

    def focus(self, hwnd: int) -> int:
        """The control that has the keyboard focus in hwnd's thread (0: none)."""
        return self.checked("focus", hwnd)["focus"]["focus"]

    def settled_focus(self, hwnd: int, expected: int, timeout: float = 5.0) -> int:
        """The focused control of hwnd's thread as soon as it is `expected`, else
        whatever it is when the timeout ends (activation can lag behind showing)."""
        deadline = time.monotonic() + timeout
        while True:
            focus = self.focus(hwnd)
            if focus == expected or time.monotonic() >= deadline:
                return focus
            time.sleep(0.05)

    def text(self, hwnd: int) -> str:
        return self.checked("gettext", hwnd)["text"]

    def set_text(self, hwnd: int, text: str) -> None:
        self.checked("settext", hwnd, text)

    def type_text(self, hwnd: int, text: str) -> None:
        self.checked("type", hwnd, text)

    def click(self, hwnd: int) -> None:
        self.checked("click", hwnd)

    def mouse_click(self, hwnd: int) -> None:
        self.checked("mouseclick", hwnd)

    def key(self, top_level: int, key: str) -> int:
        """Posts a key press to the focused control of top_level's thread; returns that control."""
        return self.checked("key", top_level, key)["target"]

    def list_items(self, hwnd: int) -> list[str]:
        return self.checked("listitems", hwnd)["items"]

    def message_boxes(self) -> list[dict]:
        return self.checked("msgboxes")["boxes"]

    def close(self, hwnd: int) -> None:
        self.checked("close", hwnd)

    def close_box(self, hwnd: int) -> None:
        """What a click on the title bar's close box sends."""
        self.checked("sysclose", hwnd)

    def sys_color(self, index: int) -> tuple[int, int, int]:
        answer = self.checked("syscolor", index)
        return answer["red"], answer["green"], answer["blue"]

    def screen_size(self) -> tuple[int, int]:
        answer = self.checked("screen")
        return answer["width"], answer["height"]

    # Processes ------------------------------------------------------------
    def launch(self, command_line: str) -> int:
        return self.checked("launch", command_line)["pid"]

    def pointer_at(self, hwnd: int, x: int, y: int) -> str:
        """Moves the mouse pointer to a screen point; names the pointer that the
        thread of window hwnd has set (wait, arrow, ibeam, none or other)."""
        return self.checked("pointerat", hwnd, x, y)["pointer"]

    def launch_refusing(self, window_class: str, command_line: str) -> dict:
        """Starts a program whose creation of windows of that class fails with
        error 8; gives its pid and the system's text for error 8."""
        return self.checked("launchrefusing", window_class, command_line)

    def alive(self, pid: int) -> bool:
        return bool(self.checked("alive", pid)["alive"])

    def wait_exit(self, pid: int, timeout: float = 10.0) -> dict:
        return self.checked("waitexit", pid, int(timeout * 1000), timeout=timeout + 10)

    def process_stats(self, hwnd: int) -> dict:
        """What the process of a top-level window holds: handles, gdi_objects, user_objects
        (-1 where the system does not tell, as under Wine), windows, private_bytes."""
        return self.checked("procstats", hwnd)

    def post_timer_ticks(self, hwnd: int, timer_id: int, count: int, check_box: int, timeout: float = 600) -> dict:
        """Posts count WM_TIMER messages to hwnd and returns once its thread has taken them all
        (check_box: a check box of that thread, whose state the probe toggles to tell)."""
        return self.checked("posttimer", hwnd, timer_id, count, check_box, timeout=timeout)

    def host_address(self) -> dict:
        return self.call("hostaddr")

    def close_probe(self) -> None:
        if self.process.poll() is None:
            try:
                self.process.stdin.write(b"quit\n")
                self.process.stdin.close()
                self.process.wait(timeout=5)
            except (OSError, subprocess.TimeoutExpired):
                self.process.kill()
                self.process.wait()


# --------------------------------------------------------------------- session

_session_numbers = itertools.count(1)


class WineSession:
    """One test's private Wine prefix on the shared display.

    Everything runs with WINEPREFIX, TMPDIR (wineserver's socket folder) and
    the virtual desktop of this session only; close() stops all of it.
    """

    def __init__(self, template: PrefixTemplate, display: Display, windows_build: Path,
                 artifacts: Path, dpi: int = 96, isolated_network: bool = False):
        self.display = display
        self.template = template
        self.windows_build = windows_build
        self.artifacts = artifacts
        self.dpi = dpi
        self.isolated_network = isolated_network
        self.root = Path(tempfile.mkdtemp(prefix="zn-e2e-", dir="/tmp"))
        self.prefix = self.root / "prefix"
        self.tmp = self.root / "tmp"
        self.tmp.mkdir()
        self.desktop = f"zn-e2e-{os.getpid()}-{next(_session_numbers)}"
        self._probe: Optional[Probe] = None
        self._processes: list[subprocess.Popen] = []
        try:
            copy_prefix(template.path, self.prefix)
            set_registry_value(self.prefix, "user.reg", r"Software\\Wine\\Explorer", "Desktop", f'"{self.desktop}"')
            set_registry_value(self.prefix, "user.reg", r"Software\\Wine\\Explorer\\Desktops", self.desktop,
                               f'"{SCREEN_WIDTH}x{SCREEN_HEIGHT}"')
            set_registry_value(self.prefix, "user.reg", r"Control Panel\\Desktop", "LogPixels", f"dword:{dpi:08x}")
        except BaseException:
            shutil.rmtree(self.root, ignore_errors=True)
            raise
        self.env = dict(os.environ, WINEPREFIX=str(self.prefix), WINEDEBUG="-all", TMPDIR=str(self.tmp),
                        DISPLAY=display.name, WINEDLLOVERRIDES=DLL_OVERRIDES)

    # Paths ------------------------------------------------------------------
    @property
    def drive_c(self) -> Path:
        return self.prefix / "drive_c"

    def windows_path(self, path: Path) -> str:
        """The Windows name of a Unix path (C: for the prefix's drive, Z: for the rest)."""
        path = Path(path).resolve()
        drive_c = self.drive_c.resolve()
        if path == drive_c or drive_c in path.parents:
            return "C:\\" + "\\".join(path.relative_to(drive_c).parts)
        return "Z:" + str(path).replace("/", "\\")

    def unix_path(self, windows_path: str) -> Path:
        """The Unix path of a C:\\ path inside this prefix (no Wine call needed)."""
        match = re.match(r"^[cC]:\\?(.*)$", windows_path)
        if not match:
            raise ValueError(f"not a C: path: {windows_path}")
        parts = [part for part in match.group(1).split("\\") if part]
        return self.drive_c.joinpath(*parts)

    def install(self, source: Path, folder: str = "C:\\e2e", name: Optional[str] = None) -> str:
        """Copies a file into the prefix; returns its Windows path."""
        target_dir = self.unix_path(folder)
        target_dir.mkdir(parents=True, exist_ok=True)
        target = target_dir / (name or Path(source).name)
        shutil.copy2(source, target)
        return self.windows_path(target)

    # Running ------------------------------------------------------------------
    def _command(self, args: list[str]) -> list[str]:
        if not self.isolated_network:
            return args
        # A network namespace with no interfaces, and a host name that no
        # lookup can resolve: the host lookup fails as on a PC with no
        # usable network. Wine starts its server and every later process
        # from here, so all of them share the namespace.
        return ["unshare", "--net", "--uts", "sh", "-c",
                'hostname zunaveri-e2e-sem-rede && exec "$@"', "sh"] + args

    def wine(self, program: str, *args: str, **popen_options) -> subprocess.Popen:
        """Starts PROGRAM ARGS... under Wine in this session (Wine quotes the
        arguments itself); PROGRAM is a Unix path or a C:\\ path of the prefix."""
        options = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, cwd=self.root)
        options.update(popen_options)
        local = self.unix_path(program) if re.match(r"^[cC]:", program) else Path(program)
        process = subprocess.Popen(self._command([loader_for(local), program, *args]), env=self.env, **options)
        self._processes.append(process)
        return process

    @property
    def probe(self) -> Probe:
        if self._probe is None:
            probe_exe = self.windows_build / "tests" / "e2e" / "tools" / "probe.exe"
            self._probe = Probe(self._command([loader_for(probe_exe), str(probe_exe), "serve"]), self.env,
                                self.root)
        return self._probe

    def launch(self, command_line: str) -> int:
        """Starts a program with exactly this command line (CreateProcessW in the probe)."""
        return self.probe.launch(command_line)

    # Screenshots ------------------------------------------------------------------
    def desktop_window_id(self) -> str:
        tree = subprocess.run(["xwininfo", "-root", "-tree"], env=self.env, capture_output=True, text=True,
                              timeout=60, check=True).stdout
        match = re.search(rf'^\s*(0x[0-9a-f]+) "{re.escape(self.desktop)} - Wine desktop"', tree, re.M)
        if not match:
            raise RigError(f"no X window for the desktop {self.desktop}")
        return match.group(1)

    def screenshot(self, name: str, window: Optional[dict] = None) -> Path:
        """Saves the desktop, or only the rect of a window the probe described, as NAME.png."""
        self.artifacts.mkdir(parents=True, exist_ok=True)
        target = self.artifacts / f"{name}.png"
        command = ["import", "-silent", "-window", self.desktop_window_id()]
        if window is not None:
            rect = window["rect"]
            command += ["-crop", f"{rect['width']}x{rect['height']}+{rect['left']}+{rect['top']}", "+repage"]
        subprocess.run(command + [str(target)], env=self.env, check=True, timeout=60)
        return target

    # Ending ------------------------------------------------------------------
    def kill_wine(self) -> None:
        """Stops every process of this prefix and waits for its server to end."""
        if self._probe is not None:
            self._probe.process.kill()
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)
        subprocess.run(["wineserver", "-w"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=60)
        for process in self._processes + ([self._probe.process] if self._probe else []):
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
        self._probe = None
        self._processes = []

    def close(self) -> None:
        try:
            self.kill_wine()
        finally:
            shutil.rmtree(self.root, ignore_errors=True)
        self.template.check_shared()


# --------------------------------------------------------------------- images

def read_image(path: Path) -> tuple[int, int, bytes]:
    """Width, height and RGB bytes of an image (through ImageMagick's PPM output)."""
    data = subprocess.run(["convert", str(path), "-depth", "8", "ppm:-"], capture_output=True, check=True,
                          timeout=60).stdout
    fields = []
    position = 0
    while len(fields) < 4:
        while data[position:position + 1].isspace():
            position += 1
        if data[position:position + 1] == b"#":
            position = data.index(b"\n", position) + 1
            continue
        end = position
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[position:end])
        position = end
    position += 1
    if fields[0] != b"P6" or fields[3] != b"255":
        raise RigError(f"unexpected image format from {path}")
    width, height = int(fields[1]), int(fields[2])
    return width, height, data[position:position + width * height * 3]


def pixels_in(image: tuple[int, int, bytes], left: int, top: int, width: int, height: int) -> Iterable[tuple]:
    image_width, image_height, rgb = image
    for y in range(max(top, 0), min(top + height, image_height)):
        row = y * image_width * 3
        for x in range(max(left, 0), min(left + width, image_width)):
            offset = row + x * 3
            yield rgb[offset], rgb[offset + 1], rgb[offset + 2]

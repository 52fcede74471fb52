"""tests/e2e/drivers/services_driver.exe in a session: one call into the
support services per run, its outcome one line of JSON; and what the system
shows of a path's owner and DACL, read through it."""

from __future__ import annotations

import json
import os
import re
import selectors
import subprocess
import tempfile
import time
from pathlib import Path

from .wine_rig import WineSession

DRIVER_FOLDER = "C:\\e2e"


class DriverError(AssertionError):
    pass


class ServicesDriver:
    """services_driver.exe installed in a session; each call is one run of it."""

    def __init__(self, session: WineSession, folder: str = DRIVER_FOLDER, with_client: bool = True):
        self.session = session
        build = session.windows_build
        self.exe = session.install(build / "tests" / "e2e" / "drivers" / "services_driver.exe", folder)
        if with_client:
            session.install(build / "sample-release" / "wget.exe", folder)

    def start(self, *args: str) -> subprocess.Popen:
        # What Wine's loader says when it cannot start the driver is kept for the
        # error; a file per run, as a holding driver may run beside another.
        descriptor, name = tempfile.mkstemp(prefix="services-driver-", suffix=".err", dir=self.session.root)
        errors_path = Path(name)
        with os.fdopen(descriptor, "wb") as errors:
            process = self.session.wine(self.exe, *args, stdout=subprocess.PIPE, stderr=errors)
        process.errors_path = errors_path
        return process

    @staticmethod
    def result(process: subprocess.Popen, timeout: float = 60.0) -> dict:
        """The driver's JSON line. Only that line is read: a child left
        running holds the output pipe open after the driver has ended."""
        deadline = time.monotonic() + timeout
        received = b""
        with selectors.DefaultSelector() as selector:
            selector.register(process.stdout, selectors.EVENT_READ)
            while b"\n" not in received:
                remaining = deadline - time.monotonic()
                if remaining <= 0 or not selector.select(remaining):
                    process.kill()
                    raise DriverError(f"no answer from the driver within {timeout} s (got {received!r})")
                chunk = os.read(process.stdout.fileno(), 65536)
                if not chunk:
                    try:
                        code = process.wait(timeout=10)
                    except subprocess.TimeoutExpired:
                        code = "none yet"
                    errors_path = getattr(process, "errors_path", None)
                    said = errors_path.read_bytes()[-1000:] if errors_path and errors_path.exists() else b""
                    raise DriverError(f"the driver ended without an answer (exit {code}, got {received!r}, "
                                      f"stderr {said!r})")
                received += chunk
        process.wait(timeout=30)
        line = received.split(b"\n", 1)[0]
        answer = json.loads(line.decode("utf-8"))
        if "failure" in answer:
            raise DriverError(f"the driver could not make the call: {answer}")
        return answer

    def call(self, *args: str, timeout: float = 60.0) -> dict:
        return self.result(self.start(*args), timeout)


def shown_security(session: WineSession, *paths: str) -> dict[str, str]:
    """Each path's owner and DACL as the system shows them, in SDDL."""
    return ServicesDriver(session, with_client=False).call("security", *paths)["security"]


def aces(sddl: str) -> set[tuple[str, str, str]]:
    """The allow entries of an SDDL text's DACL as (trustee, rights, inheritance flags)."""
    dacl = sddl[sddl.index("D:"):] if "D:" in sddl else ""
    found = set()
    for entry in re.findall(r"\(([^)]*)\)", dacl):
        kind, flags, rights, _, _, trustee = entry.split(";")[:6]
        assert kind == "A", f"not an allow entry: {entry}"
        found.add((trustee, rights, flags))
    return found

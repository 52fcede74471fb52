"""Fixtures of the end-to-end tests: a private Xvfb per test process, a
prepared Wine prefix template shared through a cache folder, and per test a
private copy of it (WineSession) that is stopped and removed afterwards.

Settings come from the environment (ctest sets them):
  ZUNAVERI_WINDOWS_BUILD_DIR  the MinGW build (exe and test programs); default build/windows
  ZUNAVERI_E2E_ARTIFACTS      where screenshots go; default build/native/e2e-artifacts
  ZUNAVERI_E2E_CACHE          where the prefix template is kept; default build/native/e2e-cache
  ZUNAVERI_SIGNED_BUILD_DIR   the MinGW build that checks signed releases; default build/windows-signed
"""

from __future__ import annotations

import contextlib
import os
import re
import subprocess
import sys
from pathlib import Path
from typing import Optional

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parent))

from rig.release_server import ReleaseServer  # noqa: E402
from rig.wine_rig import Display, PrefixTemplate, WineSession, interrupt_on_sigterm, keep_to_one_core  # noqa: E402

# A run stopped with SIGTERM (ctest's time-out, CI, kill) tears down like
# Ctrl+C: every session, server and display the fixtures started is stopped.
interrupt_on_sigterm()
# Before anything is started: Wine's processes stay on this process's core.
keep_to_one_core()

REPOSITORY = Path(__file__).resolve().parents[2]


def _path_setting(name: str, default: Path) -> Path:
    value = os.environ.get(name)
    return Path(value) if value else default


@pytest.fixture(scope="session")
def windows_build() -> Path:
    # Absolute: Wine starts the probe from each session's own folder.
    build = _path_setting("ZUNAVERI_WINDOWS_BUILD_DIR", REPOSITORY / "build" / "windows").resolve()
    needed = [build / "Instalador_ZunaveriDigital.exe", build / "tests" / "e2e" / "tools" / "probe.exe",
              build / "tests" / "e2e" / "tools" / "probe_hook.dll"]
    missing = [str(path) for path in needed if not path.exists()]
    if missing:
        pytest.fail("the windows build is incomplete (cmake --build --preset windows); missing: "
                    + ", ".join(missing))
    return build


@pytest.fixture(scope="session")
def signed_build() -> Path:
    """The build with a throwaway release key (windows-signed preset); its tests skip when it is absent."""
    build = _path_setting("ZUNAVERI_SIGNED_BUILD_DIR", REPOSITORY / "build" / "windows-signed").resolve()
    needed = [build / "Instalador_ZunaveriDigital.exe", build / "fast-ticks" / "Instalador_ZunaveriDigital.exe",
              build / "verificar_versao.exe", build / "chave-de-teste-descartavel" / "chave_privada.pem",
              build / "sample-release" / "manifesto_zunaveri_tamanhos.sig", build / "tests" / "e2e" / "tools" / "probe.exe"]
    if not build.is_dir():
        pytest.skip(f"no build checking signed releases at {build} (cmake --preset windows-signed)")
    missing = [str(path) for path in needed if not path.exists()]
    if missing:
        pytest.fail("the windows-signed build is incomplete (cmake --build --preset windows-signed); missing: "
                    + ", ".join(missing))
    return build


@pytest.fixture(scope="session")
def artifacts_root() -> Path:
    return _path_setting("ZUNAVERI_E2E_ARTIFACTS", REPOSITORY / "build" / "native" / "e2e-artifacts")


@pytest.fixture(scope="session")
def display():
    server = Display()
    yield server
    server.close()


@pytest.fixture(scope="session")
def prefix_template(display) -> PrefixTemplate:
    cache = _path_setting("ZUNAVERI_E2E_CACHE", REPOSITORY / "build" / "native" / "e2e-cache")
    return PrefixTemplate(cache, display)


def _artifact_folder(root: Path, node) -> Path:
    """build/native/e2e-artifacts/<test file>/<test name>, or .../<name> for a plain name."""
    if isinstance(node, str):
        return root.joinpath(*(re.sub(r"[^A-Za-z0-9_.=-]+", "_", part) for part in node.split("/")))
    module = Path(str(node.fspath)).stem
    name = re.sub(r"[^A-Za-z0-9_.=-]+", "_", node.name).strip("_")
    return root / module / name


@pytest.fixture(scope="session")
def open_session(display, prefix_template, windows_build, artifacts_root):
    """Context manager factory: open_session(test node or artifact folder name, dpi=96,
    isolated_network=False, build=None) gives a WineSession that is closed at the end of the
    block; build picks another MinGW build than the windows one."""

    @contextlib.contextmanager
    def opener(node, dpi: int = 96, isolated_network: bool = False, build: Optional[Path] = None):
        session = WineSession(prefix_template, display, build or windows_build,
                              _artifact_folder(artifacts_root, node), dpi=dpi, isolated_network=isolated_network)
        try:
            yield session
        finally:
            session.close()

    return opener


@pytest.fixture
def wine(open_session, request):
    """A private Wine prefix at 96 dpi for one test."""
    with open_session(request.node) as session:
        yield session


@pytest.fixture
def signed_wine(open_session, signed_build, request):
    """A private Wine prefix for one test, running the build that checks signed releases."""
    with open_session(request.node, build=signed_build) as session:
        yield session


@pytest.fixture(params=["keyed", "keyless"])
def any_build(request, open_session):
    """Each build in turn: ("keyed" or "keyless", a private Wine session running it, its FTP server)."""
    build = request.getfixturevalue("signed_build" if request.param == "keyed" else "windows_build")
    server = ReleaseServer(build)
    with open_session(request.node, build=build) as session:
        yield request.param, session, server
    server.close()


@pytest.fixture
def signed_server(signed_build):
    """The FTP server with the signed build's sample release."""
    server = ReleaseServer(signed_build)
    yield server
    server.close()


@pytest.fixture
def wine_without_network(open_session, request):
    """A private Wine prefix whose programs see no network and an unresolvable host name."""
    if not _can_isolate_network():
        pytest.skip("unshare --net --uts is not permitted here")
    with open_session(request.node, isolated_network=True) as session:
        yield session


def _can_isolate_network() -> bool:
    try:
        return subprocess.run(["unshare", "--net", "--uts", "true"], capture_output=True,
                              timeout=30).returncode == 0
    except (OSError, subprocess.TimeoutExpired):
        return False

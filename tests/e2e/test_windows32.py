"""The 32-bit exe (i686 build) under Wine's WoW64: the main window and the FTP
settings window come up with the same caption, client sizes, controls and
fonts as the 64-bit one. Driven by the 32-bit probe of the same build, since
the probe's hook DLL must match the bitness of the process it reads.

Needs a 32-bit Wine loader that runs (Debian's wine32:i386, on a kernel that
executes i386 programs); without one the test is skipped with the reason and
the 32-bit build is only compiled."""

from __future__ import annotations

import os
import re
import struct
from pathlib import Path

import pytest

from test_windows import (
    CLIENT_SIZES, MAIN_CONTROLS, SETTINGS_CONTROLS, check_control, expected_text,
)
from rig.wine_rig import WineSession, can_run_32bit, why_not_32bit
from rig.zunaveri_tool import EXE_NAME, IPSERVIDOR, MAIN_CAPTION, SETTINGS_CAPTION, BuildSettings, start_installer_mode

REPOSITORY = Path(__file__).resolve().parents[2]
IMAGE_FILE_MACHINE_I386 = 0x014C


def pe_machine(path: Path) -> int:
    data = path.read_bytes()
    header = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[header:header + 4] == b"PE\0\0", f"{path} is not a PE file"
    return struct.unpack_from("<H", data, header + 4)[0]


@pytest.fixture(scope="module")
def build32() -> Path:
    build = Path(os.environ.get("ZUNAVERI_WINDOWS32_BUILD_DIR", REPOSITORY / "build" / "windows32")).resolve()
    if not can_run_32bit():
        pytest.skip(why_not_32bit())
    needed = [build / EXE_NAME, build / "tests" / "e2e" / "tools" / "probe.exe",
              build / "tests" / "e2e" / "tools" / "probe_hook.dll"]
    missing = [str(path) for path in needed if not path.exists()]
    if missing:
        pytest.fail("the windows32 build is incomplete (cmake --build --preset windows32); missing: "
                    + ", ".join(missing))
    return build


@pytest.fixture(scope="module")
def snapshot32(build32, display, prefix_template, artifacts_root):
    session = WineSession(prefix_template, display, build32, artifacts_root / "test_windows32", dpi=96)
    try:
        tool, main = start_installer_mode(session)
        probe = session.probe
        main_controls = probe.controls(main["hwnd"])
        host = probe.host_address()
        session.screenshot("main_window_32bit", main)
        settings = tool.open_settings()
        settings_controls = probe.controls(settings["hwnd"])
        session.screenshot("settings_window_32bit", settings)
        installed = session.unix_path("C:\\e2e") / EXE_NAME
        yield dict(main=main, main_controls=main_controls, settings=settings, settings_controls=settings_controls,
                   host=host, installed=installed, build=BuildSettings.of(build32))
    finally:
        session.close()


class Snap:
    """The bits of test_windows.Snapshot that expected_text reads."""

    def __init__(self, host: dict):
        self.host = host


def test_the_program_that_ran_is_the_32_bit_build(snapshot32):
    assert pe_machine(snapshot32["installed"]) == IMAGE_FILE_MACHINE_I386


def test_main_window_caption_client_area_and_controls(snapshot32):
    main = snapshot32["main"]
    assert main["caption"] == MAIN_CAPTION and main["visible"]
    assert (main["client"]["width"], main["client"]["height"]) == CLIENT_SIZES[96]["main"]
    controls = snapshot32["main_controls"]
    assert set(controls) == {row.id for row in MAIN_CONTROLS}
    for row in MAIN_CONTROLS:
        check_control(controls[row.id], row, 96, expected_text(row, Snap(snapshot32["host"]), snapshot32["build"]))
    assert controls[IPSERVIDOR]["text"], "the address field holds the host's address"


def test_settings_window_caption_client_area_and_controls(snapshot32):
    settings = snapshot32["settings"]
    assert settings["caption"] == SETTINGS_CAPTION and settings["visible"]
    assert (settings["client"]["width"], settings["client"]["height"]) == CLIENT_SIZES[96]["settings"]
    controls = snapshot32["settings_controls"]
    assert set(controls) == {row.id for row in SETTINGS_CONTROLS}
    for row in SETTINGS_CONTROLS:
        if row.text == "server caption":
            text = controls[row.id]["text"]
            assert re.fullmatch(r"Servidor: \(Ex: [a-z0-9-]+(\.[a-z0-9-]+)+\)", text), text
        else:
            text = expected_text(row, Snap(snapshot32["host"]), snapshot32["build"])
        check_control(controls[row.id], row, 96, text)

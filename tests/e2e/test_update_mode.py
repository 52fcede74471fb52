"""Update mode end to end: the tool installed beside the application,
started with "/atualizar", checking the release on a real FTP server
(pyftpdlib, real wget behind the wget.exe stand-in) and updating with the
stand-in package and import script. The fast-ticking build of the tool
(20 ms ticks) runs the 902-tick schedule in about 18 s; one test runs the
shipped build through an update at start."""

from __future__ import annotations

import time
from pathlib import Path

import pytest

from rig.release_server import release_server, standin_runs, wget_calls  # noqa: F401 (fixture)
from rig.update_mode import (
    ADDRESS_FILE, ADDRESS_TOKEN, CUSTOMER_LOGO, CUSTOMER_PHOTO, EARLIER_BASE_URL, ENV_FILE, FETCHED_BY_UPDATE,
    FETCHED_MARKER, IMPORT_SCRIPT, INSTALLED_MARKER, LEFTOVER_UPDATE, LOGO, MARK, MARK_TICKS, PACKAGE, PHOTO,
    SAVED_LOGO, SAVED_PHOTO, SWEPT_NAMES, ClockWatch, InstalledPC, base_url_line,
)
from rig.zunaveri_tool import EXE_NAME, BuildSettings, RunningTool, clock_ticks

MARKER = "ultima_atualizacao.txt"
RECORDED_ADDRESS = b"10.20.30.40"
# One schedule round of the fast build is 902 ticks of 20 ms; Wine delivers
# them a little late under load.
ROUND_TIMEOUT = 60


@pytest.fixture(scope="module")
def fast_tool(windows_build) -> Path:
    tool = windows_build / "fast-ticks" / EXE_NAME
    if not tool.exists():
        pytest.fail(f"the fast-ticking build is missing: {tool}")
    return tool


@pytest.fixture(scope="module")
def shipped_tool(windows_build) -> Path:
    assert BuildSettings.of(windows_build).tick_ms == 1000, "the shipped build ticks once a second"
    return windows_build / EXE_NAME


def fetched_names(session) -> list[str]:
    """The remote file names wget.exe was asked for, in order."""
    return [call[0].rsplit("/", 1)[-1] for call in wget_calls(session)]


def update_finished(session) -> bool:
    return f"end {IMPORT_SCRIPT}" in standin_runs(session)


def runs_of(session, name: str) -> int:
    return sum(1 for line in standin_runs(session) if line.split()[:2] == ["start", name])


def update_pairs(session) -> list[list[str]]:
    return [line.split()[:2] for line in standin_runs(session)]


ONE_UPDATE = [["start", PACKAGE], ["end", PACKAGE], ["start", IMPORT_SCRIPT], ["end", IMPORT_SCRIPT]]


def assert_env_line(pc: InstalledPC, address: bytes) -> None:
    """One clean base-URL line in the package's fresh .env, the rest of it intact."""
    env = pc.read(ENV_FILE)
    assert ADDRESS_TOKEN not in env and EARLIER_BASE_URL not in env
    assert env.count(b"\r") == env.count(b"\n") == env.count(b"\r\n"), f"a line is broken: {env!r}"
    lines = env.split(b"\r\n")
    assert [line for line in lines if b"baseURL" in line or b"8090" in line] == [base_url_line(address)]
    assert "# comentário em UTF-8: ação".encode() in lines, "the rest of the package's .env survives"


def assert_customer_images_kept(pc: InstalledPC) -> None:
    assert pc.read(LOGO) == CUSTOMER_LOGO and pc.read(PHOTO) == CUSTOMER_PHOTO
    assert pc.read(SAVED_LOGO) == CUSTOMER_LOGO and pc.read(SAVED_PHOTO) == CUSTOMER_PHOTO, "backups stay"


def assert_quietly_alive(tool: RunningTool) -> None:
    assert tool.alive()
    assert tool.probe.message_boxes() == [], "update mode shows no message box"
    assert tool.visible_windows() == []


def discovered_address(session) -> bytes:
    lookup = session.probe.host_address()
    assert lookup["ok"] and lookup["address"], lookup
    return lookup["address"].encode("ascii")


class TestUpdateAtStart:
    @pytest.mark.parametrize("address_file", [RECORDED_ADDRESS, None, RECORDED_ADDRESS + b"\r\n"],
                             ids=["address recorded", "no address file", "address file ending in CR LF"])
    def test_due_update_is_applied_keeping_images_and_address(self, wine, release_server, fast_tool, address_file):
        pc = InstalledPC(wine, fast_tool, address_file=address_file)
        pc.make_update_due()
        pc.put(LEFTOVER_UPDATE, b"MZ leftover of an earlier update")
        for name in SWEPT_NAMES:
            if name not in FETCHED_BY_UPDATE:
                pc.put(pc.temporary(name), b"left by an earlier run")
        release_server.connect(wine)
        expected_address = RECORDED_ADDRESS if address_file is not None else discovered_address(wine)

        tool = pc.start()
        clock = ClockWatch(tool)
        # The sweep and the reset follow the import script at once.
        clock.until(lambda caption: update_finished(wine) and clock.falls(), ROUND_TIMEOUT,
                    "the update and the clock's reset")

        assert update_pairs(wine) == ONE_UPDATE
        assert fetched_names(wine) == [MARKER, PACKAGE, "zunaveri.sql", IMPORT_SCRIPT]
        assert_customer_images_kept(pc)
        assert_env_line(pc, expected_address)
        if address_file is None:
            assert pc.read(ADDRESS_FILE) == expected_address, "written with no line break"
        else:
            assert pc.read(ADDRESS_FILE) == address_file, "an existing address file is not rewritten"
        assert not pc.exists(LEFTOVER_UPDATE)
        assert [name for name in SWEPT_NAMES if pc.exists(pc.temporary(name))] == []

        (before, after), = clock.falls()
        assert clock_ticks(before) > 10, "ticks went on advancing the clock while the start-up check waited"
        assert clock_ticks(after) < 10, f"the clock went back to {after}, not to the start"
        later = clock.watch(1.0)
        assert clock_ticks(later[-1]) > clock_ticks(later[0]), f"the clock counts again: {later}"
        assert_quietly_alive(tool)

    def test_shipped_build_applies_a_due_update_and_counts_seconds(self, wine, release_server, shipped_tool):
        pc = InstalledPC(wine, shipped_tool)
        pc.make_update_due()
        release_server.connect(wine)

        tool = pc.start()
        clock = ClockWatch(tool)
        clock.until(lambda caption: update_finished(wine) and not pc.exists(FETCHED_MARKER), ROUND_TIMEOUT,
                    "the update and its sweep")
        assert update_pairs(wine) == ONE_UPDATE
        assert_customer_images_kept(pc)
        assert_env_line(pc, RECORDED_ADDRESS)

        first = clock.ticks()
        time.sleep(3.2)
        counted = clock.ticks() - first
        assert 2 <= counted <= 4, f"{counted} ticks in 3.2 s"
        assert_quietly_alive(tool)

    def test_no_update_due_changes_nothing_and_the_clock_stops_at_the_mark(self, wine, release_server, fast_tool):
        pc = InstalledPC(wine, fast_tool)
        pc.make_no_update_due()
        release_server.connect(wine)
        before = pc.snapshot()

        tool = pc.start()
        clock = ClockWatch(tool)
        clock.until(lambda caption: caption == MARK, ROUND_TIMEOUT, "the clock to reach the mark")
        at_mark = clock.watch(1.0)
        wine.screenshot("desktop_at_the_mark")

        assert clock.falls() == [], "nothing sets the clock back when no update is due"
        assert set(at_mark) == {MARK}, f"the mark is never advanced: {sorted(set(at_mark))}"
        assert standin_runs(wine) == []
        assert fetched_names(wine) == [MARKER], "the checks at the mark reuse the fetched marker"
        assert pc.exists(FETCHED_MARKER)
        assert pc.snapshot() == before
        assert_quietly_alive(tool)


class TestSchedule:
    def test_check_at_the_mark_applies_an_update_once_though_the_package_is_slow(self, wine, release_server,
                                                                                   fast_tool):
        pc = InstalledPC(wine, fast_tool)
        pc.make_no_update_due()
        release_server.connect(wine)
        package_seconds = 3.0  # 150 ticks that find the mark while the package runs
        wine.env["ZUNAVERI_STANDIN_DELAY_MS"] = str(int(package_seconds * 1000))

        tool = pc.start()
        clock = ClockWatch(tool)
        # The start-up check is over once the marker is in and the clock has gone on for a while.
        clock.until(lambda caption: fetched_names(wine) == [MARKER] and pc.exists(FETCHED_MARKER)
                    and clock_ticks(caption) >= 100, ROUND_TIMEOUT, "the start-up check to end")
        pc.make_update_due()
        assert clock_ticks(clock.read()) < MARK_TICKS - 100, "the update was made due too late for this test"

        clock.until(lambda caption: runs_of(wine, PACKAGE) > 0, ROUND_TIMEOUT, "the package to start")
        while_package_runs = clock.mark()
        clock.until(lambda caption: f"end {PACKAGE}" in standin_runs(wine), 30, "the package to end")
        during_package = [caption for _, caption in clock.readings[while_package_runs:]]
        clock.until(lambda caption: update_finished(wine) and clock.falls(), 30, "the update and the reset")
        clock.watch(1.0)

        assert set(during_package) == {MARK}, "the check ran at the mark and the clock waited there"
        assert len(during_package) > 20, f"only {len(during_package)} readings during the package run"
        assert update_pairs(wine) == ONE_UPDATE, "no second check started inside the running one"
        assert fetched_names(wine) == [MARKER, PACKAGE, "zunaveri.sql", IMPORT_SCRIPT]
        (before, after), = clock.falls()
        assert before == MARK and clock_ticks(after) < 10, (before, after)
        assert clock_ticks(clock.readings[-1][1]) > clock_ticks(after), "the clock counts again"
        assert_customer_images_kept(pc)
        assert_env_line(pc, RECORDED_ADDRESS)
        assert_quietly_alive(tool)


def watch_failing_rounds(clock: ClockWatch, session, rounds: int) -> tuple[list[int], list[tuple[str, str]]]:
    """Watches the clock run past half-way to the mark and fall back, `rounds`
    times. Returns how many fetches wget.exe had been asked for at each
    half-way point and after each fall, in order, and the falls at the mark.
    (The failed check at start sets the clock back too, from a few ticks: that
    fall is not one of the rounds.)"""
    fetches, falls = [], []
    for number in range(1, rounds + 1):
        clock.until(lambda caption: MARK_TICKS // 2 <= clock_ticks(caption) < MARK_TICKS, ROUND_TIMEOUT,
                    f"round {number} to reach half-way")
        fetches.append(len(wget_calls(session)))
        half_way = clock.mark()
        clock.until(lambda caption: clock.falls(half_way), ROUND_TIMEOUT, f"the clock to fall back in round {number}")
        fetches.append(len(wget_calls(session)))
        falls += clock.falls(half_way)
    return fetches, falls


def assert_falls_at_the_mark(falls: list[tuple[str, str]]) -> None:
    for before, after in falls:
        assert clock_ticks(before) >= MARK_TICKS - 25 and clock_ticks(after) < 10, (before, after)


class TestFailedCheck:
    def test_without_a_server_the_check_is_retried_after_a_full_round(self, wine, release_server, fast_tool):
        pc = InstalledPC(wine, fast_tool)
        pc.make_update_due()
        release_server.connect(wine)
        release_server.stop()

        tool = pc.start()
        clock = ClockWatch(tool)
        fetches, falls = watch_failing_rounds(clock, wine, rounds=2)

        # One failed fetch of the marker at start, then one per round at its end.
        assert fetches == [1, 2, 2, 3]
        assert set(fetched_names(wine)) == {MARKER}
        assert len(falls) == 2
        assert_falls_at_the_mark(falls)
        assert standin_runs(wine) == []
        assert not pc.exists(FETCHED_MARKER)
        assert_quietly_alive(tool)

    def test_without_the_installed_marker_the_updater_lives_on(self, wine, release_server, fast_tool):
        pc = InstalledPC(wine, fast_tool)
        pc.path(INSTALLED_MARKER).unlink()
        release_server.connect(wine)
        before = pc.snapshot()

        tool = pc.start()
        clock = ClockWatch(tool)
        _, falls = watch_failing_rounds(clock, wine, rounds=1)
        later = clock.watch(1.0)

        assert len(falls) == 1
        assert_falls_at_the_mark(falls)
        assert clock_ticks(later[-1]) > clock_ticks(later[0]), "the clock runs again"
        assert fetched_names(wine) == [MARKER], "the fetched marker is reused by the check at the mark"
        assert standin_runs(wine) == []
        assert pc.snapshot() == before
        assert_quietly_alive(tool)

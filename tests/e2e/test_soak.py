"""Soak: one process of the tool runs for a long time and must end holding
what it held at the start: kernel handles, GDI and USER objects, private
bytes (read from the outside through the probe).

- Update mode at the mark: the clock stands at the mark, no update is due, and
  every tick runs a whole check (the settings read from the hidden settings
  window, the fetched marker found, both markers' times compared). Real timer
  ticks come at least 10 ms apart, so 100,000 of them would take 17 minutes
  or more: the probe posts the same WM_TIMER the timer would deliver, in
  batches, to the tool's own message loop and tick handler.
  It runs twice: with the operator's log, and with the build that has none,
  so the time per check of both stands side by side in one run. The build
  without the log is not the product: it is there for its time per check,
  which 20,000 ticks give as well, and is held to the same no-growth rule.
- Updates applied over and over: an update is due at every check, so each
  round fetches the release files from the FTP server, runs the package and
  the import script, rewrites the .env, copies the customer's images and
  sweeps the temporary folder: the step kinds of an installation run (fetch,
  run, copy, replace) repeated in one process. The probe posts the ticks that
  bring the clock back to the mark after each reset.

The figures are printed (pytest -s shows them) and saved as figures.txt
beside the screenshots (build/native/e2e-artifacts/test_soak/<test>/)."""

from __future__ import annotations

import time

import pytest

from rig.release_server import release_server, standin_runs, wget_calls  # noqa: F401 (fixture)
from rig.update_mode import IMPORT_SCRIPT, MARK, MARK_TICKS, PACKAGE, ClockWatch, InstalledPC
from rig.zunaveri_tool import DOWNLOAD_XAMPP, EXE_NAME, RunningTool, clock_ticks

TIMER1 = 1
TICKS_AT_THE_MARK = 100_000
BASELINE_TICKS = 20_000
WARM_UP_TICKS = 2_000
UPDATE_ROUNDS = 60
ROUND_TIMEOUT = 60

# What a process may gain over a soak without leaking: a handle or two that
# Wine's libraries open lazily, a page or so of heap growth.
HANDLE_SLACK = 4
GDI_SLACK = 0
USER_SLACK = 0
PRIVATE_BYTES_SLACK = 256 * 1024


@pytest.fixture(scope="module")
def fast_tool(windows_build):
    tool = windows_build / "fast-ticks" / EXE_NAME
    if not tool.exists():
        pytest.fail(f"the fast-ticking build is missing: {tool}")
    return tool


@pytest.fixture(scope="module", params=["log on", "log off"])
def tool_with_and_without_log(request, windows_build):
    """The fast build, and the same without the operator's log: the cost of
    the log per check, side by side in one run. (The exe, its ticks.)"""
    log_on = request.param == "log on"
    tool = windows_build / ("fast-ticks" if log_on else "fast-ticks-no-log") / EXE_NAME
    if not tool.exists():
        pytest.fail(f"the fast-ticking build is missing: {tool}")
    return tool, TICKS_AT_THE_MARK if log_on else BASELINE_TICKS


def figures(tool: RunningTool) -> dict:
    stats = tool.probe.process_stats(tool.main_window()["hwnd"])
    assert stats["pid"] == tool.pid
    return {name: stats[name] for name in ("handles", "gdi_objects", "user_objects", "windows", "private_bytes")}


def report(session, title: str, start: dict, end: dict, extra: str) -> None:
    """Prints the figures (seen with pytest -s) and keeps them as figures.txt among the test's artifacts."""
    lines = [f"{title} ({extra})"] + [
        f"  {name:14} start {start[name]:>10}  end {end[name]:>10}  change {end[name] - start[name]:>+8}"
        for name in start]
    print("\n" + "\n".join(lines))
    session.artifacts.mkdir(parents=True, exist_ok=True)
    (session.artifacts / "figures.txt").write_text("\n".join(lines) + "\n", encoding="utf-8")


def assert_no_growth(start: dict, end: dict) -> None:
    assert end["handles"] - start["handles"] <= HANDLE_SLACK, (start, end)
    assert end["gdi_objects"] - start["gdi_objects"] <= GDI_SLACK, (start, end)
    assert end["user_objects"] - start["user_objects"] <= USER_SLACK, (start, end)
    assert end["windows"] == start["windows"], (start, end)
    assert end["private_bytes"] - start["private_bytes"] <= PRIVATE_BYTES_SLACK, (start, end)


def test_probe_reads_the_figures_of_a_process(wine, release_server, fast_tool):
    """The figures are real readings: a running GUI program holds handles,
    GDI objects (its fonts) and private memory."""
    pc = InstalledPC(wine, fast_tool)
    pc.make_no_update_due()
    release_server.connect(wine)
    tool = pc.start()
    tool.wait_main_window(visible=False)
    stats = figures(tool)
    # Two windows (the main one and the hidden settings one) with their controls.
    assert stats["windows"] >= 2 + 9, stats
    assert stats["handles"] > 0 and stats["gdi_objects"] > 0 and stats["private_bytes"] > 1024 * 1024, stats
    # Its eleven fonts (five per window and the list box's own) at least.
    assert stats["gdi_objects"] >= 10, stats


def test_checks_at_the_mark_leak_nothing(wine, release_server, tool_with_and_without_log):
    exe, ticks = tool_with_and_without_log
    pc = InstalledPC(wine, exe)
    pc.make_no_update_due()
    release_server.connect(wine)
    tool = pc.start()
    clock = ClockWatch(tool)
    clock.until(lambda caption: caption == MARK, ROUND_TIMEOUT, "the clock to reach the mark")
    main = tool.main_window()
    check_box = tool.control(main, DOWNLOAD_XAMPP)["hwnd"]
    probe = tool.probe

    probe.post_timer_ticks(main["hwnd"], TIMER1, WARM_UP_TICKS, check_box)
    start = figures(tool)
    began = time.monotonic()
    posted = probe.post_timer_ticks(main["hwnd"], TIMER1, ticks, check_box)
    seconds = time.monotonic() - began
    end = figures(tool)
    report(wine, f"update mode at the mark, {exe.parent.name}", start, end,
           f"{posted['posted']} ticks in {posted['batches']} batches, {seconds:.1f} s, "
           f"{posted['posted'] / seconds:.0f} checks/s, {seconds / posted['posted'] * 1e6:.0f} µs per check")

    assert posted["posted"] == ticks
    assert clock.read() == MARK, "no update was due, so the clock stays at the mark"
    assert [call[0].rsplit("/", 1)[-1] for call in wget_calls(wine)] == ["ultima_atualizacao.txt"], \
        "the checks at the mark reuse the fetched marker"
    assert standin_runs(wine) == []
    assert tool.alive() and tool.probe.message_boxes() == []
    assert_no_growth(start, end)


def test_updates_applied_over_and_over_leak_nothing(wine, release_server, fast_tool):
    pc = InstalledPC(wine, fast_tool)
    pc.make_update_due()
    release_server.connect(wine)
    tool = pc.start()
    clock = ClockWatch(tool)
    main = tool.main_window()
    check_box = tool.control(main, DOWNLOAD_XAMPP)["hwnd"]
    probe = tool.probe

    def updates_done() -> int:
        return sum(1 for line in standin_runs(wine) if line.split()[:2] == ["end", IMPORT_SCRIPT])

    def one_round(number: int) -> None:
        # The update at start, or the one of the check the posted ticks bring about.
        clock.until(lambda caption: updates_done() >= number and clock_ticks(caption) < MARK_TICKS - 50,
                    ROUND_TIMEOUT, f"update {number} and the clock's reset")
        # The package brought a fresh installed marker: the next one is due again.
        pc.make_update_due()
        probe.post_timer_ticks(main["hwnd"], TIMER1, MARK_TICKS + 1, check_box)

    one_round(1)
    one_round(2)  # the first rounds load what a process loads once
    start = figures(tool)
    began = time.monotonic()
    for number in range(3, UPDATE_ROUNDS + 3):
        one_round(number)
    clock.until(lambda caption: updates_done() >= UPDATE_ROUNDS + 3 and clock_ticks(caption) < MARK_TICKS - 50,
                ROUND_TIMEOUT, "the last update")
    seconds = time.monotonic() - began
    end = figures(tool)
    report(wine, "updates applied over and over", start, end,
           f"{UPDATE_ROUNDS} updates, {len(wget_calls(wine))} fetches in all, {seconds:.1f} s")

    runs = standin_runs(wine)
    assert sum(1 for line in runs if line.split()[:2] == ["end", PACKAGE]) == UPDATE_ROUNDS + 3
    assert updates_done() == UPDATE_ROUNDS + 3
    assert tool.alive() and tool.probe.message_boxes() == []
    assert_no_growth(start, end)

"""Start-up of the real exe under Wine: the argument text chooses installer
or update mode, how the program ends, and the address lookup's message boxes
on a PC without a usable network."""

from __future__ import annotations

import re
import time

import pytest

from rig.wine_rig import wait_until
from rig.zunaveri_tool import (
    COMMAND2_SAIR, IPSERVIDOR, MAIN_CAPTION, PROGRAM_TITLE, SETTINGS_CAPTION, BuildSettings, RunningTool,
    clock_ticks, install_tool, launch_tool, start_installer_mode,
)

CLOCK_FIELD = r"(00|[1-9][0-9]*)"
HOST_LOOKUP_FAILED = "Windows Sockets não esta respondendo. não é possivel obter nome do Host"
IDOK = 1


@pytest.fixture(scope="module")
def tick_seconds(windows_build) -> float:
    return BuildSettings.of(windows_build).tick_ms / 1000


def assert_installer_mode(tool: RunningTool) -> None:
    main = tool.wait_main_window(visible=True)
    assert main["caption"] == MAIN_CAPTION
    settings = tool.settings_windows()
    assert len(settings) == 1 and not settings[0]["visible"], "the settings window waits hidden"


def assert_clock_runs(tool: RunningTool, tick_seconds: float) -> None:
    """Watches the hidden clock for a few seconds and checks that it counted
    the ticks of that time. A failed update check sets the clock back to
    00:00:00, so a fall counts as a new start, not as lost ticks."""
    duration = max(2.5, 4 * tick_seconds)
    started = time.monotonic()
    captions = [tool.clock()]
    while time.monotonic() - started < duration:
        time.sleep(min(0.2, tick_seconds / 2))
        captions.append(tool.clock())
    elapsed = time.monotonic() - started
    for caption in captions:
        assert re.fullmatch(f"{CLOCK_FIELD}:{CLOCK_FIELD}:{CLOCK_FIELD}", caption), caption
    ticks = [clock_ticks(caption) for caption in captions]
    counted = sum(now - before if now >= before else now for before, now in zip(ticks, ticks[1:]))
    possible = elapsed / tick_seconds
    assert counted >= 1, f"the clock stood still: {captions}"
    assert counted <= possible + 2, f"{counted} ticks counted in {possible:.1f} intervals: {captions}"
    assert counted >= possible / 2 - 1, f"only {counted} ticks counted in {possible:.1f} intervals: {captions}"


def assert_update_mode(tool: RunningTool, tick_seconds: float) -> None:
    main = tool.wait_main_window(visible=False)
    assert not main["visible"]
    assert_clock_runs(tool, tick_seconds)
    assert tool.visible_windows() == [], "update mode shows no window at all"
    assert tool.alive()


class TestRunModes:
    @pytest.mark.parametrize("tail", [
        "",
        " /ATUALIZAR",
        " /Atualizar",
        " /atualizar x",
        ' "/atualizar"',
        " /atualizar ",
        " /remover /silencioso",
    ], ids=["no argument", "capitals", "capital A", "further word", "quoted", "trailing blank",
            "removal in a keyless build"])
    def test_any_other_argument_text_is_installer_mode(self, wine, tail):
        assert_installer_mode(launch_tool(wine, tail))

    def test_timer_stays_off_in_installer_mode(self, wine, tick_seconds):
        tool, main = start_installer_mode(wine)
        time.sleep(max(2.5, 4 * tick_seconds))
        assert tool.clock() == "00:00:00"

    @pytest.mark.parametrize("tail", [" /atualizar", "   /atualizar"], ids=["one blank", "several blanks"])
    def test_atualizar_is_update_mode(self, wine, tick_seconds, tail):
        assert_update_mode(launch_tool(wine, tail), tick_seconds)

    def test_copies_run_side_by_side(self, wine, tick_seconds):
        installers = [launch_tool(wine), launch_tool(wine)]
        updater = launch_tool(wine, " /atualizar")
        for tool in installers:
            assert_installer_mode(tool)
        assert installers[0].pid != installers[1].pid
        assert_update_mode(updater, tick_seconds)
        assert all(tool.alive() for tool in installers)
        assert len(wine.probe.find(MAIN_CAPTION)) == 3

    def test_update_mode_started_by_wine_command(self, wine, tick_seconds):
        wine.wine(install_tool(wine), "/atualizar")
        main = wine.probe.wait_window(MAIN_CAPTION, visible=False)
        assert_update_mode(RunningTool(wine, main["pid"]), tick_seconds)


class TestEnding:
    def test_sair_ends_the_program_with_the_settings_window_open(self, wine):
        tool, main = start_installer_mode(wine)
        tool.open_settings()
        wine.probe.click(tool.control(main, COMMAND2_SAIR)["hwnd"])
        assert not tool.wait_exit()["alive"]
        assert wine.probe.find(MAIN_CAPTION) == [] and wine.probe.find(SETTINGS_CAPTION) == []

    @pytest.mark.parametrize("settings_shown", [False, True], ids=["settings hidden", "settings shown"])
    def test_close_box_of_the_main_window_ends_the_program(self, wine, settings_shown):
        tool, main = start_installer_mode(wine)
        if settings_shown:
            tool.open_settings()
        wine.probe.close_box(main["hwnd"])
        assert not tool.wait_exit()["alive"], "no process may linger with only the hidden settings window"
        assert wine.probe.find(MAIN_CAPTION) == [] and wine.probe.find(SETTINGS_CAPTION) == []


def wait_message_box(tool: RunningTool) -> dict:
    return wait_until(lambda: next((box for box in tool.probe.message_boxes() if box["pid"] == tool.pid), None),
                      20, what="a message box")


def check_host_lookup_box(box: dict) -> None:
    assert box["caption"] == PROGRAM_TITLE
    assert box["text"] == HOST_LOOKUP_FAILED
    assert [button["id"] for button in box["buttons"]] == [IDOK]
    assert not box["icon"]


@pytest.mark.parametrize("refused", ["ZunaveriForm1", "ListBox"], ids=["main window", "one of its controls"])
def test_main_window_that_cannot_be_created_ends_the_program_with_the_error(wine, refused):
    started = wine.probe.launch_refusing(refused, f'"{install_tool(wine)}"')
    tool = RunningTool(wine, started["pid"])
    box = wait_message_box(tool)
    assert box["caption"] == PROGRAM_TITLE
    assert box["text"] == "Erro em tempo de execução '8':\r\n\r\n" + started["system_text"].rstrip("\r\n ")
    assert [w for w in tool.windows(MAIN_CAPTION) if w["visible"]] == []
    wine.screenshot("start_up_error", wine.probe.window(box["hwnd"]))
    wine.probe.click(box["buttons"][0]["hwnd"])
    assert tool.wait_exit(20)["exit_code"] == 1


class TestWithoutNetwork:
    def test_installer_mode_reports_the_failed_lookup_and_leaves_the_address_empty(self, wine_without_network):
        session = wine_without_network
        tool = launch_tool(session)
        box = wait_message_box(tool)
        check_host_lookup_box(box)
        assert [w for w in tool.windows(MAIN_CAPTION) if w["visible"]] == [], "the box comes before the window"
        session.screenshot("host_lookup_message", session.probe.window(box["hwnd"]))

        session.probe.click(box["buttons"][0]["hwnd"])
        assert_installer_mode(tool)
        assert tool.control_text(tool.main_window(), IPSERVIDOR) == ""
        assert [b for b in session.probe.message_boxes() if b["pid"] == tool.pid] == []

    def test_update_mode_shows_the_message_and_goes_on(self, wine_without_network, tick_seconds):
        session = wine_without_network
        tool = launch_tool(session, " /atualizar")
        box = wait_message_box(tool)
        check_host_lookup_box(box)
        session.probe.click(box["buttons"][0]["hwnd"])
        wait_until(lambda: not any(b["pid"] == tool.pid for b in session.probe.message_boxes()), 10,
                   what="the message box to go")
        assert_update_mode(tool, tick_seconds)

"""The tool as the end-to-end tests see it: its captions, the control ids of
its two windows, and a handle on one running copy in a WineSession."""

from __future__ import annotations

from dataclasses import dataclass
from pathlib import Path
from typing import Optional

from .wine_rig import WineSession, cmake_cache_value, wait_until

EXE_NAME = "Instalador_ZunaveriDigital.exe"
TOOL_FOLDER = "C:\\e2e"
MAIN_CAPTION = "Instalador Zunaveri Digital"
SETTINGS_CAPTION = " Configurar FTP"
PROGRAM_TITLE = "Instalador Zunaveri"

# Control ids of the main window (Form1).
IPSERVIDOR = 101
DOWNLOAD_XAMPP = 102
COMMAND1_INSTALAR = 103
COMMAND2_SAIR = 104
TAREFA = 105
LABEL3_CONFIGURAR_FTP = 106
CRONOMETRO = 107
LABEL2_IP = 108
LABEL1_RELATORIO = 109

# Control ids of the FTP settings window (Form3).
SERVIDOR_FTP = 201
COMMAND1_ALTERAR = 202
SENHA_FTP = 203
USUARIO_FTP = 204
LABEL3_SERVIDOR = 205
LABEL2_SENHA = 206
LABEL1_USUARIO = 207

DEFAULT_USER = "admin_arquivos"


@dataclass(frozen=True)
class BuildSettings:
    ftp_domain: str
    ftp_password: str
    tick_ms: int

    @staticmethod
    def of(windows_build: Path) -> "BuildSettings":
        domain = cmake_cache_value(windows_build, "ZUNAVERI_FTP_DOMAIN")
        password = cmake_cache_value(windows_build, "ZUNAVERI_FTP_PASSWORD")
        tick = cmake_cache_value(windows_build, "ZUNAVERI_TICK_MS")
        if domain is None or password is None or tick is None:
            raise RuntimeError(f"deployment values missing from {windows_build / 'CMakeCache.txt'}")
        return BuildSettings(domain, password, int(tick))


class RunningTool:
    """One started copy of the tool."""

    def __init__(self, session: WineSession, pid: int):
        self.session = session
        self.probe = session.probe
        self.pid = pid

    # Windows ------------------------------------------------------------------
    def windows(self, caption: str) -> list[dict]:
        return [window for window in self.probe.find(caption) if window["pid"] == self.pid]

    def visible_windows(self) -> list[dict]:
        """Every visible top-level window of this process, message boxes included."""
        seen = {}
        for caption in (MAIN_CAPTION, SETTINGS_CAPTION):
            for window in self.windows(caption):
                if window["visible"]:
                    seen[window["hwnd"]] = window
        for box in self.probe.message_boxes():
            if box["pid"] == self.pid:
                seen[box["hwnd"]] = box
        return list(seen.values())

    def main_window(self) -> dict:
        found = self.windows(MAIN_CAPTION)
        assert len(found) == 1, f"expected one main window, found {found}"
        return found[0]

    def wait_main_window(self, visible: bool = True, timeout: float = 60.0) -> dict:
        try:
            return wait_until(lambda: next((w for w in self.windows(MAIN_CAPTION) if w["visible"] or not visible),
                                           None), timeout, what=f"the main window of pid {self.pid}")
        except TimeoutError as error:
            # Say what there was instead: the process's state, its windows, any message box.
            raise TimeoutError(f"{error}; process alive: {self.probe.alive(self.pid)}; its windows: "
                               f"{self.windows(MAIN_CAPTION)}; message boxes: {self.probe.message_boxes()}") from None

    def settings_windows(self) -> list[dict]:
        return self.windows(SETTINGS_CAPTION)

    def wait_settings_window(self, visible: bool, timeout: float = 10.0) -> dict:
        def settled():
            found = self.settings_windows()
            return found[0] if len(found) == 1 and found[0]["visible"] == visible else None

        return wait_until(settled, timeout, what=f"one {'visible' if visible else 'hidden'} settings window")

    def control(self, window: dict, control_id: int) -> dict:
        return self.probe.controls(window["hwnd"])[control_id]

    def control_text(self, window: dict, control_id: int) -> str:
        return self.probe.text(self.control(window, control_id)["hwnd"])

    # Actions ------------------------------------------------------------------
    def click_configurar_ftp(self) -> None:
        """A mouse click on the label, as the user makes it."""
        self.probe.mouse_click(self.control(self.main_window(), LABEL3_CONFIGURAR_FTP)["hwnd"])

    def open_settings(self) -> dict:
        self.click_configurar_ftp()
        return self.wait_settings_window(visible=True)

    def alive(self) -> bool:
        return self.probe.alive(self.pid)

    def wait_exit(self, timeout: float = 15.0) -> dict:
        return self.probe.wait_exit(self.pid, timeout)

    def clock(self) -> str:
        return self.control_text(self.main_window(), CRONOMETRO)


def install_tool(session: WineSession) -> str:
    """Puts the exe into the prefix once (a copy already running must not be overwritten)."""
    target = session.unix_path(TOOL_FOLDER) / EXE_NAME
    if target.exists():
        return session.windows_path(target)
    return session.install(session.windows_build / EXE_NAME, TOOL_FOLDER)


def launch_tool(session: WineSession, tail: str = "") -> RunningTool:
    """Starts the tool with the command line: its quoted path followed by tail, exactly."""
    exe = install_tool(session)
    return RunningTool(session, session.launch(f'"{exe}"{tail}'))


def start_installer_mode(session: WineSession, tail: str = "") -> tuple[RunningTool, dict]:
    tool = launch_tool(session, tail)
    return tool, tool.wait_main_window(visible=True)


def clock_ticks(caption: str) -> Optional[int]:
    """Ticks counted by a clock caption such as 00:1:5; None when it is not one."""
    parts = caption.split(":")
    if len(parts) != 3 or not all(part.isdigit() for part in parts):
        return None
    hours, minutes, seconds = (int(part) for part in parts)
    return (hours * 60 + minutes) * 60 + seconds


"""One installation run of the real exe, driven as a technician does it:
start the tool from C:\\e2e (wget.exe beside it), set the check box and the
address field, click "Instalar", read the log as the window shows it, and
wait for the completion box. Also the fixed texts the run writes and the
files it leaves, for the tests to compare against."""

from __future__ import annotations

import re
from pathlib import Path
from typing import Optional

from .release_server import ReleaseServer, standin_runs
from .wine_rig import WineSession, pixels_in, read_image, wait_until
from .zunaveri_tool import (
    COMMAND1_INSTALAR, COMMAND2_SAIR, DOWNLOAD_XAMPP, EXE_NAME, IPSERVIDOR, TAREFA, TOOL_FOLDER,
    RunningTool, launch_tool,
)

ERROR_PREFIX = "Houve um erro nessa etapa: "
COMPLETION_TEXT = "Zunaveri Digital instalado com sucesso"
IDOK = 1

WEB_STACK_LINES = [
    "1. Baixando XAMPP...",
    "Download do XAMPP concluído!",
    "Instalando XAMPP...",
    "2. Configurando arquivos do Apache e PHP",
    "3. Copiando DLL's necessárias para correto funcionamento",
    "4. Iniciando serviço do Apache e MySQL",
    ">> XAMPP instalado com sucesso <<",
]
SEPARATOR = " "
APPLICATION_LINES = [
    "1. Baixando Zunaveri Digital...",
    "2. Instalando Zunaveri Digital...",
    "3. Configurando arquivos do zunaveri",
    "4. Copiando instalador para pasta do XAMPP",
    "5. Baixando estrutura do Banco de Dados...",
    "6. Importando Base de Dados...",
    "Base de Dados importada com sucesso!",
    "7. Limpando arquivos temporários...",
    ">> Zunaveri Digital instalado com sucesso <<",
]

# The temporary folder's leftovers that the end of a run deletes, in the
# order in which it handles them.
SWEPT_NAMES = [
    "zunaveri-digital.exe", "ultima_atualizacao.txt", "atualizacao_zunaveri.xml", "importar_dados.bat",
    "httpd.configurado", "fbclient.dll", "gds32.dll", "instalador_zunaveri.exe", "zunaveri.sql",
]

# What the application package stand-in writes as C:\xampp\htdocs\.env
# (tests/e2e/standins/standin.cpp): the token alone on the second line,
# and a UTF-8 comment whose bytes must come through the edit unchanged.
PACKAGE_ENV_LINES = [
    b"CI_ENVIRONMENT = production",
    b"#IP_DO_SERVIDOR",
    b"database.default.hostname = localhost",
    "# comentário em UTF-8: ação".encode("utf-8"),
]
PACKAGE_ENV_TOKEN_LINE = 1

# What the import script's database client records: the web-stack
# installer stand-in lays it down as C:\xampp\mysql\bin\mysql.exe, and the
# script starts it with the database structure as its input.
DATABASE_CLIENT_PROGRAMS = ["start mysql.exe -u root", "end mysql.exe"]

# What the web-stack installer stand-in lays down.
STANDIN_PHP_INI = (b"[PHP]\r\nengine=On\r\n;extension=bz2\r\n;extension=intl\r\n;extension=interbase\r\n"
                   b";extension=mysqli\r\n")
STANDIN_HTTPD_CONF = (b'ServerRoot "/xampp/apache"\r\n#Listen 12.34.56.78:80\r\nListen 80\r\n'
                      b"ServerName localhost:80\r\n")


def base_url_line(address: str) -> bytes:
    return f"app.baseURL = 'http://{address}:8090/'".encode("ascii")


def expected_env(address: str) -> bytes:
    lines = list(PACKAGE_ENV_LINES)
    lines[PACKAGE_ENV_TOKEN_LINE] = base_url_line(address)
    return b"".join(line + b"\r\n" for line in lines)


def error_lines(log: list[str]) -> list[str]:
    return [line for line in log if line.startswith(ERROR_PREFIX)]


def without_errors(log: list[str]) -> list[str]:
    return [line for line in log if not line.startswith(ERROR_PREFIX)]


def error_positions(log: list[str]) -> list[tuple[str, int]]:
    """For every error line: the fixed line it follows and how many error
    lines in a row stand there, e.g. [("3. Configurando...", 4)]."""
    found: list[tuple[str, int]] = []
    previous = None
    for line in log:
        if line.startswith(ERROR_PREFIX):
            if found and found[-1][0] == previous:
                found[-1] = (previous, found[-1][1] + 1)
            else:
                found.append((previous, 1))
        else:
            previous = line
    return found


def c_path(session: WineSession, windows_path: str) -> Path:
    """The Unix path of a C: path, whatever its letter case (the prefix's
    own folders are lower case: C:\\Windows is drive_c/windows)."""
    path = session.drive_c
    for part in windows_path[3:].split("\\"):
        if not part:
            continue
        match = next((child for child in path.iterdir() if child.name.lower() == part.lower()), None) \
            if path.is_dir() else None
        path = match if match is not None else path / part
    return path


def temp_file(session: WineSession, name: str) -> Path:
    return c_path(session, "C:\\windows\\temp\\" + name)


def process_folders(session: WineSession) -> list[Path]:
    """The folders of the tool's processes in the temporary folder: the keyed build
    fetches into them; each goes when its process ends."""
    temp = c_path(session, "C:\\windows\\temp")
    return sorted(path for path in temp.iterdir() if re.fullmatch(r"zunaveri-[0-9a-f]{32}", path.name))


def own_copies(session: WineSession, name: str) -> list[Path]:
    """The copies of a fetched file in the tool's process folders."""
    return [folder / name for folder in process_folders(session) if (folder / name).exists()]


def prepare_tool_folder(session: WineSession, wget_source: Path) -> None:
    """The tool and wget.exe in C:\\e2e, as a technician copies them."""
    session.install(session.windows_build / EXE_NAME, TOOL_FOLDER)
    session.install(wget_source, TOOL_FOLDER)


def prepare(session: WineSession, server: ReleaseServer, environment: Optional[dict] = None) -> None:
    """Points the session's wget.exe at the server and puts the tool in place.
    Call before anything starts the probe: the tool gets the probe's
    environment and hands it on to its children."""
    server.connect(session)
    session.env.update(environment or {})
    prepare_tool_folder(session, session.windows_build / "sample-release" / "wget.exe")


class InstallationRun:
    """One started copy of the tool and its main window's controls."""

    def __init__(self, session: WineSession, tail: str = ""):
        self.session = session
        self.probe = session.probe
        self.tool: RunningTool = launch_tool(session, tail)
        self.main = self.tool.wait_main_window(visible=True)
        self.controls = {control_id: control["hwnd"] for control_id, control in
                         self.probe.controls(self.main["hwnd"]).items()}

    # Controls ------------------------------------------------------------------
    def control(self, control_id: int) -> dict:
        return self.probe.controls(self.main["hwnd"])[control_id]

    def enabled(self, control_id: int) -> bool:
        return self.control(control_id)["enabled"]

    def address(self) -> str:
        return self.probe.text(self.controls[IPSERVIDOR])

    def set_address(self, text: str) -> None:
        self.probe.set_text(self.controls[IPSERVIDOR], text)
        assert self.address() == text

    def type_address(self, text: str) -> None:
        """Empties the field and types the text key by key, as a user does."""
        self.probe.set_text(self.controls[IPSERVIDOR], "")
        self.probe.type_text(self.controls[IPSERVIDOR], text)
        wait_until(lambda: self.address() == text, 10, what=f"the address field to read {text!r}")

    def set_download_xampp(self, checked: bool) -> None:
        if bool(self.control(DOWNLOAD_XAMPP)["checked"]) != checked:
            self.probe.click(self.controls[DOWNLOAD_XAMPP])
            wait_until(lambda: bool(self.control(DOWNLOAD_XAMPP)["checked"]) == checked, 10,
                       what="the check box to change")

    def log(self) -> list[str]:
        return self.probe.list_items(self.controls[TAREFA])

    # The run ------------------------------------------------------------------
    def click_instalar(self) -> None:
        self.probe.click(self.controls[COMMAND1_INSTALAR])

    def completion_box(self) -> Optional[dict]:
        return next((box for box in self.probe.message_boxes() if box["pid"] == self.tool.pid), None)

    def wait_completion_box(self, timeout: float = 180.0) -> dict:
        return wait_until(self.completion_box, timeout, interval=0.25, what="the completion message box")

    def dismiss(self, box: dict) -> None:
        ok = [button for button in box["buttons"] if button["id"] == IDOK]
        assert ok, f"the box has no OK button: {box}"
        self.probe.click(ok[0]["hwnd"])
        wait_until(lambda: self.completion_box() is None, 10, what="the message box to go")

    def install(self, checked: bool, address: Optional[str] = None) -> tuple[list[str], dict]:
        """A whole run: the log as it stands when the box comes, and the box
        (still open)."""
        self.set_download_xampp(checked)
        if address is not None:
            self.set_address(address)
        self.click_instalar()
        box = self.wait_completion_box()
        return self.log(), box

    def leave(self) -> None:
        """Ends the program with "Sair" and waits until its process is gone."""
        self.probe.click(self.controls[COMMAND2_SAIR])
        assert not self.tool.wait_exit(20)["alive"]


def wait_for_standin(session: WineSession, line: str, timeout: float = 120.0) -> None:
    wait_until(lambda: line in standin_runs(session), timeout, interval=0.1, what=f"the stand-in line {line!r}")


SS_TYPEMASK = 0x1F
SS_ICON = 0x3


def icon_hues(session: WineSession, box: dict, shot: Path) -> dict[str, int]:
    """Counts the strongly blue, red and yellow pixels of the icon that a
    message box shows, read from a screenshot of the box (session.screenshot
    with the box's window): the information icon is drawn in blue, the
    warning icon in yellow and the error icon in red."""
    window = session.probe.window(box["hwnd"])
    icons = [control for control in session.probe.children(box["hwnd"])["controls"]
             if control["class"].lower() == "static" and control["style"] & SS_TYPEMASK == SS_ICON
             and control["visible"]]
    assert len(icons) == 1, f"expected one icon in the box: {icons}"
    rect = icons[0]["rect"]
    left = window["client"]["left"] - window["rect"]["left"] + rect["left"]
    top = window["client"]["top"] - window["rect"]["top"] + rect["top"]
    counts = {"blue": 0, "red": 0, "yellow": 0}
    for red, green, blue in pixels_in(read_image(shot), left, top, rect["width"], rect["height"]):
        if blue > red + 60 and blue > green + 20:
            counts["blue"] += 1
        elif red > blue + 80 and red > green + 80:
            counts["red"] += 1
        elif red > blue + 80 and green > blue + 80:
            counts["yellow"] += 1
    return counts

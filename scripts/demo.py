#!/usr/bin/python3
"""The main job, shown end to end: a whole installation by the real exe
under Wine against the bundled sample release, served by a real FTP server
on 127.0.0.1 and fetched by real GNU wget.

Makes a sandbox Wine prefix, puts the tool and wget.exe in C:\\Zunaveri,
starts the FTP server, types its settings into the FTP settings window,
clicks "Instalar", prints the log lines as the window shows them, dismisses
the completion box, prints where the installed files are, saves screenshots
under artifacts/demo/ and stops everything it started. With DISPLAY set the
Wine desktop opens on that display, so the run can be watched.

With --assinado it runs the build that checks signed releases
(build/windows-signed, a throwaway key) against the signed sample release,
then changes one byte of the package on the server and runs a second
installation, which refuses the package and never runs it. Last, a newer
signed release brings a new updater and wget.exe: the installed updater,
started in update mode, replaces wget.exe at once and itself at the restart
(wineboot -r), and the new updater then runs and checks."""

from __future__ import annotations

import contextlib
import hashlib
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path
from typing import Optional

REPOSITORY = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPOSITORY / "tests" / "e2e"))

from rig.operator_log_file import entries as log_entries  # noqa: E402
from rig.release_server import ReleaseServer  # noqa: E402
from rig.signed_release import sign  # noqa: E402
from rig.update_mode import DAY, HOME_TOOL, INSTALLED_MARKER, ClockWatch, restart_windows  # noqa: E402
from rig.wine_rig import Display, PrefixTemplate, WineSession, interrupt_on_sigterm, wait_until  # noqa: E402
from rig.zunaveri_tool import (COMMAND1_ALTERAR, COMMAND1_INSTALAR, COMMAND2_SAIR, DEFAULT_USER,  # noqa: E402
                           DOWNLOAD_XAMPP, PROGRAM_TITLE, SENHA_FTP, SERVIDOR_FTP, TAREFA, USUARIO_FTP,
                           BuildSettings, RunningTool)

SIGNED = "--assinado" in sys.argv[1:]
WINDOWS_BUILD = REPOSITORY / "build" / ("windows-signed" if SIGNED else "windows")
ARTIFACTS = REPOSITORY / "artifacts" / ("demo-assinado" if SIGNED else "demo")
TOOL_FOLDER = "C:\\Zunaveri"
DEMO_DOMAIN = "demo.zunaveri.invalid"
DEMO_PASSWORD = "senha-demo1"


class ExistingDisplay:
    """The user's own X display."""

    def __init__(self, name: str):
        self.name = name

    def close(self) -> None:
        pass


def say(text: str) -> None:
    print(text, flush=True)


def main() -> int:
    # Everything started here is stopped on every way out: an error, Ctrl+C
    # or SIGTERM (which ends the demo like Ctrl+C).
    interrupt_on_sigterm()
    with contextlib.ExitStack() as started:
        return run_demo(started)


def run_demo(started: contextlib.ExitStack) -> int:
    display = ExistingDisplay(os.environ["DISPLAY"]) if os.environ.get("DISPLAY") else Display()
    started.callback(display.close)
    say(f"Tela: {display.name}" + ("" if os.environ.get("DISPLAY") else " (Xvfb privado)"))
    shutil.rmtree(ARTIFACTS, ignore_errors=True)
    ARTIFACTS.mkdir(parents=True)
    server = ReleaseServer(WINDOWS_BUILD, password=DEMO_PASSWORD)
    started.callback(server.close)
    say(f"Servidor FTP de teste em 127.0.0.1:{server.port}, servindo {server.folder}")
    template = PrefixTemplate(REPOSITORY / "build" / "demo-cache", display)
    session = WineSession(template, display, WINDOWS_BUILD, ARTIFACTS)
    started.callback(session.close)
    server.connect(session)
    exe = session.install(WINDOWS_BUILD / "Instalador_ZunaveriDigital.exe", TOOL_FOLDER)
    session.install(server.file("wget.exe"), TOOL_FOLDER)
    say(f"Prefixo Wine: {session.prefix}")
    tool = RunningTool(session, session.launch(f'"{exe}"'))
    main_window = tool.wait_main_window(visible=True)
    probe = session.probe

    type_ftp_settings(session, tool)

    if SIGNED:
        show_signed_release(server)
    if install_and_show_log(session, probe, main_window, "conclusao") is None:
        return 1

    xampp = session.drive_c / "xampp"
    say(f"Arquivos instalados (C:\\xampp = {xampp}):")
    for path in sorted(xampp.rglob("*")):
        if path.is_file():
            say(f"  {path.relative_to(session.drive_c)}  ({path.stat().st_size} bytes)")
    say("C:\\xampp\\htdocs\\.env:")
    for line in (xampp / "htdocs" / ".env").read_text(encoding="utf-8", errors="replace").splitlines():
        say(f"  {line}")
    shutil.copytree(xampp, ARTIFACTS / "xampp")
    say(f"Cópia de C:\\xampp e capturas de tela em {ARTIFACTS}")

    probe.click(probe.controls(main_window["hwnd"])[COMMAND2_SAIR]["hwnd"])
    tool.wait_exit()
    say("Sair: o instalador terminou.")
    if SIGNED:
        return show_tampered_package_refused(session, server, exe) or show_updater_replaced(session, server)
    return 0


def type_ftp_settings(session: WineSession, tool: RunningTool) -> None:
    """Types the demo server's settings into " Configurar FTP" and closes it with "Alterar"."""
    probe = session.probe
    settings = tool.open_settings()
    fields = probe.controls(settings["hwnd"])
    probe.set_text(fields[SERVIDOR_FTP]["hwnd"], DEMO_DOMAIN)
    probe.set_text(fields[USUARIO_FTP]["hwnd"], DEFAULT_USER)
    probe.set_text(fields[SENHA_FTP]["hwnd"], DEMO_PASSWORD)
    session.screenshot("configurar-ftp", probe.window(settings["hwnd"]))
    probe.click(fields[COMMAND1_ALTERAR]["hwnd"])
    tool.wait_settings_window(visible=False)
    say(f"Configurar FTP: servidor {DEMO_DOMAIN}, usuário {DEFAULT_USER}, senha {DEMO_PASSWORD}")


def install_and_show_log(session: WineSession, probe, main_window: dict, shot: str) -> Optional[dict]:
    """Clicks "Instalar", prints the log lines as the window shows them and dismisses the
    completion box; screenshots before, at the box and after."""
    controls = probe.controls(main_window["hwnd"])
    first = shot == "conclusao"
    session.screenshot("antes" if first else f"antes-{shot}", probe.window(main_window["hwnd"]))
    probe.click(controls[COMMAND1_INSTALAR]["hwnd"])
    say("Instalar clicado. Relatório:")

    shown = 0
    box = None
    deadline = time.monotonic() + 600
    while box is None and time.monotonic() < deadline:
        lines = probe.list_items(controls[TAREFA]["hwnd"])
        for line in lines[shown:]:
            say(f"  | {line}")
        shown = len(lines)
        boxes = [b for b in probe.message_boxes() if b["caption"] == PROGRAM_TITLE]
        box = boxes[0] if boxes else None
        time.sleep(0.2)
    if box is None:
        say("A mensagem de conclusão não apareceu em 10 minutos.")
        return None
    for line in probe.list_items(controls[TAREFA]["hwnd"])[shown:]:
        say(f"  | {line}")
    session.screenshot(shot, probe.window(main_window["hwnd"]))
    say(f'Mensagem "{box["caption"]}": {box["text"]}')
    probe.click(box["buttons"][0]["hwnd"])
    wait_until(lambda: not [b for b in probe.message_boxes() if b["caption"] == PROGRAM_TITLE], 10,
               what="the completion message box to close")
    session.screenshot("depois" if first else f"depois-{shot}", probe.window(main_window["hwnd"]))
    return box


def show_signed_release(server: ReleaseServer) -> None:
    say("Versão assinada no servidor, manifesto_zunaveri_tamanhos.txt:")
    for line in server.file("manifesto_zunaveri_tamanhos.txt").read_text(encoding="ascii").splitlines():
        say(f"  {line}")
    for name in ("manifesto_zunaveri_tamanhos.sig", "manifesto_zunaveri.txt", "manifesto_zunaveri.sig"):
        say(f"{name}: {server.file(name).stat().st_size} bytes")
    check = subprocess.run([str(REPOSITORY / "scripts" / "release"), "check", "--build", str(WINDOWS_BUILD),
                            str(server.folder)], capture_output=True, text=True)
    say(f"scripts/release check (código de saída {check.returncode}):")
    for line in check.stdout.splitlines():
        say(f"  {line}")


def standin_lines(session: WineSession) -> list[str]:
    record = session.drive_c / "zunaveri-standins.log"
    return record.read_text(encoding="utf-8").splitlines() if record.exists() else []


def show_tampered_package_refused(session: WineSession, server: ReleaseServer, exe: str) -> int:
    package = server.file("zunaveri-digital.exe")
    data = bytearray(package.read_bytes())
    data[-1] ^= 0x01
    package.write_bytes(bytes(data))
    say("")
    say("Pacote adulterado: um byte de zunaveri-digital.exe mudado no servidor, manifesto intacto.")
    ran_before = len(standin_lines(session))
    tool = RunningTool(session, session.launch(f'"{exe}"'))
    main_window = tool.wait_main_window(visible=True)
    probe = session.probe
    type_ftp_settings(session, tool)
    checkbox = probe.controls(main_window["hwnd"])[DOWNLOAD_XAMPP]
    if checkbox["checked"]:
        probe.click(checkbox["hwnd"])
    say("Segunda instalação, sem XAMPP:")
    if install_and_show_log(session, probe, main_window, "pacote-adulterado") is None:
        return 1
    ran = standin_lines(session)[ran_before:]
    say("Programas baixados que rodaram nessa instalação: " + (", ".join(ran) if ran else "nenhum"))
    refused = not any("zunaveri-digital.exe" in line for line in ran)
    say("O pacote adulterado " + ("não rodou." if refused else "RODOU: falha!"))
    probe.click(probe.controls(main_window["hwnd"])[COMMAND2_SAIR]["hwnd"])
    tool.wait_exit()
    return 0 if refused else 1


def show_updater_replaced(session: WineSession, server: ReleaseServer) -> int:
    """A newer signed release with a new updater (the fast-ticking build) and a new wget.exe:
    one update in update mode, the restart, and the new updater at work."""
    installed = session.unix_path(HOME_TOOL)
    old_updater = installed.read_bytes()
    new_updater = (WINDOWS_BUILD / "fast-ticks" / "Instalador_ZunaveriDigital.exe").read_bytes()
    shutil.copy(WINDOWS_BUILD / "sample-release" / "zunaveri-digital.exe", server.file("zunaveri-digital.exe"))
    server.publish("instalador_zunaveri.exe", new_updater)
    server.publish("wget.exe", server.file("wget.exe").read_bytes() + b"nova versao do wget")
    sign(server.folder, WINDOWS_BUILD, serie=2)
    # Update mode fetches with the build's own FTP values, not those typed into the window.
    server.stop()
    server.password = BuildSettings.of(WINDOWS_BUILD).ftp_password
    server.start(port=server.port)
    say("")
    say("Versão 2 assinada no servidor: novo instalador_zunaveri.exe (o de relógio rápido) e novo wget.exe.")
    marker = session.unix_path(INSTALLED_MARKER)
    os.utime(marker, (time.time() + 30 * DAY, time.time() + 30 * DAY))
    seen = len(log_entries(session))
    updater = RunningTool(session, session.launch(f'"{HOME_TOOL}" /atualizar'))
    say(f"{HOME_TOOL} /atualizar iniciado (pid {updater.pid}); registro do operador:")
    try:
        wait_until(lambda: any("wget.exe" in e.text and e.text.startswith("autoatualização")
                               for e in log_entries(session)), 180, what="the updater to replace wget.exe")
    finally:
        for entry in log_entries(session)[seen:]:
            say(f"  | {entry.text}")
    say(f"O atualizador segue rodando: {updater.alive()}; {HOME_TOOL} ainda é o antigo: {installed.read_bytes() == old_updater}")

    scheduled = restart_windows(session)
    say("Reinicialização (wineboot -r); renomeações agendadas: " + "; ".join(f"{a} -> {b}" for a, b in scheduled))
    for path in sorted(installed.parent.glob("instalador_zunaveri.exe*")):
        say(f"  {path.name}: SHA-256 {hashlib.sha256(path.read_bytes()).hexdigest()[:12]}")
    replaced = installed.read_bytes() == new_updater
    seen = len(log_entries(session))
    new = RunningTool(session, session.launch(f'"{HOME_TOOL}" /atualizar'))
    clock = ClockWatch(new)
    first = clock.ticks()
    time.sleep(2)
    say(f"O novo atualizador (pid {new.pid}) contou {clock.ticks() - first} tiques em 2 s; registro:")
    # Process ids start afresh after the restart: the new updater's lines are the ones after `seen`.
    wait_until(lambda: any(e.text.startswith("verificação") for e in log_entries(session)[seen:]), 60,
               what="the new updater's check")
    for entry in log_entries(session)[seen:]:
        say(f"  | {entry.text}")
    say("O atualizador " + ("foi substituído pelo novo." if replaced else "NÃO foi substituído: falha!"))
    return 0 if replaced else 1


if __name__ == "__main__":
    sys.exit(main())

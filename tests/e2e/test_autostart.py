"""The keyed build registers its updater with Windows and removes it again,
under Wine: an installation leaves the scheduled task (Wine keeps it as a
file in C:\\windows\\system32\\tasks, with no triggers or actions: the
task's text is checked natively, tests/unit/task_xml_test.cpp) and the entry
among the installed programs; a second installation leaves one task; an
updater started at home without them registers both; "/remover /silencioso"
and "/remover" (asked: Não changes nothing, Sim removes) end the home's
updater, take the task, the entry and the home away and keep C:\\xampp, the
applied serial and the operator's log."""

from __future__ import annotations

from rig.installation_run import APPLICATION_LINES, InstallationRun, prepare, process_folders
from rig.operator_log_file import texts as log_texts
from rig.release_server import ReleaseServer
from rig.signed_release import applied_serial
from rig.update_mode import (HOME, HOME_TOOL, TASK_FILE, TASK_NAME, InstalledPC, pending_restart_renames,
                             task_names, uninstall_entry)
from rig.wine_rig import wait_until
from rig.zunaveri_tool import EXE_NAME, PROGRAM_TITLE, RunningTool, install_tool

IDYES, IDNO = 6, 7
KEPT_LINE = "atualizador removido; mantidos c:\\xampp, a série aplicada e este log"


def install_once(session) -> None:
    run = InstallationRun(session)
    log, box = run.install(checked=False)
    assert log == APPLICATION_LINES, "no error line after \"4. Copiando instalador...\""
    run.dismiss(box)
    run.leave()


def removal_box(session, pid: int) -> dict:
    return wait_until(lambda: next((box for box in session.probe.message_boxes() if box["pid"] == pid), None),
                      30, what="the removal's message box")


def answer(session, box: dict, button_id: int) -> None:
    assert box["caption"] == PROGRAM_TITLE, box
    session.screenshot(f"caixa-{box['pid']}-{button_id}", session.probe.window(box["hwnd"]))
    session.probe.click(next(button["hwnd"] for button in box["buttons"] if button["id"] == button_id))


def test_installation_registers_and_silent_removal_takes_all_away(signed_build, open_session, request):
    server = ReleaseServer(signed_build)
    with open_session(request.node, build=signed_build) as session:
        prepare(session, server)
        install_once(session)
        entry = uninstall_entry(session)
        assert session.unix_path(TASK_FILE).is_file() and entry is not None
        quoted = f'"{HOME_TOOL}"'
        assert entry == {"DisplayName": "Zunaveri Digital - atualizador", "DisplayVersion": entry["DisplayVersion"],
                         "Publisher": "Zunaveri Digital", "InstallLocation": HOME + "\\",
                         "DisplayIcon": HOME_TOOL + ",0", "EstimatedSize": entry["EstimatedSize"],
                         "NoModify": "0x1", "NoRepair": "0x1", "UninstallString": quoted + " /remover",
                         "QuietUninstallString": quoted + " /remover /silencioso"}, entry
        serial = applied_serial(session)
        assert serial is not None and entry["DisplayVersion"] == str(serial)
        home_bytes = sum(path.stat().st_size for path in session.unix_path(HOME).iterdir())
        assert int(entry["EstimatedSize"], 16) == -(-home_bytes // 1024), "KB, rounded up"

        install_once(session)
        assert task_names(session) == [TASK_NAME], "the second installation replaced the task"

        xampp = {path: path.read_bytes() for path in session.unix_path("C:\\xampp").rglob("*") if path.is_file()}
        updater = RunningTool(session, session.launch(f"{quoted} /atualizar"))
        wait_until(lambda: process_folders(session), 60, what="the updater's download folder")
        remover = session.launch(f"{quoted} /remover /silencioso")
        assert session.probe.wait_exit(remover, 60).get("exit_code") == 0
        assert not updater.alive(), "the home's updater was ended"
        assert session.probe.message_boxes() == [], "asks and tells nothing"
        assert task_names(session) == [] and uninstall_entry(session) is None
        assert process_folders(session) == [], "the ended updater's download folder went too"
        left = sorted(path.name for path in session.unix_path(HOME).glob("*")) if session.unix_path(HOME).exists() \
            else []
        session.kill_wine()
        scheduled = [source.lower() for source, target in pending_restart_renames(session) if target == ""]
        assert all(f"\\??\\{HOME}\\{name}".lower() in scheduled for name in left), (left, scheduled)
        assert not left or scheduled[-1] == f"\\??\\{HOME}".lower(), "the home goes after what it holds"
        assert {path: path.read_bytes() for path in xampp} == xampp, "C:\\xampp is kept as it was"
        assert applied_serial(session) == serial
        assert KEPT_LINE in log_texts(session)
    server.close()


def test_an_updater_at_home_registers_itself_and_an_asked_removal_waits_for_sim(signed_wine, signed_server,
                                                                                 signed_build):
    pc = InstalledPC(signed_wine, signed_build / "fast-ticks" / EXE_NAME, home=True)
    pc.make_no_update_due()
    signed_server.connect(signed_wine)
    updater = pc.start()
    wait_until(lambda: uninstall_entry(signed_wine), 60, what="the entry written by the updater's first run")
    assert task_names(signed_wine) == [TASK_NAME]

    installer = install_tool(signed_wine)  # the technician's copy, outside the home
    declined = signed_wine.launch(f'"{installer}" /remover')
    answer(signed_wine, removal_box(signed_wine, declined), IDNO)
    assert signed_wine.probe.wait_exit(declined, 30).get("exit_code") == 0
    assert updater.alive() and task_names(signed_wine) == [TASK_NAME] and uninstall_entry(signed_wine)
    assert pc.exists(HOME_TOOL)

    accepted = signed_wine.launch(f'"{installer}" /remover')
    answer(signed_wine, removal_box(signed_wine, accepted), IDYES)
    report = wait_until(lambda: next((box for box in signed_wine.probe.message_boxes()
                                      if box["pid"] == accepted and "removido" in box["text"]), None), 60,
                        what="the removal's report")
    assert "tarefa agendada ZunaveriAtualizacao removida" in report["text"], report["text"]
    answer(signed_wine, report, 1)
    assert signed_wine.probe.wait_exit(accepted, 30).get("exit_code") == 0
    assert not updater.alive()
    assert task_names(signed_wine) == [] and uninstall_entry(signed_wine) is None
    assert not pc.exists(HOME), "nothing of the home was in use"
    assert pc.exists("C:\\xampp\\htdocs\\.env")
    assert KEPT_LINE in log_texts(signed_wine)

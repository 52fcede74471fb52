"""GNU wget for Windows reads a start-up file unless told not to: the file
WGETRC names, else .wgetrc in HOME (with no HOME, as under Wine and on most
Windows PCs: in wget.exe's own folder), else wget.ini in wget.exe's folder.
One line there ("output_document = PATH") sends what the tool fetches
elsewhere. A user who can write beside the wget.exe the tool runs must never
get such a file read, in either build.

The wget.exe stand-in reads start-up files as wget does and records which it
read; the first test shows it doing so when it is run by hand, and that an
ended wget.exe stops its transfer as a real one does."""

from __future__ import annotations

import os
import time
from urllib.parse import quote

from rig.installation_run import InstallationRun, c_path, prepare, temp_file
from rig.release_server import REMOTE_FOLDER, ReleaseServer, unix_wget_running, wget_startup_files
from rig.wine_rig import wait_until
from rig.zunaveri_tool import TOOL_FOLDER

# Each planted file sends the fetch to a file of its own, outside the temporary folder.
PLANTED = {".wgetrc": "C:\\zunaveri-plantado-wgetrc.txt", "wget.ini": "C:\\zunaveri-plantado-wget-ini.txt"}


def plant_startup_files(session, folder: str) -> None:
    for name, output in PLANTED.items():
        session.unix_path(f"{folder}\\{name}").write_text(f"# plantado\r\noutput_document = {output}\r\n")


def url_of(server: ReleaseServer, name: str) -> str:
    return f"ftp://{quote(server.user, safe='')}:{quote(server.password, safe='')}@ftp.exemplo/{REMOTE_FOLDER}/{name}"


def test_the_stand_in_reads_start_up_files_as_wget_and_an_ended_one_stops_its_transfer(wine, windows_build):
    server = ReleaseServer(windows_build, throttle=16 * 1024)
    try:
        server.connect(wine)
        wget = wine.install(windows_build / "sample-release" / "wget.exe", TOOL_FOLDER)
        marker = server.file("ultima_atualizacao.txt").read_bytes()

        def fetch(*options: str) -> tuple[int, str]:
            code = wine.wine(wget, *options, url_of(server, "ultima_atualizacao.txt"), "-P", "C:\\windows\\temp"
                             ).wait(timeout=120)
            return code, wget_startup_files(wine)[-1]

        plant_startup_files(wine, TOOL_FOLDER)
        assert fetch() == (0, f"{TOOL_FOLDER}/.wgetrc")
        assert c_path(wine, PLANTED[".wgetrc"]).read_bytes() == marker, "output_document is carried out"
        wine.unix_path(f"{TOOL_FOLDER}\\.wgetrc").unlink()
        assert fetch() == (0, f"{TOOL_FOLDER}/wget.ini")
        assert fetch("--no-config") == (0, "nenhum") and temp_file(wine, "ultima_atualizacao.txt").exists()
        wine.env["WGETRC"] = "C:\\nao-existe.rc"
        assert fetch() == (1, "C:\\nao-existe.rc (não existe)"), "wget refuses a WGETRC that names no file"
        del wine.env["WGETRC"]

        # A large file served slowly; wget.exe ended (TerminateProcess) while it is fetched.
        name = f"grande-{os.getpid()}.bin"
        with open(server.file(name), "wb") as large:
            large.truncate(64 << 20)
        pid = wine.launch(f"{wget} --no-config {url_of(server, name)} -P C:\\windows\\temp")
        part = temp_file(wine, name)
        wait_until(lambda: part.exists() and part.stat().st_size > 0, 60, what="the transfer to begin")
        assert unix_wget_running(server, name)
        wine.wine("taskkill", "/f", "/pid", str(pid)).wait(timeout=60)
        wait_until(lambda: not unix_wget_running(server, name), 10, what="the real wget to stop with wget.exe")
        size = part.stat().st_size
        time.sleep(1.5)
        assert part.stat().st_size == size < 64 << 20, "nothing more is written"
    finally:
        server.close()


def test_start_up_files_planted_beside_wget_exe_are_never_read(any_build):
    kind, session, server = any_build
    prepare(session, server)
    plant_startup_files(session, TOOL_FOLDER)
    InstallationRun(session).install(checked=False)
    read = set(wget_startup_files(session))
    assert read, "wget.exe ran"
    planted = {f"{TOOL_FOLDER}/{name}" for name in PLANTED}
    assert not planted & read, f"the {kind} build let wget.exe read {sorted(read)}"
    assert not any(c_path(session, output).exists() for output in PLANTED.values())

"""Links in C:\\xampp, which every user of the PC may change: an update run
by the elevated tool reads and writes nothing through a folder replaced by
a symbolic link (under Wine a Unix symlink inside the prefix), nor through a
file with a second hard link, and the operator's log says why the step was
skipped. Both builds: the keyless one and the one checking signed releases."""

from __future__ import annotations

import os

import pytest

from rig.operator_log_file import texts as log_texts
from rig.release_server import release_server, standin_runs  # noqa: F401 (fixture)
from rig.services_driver import ServicesDriver
from rig.update_mode import CUSTOMER_LOGO, ENV_FILE, HOME, IMPORT_SCRIPT, LOGO, SAVED_LOGO, ClockWatch, InstalledPC
from rig.zunaveri_tool import EXE_NAME

BRAND = "C:\\xampp\\htdocs\\assets\\img\\brand"
ELSEWHERE = "C:\\elsewhere"
# What a user wants read out of an administrators' folder, and what lies beside it.
SECRET = b"only administrators may read this \x00\xff"
BESIDE = b"another file of that folder"
# The package stand-in writes its own logo through the link as any program
# would; the tool's restore of the customer's logo, after it, must not.
PACKAGE_LOGO = b"logo do pacote"
CUSTOMER_BACKUP = b"backup of the customer's logo from an earlier update"
LINK_REFUSED = "é um link ou junção: nada foi lido nem escrito por ele"
HARD_LINK_REFUSED = "tem mais de um vínculo (hard link)"


@pytest.fixture(params=["keyless", "keyed"])
def updating(request):
    """(session, server, tool, keyed) of the build under test."""
    if request.param == "keyless":
        session, server, build = (request.getfixturevalue(name) for name in ("wine", "release_server",
                                                                             "windows_build"))
    else:
        build = request.getfixturevalue("signed_build")
        session, server = request.getfixturevalue("signed_wine"), request.getfixturevalue("signed_server")
    return session, server, build / "fast-ticks" / EXE_NAME, request.param == "keyed"


def run_update(session, server, pc: InstalledPC) -> None:
    pc.make_update_due()
    server.connect(session)
    clock = ClockWatch(pc.start())
    clock.until(lambda caption: f"end {IMPORT_SCRIPT}" in standin_runs(session) and clock.falls(), 90,
                "the update and the clock's reset")


def files_under(folder) -> dict[str, bytes]:
    return {path.name: path.read_bytes() for path in folder.iterdir()}


def holders_of(drive_c, content: bytes, outside) -> list[str]:
    """The files of the prefix's C:\\ that hold `content`, the folder `outside` left out."""
    found = []
    for root, _, names in os.walk(drive_c):
        for name in names:
            path = os.path.join(root, name)
            if not path.startswith(str(outside)) and os.path.isfile(path) and \
                    content in open(path, "rb").read():
                found.append(path)
    return found


def test_logo_folder_replaced_by_a_link_is_neither_read_nor_written(updating):
    session, server, tool, keyed = updating
    pc = InstalledPC(session, tool, home=keyed)
    outside = pc.path(ELSEWHERE)
    pc.put(ELSEWHERE + "\\logo.png", SECRET)
    pc.put(ELSEWHERE + "\\segredo.txt", BESIDE)
    pc.put(HOME + "\\logo.png" if keyed else SAVED_LOGO, CUSTOMER_BACKUP)
    for old in pc.path(BRAND).iterdir():
        old.unlink()
    pc.path(BRAND).rmdir()
    os.symlink(outside, pc.path(BRAND))

    run_update(session, server, pc)

    assert os.path.islink(pc.path(BRAND))
    assert files_under(outside) == {"logo.png": PACKAGE_LOGO, "segredo.txt": BESIDE}, \
        "the restore wrote nothing through the link and made no file there"
    assert holders_of(pc.path("C:\\"), SECRET, outside) == [], "the backup read nothing through the link"
    refusals = [text for text in log_texts(session) if LINK_REFUSED in text]
    assert refusals and all(BRAND.lower() in text.lower() for text in refusals), log_texts(session)


def test_env_with_a_second_hard_link_is_not_edited(wine, release_server, windows_build):
    pc = InstalledPC(wine, windows_build / "fast-ticks" / EXE_NAME)
    pc.put(ELSEWHERE + "\\config.ini", b"")
    pc.path(ENV_FILE).unlink()
    os.link(pc.path(ELSEWHERE + "\\config.ini"), pc.path(ENV_FILE))

    run_update(wine, release_server, pc)

    env = pc.read(ENV_FILE)
    assert os.stat(pc.path(ENV_FILE)).st_nlink == 2 and b"#IP_DO_SERVIDOR" in env and b"baseURL" not in env, env
    assert pc.read(ELSEWHERE + "\\config.ini") == env
    assert any(HARD_LINK_REFUSED in text and ENV_FILE.lower() in text.lower() for text in log_texts(wine)), \
        log_texts(wine)
    assert pc.read(LOGO) == CUSTOMER_LOGO, "the steps after it went on"


def test_php_ini_that_is_a_file_link_is_not_edited(wine):
    # Under Wine a link to a file shows no reparse attribute: the path its handle leads to gives it away.
    pc_ini, outside_ini = "C:\\xampp\\php\\php.ini", ELSEWHERE + "\\php.ini"
    outside = wine.unix_path(outside_ini)
    outside.parent.mkdir(parents=True)
    outside.write_bytes(b";extension=intl\r\n")
    wine.unix_path(pc_ini).parent.mkdir(parents=True, exist_ok=True)
    os.symlink(outside, wine.unix_path(pc_ini))

    answer = ServicesDriver(wine, with_client=False).call("replace", pc_ini, ";extension=intl", "extension=intl")

    assert answer["error"] and answer["error"]["description"].lower() == pc_ini.lower() + " " + LINK_REFUSED
    assert outside.read_bytes() == b";extension=intl\r\n" and os.listdir(outside.parent) == ["php.ini"]

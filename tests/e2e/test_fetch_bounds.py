"""Every fetch bounded (keyed build): a package served without end is cut
just past its signed length and refused, the run going on to its end; a
size list dripped a byte every 2 s is given up after 2 minutes in update
mode and nothing it would have allowed runs; a sound fetch logs its bytes,
seconds and rate."""

from __future__ import annotations

import re
import time

from rig.installation_run import error_lines, own_copies, prepare, InstallationRun, APPLICATION_LINES
from rig.operator_log_file import texts as log_texts
from rig.release_server import standin_runs, unix_wget_running
from rig.update_mode import PACKAGE, InstalledPC
from rig.zunaveri_tool import EXE_NAME

SIZES = "manifesto_zunaveri_tamanhos.txt"
STOPPED = "transferência interrompida: "
RECEIVED = re.compile(r"; recebidos (\d+) bytes em [\d,]+ s \(")


def test_endless_package_is_cut_past_its_signed_length(signed_wine, signed_server):
    signed_length = signed_server.file(PACKAGE).stat().st_size
    signed_server.serve_shaped(**{PACKAGE: "endless:4000000"})
    prepare(signed_wine, signed_server)
    log, box = InstallationRun(signed_wine).install(checked=False)
    stop = f'"{PACKAGE}": {STOPPED}passou do tamanho assinado ({signed_length} bytes)'
    assert stop in error_lines(log)[0], log
    assert box and log[-1] == APPLICATION_LINES[-1], "the run goes on to its completion message"
    assert [line for line in standin_runs(signed_wine) if PACKAGE in line] == [], "the package never ran"
    assert not own_copies(signed_wine, PACKAGE) and not unix_wget_running(signed_server, PACKAGE), "no copy, no transfer left"
    texts = log_texts(signed_wine)
    cut = [int(RECEIVED.search(text).group(1)) for text in texts if text.startswith(stop)]
    assert cut and all(signed_length < length < signed_length + 2**20 for length in cut), cut
    sound = [text for text in texts if re.fullmatch(r"download de zunaveri\.sql: \d+ bytes em [\d,]+ s \([\d,]+ \w?B/s\)",
                                                    text)]
    assert sound, "a sound fetch tells its figures"


def test_dripped_size_list_is_given_up_in_update_mode(signed_wine, signed_server, signed_build):
    signed_server.serve_shaped(**{SIZES: "drip:2"})
    pc = InstalledPC(signed_wine, signed_build / "fast-ticks" / EXE_NAME, home=True)
    pc.make_update_due()
    signed_server.connect(signed_wine)
    started = time.monotonic()
    tool = pc.start()
    stop = f'"{SIZES}": {STOPPED}passou do tempo máximo de 120 s de um arquivo sem tamanho assinado'
    while not any(stop in text for text in log_texts(signed_wine)):
        assert time.monotonic() - started < 150, log_texts(signed_wine)
        time.sleep(1)
    assert time.monotonic() - started > 110, "not given up before its bound"
    assert any(text.startswith("verificação falhou: " + stop) for text in log_texts(signed_wine))
    assert standin_runs(signed_wine) == [] and tool.alive(), "nothing the size list allows ran; the updater goes on"

"""The main window and the FTP settings window of the real exe under Wine:
layout, fonts, initial state, focus and tab order, and the life of the
settings window (shown once, hidden by "Alterar", destroyed by its close box).

Layouts are given in twips and the windows scale them with MulDiv for the
screen's DPI; every screenshot taken here lands in the artifacts folder."""

from __future__ import annotations

import re
from dataclasses import dataclass
from pathlib import Path

import pytest

from rig.wine_rig import font_height, mul_div, pixels_in, read_image, twips_to_pixels, wait_for_change, wait_until
from rig.zunaveri_tool import (
    COMMAND1_ALTERAR, COMMAND1_INSTALAR, COMMAND2_SAIR, CRONOMETRO, DEFAULT_USER, DOWNLOAD_XAMPP, IPSERVIDOR,
    LABEL1_RELATORIO, LABEL1_USUARIO, LABEL2_IP, LABEL2_SENHA, LABEL3_CONFIGURAR_FTP, LABEL3_SERVIDOR,
    MAIN_CAPTION, SENHA_FTP, SERVIDOR_FTP, SETTINGS_CAPTION, TAREFA, USUARIO_FTP, BuildSettings,
    start_installer_mode,
)

WS_VISIBLE = 0x10000000
WS_DISABLED = 0x08000000
WS_CAPTION = 0x00C00000
WS_SYSMENU = 0x00080000
WS_THICKFRAME = 0x00040000
WS_MINIMIZEBOX = 0x00020000
WS_MAXIMIZEBOX = 0x00010000
WS_EX_TOOLWINDOW = 0x00000080
WS_EX_APPWINDOW = 0x00040000
ES_PASSWORD = 0x0020
ES_READONLY = 0x0800
ES_MULTILINE = 0x0004
LBS_SORT = 0x0002
LBS_MULTIPLESEL = 0x0008
LBS_EXTENDEDSEL = 0x0800
BS_TYPEMASK = 0x000F
BS_PUSHBUTTON_TYPES = (0x0, 0x1)  # push button, default push button
BS_AUTOCHECKBOX = 0x3
COLOR_HIGHLIGHT = 13
BST_CHECKED = 1

# Client areas in pixels as the windows must come out (twips scaled with
# MulDiv: 3825 twips at 144 dpi are 382.5 pixels, rounded to 383).
CLIENT_SIZES = {
    96: {"main": (370, 255), "settings": (369, 238)},
    120: {"main": (463, 319), "settings": (461, 298)},
    144: {"main": (555, 383), "settings": (554, 357)},
}

# MS Sans Serif is a bitmap font for 96 dpi; elsewhere the windows ask for its
# TrueType counterpart, which scales (Wine, lacking it, draws a metric
# equivalent).
def expected_face(dpi: int) -> str:
    return "MS Sans Serif" if dpi == 96 else "Microsoft Sans Serif"


@dataclass(frozen=True)
class ControlRow:
    name: str
    id: int
    kind: str
    text: object  # a str, or a key into the expected texts of the run
    left: int
    top: int
    width: int
    height: int
    points: float
    weight: int
    visible: bool = True


MAIN_CONTROLS = [
    ControlRow("ipservidor", IPSERVIDOR, "Edit", "host address", 120, 2640, 5295, 375, 8.25, 400),
    ControlRow("download_xampp", DOWNLOAD_XAMPP, "Button", "Baixare instalar XAMPP", 3360, 240, 2055, 375, 8.25,
               400),
    ControlRow("Command1", COMMAND1_INSTALAR, "Button", "Instalar", 2040, 3120, 3375, 615, 8.25, 700),
    ControlRow("Command2", COMMAND2_SAIR, "Button", "Sair", 120, 3120, 1815, 615, 8.25, 400),
    ControlRow("tarefa", TAREFA, "ListBox", "", 120, 720, 5295, 1425, 8.25, 400),
    ControlRow("Label3", LABEL3_CONFIGURAR_FTP, "Static", "Configurar FTP", 3960, 2280, 1455, 255, 9.75, 400),
    ControlRow("cronometro", CRONOMETRO, "Static", "00:00:00", 1680, 360, 735, 255, 8.25, 400, visible=False),
    ControlRow("Label2", LABEL2_IP, "Static", "IP do Servidor (local):", 120, 2280, 2055, 255, 9.75, 400),
    ControlRow("Label1", LABEL1_RELATORIO, "Static", "Relatório:", 120, 360, 1215, 375, 12, 400),
]

SETTINGS_CONTROLS = [
    ControlRow("servidorFTP", SERVIDOR_FTP, "Edit", "default domain", 240, 720, 4935, 375, 9.75, 400),
    ControlRow("Command1", COMMAND1_ALTERAR, "Button", "Alterar", 3360, 2880, 1815, 495, 8.25, 700),
    ControlRow("senhaFTP", SENHA_FTP, "Edit", "default password", 240, 2400, 4935, 375, 9.75, 400),
    ControlRow("usuarioFTP", USUARIO_FTP, "Edit", DEFAULT_USER, 240, 1560, 4935, 375, 9.75, 400),
    ControlRow("Label3", LABEL3_SERVIDOR, "Static", "server caption", 240, 360, 3735, 255, 9.75, 700),
    ControlRow("Label2", LABEL2_SENHA, "Static", "Senha:", 240, 2040, 855, 255, 9.75, 700),
    ControlRow("Label1", LABEL1_USUARIO, "Static", "Usuário:", 240, 1200, 975, 255, 9.75, 700),
]


# --------------------------------------------------------------------- snapshot

@dataclass
class Snapshot:
    """What the two windows look like right after start, read once per DPI."""
    dpi: int
    screen: tuple
    host: dict
    highlight: tuple
    main: dict
    main_icon: object
    main_controls: dict
    main_focus: int
    settings_at_start: list
    settings_controls_at_start: dict
    settings: dict
    settings_icon: object
    settings_controls: dict
    settings_focus: int
    main_shot: Path
    settings_shot: Path


@pytest.fixture(scope="module", params=[96, 120, 144], ids=lambda dpi: f"{dpi}dpi")
def snapshot(request, open_session) -> Snapshot:
    dpi = request.param
    with open_session(f"test_windows/windows_at_{dpi}dpi", dpi=dpi) as session:
        tool, main = start_installer_mode(session)
        probe = session.probe
        main_focus = probe.settled_focus(main["hwnd"], probe.controls(main["hwnd"])[IPSERVIDOR]["hwnd"])
        main_children = probe.children(main["hwnd"])
        settings_at_start = tool.settings_windows()
        settings_controls_at_start = (probe.controls(settings_at_start[0]["hwnd"])
                                      if len(settings_at_start) == 1 else {})
        main_shot = session.screenshot(f"main_window_{dpi}dpi", main)
        settings = tool.open_settings()
        settings_focus = probe.settled_focus(settings["hwnd"],
                                             probe.controls(settings["hwnd"])[USUARIO_FTP]["hwnd"])
        settings_children = probe.children(settings["hwnd"])
        settings_shot = session.screenshot(f"settings_window_{dpi}dpi", settings)
        session.screenshot(f"desktop_{dpi}dpi")
        return Snapshot(
            dpi=dpi,
            screen=probe.screen_size(),
            host=probe.host_address(),
            highlight=probe.sys_color(COLOR_HIGHLIGHT),
            main=main,
            main_icon=main_children.get("icon"),
            main_controls={c["id"]: c for c in main_children["controls"]},
            main_focus=main_focus,
            settings_at_start=settings_at_start,
            settings_controls_at_start=settings_controls_at_start,
            settings=settings,
            settings_icon=settings_children.get("icon"),
            settings_controls={c["id"]: c for c in settings_children["controls"]},
            settings_focus=settings_focus,
            main_shot=main_shot,
            settings_shot=settings_shot,
        )


@pytest.fixture(scope="session")
def build_settings(windows_build) -> BuildSettings:
    return BuildSettings.of(windows_build)


def expected_text(row: ControlRow, snap: Snapshot, build: BuildSettings) -> str:
    return {
        "host address": snap.host.get("address", ""),
        "default domain": build.ftp_domain,
        "default password": build.ftp_password,
    }.get(row.text, row.text)


def check_control(control: dict, row: ControlRow, dpi: int, text: str) -> None:
    assert control["class"].lower() == row.kind.lower(), row.name
    assert control["text"] == text, row.name
    expected_rect = {
        "left": twips_to_pixels(row.left, dpi), "top": twips_to_pixels(row.top, dpi),
        "width": twips_to_pixels(row.width, dpi), "height": twips_to_pixels(row.height, dpi),
    }
    assert control["rect"] == expected_rect, row.name
    font = control["font"]
    assert font.get("known") and font.get("set"), f"{row.name} has no font of its own: {font}"
    assert (font["face"], font["height"], font["weight"]) == (expected_face(dpi), font_height(row.points, dpi),
                                                             row.weight), row.name
    assert not font["italic"] and not font["underline"], row.name
    # The face the font mapper really draws with: at 96 dpi a missing font
    # would show here as some substitute; elsewhere it must be a scalable one.
    realized = font.get("realized", {})
    if dpi == 96:
        assert realized.get("face") == "MS Sans Serif", f"{row.name}: {font}"
    else:
        assert realized.get("truetype"), f"{row.name}: {font}"
        assert realized.get("weight") == row.weight, f"{row.name}: {font}"
    assert bool(control["style"] & WS_VISIBLE) == row.visible, row.name
    assert control["enabled"], row.name


def client_offset(window: dict) -> tuple[int, int]:
    """Where the client area starts inside the window rect (and so in its screenshot)."""
    return window["client"]["left"] - window["rect"]["left"], window["client"]["top"] - window["rect"]["top"]


# --------------------------------------------------------------------- main window

class TestMainWindowAtStart:
    def test_caption_frame_and_client_area(self, snapshot):
        main = snapshot.main
        assert main["caption"] == MAIN_CAPTION
        assert main["visible"] and main["enabled"]
        assert (main["client"]["width"], main["client"]["height"]) == CLIENT_SIZES[snapshot.dpi]["main"]
        style, exstyle = main["style"], main["exstyle"]
        assert style & WS_CAPTION == WS_CAPTION and style & WS_SYSMENU and style & WS_MINIMIZEBOX
        assert not style & WS_MAXIMIZEBOX, "no maximize button"
        assert not style & WS_THICKFRAME, "fixed single border: not resizable"
        assert exstyle & WS_EX_APPWINDOW and not exstyle & WS_EX_TOOLWINDOW, "shown in the taskbar"
        assert snapshot.main_icon is True, "the program's icon"
        assert main["owner"] == 0

    def test_centred_on_the_screen(self, snapshot):
        width, height = snapshot.screen
        rect = snapshot.main["rect"]
        assert abs(rect["left"] - (width - rect["width"]) / 2) <= 1
        assert abs(rect["top"] - (height - rect["height"]) / 2) <= 1

    def test_has_exactly_the_controls_of_its_layout(self, snapshot):
        assert sorted(snapshot.main_controls) == sorted(row.id for row in MAIN_CONTROLS)

    @pytest.mark.parametrize("row", MAIN_CONTROLS, ids=lambda row: row.name)
    def test_control_kind_text_place_font_and_state(self, snapshot, build_settings, row):
        check_control(snapshot.main_controls[row.id], row, snapshot.dpi,
                      expected_text(row, snapshot, build_settings))

    def test_initial_values(self, snapshot):
        controls = snapshot.main_controls
        check_box = controls[DOWNLOAD_XAMPP]
        assert check_box["style"] & BS_TYPEMASK == BS_AUTOCHECKBOX, "toggles between 0 and 1 only"
        assert check_box["checked"] == BST_CHECKED
        for button in (COMMAND1_INSTALAR, COMMAND2_SAIR):
            assert controls[button]["style"] & BS_TYPEMASK in BS_PUSHBUTTON_TYPES
        log = controls[TAREFA]["style"]
        assert not log & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL), "single selection, in the order added"
        address = controls[IPSERVIDOR]["style"]
        assert not address & (ES_READONLY | ES_MULTILINE | ES_PASSWORD), "single-line, editable"
        assert not controls[CRONOMETRO]["visible"]

    def test_address_field_holds_the_first_address_of_the_host_lookup(self, snapshot):
        host = snapshot.host
        assert host.get("ok"), f"the probe's own host lookup failed: {host}"
        address = snapshot.main_controls[IPSERVIDOR]["text"]
        assert address == host["addresses"][0]
        assert re.fullmatch(r"(0|[1-9][0-9]{0,2})(\.(0|[1-9][0-9]{0,2})){3}", address), address

    def test_focus_starts_in_the_address_field(self, snapshot):
        assert snapshot.main_focus == snapshot.main_controls[IPSERVIDOR]["hwnd"]

    def test_configurar_ftp_is_drawn_in_the_highlight_colour(self, snapshot):
        image = read_image(snapshot.main_shot)
        dx, dy = client_offset(snapshot.main)

        def highlight_pixels(control_id):
            rect = snapshot.main_controls[control_id]["rect"]
            return sum(1 for pixel in pixels_in(image, rect["left"] + dx, rect["top"] + dy, rect["width"],
                                                rect["height"]) if pixel == snapshot.highlight)

        assert highlight_pixels(LABEL3_CONFIGURAR_FTP) >= 20
        assert highlight_pixels(LABEL2_IP) == 0, "only the link-like label is coloured"


# --------------------------------------------------------------------- settings window

class TestSettingsWindowAtStart:
    def test_exists_hidden_right_after_start(self, snapshot):
        assert len(snapshot.settings_at_start) == 1
        assert not snapshot.settings_at_start[0]["visible"]

    def test_caption_frame_and_client_area(self, snapshot):
        settings = snapshot.settings
        assert settings["caption"] == SETTINGS_CAPTION
        assert (settings["client"]["width"], settings["client"]["height"]) == CLIENT_SIZES[snapshot.dpi]["settings"]
        style, exstyle = settings["style"], settings["exstyle"]
        assert exstyle & WS_EX_TOOLWINDOW, "narrow title bar, not in the taskbar"
        assert not exstyle & WS_EX_APPWINDOW
        assert style & WS_SYSMENU, "close box"
        assert not style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)
        assert snapshot.settings_icon is False, "no icon"
        assert settings["owner"] == 0, "shown without an owner"

    def test_centred_on_the_screen(self, snapshot):
        width, height = snapshot.screen
        rect = snapshot.settings["rect"]
        assert abs(rect["left"] - (width - rect["width"]) / 2) <= 1
        assert abs(rect["top"] - (height - rect["height"]) / 2) <= 1

    def test_has_exactly_the_controls_of_its_layout(self, snapshot):
        assert sorted(snapshot.settings_controls) == sorted(row.id for row in SETTINGS_CONTROLS)

    @pytest.mark.parametrize("row", SETTINGS_CONTROLS, ids=lambda row: row.name)
    def test_control_kind_text_place_font_and_state(self, snapshot, build_settings, row):
        control = snapshot.settings_controls[row.id]
        if row.text == "server caption":
            match = re.fullmatch(r"Servidor: \(Ex: ([a-z0-9-]+(\.[a-z0-9-]+)+)\)", control["text"])
            assert match, f"server caption {control['text']!r}"
            assert not match.group(1).startswith("ftp."), "the sample is a bare domain"
            text = control["text"]
        else:
            text = expected_text(row, snapshot, build_settings)
        check_control(control, row, snapshot.dpi, text)

    def test_hidden_window_already_holds_the_defaults(self, snapshot, build_settings):
        texts = {control_id: control["text"] for control_id, control in snapshot.settings_controls_at_start.items()}
        assert (texts.get(USUARIO_FTP), texts.get(SENHA_FTP), texts.get(SERVIDOR_FTP)) == (
            DEFAULT_USER, build_settings.ftp_password, build_settings.ftp_domain)

    def test_fields_are_plain_editable_single_lines_without_a_length_limit(self, snapshot):
        fields = [snapshot.settings_controls[field] for field in (SERVIDOR_FTP, USUARIO_FTP, SENHA_FTP)]
        for field in fields:
            assert not field["style"] & (ES_PASSWORD | ES_READONLY | ES_MULTILINE), field
        # The address field too: the largest limit there is, not the default 32,767.
        assert [field["limit"] for field in fields + [snapshot.main_controls[IPSERVIDOR]]] == [0x7FFFFFFE] * 4

    def test_focus_is_in_the_user_field_when_first_shown(self, snapshot):
        assert snapshot.settings_focus == snapshot.settings_controls[USUARIO_FTP]["hwnd"]


# --------------------------------------------------------------------- keyboard

# --------------------------------------------------------------------- scaling

def text_room(control: dict, dpi: int) -> tuple[int, int]:
    """Width and height a control's text can take on one line without being cut."""
    width, height = control["rect"]["width"], control["rect"]["height"]
    kind = control["class"].lower()
    if kind == "button":
        if control["style"] & BS_TYPEMASK == BS_AUTOCHECKBOX:
            # The box and the gap beside it.
            return width - mul_div(13 + 4, dpi, 96), height
        return width - 6, height - 4  # raised edge and focus rectangle
    if kind == "edit":
        return width - 6, height - 4  # sunken edge and the text margins
    return width, height


def window_fonts(controls: dict) -> dict[int, set]:
    """Realized character heights by requested LOGFONT height, over a window's controls."""
    by_request: dict[int, set] = {}
    for control in controls.values():
        font = control["font"]
        by_request.setdefault(abs(font["height"]), set()).add(font["realized"]["height"])
    return by_request


@pytest.mark.parametrize("window", ["main", "settings"])
class TestScaling:
    def test_no_control_text_is_cut(self, snapshot, window):
        controls = snapshot.main_controls if window == "main" else snapshot.settings_controls
        cut = []
        for control in controls.values():
            realized = control["font"]["realized"]
            if not control["text"] or control["class"].lower() == "listbox":
                continue
            room_width, room_height = text_room(control, snapshot.dpi)
            if realized["text_width"] > room_width or realized["text_height"] > room_height:
                cut.append((control["text"], realized["text_width"], realized["text_height"], room_width,
                            room_height))
        assert not cut, f"texts larger than their controls at {snapshot.dpi} dpi: {cut}"

    def test_a_larger_font_size_is_drawn_larger(self, snapshot, window):
        controls = snapshot.main_controls if window == "main" else snapshot.settings_controls
        by_request = window_fonts(controls)
        assert all(len(heights) == 1 for heights in by_request.values()), by_request
        drawn = [next(iter(by_request[request])) for request in sorted(by_request)]
        assert drawn == sorted(set(drawn)), f"requested {sorted(by_request)} drawn {drawn} at {snapshot.dpi} dpi"

    def test_relatorio_stands_out_from_the_small_text(self, snapshot, window):
        if window != "main":
            pytest.skip("the 12 pt title is in the main window")
        title = snapshot.main_controls[LABEL1_RELATORIO]["font"]["realized"]["height"]
        small = snapshot.main_controls[COMMAND2_SAIR]["font"]["realized"]["height"]
        assert title >= 1.3 * small, (title, small)

    def test_fonts_grow_with_the_dpi(self, snapshot, window):
        controls = snapshot.main_controls if window == "main" else snapshot.settings_controls
        for control in controls.values():
            realized = control["font"]["realized"]["height"]
            requested = abs(control["font"]["height"])
            # Character height plus internal leading: a little more than the request.
            assert requested < realized <= requested * 1.4 + 1, (control["text"], requested, realized)


def tab_sequence(probe, top_level: dict, steps: int) -> list[int]:
    """The focused control after each of `steps` Tab presses."""
    sequence = []
    for _ in range(steps):
        before = probe.focus(top_level["hwnd"])
        probe.key(top_level["hwnd"], "tab")
        sequence.append(wait_for_change(lambda: probe.focus(top_level["hwnd"]), before, 5, "the focus to move"))
    return sequence


class TestKeyboard:
    def test_tab_order_of_the_main_window(self, wine):
        tool, main = start_installer_mode(wine)
        controls = wine.probe.controls(main["hwnd"])
        hwnd = {control_id: control["hwnd"] for control_id, control in controls.items()}
        assert wine.probe.settled_focus(main["hwnd"], hwnd[IPSERVIDOR]) == hwnd[IPSERVIDOR]
        expected = [COMMAND1_INSTALAR, COMMAND2_SAIR, TAREFA, DOWNLOAD_XAMPP, IPSERVIDOR]
        assert tab_sequence(wine.probe, main, len(expected)) == [hwnd[i] for i in expected]

    def test_tab_order_of_the_settings_window(self, wine):
        tool, main = start_installer_mode(wine)
        settings = tool.open_settings()
        controls = wine.probe.controls(settings["hwnd"])
        hwnd = {control_id: control["hwnd"] for control_id, control in controls.items()}
        assert wine.probe.settled_focus(settings["hwnd"], hwnd[USUARIO_FTP]) == hwnd[USUARIO_FTP]
        expected = [SENHA_FTP, COMMAND1_ALTERAR, SERVIDOR_FTP, USUARIO_FTP]
        assert tab_sequence(wine.probe, settings, len(expected)) == [hwnd[i] for i in expected]

    def test_check_box_toggles_between_checked_and_unchecked_only(self, wine):
        tool, main = start_installer_mode(wine)
        check_box = tool.control(main, DOWNLOAD_XAMPP)["hwnd"]
        states = [BST_CHECKED]
        for _ in range(3):
            wine.probe.click(check_box)
            states.append(wait_for_change(lambda: tool.control(main, DOWNLOAD_XAMPP)["checked"], states[-1], 5,
                                          "the check box to change"))
        assert states == [1, 0, 1, 0]

    def test_address_field_takes_any_text(self, wine):
        tool, main = start_installer_mode(wine)
        field = tool.control(main, IPSERVIDOR)["hwnd"]
        wine.probe.set_text(field, "")
        assert wine.probe.text(field) == ""
        wine.probe.type_text(field, "servidor local 10.0.0.1 ")
        wait_until(lambda: wine.probe.text(field) == "servidor local 10.0.0.1 ", 5, what="the typed text")
        assert tool.alive() and not wine.probe.message_boxes()


# --------------------------------------------------------------------- settings window life

class TestSettingsWindowLife:
    def test_shown_once_however_often_configurar_ftp_is_clicked(self, wine):
        tool, main = start_installer_mode(wine)
        hidden = tool.wait_settings_window(visible=False)
        for _ in range(3):
            tool.click_configurar_ftp()
        shown = tool.wait_settings_window(visible=True)
        # Posted messages of one thread are handled in order: once this click
        # on the check box has been handled, so have the three clicks before it.
        wine.probe.click(tool.control(main, DOWNLOAD_XAMPP)["hwnd"])
        wait_for_change(lambda: tool.control(main, DOWNLOAD_XAMPP)["checked"], BST_CHECKED, 5,
                        "the clicks to be handled")
        windows = tool.settings_windows()
        assert len(windows) == 1 and windows[0]["visible"]
        assert shown["hwnd"] == hidden["hwnd"], "the window made at start is the one shown"
        assert tool.main_window()["visible"], "shown without modality: the main window stays"
        assert tool.main_window()["enabled"]

    def test_alterar_hides_and_keeps_what_was_typed(self, wine, build_settings):
        tool, main = start_installer_mode(wine)
        settings = tool.open_settings()
        fields = {field: tool.control(settings, field)["hwnd"] for field in (USUARIO_FTP, SENHA_FTP, SERVIDOR_FTP)}
        typed = {USUARIO_FTP: "técnico", SENHA_FTP: " outra senha ", SERVIDOR_FTP: ""}
        for field, text in typed.items():
            wine.probe.set_text(fields[field], "")
            if text:
                wine.probe.type_text(fields[field], text)
        wait_until(lambda: all(wine.probe.text(fields[f]) == t for f, t in typed.items()), 5,
                   what="the typed texts")
        wine.probe.click(tool.control(settings, COMMAND1_ALTERAR)["hwnd"])
        hidden = tool.wait_settings_window(visible=False)
        assert hidden["hwnd"] == settings["hwnd"], "hidden, not destroyed"
        assert tool.main_window()["visible"]

        reopened = tool.open_settings()
        assert reopened["hwnd"] == settings["hwnd"]
        assert {field: wine.probe.text(fields[field]) for field in typed} == typed
        wine.screenshot("settings_reopened_after_alterar", reopened)

    def test_close_box_discards_the_window_and_its_texts(self, wine, build_settings):
        tool, main = start_installer_mode(wine)
        settings = tool.open_settings()
        user = tool.control(settings, USUARIO_FTP)["hwnd"]
        wine.probe.set_text(user, "outro_usuario")
        wine.probe.close_box(settings["hwnd"])
        assert wine.probe.wait_gone(settings["hwnd"]), "the close box destroys the window"
        assert tool.settings_windows() == []
        assert tool.alive() and tool.main_window()["visible"], "closing the settings window ends nothing else"

        reopened = tool.open_settings()
        controls = wine.probe.controls(reopened["hwnd"])
        assert (controls[USUARIO_FTP]["text"], controls[SENHA_FTP]["text"], controls[SERVIDOR_FTP]["text"]) == (
            DEFAULT_USER, build_settings.ftp_password, build_settings.ftp_domain)
        user_field = controls[USUARIO_FTP]["hwnd"]
        assert wine.probe.settled_focus(reopened["hwnd"], user_field) == user_field
        assert len(tool.settings_windows()) == 1

#!/usr/bin/python3
"""The panel through the accessibility bus (AT-SPI), as a screen reader and a keyboard user meet it.

Run by tests/accessibility/atspi-panel on a virtual display with a notification area and a session
bus of its own. It walks the main window, its menus and every dialog, and fails on a focusable
control without a name, on a status glyph whose name does not say its server's state, and on a
server start or stop (stand-in processes) whose glyph change or new log line is not announced. It
drives one whole task by keyboard alone: 更多设置, Apache 设置, a new port, 确定, the message read
and closed; every other dialog is opened by keyboard, walked and closed with Escape, writing
nothing. The trees go to OUT/*.txt and screenshots to OUT/*.png.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

TITLE = "LarkspanAdmin"
TIME_OF_DAY = re.compile(r"\d{1,2}:\d{2}:\d{2}")
GLYPHS = ("●", "■")
WINDOW_ROLES = ("frame", "dialog", "alert", "filler", "window")

failures = []


class Fatal(Exception):
    """A step the rest of the run depends on went wrong."""


def step(text):
    print(f"atspi-panel: {text}", flush=True)


def check(condition, message):
    if not condition:
        failures.append(message)
        print(f"atspi-panel: FAILED: {message}", flush=True)
    return condition


def pump(seconds, until=None):
    """Runs the event loop for up to `seconds`, or until `until()` holds; returns whether it held."""
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while True:
        while context.pending():
            context.iteration(False)
        if until is not None and until():
            return True
        if time.monotonic() >= end:
            return until is None
        time.sleep(0.02)


def safe(function, default=None):
    try:
        return function()
    except Exception:  # an object that went away meanwhile
        return default


def role(accessible):
    return safe(accessible.getRoleName, "?")


def name(accessible):
    return safe(lambda: accessible.name, "") or ""


def description(accessible):
    return safe(lambda: accessible.description, "") or ""


def has_state(accessible, state):
    return safe(lambda: accessible.getState().contains(state), False)


def children(accessible):
    count = safe(lambda: accessible.childCount, 0) or 0
    result = []
    for index in range(count):
        child = safe(lambda i=index: accessible.getChildAtIndex(i))
        if child is not None:
            result.append(child)
    return result


def labels_of(accessible):
    """The objects that label `accessible` (its labelled-by relation): its buddy labels and the
    frame around it."""
    result = []
    for relation in safe(accessible.getRelationSet, []) or []:
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            for index in range(relation.getNTargets()):
                result.append(relation.getTarget(index))
    return result


def text_of(accessible):
    def read():
        text = accessible.queryText()
        return text.getText(0, text.characterCount)

    return safe(read)


def spoken(accessible):
    """What a listener hears first: role, name and description."""
    result = f"{role(accessible)} '{name(accessible)}'"
    if description(accessible):
        result += f" — {description(accessible)}"
    return result


def walk(accessible, depth=0):
    yield accessible, depth
    for child in children(accessible):
        yield from walk(child, depth + 1)


def showing(accessible):
    return has_state(accessible, pyatspi.STATE_SHOWING)


def focusable(accessible):
    return has_state(accessible, pyatspi.STATE_FOCUSABLE)


def dump(root, file_name=None, out=None):
    """The tree below `root` as a screen reader can explore it, written to OUT/`file_name`."""
    lines = []
    for accessible, depth in walk(root):
        if not showing(accessible) and depth > 0:
            continue
        line = "  " * depth + spoken(accessible)
        notes = []
        if role(accessible) in ("text", "password text"):
            notes.append(f"text={text_of(accessible)!r}")
        labels = [name(label) for label in labels_of(accessible) if name(label)]
        if labels and role(accessible) not in ("label", "panel"):
            notes.append("labelled by " + ", ".join(f"'{label}'" for label in labels))
        if focusable(accessible):
            notes.append("focusable")
        if has_state(accessible, pyatspi.STATE_FOCUSED):
            notes.append("focused")
        if not has_state(accessible, pyatspi.STATE_ENABLED):
            notes.append("disabled")
        if notes:
            line += "  [" + "; ".join(notes) + "]"
        lines.append(line)
    if file_name is not None:
        write_lines(lines, file_name, out)
    return lines


def write_lines(lines, file_name, out):
    with open(os.path.join(out, file_name), "w", encoding="utf-8") as output:
        output.write("\n".join(lines) + "\n")


def check_names(root, where):
    """Every focusable control that shows has a name; a drop-down list, whose name is its value
    on Linux, has a label; no control is named by a bare glyph."""
    for accessible, _ in walk(root):
        if not showing(accessible):
            continue
        what = f"{where}: {spoken(accessible)}"
        check(name(accessible).strip() not in GLYPHS, f"{what} is named only by a glyph")
        if not focusable(accessible) or role(accessible) == "separator":
            continue
        if role(accessible) == "combo box":
            # The frame around it says which group, not which setting.
            check(any(role(label) == "label" and name(label) for label in labels_of(accessible)),
                  f"{what} is a drop-down list without a label")
        else:
            check(name(accessible).strip() != "", f"{where}: a focusable {role(accessible)} has no name")


def screenshot(out, file_name):
    subprocess.run(["import", "-window", "root", os.path.join(out, file_name)], check=False,
                   stderr=subprocess.DEVNULL)


class Session:
    """The panel, what the accessibility bus says of it, and the keyboard."""

    def __init__(self, bundle, out):
        self.bundle = bundle
        self.out = out
        self.focused = None
        self.events = []
        self.standins = []
        for kind in ("object:state-changed:focused", "object:property-change:accessible-name",
                     "object:children-changed:add"):
            pyatspi.Registry.registerEventListener(self.on_event, kind)
        environment = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
        self.log = open(os.path.join(out, "panel.log"), "w", encoding="utf-8")
        self.panel = subprocess.Popen([os.path.join(bundle, "LarkspanAdmin")], env=environment,
                                      stdout=self.log, stderr=subprocess.STDOUT)
        self.app = None
        if not pump(30, self.find_app):
            raise Fatal("the panel did not appear on the accessibility bus")
        # Qt sends only the events that some client listens for; it learns of ours on the bus.
        pump(1)

    def find_app(self):
        if self.panel.poll() is not None:
            raise Fatal(f"the panel ended at start with status {self.panel.returncode}")
        desktop = pyatspi.Registry.getDesktop(0)
        for application in children(desktop):
            if name(application) == TITLE:
                self.app = application
                return True
        return False

    def on_event(self, event):
        source = event.source
        if event.type.startswith("object:state-changed:focused"):
            if event.detail1:
                self.focused = source
            return
        record = {"type": event.type, "source": source, "name": name(source), "role": role(source)}
        if event.type.startswith("object:children-changed:add"):
            child = event.any_data
            record["child"] = name(child) if child is not None else ""
        self.events.append(record)

    # Keyboard.
    def key(self, *keys):
        subprocess.run(["xdotool", "key", "--delay", "80", *keys], check=True)
        pump(0.3)

    def type(self, text):
        subprocess.run(["xdotool", "type", "--delay", "80", text], check=True)
        pump(0.3)

    def press_for_focus(self, *keys):
        """Presses `keys` and returns what has the focus then."""
        before = self.focused
        self.key(*keys)
        pump(2, lambda: self.focused is not None and self.focused != before)
        return self.focused

    # Windows.
    def windows(self, title=None, roles=WINDOW_ROLES):
        return [window for window in children(self.app)
                if role(window) in roles and showing(window) and (title is None or name(window) == title)]

    def wait_window(self, title, roles=WINDOW_ROLES, seconds=15):
        found = []
        if not pump(seconds, lambda: bool(found.extend(self.windows(title, roles)) or found)):
            raise Fatal(f"no window '{title}' appeared")
        return found[0]

    def wait_gone(self, title, roles=WINDOW_ROLES, seconds=15):
        return pump(seconds, lambda: not self.windows(title, roles))

    def main_window(self):
        return self.wait_window(TITLE, ("frame", "filler", "window"))

    def focus_is(self, expected_role, expected_name, seconds=5):
        return pump(seconds, lambda: self.focused is not None and role(self.focused) == expected_role
                    and name(self.focused) == expected_name)

    # Menus: popups are not children of the application; they are reached through the item that
    # takes the focus, as a screen reader reaches them.
    def choose(self, caption, limit=45):
        """In an open menu, moves down to the item `caption`; returns it."""
        for _ in range(limit):
            focused = self.press_for_focus("Down")
            if focused is not None and role(focused) == "menu item" and name(focused) == caption:
                return focused
        raise Fatal(f"no menu item '{caption}' in the open menu")

    def open_menu_with(self, *keys):
        """Opens a menu with `keys`, moves onto its first item and returns the menu."""
        self.key(*keys)
        first = self.press_for_focus("Down")
        if first is None or role(first) != "menu item":
            raise Fatal(f"{' '.join(keys)} opened no menu that takes the keyboard")
        return first.parent

    def stop(self):
        if self.panel.poll() is None:
            self.panel.terminate()
            try:
                self.panel.wait(10)
            except subprocess.TimeoutExpired:
                self.panel.kill()
        self.log.close()


def menu_lines(session, menu, file_name, submenus):
    """Dumps and checks the open menu `menu`, opening each submenu named in `submenus` by
    keyboard to dump and check it too."""
    lines = dump(menu)
    check_names(menu, name(menu))
    for submenu in submenus:
        session.choose(submenu)
        first = session.press_for_focus("Right")
        if check(first is not None and role(first) == "menu item" and first.parent is not None,
                 f"Right on '{submenu}' opened no submenu"):
            inner = first.parent
            check(name(inner) == submenu, f"the submenu of '{submenu}' is called '{name(inner)}'")
            lines += ["", f"submenu '{submenu}':"] + dump(inner)
            check_names(inner, submenu)
        session.key("Left")
    write_lines(lines, file_name, session.out)


def glyph_names(window):
    """The names of the status glyphs: labels whose name starts with a server and its colon and
    says more."""
    result = {}
    for accessible, _ in walk(window):
        if role(accessible) != "label":
            continue
        for server in ("Apache", "MySQL"):
            prefix = server + "："
            if name(accessible).startswith(prefix) and name(accessible) != prefix:
                result.setdefault(server, []).append(name(accessible))
    return result


def running(process_name):
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/comm", encoding="utf-8") as comm:
                    if comm.read().strip() == process_name:
                        return True
            except OSError:
                pass
    return False


def state_word(is_running):
    return "正在运行" if is_running else "已停止"


def check_glyphs(window, where):
    names = glyph_names(window)
    for server, process_name in (("Apache", "httpd.exe"), ("MySQL", "mysqld-nt.exe")):
        expected = f"{server}：{state_word(running(process_name))}"
        check(names.get(server) == [expected],
              f"{where}: the {server} glyph is named {names.get(server)}, not ['{expected}']")


def server_changes(session, folder):
    """A stand-in server starts and stops: the glyph's new name and the new log line are told."""
    for server, process_name in (("Apache", "httpd.exe"), ("MySQL", "mysqld-nt.exe")):
        if running(process_name):
            raise Fatal(f"a process named {process_name} runs already: the states would be wrong")
        program = os.path.join(folder, process_name)
        shutil.copy("/bin/sleep", program)
        for start in (True, False):
            session.events.clear()
            if start:
                session.standins.append(subprocess.Popen([program, "600"]))
            else:
                session.standins[-1].terminate()
                session.standins[-1].wait()
            spoken_state = f"{server}：{state_word(start)}"
            line = f"{server}已经{'启动' if start else '停止'}..."

            def told_name():
                return any(event["type"].startswith("object:property-change:accessible-name")
                           and event["name"] == spoken_state for event in session.events)

            def told_line():
                return any(event["type"].startswith("object:children-changed:add")
                           and event["role"] == "list" and event.get("child", "").startswith(line)
                           and TIME_OF_DAY.search(event["child"]) for event in session.events)

            pump(8, lambda: told_name() and told_line())
            what = "started" if start else "stopped"
            check(told_name(), f"{server} {what}: no name-change event saying '{spoken_state}'")
            check(told_line(), f"{server} {what}: the log's new line '{line}    TIME' was not announced")
            check_glyphs(session.main_window(), f"{server} {what}")


def expect_ring(session, expected, where):
    """Tab goes round the focusable controls in `expected` order, (name, description) each."""
    seen = []
    for _ in range(len(expected) * 2 + 2):
        focused = session.press_for_focus("Tab")
        if focused is None:
            break
        if role(focused) == "list item":
            focused = focused.parent
        seen.append((name(focused), description(focused)))
        if len(seen) > len(expected) and seen[-1] == seen[-1 - len(expected)]:
            break
    ring = seen[-len(expected):]
    rotations = [expected[i:] + expected[:i] for i in range(len(expected))]
    check(ring in rotations, f"{where}: Tab goes {seen}, not round {expected}")


def expect_tabs(session, expected, where):
    """From the control that has the focus, Tab visits `expected`: (role, name) each."""
    for expected_role, expected_name in expected:
        focused = session.press_for_focus("Tab")
        got = (role(focused), name(focused)) if focused is not None else None
        if not check(got == (expected_role, expected_name),
                     f"{where}: Tab reached {got}, not {(expected_role, expected_name)}"):
            return False
    return True


def ini_value(path, section, key):
    current = None
    with open(path, encoding="utf-8", errors="replace") as ini:
        for line in ini:
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                current = line[1:-1]
            elif current == section and "=" in line and line.split("=", 1)[0].strip() == key:
                return line.split("=", 1)[1].strip()
    return None


def files_of(bundle):
    result = {}
    for relative in ("Larkspan.ini", "Apache2/conf/httpd.conf", "Apache2/conf/vhosts.conf", "MySQL/my.ini",
                     "PHP5/php.ini"):
        with open(os.path.join(bundle, relative), "rb") as file:
            result[relative] = file.read()
    return result


def the_apache_task(session):
    """更多设置 → Apache 设置 → a new port → 确定 → the message, by keyboard alone."""
    window = session.main_window()
    for _ in range(12):
        if session.focused is not None and name(session.focused) == "更多设置":
            break
        session.press_for_focus("Tab")
    if not check(session.focused is not None and name(session.focused) == "更多设置",
                 "Tab never reached 更多设置"):
        raise Fatal("cannot go on without 更多设置")
    screenshot(session.out, "main-window-focus.png")
    menu = session.open_menu_with("space")
    check(name(menu) == "更多设置", f"the menu of 更多设置 is called '{name(menu)}'")
    screenshot(session.out, "file-menu.png")
    menu_lines(session, menu, "file-menu.txt", ["配置文件", "Apache 服务", "MySQL 服务"])
    session.choose("Apache 设置")
    session.key("Return")

    dialog = session.wait_window("Apache设置", ("dialog",))
    check(session.focus_is("text", "端口："), f"Apache设置 opened with the focus on {spoken(session.focused)}")
    screenshot(session.out, "apache-dialog.png")
    dump(dialog, "apache-dialog.txt", session.out)
    check_names(dialog, "Apache设置")
    port = session.focused
    old_port = text_of(port)
    new_port = "8081" if old_port != "8081" else "8082"
    session.key("ctrl+a")
    session.type(new_port)
    check(text_of(port) == new_port, f"the port box holds {text_of(port)!r} after typing {new_port}")
    expect_tabs(session, [("text", "网站目录："), ("push button", "浏览"), ("text", "网站名称："),
                          ("text", "站长信箱："), ("text", "默认首页："), ("push button", "取消"),
                          ("push button", "确定")], "Apache设置")
    check(description(session.focused) == "保存设置并关闭窗口",
          f"确定 is described as {description(session.focused)!r}")
    session.key("Return")

    # The servers check the new files first, then the message box says what happened.
    box = session.wait_window(TITLE, ("dialog", "alert"), seconds=60)
    pump(1)
    screenshot(session.out, "message-box.png")
    dump(box, "message-box.txt", session.out)
    said = " ".join([name(box), description(box)] + [name(a) for a, _ in walk(box) if role(a) == "label"])
    check("设置成功，重起Apache生效。" in said, f"the message box says {said!r}")
    check(session.focused is not None and role(session.focused) == "push button",
          f"the message box opened with the focus on {spoken(session.focused) if session.focused else None}")
    session.key("Return")
    check(session.wait_gone(TITLE, ("dialog", "alert")), "Return did not close the message box")
    check(session.wait_gone("Apache设置", ("dialog",)), "the Apache dialog stayed open after its save")
    ini = ini_value(os.path.join(session.bundle, "Larkspan.ini"), "Apache", "Listen")
    check(ini == new_port, f"Larkspan.ini [Apache] Listen is {ini!r}, not {new_port}")
    with open(os.path.join(session.bundle, "Apache2/conf/httpd.conf"), encoding="utf-8") as conf:
        listens = [line.strip() for line in conf if re.match(r"\s*Listen\s", line)]
    check(listens and all(line == f"Listen {new_port}" for line in listens),
          f"httpd.conf says {listens}, not Listen {new_port}")


def escape_dialog(session, open_keys, caption, title, first_focus, file_name, extra=None):
    """Opens a dialog by keyboard (from 更多设置's menu item `caption`, or with `open_keys` on the
    focused button), walks it, and closes it with Escape: nothing is written."""
    before = files_of(session.bundle)
    if caption is not None:
        session.open_menu_with("space")
        session.choose(caption)
        session.key("Return")
    else:
        session.key(*open_keys)
    dialog = session.wait_window(title, ("dialog",))
    check(session.focus_is(*first_focus), f"{title} opened with the focus on {spoken(session.focused)}")
    pump(0.5)
    screenshot(session.out, file_name.replace(".txt", ".png"))
    dump(dialog, file_name, session.out)
    check_names(dialog, title)
    if extra:
        extra(dialog)
    session.key("Escape")
    check(session.wait_gone(title, ("dialog",)), f"Escape did not close {title}")
    check(files_of(session.bundle) == before, f"closing {title} with Escape changed a file")


def check_link(session, dialog):
    links = [a for a, _ in walk(dialog) if role(a) == "link"]
    if not check(len(links) == 1, f"About... has {len(links)} links, not 1"):
        return
    link = links[0]
    check(name(link) == "访问lark.example", f"the link is named {name(link)!r}")
    check("http://lark.example/?i" in description(link), f"the link's description {description(link)!r} "
          "does not give its address")
    focused = session.press_for_focus("Tab")
    check(focused is not None and role(focused) == "link", "Tab does not reach the link")
    screenshot(session.out, "about-link-focused.png")
    session.press_for_focus("Tab")


def tray_icon():
    """The notification area once the panel's icon has docked: its window, width and height."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--class", "trayer"], capture_output=True,
                           text=True).stdout.split()
    if not found:
        return []
    geometry = subprocess.run(["xdotool", "getwindowgeometry", found[0]], capture_output=True, text=True).stdout
    size = re.search(r"Geometry: (\d+)x(\d+)", geometry)
    # trayer grows by one icon's width when the icon docks.
    if size is None or int(size.group(1)) <= 1:
        return []
    return [found[0], int(size.group(1)), int(size.group(2))]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bundle", required=True)
    parser.add_argument("--out", required=True)
    arguments = parser.parse_args()
    out = arguments.out
    standins = tempfile.mkdtemp(prefix="larkspan-atspi-standins.")
    session = None
    try:
        step("starting the panel with accessibility on")
        session = Session(arguments.bundle, out)
        check(not session.windows(TITLE, ("frame", "filler", "window")),
              "the window shows at start although the notification area is there")

        step("the notification icon's menu, then Show Me (显示) by keyboard")
        icon = []
        if not pump(20, lambda: bool(icon.extend(tray_icon()) or icon)):
            raise Fatal("the panel's icon did not dock in the notification area")
        subprocess.run(["xdotool", "mousemove", "--window", icon[0], str(icon[1] // 2), str(icon[2] // 2),
                        "click", "1"], check=True)
        pump(0.5)
        first = session.press_for_focus("Down")
        if first is None or role(first) != "menu item":
            raise Fatal("a click on the notification icon opened no menu that takes the keyboard")
        filez = first.parent
        check(name(filez) == TITLE, f"the icon's menu is called '{name(filez)}'")
        screenshot(out, "filez-menu.png")
        menu_lines(session, filez, "filez-menu.txt", ["MySQL 服务", "Apache 服务", "配置文件"])
        session.choose("Show Me (显示)")
        session.key("Return")

        step("the main window's tree")
        window = session.main_window()
        check(role(window) == "frame", f"the main window is a {role(window)}, not a frame")
        pump(1)
        screenshot(out, "main-window.png")
        dump(window, "main-window.txt", out)
        check_names(window, "main window")
        check_glyphs(window, "at start")
        lists = [a for a, _ in walk(window) if role(a) == "list"]
        if check(len(lists) == 1 and name(lists[0]) == "提示信息", "the event log is no list named 提示信息"):
            items = children(lists[0])
            check(items and all(role(item) == "list item" and TIME_OF_DAY.search(name(item)) for item in items),
                  f"the log's items are not lines with their times: {[name(item) for item in items]}")

        step("stand-in servers start and stop: the glyphs' names and the log's lines are told")
        server_changes(session, standins)
        screenshot(out, "main-window-after-changes.png")

        step("Tab goes round the main window")
        expect_ring(session, [("启动", "启动 Apache"), ("启动", "启动 MySQL"),
                              ("提示信息", "服务器的启动、停止与设置记录，每行末尾是时间"),
                              ("重启", "重启 Apache"), ("重启", "重启 MySQL"),
                              ("更多设置", "打开菜单：设置、配置文件、服务、网页与退出"),
                              ("站点管理", "编辑 Apache 的虚拟主机")], "main window")

        step("by keyboard alone: 更多设置, Apache 设置, a new port, 确定, the message")
        the_apache_task(session)

        step("the other dialogs, each opened by keyboard and closed with Escape")
        check(session.focus_is("push button", "更多设置"),
              f"after the dialog the focus is on {spoken(session.focused) if session.focused else None}")
        escape_dialog(session, None, "PHP 设置", "PHP设置", ("text", "脚本运行最长时间："), "php-dialog.txt")
        escape_dialog(session, None, "MySQL 设置", "MySQL设置", ("text", "端口："), "mysql-dialog.txt")
        escape_dialog(session, None, "About(关于) ...", "About...", ("push button", "确定"), "about-dialog.txt",
                      lambda dialog: check_link(session, dialog))
        check(session.press_for_focus("Tab") is not None and name(session.focused) == "站点管理",
              "Tab from 更多设置 does not reach 站点管理")
        escape_dialog(session, ("space",), None, "站点管理", ("text", "虚拟主机配置 vhosts.conf"),
                      "sites-dialog.txt")

        step("Quit (退出) by keyboard")
        session.press_for_focus("shift+Tab")
        session.open_menu_with("space")
        session.choose("Quit (退出)")
        session.key("Return")
        try:
            session.panel.wait(15)
        except subprocess.TimeoutExpired:
            check(False, "Quit (退出) did not end the panel")
    except Fatal as problem:
        failures.append(str(problem))
        print(f"atspi-panel: FAILED: {problem}", flush=True)
        screenshot(out, "failure.png")
    finally:
        if session is not None:
            # A stand-in left running would make every other test see a server.
            for standin in session.standins:
                if standin.poll() is None:
                    standin.kill()
                    standin.wait()
            session.stop()
        shutil.rmtree(standins, ignore_errors=True)

    print(f"atspi-panel: trees and screenshots in {out}")
    if failures:
        print(f"atspi-panel: {len(failures)} failures")
        return 1
    print("atspi-panel: passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())

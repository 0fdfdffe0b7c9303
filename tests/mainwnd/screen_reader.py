#!/usr/bin/python3
# What a screen reader hears of the running vindrel, read through AT-SPI
# (pyatspi, the library Orca uses): every control named and described in the
# window's language, the server list a table with its column headers and row
# count, and a keyboard-only walk (xdotool keys) that reaches every function,
# the dialogs included, which read in the order they are shown.
# Usage (lab_screen_reader.sh runs it): screen_reader.py en|zh_cn SERVERS
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

LANGUAGE, SERVERS = sys.argv[1], int(sys.argv[2])
EN = LANGUAGE == "en"

# The texts a listener must hear, by language.
HEARD = {
    "logo": "Vindrel",
    "list": "Servers found" if EN else "找到的服务器",
    "search": "Search" if EN else "搜索",
    "menu": "Menu" if EN else "菜单",
    "headers": ["Name", "IP", "Port", "Version", "Serial", "Mac", "Device Type", "KORVANID", "Up Time"] if EN else
               ["名称 ", "IP地址", "端口", "版本", "序列号 ", "硬件地址", "设备类型 ", "Korvan标识", "上线时间"],
    "window_menu": ["Find by address…", "Diagnostics…", "Known servers…", "Settings…", "Export list…", "Exit"]
                   if EN else ["按地址查找…", "诊断…", "已知服务器…", "设置…", "导出列表…", "退出"],
    "row_menu": ["Open web page", "Copy IP address"] if EN else ["打开网页", "复制 IP 地址"],
    "targets": ["Servers on another network", "Find by address", "Address, block or range", "Add", "Remove", "OK",
                "Cancel"] if EN else
               ["其他网络中的服务器", "按地址查找", "地址、地址块或范围", "添加", "删除", "确定", "取消"],
    "diagnostics": ["Diagnostics", "Copy", "Close"] if EN else ["诊断", "复制", "关闭"],
    "clear": "Clear the filter" if EN else "清除筛选",
}
# Roles a person operates: each needs a name and a description.
CONTROLS = {"push button", "text", "table", "check box", "combo box", "list"}
failures = []


def check(ok, what):
    print(("ok: " if ok else "FAIL: ") + what, flush=True)
    if not ok:
        failures.append(what)


def wait_for(probe, seconds=10.0):
    end = time.time() + seconds
    while time.time() < end:
        try:
            found = probe()
        except Exception:  # the tree changes while it is read
            found = None
        if found:
            return found
        time.sleep(0.1)
    return None


def app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        child = desktop.getChildAtIndex(i)
        if child is not None and child.name == "vindrel":
            return child
    return None


def showing(node):
    return node.getState().contains(pyatspi.STATE_SHOWING)


def walk(node):
    """Showing nodes depth first, the order a reader reads them; tables' cells left out."""
    if node is None or not showing(node):
        return
    yield node
    if node.getRoleName() in ("table", "menu"):
        return
    for i in range(node.childCount):
        yield from walk(node.getChildAtIndex(i))


def window(title):
    def find():
        a = app()
        for i in range(a.childCount):
            w = a.getChildAtIndex(i)
            if w is not None and w.name == title and showing(w):
                return w
        return None
    return wait_for(find)


def focused():
    return wait_for(lambda: next((n for n in walk_all(app()) if n.getState().contains(pyatspi.STATE_FOCUSED)), None), 3)


def walk_all(node):
    if node is None:
        return
    yield node
    if node.getRoleName() == "table":
        return
    for i in range(node.childCount):
        yield from walk_all(node.getChildAtIndex(i))


# Pop-up menus are no children of the application: a reader hears them
# through focus events, as these are collected.
heard_focus = []


def on_focus(event):
    if event.detail1:
        try:
            heard_focus.append((event.source.getRoleName(), event.source.name))
        except Exception:
            pass


pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")


def pump(seconds):
    context = GLib.MainContext.default()
    end = time.time() + seconds
    while time.time() < end:
        while context.iteration(False):
            pass
        time.sleep(0.02)


def keys(*names):
    subprocess.run(["xdotool", "key", "--delay", "80", *names], check=True)
    pump(0.4)


def menu_items_heard(opening_keys, count):
    """Opens a menu with the keys, steps through `count` items; their names."""
    del heard_focus[:]
    keys(*opening_keys)
    for _ in range(count):
        keys("Down")
    return [name for role, name in heard_focus if role == "menu item"]


def names_in_order(node):
    return [n.name for n in walk(node) if n.name]


def in_order(heard, expected):
    """Each expected text starts one of the heard names, in this order."""
    at = 0
    for text in expected:
        while at < len(heard) and not heard[at].startswith(text):
            at += 1
        if at == len(heard):
            return False
        at += 1
    return True


main = wait_for(lambda: window("Vindrel"), 15)
check(main is not None, "the main window is on the bus")
if main is None:
    sys.exit(1)

# The list: a table, its headers, every server a row.
table = wait_for(lambda: next(n for n in walk(main) if n.getRoleName() in ("table", "tree", "tree table")))
check(table.getRoleName() == "table", f"the server list is announced as a table ({table.getRoleName()})")
grid = table.queryTable()
wait_for(lambda: grid.nRows == SERVERS, 15)
check(grid.nRows == SERVERS, f"the table has a row per server ({grid.nRows} of {SERVERS})")
headers = [grid.getColumnHeader(c).name for c in range(grid.nColumns)]
check(headers == HEARD["headers"], f"its columns are headed {headers}")
ip = headers.index(HEARD["headers"][1])
cell = grid.getAccessibleAt(2, ip)
index = cell.getIndexInParent()
where = (grid.getRowAtIndex(index), grid.getColumnAtIndex(index))
check(where == (2, ip) and cell.name.startswith(HEARD["headers"][1] + ": 10."),
      f"a cell says where it is: row {where[0] + 1} of {grid.nRows}, column "
      f"{grid.getColumnHeader(where[1]).name}: {cell.name!r}")

# Every control named and described, in the window's language.
for node in walk(main):
    if node.getRoleName() in CONTROLS:
        check(bool(node.name.strip()) and bool(node.description.strip()),
              f"{node.getRoleName()} {node.name!r} has a name and a description ({node.description!r})")
heard = names_in_order(main)
check(in_order(heard, [HEARD["logo"], HEARD["search"], HEARD["menu"], HEARD["list"]]),
      "the window reads from its title over the buttons to the list")

# The keyboard alone: Tab reaches each button, the filter and the list.
stops = []
for _ in range(8):
    keys("Tab")
    f = focused()
    stops.append(f.name if f else None)
check(all(any(s and s.startswith(t) for s in stops) for t in (HEARD["search"], HEARD["menu"], HEARD["list"])) and
      len([s for s in stops if s]) >= 7, f"Tab walks the controls: {stops}")

# The filter's clear button is named once it shows.
keys("ctrl+f", "1", "0")
clear = wait_for(lambda: next((n for n in walk(main) if n.getRoleName() == "push button" and
                               n.name == HEARD["clear"]), None), 3)
check(clear is not None, "the filter's clear button is named")
keys("ctrl+a", "BackSpace")

# The list's row menu from the keyboard.
def focus_on(name, role=None):
    for _ in range(12):
        f = focused()
        if f is not None and f.name == name and (role is None or f.getRoleName() == role):
            return True
        keys("Tab")
    return False


check(focus_on(HEARD["list"], "table"), "Tab reaches the list")
keys("Down")
items = menu_items_heard(["Menu"], len(HEARD["row_menu"]))
check(in_order(items, HEARD["row_menu"]), f"the menu key opens the row menu: {items}")
keys("Escape")

# The window menu from its button, then each dialog it opens.
check(focus_on(HEARD["menu"]), "Tab reaches the Menu button")
items = menu_items_heard(["space"], 7)
check(in_order(items, HEARD["window_menu"]), f"the Menu button offers {items}")
keys("Escape")


def choose_from_window_menu(position):
    # No window manager here gives the focus back when a dialog closes.
    subprocess.run("xdotool windowfocus --sync $(xdotool search --onlyvisible --name '^Vindrel$' | head -1)",
                   shell=True, check=False)
    focus_on(HEARD["menu"])
    keys("space")
    for _ in range(position + 1):
        keys("Down")
    keys("Return")


choose_from_window_menu(0)
dialog = window(HEARD["targets"][1])
check(dialog is not None, "Find by address… opens its dialog from the keyboard")
if dialog is not None:
    order = names_in_order(dialog)
    check(in_order(order, HEARD["targets"]), f"the dialog reads in order: {order}")
    keys("Escape")

choose_from_window_menu(1)
dialog = window(HEARD["diagnostics"][0])
check(dialog is not None, "Diagnostics… opens its dialog from the keyboard")
if dialog is not None:
    wait_for(lambda: any(n.name == HEARD["diagnostics"][1] and n.getState().contains(pyatspi.STATE_ENABLED)
                         for n in walk(dialog)), 15)
    order = names_in_order(dialog)
    check(in_order(order, HEARD["diagnostics"]), f"the dialog reads in order: {order}")
    keys("Escape")

sys.exit(1 if failures else 0)

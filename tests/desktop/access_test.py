"""The window program's black-box road, walked by an accessibility client
over AT-SPI as a screen reader's user would: search, open the first album,
tick every track, set the folder, download, and hear "下载完成" in every
status cell. Controls are found by role and name only.
Usage: access_test.py LUMORAFM_DEMO"""

import os
import subprocess
import sys
import tempfile
import unittest

from x_session import START_SECONDS, XSession, read_line, wait_for

DEMO = None
KEYWORD = "鬼吹灯"  # two albums in the simulator's catalogue


def fresh(acc):
    """The object as the program has it now, not as last cached here."""
    acc.clear_cache()
    return acc


def children(acc):
    acc = fresh(acc)
    return [acc.getChildAtIndex(i) for i in range(acc.childCount)]


def find(root, role, name):
    """The first object below `root` with `role` and `name`; lists' rows are
    not searched."""
    import pyatspi
    pending = [root]
    while pending:
        acc = pending.pop(0)
        if acc is None:
            continue
        if acc.getRole() == role and fresh(acc).name == name:
            return acc
        if acc.getRole() != pyatspi.ROLE_LIST:
            pending.extend(children(acc))
    return None


def window(app, name, seconds=START_SECONDS):
    """The program's top-level window named `name` (a plain widget window
    shows as a filler, a framed one as a frame)."""
    import pyatspi
    roles = (pyatspi.ROLE_FRAME, pyatspi.ROLE_FILLER, pyatspi.ROLE_WINDOW)
    return wait_for(lambda: next((w for w in children(app)
                                  if w and w.getRole() in roles and fresh(w).name == name), None),
                    seconds, "the window %r" % name)


def wait_find(root, role, name, seconds=START_SECONDS):
    return wait_for(lambda: find(root, role, name), seconds, "%s %r" % (role, name))


def do_action(acc, name):
    action = acc.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == name:
            return action.doAction(i)
    raise AssertionError("%r has no action %s" % (acc.name, name))


def type_text(acc, text):
    editable = acc.queryEditableText()
    assert editable.setTextContents(text), "the box took no text"


def parts(status_bar):
    return [fresh(p).name for p in children(status_bar)]


def checked(acc):
    import pyatspi
    return fresh(acc).getState().contains(pyatspi.STATE_CHECKED)


def cell(row, header):
    for c in children(row):
        if fresh(c).description == header:
            return c
    raise AssertionError("row %r has no %s cell" % (row.name, header))


class AccessRoadTest(unittest.TestCase):
    def test_album_road_by_role_and_name(self):
        with XSession(1280, 1024, accessibility=True) as session, \
                tempfile.TemporaryDirectory(prefix="lumora-access-") as folder:
            os.environ["DISPLAY"] = session.env["DISPLAY"]
            os.environ["DBUS_SESSION_BUS_ADDRESS"] = session.env["DBUS_SESSION_BUS_ADDRESS"]
            import pyatspi
            demo = session.start([DEMO], stdout=subprocess.PIPE, text=True)
            read_line(demo.stdout, START_SECONDS, "the simulator's addresses")
            self.road(pyatspi, demo, folder + "/")
            self.assertEqual(demo.wait(START_SECONDS), 0)

    def road(self, pyatspi, demo, folder):
        desktop = pyatspi.Registry.getDesktop(0)
        app = wait_for(lambda: next((a for a in children(desktop)
                                     if a and fresh(a).name == "lumorafm-demo"), None),
                       START_SECONDS, "lumorafm-demo on the accessibility bus")
        main = window(app, "LumoraFM 电脑端音频下载器")

        type_text(wait_find(main, pyatspi.ROLE_TEXT, "关键词"), KEYWORD)
        do_action(find(main, pyatspi.ROLE_PUSH_BUTTON, "搜索"), "Press")
        albums = find(main, pyatspi.ROLE_LIST, "专辑列表")
        rows = wait_for(lambda: children(albums), START_SECONDS, "albums in the Album list")
        first = rows[0]
        self.assertEqual(first.getRole(), pyatspi.ROLE_LIST_ITEM)
        self.assertIn(KEYWORD, fresh(first).name)
        do_action(first, "Press")

        track = window(app, "Lumora下载器")
        tracks = find(track, pyatspi.ROLE_LIST, "音频列表")
        bar = find(track, pyatspi.ROLE_STATUS_BAR, "状态栏")
        # The listing tells its end in status-bar part 1.
        wait_for(lambda: parts(bar)[1].startswith("已搜索"), START_SECONDS, "the listing's end")
        rows = children(tracks)
        self.assertGreater(len(rows), 0)
        for row in rows:
            box = next(c for c in children(row) if c.getRole() == pyatspi.ROLE_CHECK_BOX)
            self.assertEqual(fresh(box).name, fresh(row).name)
            do_action(box, "Toggle")
        wait_for(lambda: all(checked(r) for r in rows), START_SECONDS, "every track ticked")
        wait_for(lambda: parts(bar)[1] == "选中%d个音频" % len(rows), START_SECONDS,
                 "the checked count, got %r" % parts(bar)[1])

        type_text(find(track, pyatspi.ROLE_TEXT, "下载目录"), folder)
        do_action(find(track, pyatspi.ROLE_PUSH_BUTTON, "下载选中"), "Press")
        statuses = [cell(r, "状态") for r in rows]
        wait_for(lambda: all(fresh(s).name == "下载完成" for s in statuses), 180,
                 "下载完成 in every status cell")
        self.assertEqual(parts(bar)[2:4], ["待下载：0", "已下载：%d" % len(rows)])
        names = sorted(fresh(cell(r, "标题")).name + ".mp3" for r in rows)
        self.assertEqual(sorted(os.listdir(folder)), names)

        do_action(find(main, pyatspi.ROLE_PUSH_BUTTON, "关闭"), "Press")


if __name__ == "__main__":
    DEMO = sys.argv.pop(1)
    unittest.main()

"""Kestrine on the tray hosts people use: GNOME Shell with and without its
StatusNotifier extension, KDE Plasma and the Xfce panel, each the real shell
on Xvfb with Kestrine's icon installed as the package installs it. A first
start on a low battery: the launch check switches and notifies, the item
appears showing its state emoji once (not the app's icon), the shell opens
its menu, and `kestrine --quit` removes it. If KESTRINE_E2E_SCREENSHOTS names
a folder, the screens are saved there."""

import os
import subprocess
import tempfile
import time
import unittest

from harness import App, GnomeShellDesktop, PlasmaDesktop, XfceDesktop, wait_for

NO_PANEL = 'No panel shows Kestrine'
LAUNCH = 'Kestrine is Running'
# What marks each state's emoji as the colour emoji font draws it, and the
# application icon's teal disc.
STATE_COLOURS = {
    'kestrine_1f50b': lambda r, g, b: g > r + 40 and g > b + 40,  # 🔋 green
    'kestrine_1faab': lambda r, g, b: r > g + 80 and r > b + 80,  # 🪫 red
    'kestrine_1f4a4': lambda r, g, b: b > r + 60 and b > g + 20,  # 💤 blue
}
def APP_ICON_TEAL(r, g, b): return g > r + 50 and b > r + 50 and abs(g - b) < 40  # noqa: E704


def columns(pixels, predicate):
    """The x of every column with at least two pixels the predicate accepts."""
    return [x for x in range(len(pixels[0]))
            if sum(predicate(*row[x]) for row in pixels) >= 2]


def icons(pixels, predicate, least=6):
    """(first, last) column of each run of such columns at least `least` wide:
    an icon's worth, not a dot in another icon."""
    runs = []
    for x in columns(pixels, predicate):
        if runs and x - runs[-1][1] <= 3:
            runs[-1][1] = x
        else:
            runs.append([x, x])
    return [(a, b) for a, b in runs if b - a + 1 >= least]


class HostSuite:
    """Mixin for a unittest.TestCase; DESKTOP() starts the host."""

    TRAY = True  # whether the host shows tray items
    TOOLTIP = False  # whether it shows the item's title as its tooltip

    def setUp(self):
        self.desktop = self.DESKTOP()
        self.addCleanup(self.desktop.stop)
        self.desktop.allow_switching(True)
        self.desktop.set_battery_percentage(12.0)
        self.home = tempfile.mkdtemp(prefix='home-', dir=self.desktop.tmp)
        self.shots = os.environ.get('KESTRINE_E2E_SCREENSHOTS')
        self.app = self.start()

    def start(self, *args):
        app = App(self.desktop, self.home, args, runtime=getattr(self, 'runtime', None))
        self.runtime = app.runtime
        self.addCleanup(lambda: print(f'--- kestrine {args} ---\n' + app.log()))
        self.addCleanup(app.stop)
        return app

    def shoot(self, what, region=None):
        if self.shots:
            self.desktop.screenshot(os.path.join(self.shots, f'{self.NAME}-{what}.png'), region)

    def said(self, text):
        return any(text in summary + ' ' + body
                   for summary, body, _ in self.desktop.notifications_sent())

    def test_on_this_host(self):
        desktop, app = self.desktop, self.app
        # The launch check switches at once and says so through the host.
        wait_for(lambda: desktop.active_profile() == 'power-saver', 20, 'the launch switch')
        wait_for(lambda: self.said('12%'), 20, 'the switch notification')
        window = desktop.window(LAUNCH)
        time.sleep(1)  # the banner slides in
        self.shoot('notification')
        desktop.press_return(window)
        desktop.window_closes(window)
        if self.TRAY:
            self.check_tray_item()
        else:
            wait_for(lambda: self.said(NO_PANEL), 10, 'the no-panel notification')

        quitter = self.start('--quit')
        self.assertEqual(quitter.process.wait(15), 0, quitter.log())
        self.assertEqual(app.process.wait(5), 0)
        if self.TRAY:
            wait_for(lambda: not desktop.watcher_items(), 10, 'the item to go')

    def check_tray_item(self):
        desktop, app = self.desktop, self.app
        wait_for(desktop.registered_items, 20, 'the item to register with the host')
        name = str(app.item_property('IconName'))
        self.assertIn(name, STATE_COLOURS)
        self.assertEqual(app.label(), '')

        # The state emoji once in the panel, and never the application icon.
        def state_icon():
            pixels = desktop.pixels(desktop.PANEL)
            found = icons(pixels, STATE_COLOURS[name])
            if len(found) != 1:
                return None
            teal = columns(pixels, APP_ICON_TEAL)
            return None if any(found[0][0] - 8 <= x <= found[0][1] + 8 for x in teal) else found[0]
        found = wait_for(state_icon, 20, f'{name} once in the panel')
        self.shoot('icon', desktop.PANEL)

        # The host opens the menu at a click and asks for its entries, whose
        # radio and check states it draws.
        x = desktop.PANEL[0] + (found[0] + found[-1]) // 2
        y = desktop.PANEL[1] + desktop.PANEL[3] // 2
        asked = desktop.menu_calls()
        desktop.click(x, y)
        wait_for(lambda: desktop.menu_calls() > asked, 10, 'the host to ask for the menu')
        threshold = app.find_item('Threshold: 20%')
        self.assertEqual([c['toggle'] for c in threshold['children']],
                         [('radio', int(p == 20)) for p in range(10, 100, 10)])
        self.assertEqual(app.find_item('Smart AI Mode (1 hour)')['toggle'], ('checkmark', 0))
        time.sleep(1)  # the menu opens
        self.shoot('menu')
        desktop.key('Escape')
        if self.TOOLTIP:
            # The item's title is the tooltip.
            self.assertIn('Battery 12%', str(app.item_property('Title')))
            subprocess.run(['xdotool', 'mousemove', '--sync', str(x + 1), str(y)], check=True)
            time.sleep(2)
            self.shoot('tooltip')


class GnomeShellWithTheExtension(HostSuite, unittest.TestCase):
    NAME = 'gnome'
    DESKTOP = GnomeShellDesktop


class GnomeShellAlone(HostSuite, unittest.TestCase):
    NAME = 'gnome-no-extension'
    TRAY = False

    def DESKTOP(self):
        return GnomeShellDesktop(extension=False)


class Plasma(HostSuite, unittest.TestCase):
    NAME = 'plasma'
    DESKTOP = PlasmaDesktop
    TOOLTIP = True


class Xfce(HostSuite, unittest.TestCase):
    NAME = 'xfce'
    DESKTOP = XfceDesktop
    TOOLTIP = True


if __name__ == '__main__':
    unittest.main()

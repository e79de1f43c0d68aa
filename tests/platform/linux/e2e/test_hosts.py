"""Kestrine on the tray hosts people use: GNOME Shell with and without its
StatusNotifier extension, KDE Plasma and the Xfce panel, each the real shell
on Xvfb with Kestrine's icon installed as the package installs it. A first
start on a low battery: the launch check switches and notifies, the item
appears showing its state emoji once (not the app's icon), the shell opens
its menu, and `kestrine --quit` removes it. If KESTRINE_E2E_SCREENSHOTS names
a folder, the screens are saved there."""

import os
import subprocess
import time
import unittest

from harness import (App, GnomeShellDesktop, LowBatteryFirstStart, PlasmaDesktop, XfceDesktop,
                     wait_for)

# What marks each state's emoji as the colour emoji font draws it, the icon's
# description, and the application icon's teal disc.
STATES = {
    'kestrine_1f50b': (lambda r, g, b: g > r + 40 and g > b + 40, 'on battery'),  # 🔋 green
    'kestrine_1faab': (lambda r, g, b: r > g + 80 and r > b + 80, 'low battery'),  # 🪫 red
    'kestrine_1f4a4': (lambda r, g, b: b > r + 60 and b > g + 20, 'Power Saver on'),  # 💤 blue
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


class HostSuite(LowBatteryFirstStart):
    """Mixin for a unittest.TestCase; DESKTOP() starts the host."""

    TRAY = True  # whether the host shows tray items

    def shoot(self, what, region=None):
        if os.environ.get('KESTRINE_E2E_SCREENSHOTS'):
            self.desktop.screenshot(os.path.join(os.environ['KESTRINE_E2E_SCREENSHOTS'],
                                                 f'{self.NAME}-{what}.png'), region)

    def said(self, text):
        return any(text in summary + ' ' + body for summary, body, _ in
                   self.desktop.notifications_sent())

    def test_on_this_host(self):
        desktop, app = self.desktop, self.app
        # The launch check switches at once and says so through the host.
        wait_for(lambda: desktop.active_profile() == 'power-saver', 20, 'the launch switch')
        wait_for(lambda: self.said('15%'), 20, 'the switch notification')
        window = desktop.window('Kestrine is Running')
        time.sleep(1)  # the banner slides in
        self.shoot('notification')
        desktop.press_return(window)
        desktop.window_closes(window)
        if self.TRAY:
            self.check_tray_item()
        else:
            wait_for(lambda: self.said('No panel shows Kestrine'), 10, 'the no-panel notice')

        quitter = App(desktop, self.home, ['--quit'], runtime=app.runtime)
        self.addCleanup(quitter.stop)
        self.assertEqual(quitter.process.wait(15), 0, quitter.log())
        self.assertEqual(app.process.wait(5), 0)
        if self.TRAY:
            wait_for(lambda: not desktop.watcher_items(), 10, 'the item to go')

    def check_tray_item(self):
        desktop, app = self.desktop, self.app
        wait_for(desktop.registered_items, 20, 'the item to register with the host')
        name = str(app.item_property('IconName'))
        self.assertIn(name, STATES)
        colour, meaning = STATES[name]
        self.assertEqual(str(app.item_property('IconAccessibleDesc')), 'Kestrine: ' + meaning)
        self.assertEqual(app.label(), '')
        self.assertIn('Battery 15%', str(app.item_property('Title')))  # the hosts' tooltip

        # The state emoji once in the panel, and never the application icon.
        def state_icon():
            pixels = desktop.pixels(desktop.PANEL)
            found = icons(pixels, colour)
            teal = columns(pixels, APP_ICON_TEAL)
            if len(found) == 1 and not any(found[0][0] - 8 <= x <= found[0][1] + 8 for x in teal):
                return found[0]
        first, last = wait_for(state_icon, 20, f'{name} once in the panel')
        self.shoot('icon', desktop.PANEL)

        # The host opens the menu at a click and asks for its entries.
        x, y = desktop.PANEL[0] + (first + last) // 2, desktop.PANEL[1] + desktop.PANEL[3] // 2
        asked = desktop.menu_calls()
        desktop.click(x, y)
        wait_for(lambda: desktop.menu_calls() > asked, 10, 'the host to ask for the menu')
        time.sleep(1)  # the menu opens
        self.shoot('menu')
        desktop.key('Escape')
        if os.environ.get('KESTRINE_E2E_SCREENSHOTS'):  # the tooltip, where the host has one
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


class Xfce(HostSuite, unittest.TestCase):
    NAME = 'xfce'
    DESKTOP = XfceDesktop


if __name__ == '__main__':
    unittest.main()

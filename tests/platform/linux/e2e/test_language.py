"""Kestrine in the user's language: with LANGUAGE=de on Xfce's panel the menu,
the launch message, a switch notification and --help are German, built from
the build tree's catalogues."""

import os
import subprocess
import tempfile
import time
import unittest

import dbus

from harness import DBUSMENU, PROPS, SNI, App, Desktop, wait_for

NBSP = '\u00a0'
WATCHER = 'org.kde.StatusNotifierWatcher'
MENU = ['Smart-KI-Modus (1 Stunde)', f'Schwelle: 20{NBSP}%', '---', 'Akkustand',
        'Aktuelles Energieprofil', '---', 'Info', '---', 'Kestrine beenden']


class German(unittest.TestCase):
    def test_menu_notification_and_help_follow_language(self):
        desktop = Desktop()
        self.addCleanup(desktop.stop)
        desktop.allow_switching(True)
        desktop.stop_watcher()
        watcher = desktop.start_panel()
        app = App(desktop, tempfile.mkdtemp(prefix='home-', dir=desktop.tmp), language='de')
        self.addCleanup(lambda: print('--- kestrine ---\n' + app.log()))
        self.addCleanup(app.stop)
        desktop.press_return(desktop.window('Kestrine läuft'))

        # The menu as the panel reads it.
        [item] = wait_for(lambda: [str(i) for i in watcher.Get(WATCHER, 'RegisteredStatusNotifierItems',
                                                                dbus_interface=PROPS)],
                          30, 'the item to register with the panel')
        name, path = item.split('/', 1)
        menu = desktop.session.get_object(name, desktop.session.get_object(name, '/' + path).Get(
            SNI, 'Menu', dbus_interface=PROPS))

        def entries():
            _, (_, _, children) = menu.GetLayout(0, -1, dbus.Array([], signature='s'),
                                                 dbus_interface=DBUSMENU)
            return [(int(i), '---' if props.get('type') == 'separator' else str(props.get('label')),
                     [(int(c[0]), str(c[1].get('label'))) for c in sub])
                    for i, props, sub in children if props.get('visible', True)]
        self.assertEqual([label for _, label, _ in entries()], MENU)
        menu.Event(entries()[3][0], 'clicked', dbus.String('', variant_level=1), dbus.UInt32(0),
                   dbus_interface=DBUSMENU)
        desktop.press_return(desktop.window('Akku-Informationen'))

        # On battery at 50 %: a threshold of 60 % switches at once, and says so.
        choices = dict((label, i) for i, label in entries()[1][2])
        self.assertEqual(list(choices)[:2], [f'10{NBSP}%', f'20{NBSP}%'])
        menu.Event(choices[f'60{NBSP}%'], 'clicked', dbus.String('', variant_level=1),
                   dbus.UInt32(0), dbus_interface=DBUSMENU)
        wait_for(lambda: desktop.active_profile() == 'power-saver', 10, 'the switch')
        wait_for(lambda: desktop.notifications_sent(), 5, 'the switch notification')
        self.assertEqual(desktop.notifications_sent()[0][:2],
                         (f'Energie sparen an: Akku bei 50{NBSP}%',
                          f'Kestrine hat an der Schwelle von 60{NBSP}% umgeschaltet.'))
        screenshot = os.environ.get('KESTRINE_E2E_MENU_SCREENSHOT')
        if screenshot:
            self.take_menu_screenshot(screenshot)

        run = subprocess.run([os.environ['KESTRINE_E2E_APP'], '--help'], capture_output=True,
                             text=True, timeout=10, env=app.env)
        self.assertEqual(run.returncode, 0)
        self.assertTrue(run.stdout.startswith('Aufruf: kestrine [--help | --version | --quit]'),
                        run.stdout)

    @staticmethod
    def take_menu_screenshot(path):
        """Opens the item's menu in the panel (its tray is the panel's right
        end) and saves the top right of the screen to `path`."""
        time.sleep(1)  # the panel draws the new icon
        subprocess.run(['xdotool', 'mousemove', '1008', '16', 'click', '1'], check=True)
        time.sleep(1)
        subprocess.run(['import', '-window', 'root', '-crop', '290x200+734+0', '+repage', path], check=True)


if __name__ == '__main__':
    unittest.main()

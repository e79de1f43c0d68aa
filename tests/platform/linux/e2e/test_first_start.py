"""A first start on a low battery while another app holds performance: no
setup, the launch check switches (the hold goes) and notifies, the menu, the
next pass takes back the user's balanced with one notice of its own, quitting."""

import json
import os
import time
import unittest

import dbus

from harness import LowBatteryFirstStart, ProfileHolder, RealDaemonsDesktop, wait_for

CLASSIC_MENU = ['Smart AI Mode (1 hour)', 'Threshold: 20%', '---', 'Current Battery',
                'Current Power Mode', '---', 'About', '---', 'Quit Kestrine']
PASS_NOTICE = ('Power Saver on: battery at 14%', 'Kestrine switched automatically.')
LAUNCH_NOTICE = ('Power Saver on: battery at 15%', 'Kestrine switched at the threshold, 20%.')


class FirstStart(LowBatteryFirstStart, unittest.TestCase):
    DESKTOP = RealDaemonsDesktop

    def prepare_desktop(self):
        self.holder = ProfileHolder('performance')
        self.assertEqual(self.desktop.active_profile(), 'performance')

    def test_first_start_switches_notifies_once_and_takes_back_balanced(self):
        desktop, app = self.desktop, self.app

        # The tray item: the battery emoji as label and as a drawn icon.
        wait_for(lambda: app.label() in ('🔋', '🪫', '💤'), 10, 'the tray label')
        icon_dir = str(app.item_property('IconThemePath'))
        with open(os.path.join(icon_dir, str(app.item_property('IconName')) + '.png'), 'rb') as f:
            self.assertEqual(f.read(8), b'\x89PNG\r\n\x1a\n')

        # No setup: the launch check switches at once, then the launch message.
        # The switch ends the other app's hold, as the daemon tells it.
        window = desktop.window('Kestrine is Running')
        self.assertEqual(desktop.active_profile(), 'power-saver')
        wait_for(self.holder.was_released, 5, 'the hold to be released')
        with self.assertRaises(dbus.exceptions.DBusException):
            self.holder.release()
        self.assertEqual([n[:2] for n in desktop.notifications_sent()], [LAUNCH_NOTICE])
        with open(os.path.join(self.home, '.kestrine_config.json')) as f:
            self.assertTrue(json.load(f)['setupComplete'])
        desktop.press_return(window)
        desktop.window_closes(window)

        # The menu as the tray host sees it.
        self.assertEqual(app.visible_entries(), CLASSIC_MENU)
        threshold = app.find_item('Threshold: 20%')
        # Choices are radio and check items whose state the tray host reads.
        self.assertEqual([(c['label'],) + c['toggle'] for c in threshold['children']],
                         [(f'{p}%', 'radio', int(p == 20)) for p in range(10, 100, 10)])
        self.assertEqual(app.find_item('Smart AI Mode (1 hour)')['toggle'], ('checkmark', 0))
        self.assertEqual(app.find_item('Quit Kestrine')['shortcut'], [['Control', 'q']])
        app.click('Current Power Mode')
        desktop.press_return(desktop.window('Current Power Mode'))

        # The user goes back to balanced while the battery stays low: the first
        # timer pass, 30 s after start, switches again and notifies once.
        desktop.set_active_profile('balanced')
        desktop.set_battery_percentage(14.0)
        remaining = 30 - (time.monotonic() - app.started)
        wait_for(lambda: desktop.active_profile() == 'power-saver', remaining + 20,
                 'the timer pass to switch to power-saver')
        self.assertGreater(time.monotonic() - app.started, 29, 'no pass before 30 s')
        time.sleep(0.5)
        self.assertEqual([n[:2] for n in desktop.notifications_sent()], [LAUNCH_NOTICE, PASS_NOTICE])
        self.assertEqual(app.label(), '🪫')  # drawn before the pass switched

        # Quit from the menu ends the process cleanly and removes the icons.
        app.click('Quit Kestrine')
        self.assertEqual(app.process.wait(10), 0)
        self.assertFalse(os.path.exists(icon_dir))
        self.assertNotIn('Failed to', app.log())


if __name__ == '__main__':
    unittest.main()

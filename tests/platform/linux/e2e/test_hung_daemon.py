"""No power-profiles-daemon at start, then one that takes a switch and never
answers: one notice of what is missing, no switch, the menu answers while a
switch hangs, the next pass after the daemon recovers switches, and Quit and
SIGTERM end the app at once with a switch in flight."""

import signal
import time
import unittest

import dbus
from dbusmock import MOCK_IFACE

from harness import LowBatteryFirstStart, wait_for


class Helpers(LowBatteryFirstStart):
    def prepare_desktop(self):
        self.desktop.stop_power_profiles()

    def set_hung(self, hung):
        self.desktop.ppd.SetHung(dbus.Boolean(hung), dbus_interface='org.kestrine.Test')

    def switches_tried(self, count):
        calls = lambda: self.desktop.ppd.GetMethodCalls('Set', dbus_interface=MOCK_IFACE)  # noqa: E731
        wait_for(lambda: len(calls()) >= count, 15, f'{count} switches to be tried')

    def assert_ends_within_2_s(self, end):
        start = time.monotonic()
        end()
        self.assertEqual(self.app.process.wait(10), 0)
        self.assertLess(time.monotonic() - start, 2.0)


class MissingThenHungDaemon(Helpers, unittest.TestCase):
    def test_notice_then_menu_answers_the_pass_after_recovery_switches_sigterm_is_prompt(self):
        desktop, app = self.desktop, self.app
        desktop.press_return(desktop.window('Kestrine is Running'))
        app.click('Current Power Mode')
        desktop.press_return(desktop.window('Error'))
        [(summary, body, _)] = desktop.notifications_sent()
        self.assertEqual(summary, 'power-profiles-daemon is not running')
        self.assertTrue(body.startswith('Kestrine cannot switch to Power Saver without it.'), body)
        self.assertIn('sudo apt install power-profiles-daemon', body)
        self.assertIn('TLP', body)

        desktop.start_power_profiles(hung=True)
        app.click('60%')  # on battery at 15 %: switches at once
        self.switches_tried(1)
        for _ in range(5):  # the menu as the tray host reads it, within a second
            start = time.monotonic()
            self.assertIn('Quit Kestrine', app.visible_entries())
            self.assertLess(time.monotonic() - start, 1.0)
        self.set_hung(False)
        self.assertEqual(desktop.active_profile(), 'balanced')
        remaining = 30 - (time.monotonic() - app.started)
        wait_for(lambda: desktop.active_profile() == 'power-saver', remaining + 20,
                 'the timer pass to switch to power-saver')
        wait_for(lambda: desktop.notifications_sent()[2:], 5, 'the switch notice')
        self.assertEqual([n[:2] for n in desktop.notifications_sent()[1:]],  # told once
                         [('Threshold set to 60%',
                           'Kestrine switches to Power Saver when the battery reaches it.'),
                          ('Power Saver on: battery at 15%', 'Kestrine switched automatically.')])

        # Hung again, a new threshold starts a switch; SIGTERM does not wait for it.
        desktop.set_active_profile('balanced')  # a Set of its own
        self.set_hung(True)
        app.click('70%')
        self.switches_tried(4)
        self.assert_ends_within_2_s(lambda: app.process.send_signal(signal.SIGTERM))


class HungDaemonAtStart(Helpers, unittest.TestCase):
    def prepare_desktop(self):
        super().prepare_desktop()
        self.desktop.start_power_profiles(hung=True)

    def test_quit_ends_the_app_at_once_while_the_launch_check_switch_hangs(self):
        self.switches_tried(1)  # the launch check's
        self.assert_ends_within_2_s(lambda: self.app.click('Quit Kestrine'))


if __name__ == '__main__':
    unittest.main()

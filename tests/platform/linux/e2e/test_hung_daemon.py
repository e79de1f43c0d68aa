"""No power-profiles-daemon at start, then one that takes a switch and never
answers: one notice of what is missing, no switch, the menu answers while a
switch hangs, the next pass after the daemon recovers switches (with an
information window open). A menu choice made while a pass waits runs once,
after it; with the notification server stopped too, nothing waits for it
either, and SIGTERM ends the app at once with a switch in flight."""

import json
import os
import signal
import time
import unittest

import dbus
from dbusmock import MOCK_IFACE

from harness import App, LowBatteryFirstStart, wait_for

NO_ANSWER = ('Power Saver could not be turned on',
             'power-profiles-daemon did not answer. Kestrine tries again at every check.')


class Helpers(LowBatteryFirstStart):
    def prepare_desktop(self):
        self.desktop.stop_power_profiles()

    def set_hung(self, hung):
        self.desktop.ppd.SetHung(dbus.Boolean(hung), dbus_interface='org.kestrine.Test')

    def switches_tried(self, count):
        calls = lambda: self.desktop.ppd.GetMethodCalls('Set', dbus_interface=MOCK_IFACE)  # noqa: E731
        wait_for(lambda: len(calls()) >= count, 15, f'{count} switches to be tried')

    def threshold_on_disk(self):
        with open(os.path.join(self.home, '.kestrine_config.json')) as f:
            return json.load(f)['threshold']

    def assert_menu_answers_within_a_second(self):
        for _ in range(3):  # the menu as the tray host reads it
            start = time.monotonic()
            self.assertIn('Quit Kestrine', self.app.visible_entries())
            self.assertLess(time.monotonic() - start, 1.0)

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
        self.set_hung(False)
        self.assertEqual(desktop.active_profile(), 'balanced')

        # An information window left open holds no pass: the battery falls and
        # the first timer pass switches.
        app.click('Current Battery')
        window = desktop.window('Battery Information')
        desktop.set_battery_percentage(14.0)
        remaining = 30 - (time.monotonic() - app.started)
        wait_for(lambda: desktop.active_profile() == 'power-saver', remaining + 20,
                 'the timer pass to switch to power-saver')
        wait_for(lambda: desktop.notifications_sent()[3:], 5, 'the switch notice')
        self.assertEqual([n[:2] for n in desktop.notifications_sent()[1:]],  # each told once
                         [NO_ANSWER,
                          ('Threshold set to 60%',
                           'Kestrine switches to Power Saver when the battery reaches it.'),
                          ('Power Saver on: battery at 14%', 'Kestrine switched automatically.')])
        self.assertEqual(desktop.window('Battery Information', timeout=0), window)


class CommandDuringAHungLaunchCheck(Helpers, unittest.TestCase):
    def prepare_desktop(self):
        super().prepare_desktop()
        self.desktop.start_power_profiles(hung=True)

    def test_a_threshold_chosen_meanwhile_runs_once_after_it_and_quit_is_prompt(self):
        desktop, app = self.desktop, self.app
        self.switches_tried(1)  # the launch check's, which hangs for 5 s
        app.click('30%')
        self.assert_menu_answers_within_a_second()
        self.assertEqual(self.threshold_on_disk(), 20, 'the choice waits for the pass')
        wait_for(lambda: self.threshold_on_disk() == 30, 10, 'the choice after the pass')
        self.switches_tried(2)  # the choice's own try, on a battery below 30 %
        wait_for(lambda: desktop.notifications_sent()[1:], 10, 'the threshold notice')
        self.assertEqual([n[:2] for n in desktop.notifications_sent()],
                         [NO_ANSWER,
                          ('Threshold set to 30%',
                           'Kestrine switches to Power Saver when the battery reaches it.')])
        calls = desktop.ppd.GetMethodCalls('Set', dbus_interface=MOCK_IFACE)
        self.assertEqual(len(calls), 2, 'the choice ran once')

        # The notification server stops answering as well: the next choice's
        # notices, once its switch has given up (5 s), a second start and Quit
        # with a switch in flight wait for neither.
        desktop.notifications_process.send_signal(signal.SIGSTOP)
        self.addCleanup(desktop.notifications_process.send_signal, signal.SIGCONT)
        app.click('40%')
        self.switches_tried(3)
        time.sleep(6)
        self.assert_menu_answers_within_a_second()
        start = time.monotonic()
        second = App(desktop, self.home, runtime=app.runtime)
        self.addCleanup(second.stop)
        self.assertEqual(second.process.wait(10), 0)
        self.assertLess(time.monotonic() - start, 3.0)
        app.click('50%')
        self.switches_tried(4)
        self.assert_ends_within_2_s(lambda: app.process.send_signal(signal.SIGTERM))


if __name__ == '__main__':
    unittest.main()

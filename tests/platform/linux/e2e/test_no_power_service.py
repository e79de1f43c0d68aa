"""No power-profiles-daemon at start: one notification says what is missing
and nothing switches; once the daemon appears, the next pass switches."""

import time
import unittest

from harness import LowBatteryFirstStart, wait_for

PASS_NOTICE = ('Kestrine', 'Battery at 15%\nLow Power Mode enabled automatically')


class NoPowerService(LowBatteryFirstStart, unittest.TestCase):
    def prepare_desktop(self):
        self.desktop.stop_power_profiles()

    def test_one_notice_no_switch_then_the_next_pass_switches_once_it_appears(self):
        desktop, app = self.desktop, self.app
        desktop.press_return(desktop.window('Kestrine is Running'))
        app.click('Current Power Mode')
        desktop.press_return(desktop.window('Error'))
        [(summary, body, _)] = desktop.notifications_sent()
        self.assertEqual(summary, 'Kestrine')
        self.assertTrue(body.startswith('power-profiles-daemon is not running\n'), body)
        self.assertIn('sudo apt install power-profiles-daemon', body)
        self.assertIn('TLP', body)

        desktop.start_power_profiles()
        self.assertEqual(desktop.active_profile(), 'balanced')
        remaining = 30 - (time.monotonic() - app.started)
        wait_for(lambda: desktop.active_profile() == 'power-saver', remaining + 20,
                 'the timer pass to switch to power-saver')
        notices = wait_for(lambda: desktop.notifications_sent()[1:], 5, 'the switch notice')
        self.assertEqual([n[:2] for n in notices], [PASS_NOTICE])


if __name__ == '__main__':
    unittest.main()

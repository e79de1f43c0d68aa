"""On the real daemons, a switch that polkit denies, and no power-profiles
daemon at all: one notification with the reason, nothing switched, a new try
at the next pass."""

import time
import unittest

from harness import LowBatteryFirstStart, RealDaemonsDesktop, wait_for


class DeniedSwitch(LowBatteryFirstStart, unittest.TestCase):
    ALLOW_SWITCHING = False
    DESKTOP = RealDaemonsDesktop

    def test_denied_then_no_daemon_then_allowed_at_the_next_pass(self):
        desktop, app = self.desktop, self.app

        # The launch check tries and is denied: the reason, still balanced. A
        # threshold tries again in the same episode: not told again.
        desktop.press_return(desktop.window('Kestrine is Running'))
        self.assertEqual(desktop.active_profile(), 'balanced')
        denied = ('Power Saver could not be turned on',
                  'The system\'s policy (polkit) does not let this session switch the power '
                  'profile. Kestrine tries again at every check.')
        self.assertEqual([n[:2] for n in desktop.notifications_sent()], [denied])
        app.click('50%')
        wait_for(lambda: desktop.notifications_sent()[1:], 10, 'the threshold notice')
        self.assertEqual(app.log().count('org.freedesktop.DBus.Error.AccessDenied'), 1)

        # Without the daemon the mode cannot be read and nothing switches: a
        # threshold above the level only confirms the new threshold.
        desktop.stop_power_profiles()
        app.click('60%')
        sent = wait_for(lambda: desktop.notifications_sent()[2:], 10, 'the threshold notice')
        self.assertEqual([n[:2] for n in sent],
                         [('Threshold set to 60%',
                           'Kestrine switches to Power Saver when the battery reaches it.')])

        # The daemon is back and the user now agrees: the next pass switches.
        desktop.start_power_profiles()
        desktop.allow_switching(True)
        remaining = 30 - (time.monotonic() - app.started)
        wait_for(lambda: desktop.active_profile() == 'power-saver', remaining + 20,
                 'the timer pass to switch to power-saver')
        notices = wait_for(lambda: desktop.notifications_sent()[3:], 5, 'the switch notice')
        self.assertEqual([n[:2] for n in notices],
                         [('Power Saver on: battery at 15%', 'Kestrine switched automatically.')])
        self.assertNotIn('Failed to', app.log())


if __name__ == '__main__':
    unittest.main()

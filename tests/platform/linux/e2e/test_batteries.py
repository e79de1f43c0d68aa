"""The launch check on the real UPower with an empty bay, and with two
batteries each way round: it switches with the level in its notice, or not."""

import tempfile
import unittest

from harness import App, RealDaemonsDesktop

# (batteries as (name, percentage, present), the launch notice or None)
MACHINES = [
    # An empty bay listed before a half-full battery: nothing is low.
    ((('BAT0', 0.0, False), ('BAT1', 50.0, True)), None),
    # Two batteries of equal size hold 18 % together, whichever comes first.
    ((('BAT0', 6.0, True), ('BAT1', 30.0, True)), 'Power Saver on: battery at 18%'),
    ((('BAT0', 30.0, True), ('BAT1', 6.0, True)), 'Power Saver on: battery at 18%'),
]


class Batteries(unittest.TestCase):
    def test_launch_check_reads_the_batteries_as_the_desktop_does(self):
        for batteries, notice in MACHINES:
            with self.subTest(batteries=batteries):
                desktop = RealDaemonsDesktop(batteries)
                self.addCleanup(desktop.stop)
                desktop.allow_switching(True)
                app = App(desktop, tempfile.mkdtemp(prefix='home-', dir=desktop.tmp))
                self.addCleanup(app.stop)
                desktop.window('Kestrine is Running')
                sent = [summary for summary, _, _ in desktop.notifications_sent()]
                self.assertEqual(sent, [notice] if notice else [])
                self.assertEqual(desktop.active_profile(),
                                 'power-saver' if notice else 'balanced')
                app.stop()
                desktop.stop()


if __name__ == '__main__':
    unittest.main()

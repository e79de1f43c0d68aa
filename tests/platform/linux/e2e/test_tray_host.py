"""A desktop without a tray host, then a real one (Xfce's panel): Kestrine
keeps switching while nothing shows it and while its launch message is left
open, says once per start that nothing shows it, also when the panel that
appears and gets the item goes again,
answers a second start and ends on `kestrine --quit`."""

import os
import subprocess
import tempfile
import time
import unittest

from harness import App, Desktop, PROPS, wait_for

NO_PANEL = 'No panel shows Kestrine\'s icon'
RUNNING = 'Kestrine is already running'
WATCHER = 'org.kde.StatusNotifierWatcher'


class TrayHost(unittest.TestCase):
    def setUp(self):
        self.desktop = Desktop()
        self.addCleanup(self.desktop.stop)
        self.desktop.allow_switching(True)
        self.desktop.stop_watcher()
        self.home = tempfile.mkdtemp(prefix='home-', dir=self.desktop.tmp)

    def start(self, *args):
        app = App(self.desktop, self.home, args, runtime=getattr(self, 'runtime', None))
        self.runtime = app.runtime
        self.addCleanup(lambda: print(f'--- kestrine {args} ---\n' + app.log()))
        self.addCleanup(app.stop)
        return app

    def summaries(self):
        return [n[0] for n in self.desktop.notifications_sent()]

    def test_without_a_host_then_with_a_real_panel(self):
        desktop = self.desktop
        app = self.start()

        # Nothing shows the item: one notification, with the app's icon and entry.
        wait_for(lambda: NO_PANEL in self.summaries(), 10, 'the no-panel notification')
        hints = desktop.notifications_sent()[0][2]
        self.assertEqual(str(hints['desktop-entry']), 'kestrine')
        calls = desktop.notifications.GetMethodCalls('Notify', dbus_interface='org.freedesktop.DBus.Mock')
        self.assertEqual(str(calls[0][1][2]), 'kestrine')

        # The launch message is left open; the battery falls; the first pass,
        # 30 s after start, switches and notifies all the same.
        window = desktop.window('Kestrine is Running')
        desktop.set_battery_percentage(12.0)
        wait_for(lambda: desktop.active_profile() == 'power-saver',
                 35 - (time.monotonic() - app.started), 'the pass to switch while the message is open')
        wait_for(lambda: 'Power Saver on: battery at 12%' in self.summaries(), 5, 'the switch notice')
        self.assertEqual(desktop.window('Kestrine is Running', timeout=0), window)

        # A real panel appears: the item registers with it (what the panel
        # shows is the hosts suite's).
        watcher = desktop.start_panel()
        wait_for(lambda: watcher.Get(WATCHER, 'RegisteredStatusNotifierItems', dbus_interface=PROPS),
                 30, 'the item to register with the panel')
        # The panel goes again (a restart): nothing shows the item, said already.
        panel = desktop.processes[-1]
        panel.terminate()
        panel.wait(10)
        wait_for(lambda: not desktop.session.name_has_owner(WATCHER), 10, 'the panel to go')
        time.sleep(2)
        self.assertEqual(self.summaries().count(NO_PANEL), 1, 'said once per start')

        # A second start answers with a notification and ends.
        second = self.start()
        self.assertEqual(second.process.wait(10), 0)
        self.assertIn('Kestrine is already running', second.log())
        wait_for(lambda: RUNNING in self.summaries(), 5, 'the already-running notification')

        # --quit ends the first instance cleanly; then none is left to end.
        quitter = self.start('--quit')
        self.assertEqual(quitter.process.wait(15), 0, quitter.log())
        self.assertEqual(app.process.wait(5), 0)
        again = self.start('--quit')
        self.assertEqual(again.process.wait(10), 1)
        self.assertIn('not running', again.log())
        self.assertNotIn('Failed to', app.log())

        # No session bus, or a bus but no display: one line and status 1. A
        # display but no bus address and no bus socket: no private bus of its
        # own (where it would hold the lock unseen), for a start and --quit.
        bus = {'DBUS_SESSION_BUS_ADDRESS': os.environ['DBUS_SESSION_BUS_ADDRESS']}
        display = {'DISPLAY': os.environ['DISPLAY'], 'XDG_RUNTIME_DIR': self.home}
        for env, args, what in (({}, [], 'no session D-Bus'), (display, [], 'no session D-Bus'),
                                (display, ['--quit'], 'no session D-Bus'),
                                (bus, [], 'cannot open the display')):
            run = subprocess.run([os.environ['KESTRINE_E2E_APP'], *args], env=env,
                                 capture_output=True, text=True, timeout=10)
            self.assertEqual((run.returncode, run.stderr.count('\n')), (1, 1), run.stderr)
            self.assertIn(what, run.stderr)


if __name__ == '__main__':
    unittest.main()

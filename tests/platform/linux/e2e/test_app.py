"""The kestrine binary end to end: first start and setup, the menu commands,
a low-battery pass, a normal start and quitting, on a headless desktop."""

import json
import os
import shutil
import tempfile
import time
import unittest

from harness import App, Desktop, Stage, UNPRIVILEGED_UID, wait_for

CLASSIC_MENU = ['  Smart AI Mode (1 hour)', 'Threshold: 20%', '---', 'Current Battery',
                'Current Power Mode', '---', 'About', '---', 'Quit Kestrine']


class KestrineOnADesktop(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Clean-ups run even when the set-up fails half-way; last added, first run.
        cls.app = None
        stage = Stage()
        cls.addClassCleanup(stage.stop)
        cls.paths = stage.paths
        cls.desktop = Desktop()
        cls.addClassCleanup(cls.desktop.stop)
        cls.addClassCleanup(lambda: cls.app and cls.app.stop())
        # CI runs as root, for whom a real sudo -n always succeeds: the first
        # run drops to an unprivileged user; the second runs as the caller.
        cls.first_uid = UNPRIVILEGED_UID if os.geteuid() == 0 else os.geteuid()
        cls.home = tempfile.mkdtemp(prefix='home-', dir=cls.desktop.tmp)
        os.chown(cls.home, cls.first_uid, cls.first_uid)
        root = cls.paths['KESTRINE_E2E_ROOT']
        shutil.rmtree(root, ignore_errors=True)
        os.makedirs(root)
        os.chown(root, cls.first_uid, cls.first_uid)

    def tearDown(self):
        if self.app:
            print('--- application output ---\n' + self.app.log())

    def notifications_after(self, count, timeout=10):
        return wait_for(lambda: self.desktop.notifications_sent()[count:] or None, timeout,
                        'a notification')

    def calls(self):
        with open(os.path.join(self.paths['KESTRINE_E2E_ROOT'], 'calls.log')) as f:
            return f.read().splitlines()

    def test_1_first_start_setup_commands_and_a_low_battery_pass(self):
        desktop = self.desktop
        app = App(desktop, self.paths, self.home, uid=self.first_uid)
        type(self).app = app

        # The tray item: the battery emoji as label and as a drawn icon.
        wait_for(lambda: app.label() == '🔋', 10, 'the battery label')
        icon_dir = str(app.item_property('IconThemePath'))
        self.assertEqual(app.item_property('IconName'), 'kestrine-1f50b')
        with open(os.path.join(icon_dir, 'kestrine-1f50b.png'), 'rb') as f:
            self.assertEqual(f.read(8), b'\x89PNG\r\n\x1a\n')

        # Welcome, Continue, one administrator prompt, Setup Complete.
        desktop.press_return(desktop.window('Welcome to Kestrine!'))
        desktop.press_return(desktop.window('Setup Complete!'))
        pmset = self.paths['KESTRINE_PMSET']
        rule = os.path.join(self.paths['KESTRINE_E2E_ROOT'], 'sudoers.d', 'kestrine')
        with open(rule) as f:
            self.assertEqual(f.read(), f'{app.user} ALL=(ALL) NOPASSWD: {pmset} -b lowpowermode *\n')
        self.assertEqual(oct(os.stat(rule).st_mode & 0o777), '0o440')
        with open(os.path.join(self.home, '.kestrine_config.json')) as f:
            self.assertTrue(json.load(f)['setupComplete'])
        self.assertEqual(len([c for c in self.calls() if c.startswith('pkexec ')]), 1)

        # The menu as the tray host sees it.
        self.assertEqual(app.visible_entries(), CLASSIC_MENU)
        threshold = app.find_item('Threshold: 20%')
        self.assertEqual([c['label'] for c in threshold['children']],
                         ['  10%', '✓ 20%', '  30%', '  40%', '  50%', '  60%', '  70%', '  80%',
                          '  90%'])
        self.assertEqual(app.find_item('Quit Kestrine')['shortcut'], [['Control', 'q']])

        # A threshold above the level switches at once, password-free via the rule.
        sent = len(desktop.notifications_sent())
        app.click('  60%')
        summary, body, hints = self.notifications_after(sent)[-1]
        self.assertEqual((summary, body),
                         ('Kestrine', 'Battery at 50%\nLow Power Mode enabled (threshold: 60%)'))
        self.assertEqual(str(hints.get('sound-name')), 'message-new-instant')
        self.assertEqual(desktop.active_profile(), 'power-saver')
        self.assertIn(f'sudo -n {pmset} -b lowpowermode 1', self.calls())
        self.assertEqual(len([c for c in self.calls() if c.startswith('pkexec ')]), 1)
        wait_for(lambda: app.find_item('Threshold: 60%'), 5, 'the rebuilt menu')
        self.assertEqual(app.find_item('✓ 60%')['enabled'], True)

        # Back to 20: above the level, so only the confirmation.
        desktop.set_active_profile('balanced')
        sent = len(desktop.notifications_sent())
        app.click('  20%')
        self.assertEqual(self.notifications_after(sent)[-1][:2],
                         ('Kestrine', 'Threshold Updated\nLow Power Mode will activate at 20%'))
        self.assertEqual(desktop.active_profile(), 'balanced')

        # The mode toggle.
        sent = len(desktop.notifications_sent())
        app.click('  Smart AI Mode (1 hour)')
        summary, body, _ = self.notifications_after(sent)[-1]
        self.assertEqual(summary, 'Smart AI Mode Enabled')
        self.assertTrue(body.startswith('Training... ('), body)
        entries = wait_for(lambda: app.visible_entries()
                           if app.visible_entries()[0] == '✓ Smart AI Mode (1 hour)' else None,
                           5, 'the Smart AI Mode menu')
        self.assertTrue(entries[1].startswith('⏳ Training... ('), entries)
        self.assertFalse(app.find_item(entries[1])['enabled'])
        self.assertEqual(entries[2], 'Fallback Threshold: 20%')

        # The battery runs low; the first timer pass, 30 s after start, switches.
        desktop.set_battery_percentage(15.0)
        sent = len(desktop.notifications_sent())
        self.assertEqual(desktop.active_profile(), 'balanced')
        remaining = 30 - (time.monotonic() - app.started)
        wait_for(lambda: desktop.active_profile() == 'power-saver', remaining + 20,
                 'the timer pass to switch to power-saver')
        self.assertGreater(time.monotonic() - app.started, 29, 'no pass before 30 s')
        self.assertEqual(self.notifications_after(sent)[-1][:2],
                         ('Kestrine', 'Battery at 15%\nLow Power Mode enabled automatically'))
        self.assertEqual(app.label(), '🪫')

        # Quit from the menu ends the process cleanly and removes the icons.
        app.click('Quit Kestrine')
        self.assertEqual(app.process.wait(10), 0)
        self.assertFalse(os.path.exists(icon_dir))
        self.assertNotIn('Failed to', app.log())
        app.stop()

    def test_2_normal_start_shows_the_launch_message(self):
        desktop = self.desktop
        desktop.set_active_profile('balanced')
        desktop.set_battery_percentage(15.0)
        # Another user than the one the rule names: sudo -n refuses.
        app = App(desktop, self.paths, self.home, name='root' if os.geteuid() == 0 else 'second')
        type(self).app = app
        # The launch check runs during start-up: at 15 % on battery it switches.
        wait_for(lambda: desktop.active_profile() == 'power-saver', 10, 'the launch check')
        # The rule names the first user, so sudo -n refuses this one and the
        # switch goes through the administrator prompt instead.
        self.assertTrue(any(c.startswith('pkexec ') and c.endswith('pmset -b lowpowermode 1')
                            for c in self.calls()), self.calls())
        window = desktop.window('Kestrine is Running')
        self.assertLess(time.monotonic() - app.started, 15)
        desktop.press_return(window)
        desktop.window_closes(window)
        # The settings of the first run hold.
        self.assertEqual(app.visible_entries()[0], '✓ Smart AI Mode (1 hour)')
        # A signal quits like the menu, even while an alert holds the loop.
        app.click('About')
        about = desktop.window('Kestrine')
        app.process.terminate()
        self.assertEqual(app.process.wait(10), 0)
        desktop.window_closes(about)
        self.assertNotIn('Failed to', app.log())
        app.stop()


if __name__ == '__main__':
    unittest.main()

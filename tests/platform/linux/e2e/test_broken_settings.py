# A start on a broken settings file: the file is set aside as .corrupt and
# the user is told; later starts on the same files stop, whatever their
# environment says (a lock planted as a link: storage/single_instance_test).
# Settings that cannot be saved: one line, one notification, and saved at the
# first pass after the file can be written again.

import json
import os
import subprocess
import tempfile
import time
import unittest

from harness import LowBatteryFirstStart, wait_for

BROKEN = b'{"threshold":35.0,"notifications":true,"setupComplete":true}'


class BrokenSettings(LowBatteryFirstStart, unittest.TestCase):
    def prepare_desktop(self):
        with open(os.path.join(self.home, '.kestrine_config.json'), 'wb') as f:
            f.write(BROKEN)

    def start_again(self, changes):
        env = {k: v for k, v in {**self.app.env, **changes}.items() if v is not None}
        return subprocess.run([os.environ['KESTRINE_E2E_APP']], env=env, capture_output=True,
                              text=True, timeout=20)

    def test_broken_file_is_kept_and_told_and_one_copy_runs_on_the_files(self):
        desktop, app = self.desktop, self.app
        kept = os.path.join(self.home, '.kestrine_config.json.corrupt')

        # The defaults apply (threshold 20, so the launch check switches at
        # 15 %), the old bytes are kept, and no new file takes their place.
        window = desktop.window('Kestrine is Running')
        self.assertEqual([n[:2] for n in desktop.notifications_sent()][0],
                         ('Kestrine', 'Settings could not be read\n'
                          f'Using the default settings. The old file is kept at {kept}'))
        self.assertEqual(desktop.active_profile(), 'power-saver')
        with open(kept, 'rb') as f:
            self.assertEqual(f.read(), BROKEN)
        self.assertFalse(os.path.exists(os.path.join(self.home, '.kestrine_config.json')))
        desktop.press_return(window)

        # From the autostart's environment, without a runtime folder, with
        # another one and with another HOME (as after `su -`): all stop.
        other = tempfile.mkdtemp(dir=desktop.tmp)
        for changes in ({}, {'XDG_RUNTIME_DIR': None}, {'XDG_RUNTIME_DIR': other},
                        {'HOME': other, 'XDG_RUNTIME_DIR': None}):
            second = self.start_again(changes)
            self.assertEqual((second.returncode, second.stderr),
                             (0, 'Kestrine is already running\n'), changes)


class UnsavableSettings(LowBatteryFirstStart, unittest.TestCase):
    """A settings file its owner locked (no write bit) refuses every save, also
    to root, as a full or read-only home does."""

    def prepare_desktop(self):
        self.config = os.path.join(self.home, '.kestrine_config.json')
        with open(self.config, 'w') as f:
            json.dump({'threshold': 20, 'notifications': True, 'setupComplete': True,
                       'useSmartMode': False, 'smartModeTargetMinutes': 60}, f)
        os.chmod(self.config, 0o444)

    def test_told_once_then_saved_once_it_can_be(self):
        desktop, app = self.desktop, self.app
        app.click('30%')
        wait_for(lambda: desktop.notifications_sent()[2:], 10, 'the threshold notices')
        learning = os.path.join(self.home, '.kestrine_ai_data.json')
        wait_for(lambda: os.path.exists(learning), 40 - (time.monotonic() - app.started),
                 'the first pass')
        self.assertEqual([n[1].split('\n')[0] for n in desktop.notifications_sent()[1:]],
                         ['Settings could not be saved', 'Threshold Updated'])
        self.assertEqual(app.log().count('Failed to save config: '), 1)

        os.chmod(self.config, 0o644)

        def saved():
            with open(self.config) as f:
                return json.load(f)['threshold'] == 30
        wait_for(saved, 35, 'the next pass to save the settings')
        self.assertEqual(app.log().count('Failed to save config: '), 1)
        self.assertEqual(len(desktop.notifications_sent()), 3)


if __name__ == '__main__':
    unittest.main()

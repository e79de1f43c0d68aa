# A start on a broken settings file: the file is set aside as .corrupt and
# the user is told; later starts on the same files stop, whatever their
# environment says, and a start on a lock planted as a link says why; both
# exit with status 0.

import os
import subprocess
import tempfile
import unittest

from harness import LowBatteryFirstStart

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
                         ('Settings could not be read',
                          f'Kestrine uses the default settings. The old file is kept at {kept}'))
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

        # Another user's home whose lock is a link: not followed, told, status 0.
        planted = tempfile.mkdtemp(dir=desktop.tmp)
        lock = os.path.join(planted, '.kestrine.lock')
        os.symlink('target', lock)
        with open(app.env['NSS_WRAPPER_PASSWD']) as f:
            fields = f.read().split(':')
        fields[5] = planted
        passwd = os.path.join(desktop.tmp, 'passwd-planted')
        with open(passwd, 'w') as f:
            f.write(':'.join(fields))
        refused = self.start_again({'NSS_WRAPPER_PASSWD': passwd})
        self.assertEqual(refused.returncode, 0, refused.stderr)
        self.assertTrue(refused.stderr.startswith(f'Kestrine is not starting: {lock} '),
                        refused.stderr)
        self.assertFalse(os.path.exists(os.path.join(planted, 'target')))


if __name__ == '__main__':
    unittest.main()

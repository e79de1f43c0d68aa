"""The pmset and osascript stand-ins against mocked UPower and power-profiles-daemon."""

import os
import shutil
import subprocess
import unittest

from harness import Desktop, Stage, UNPRIVILEGED_UID, UPOWER_DEVICE, PROPS
import dbus

FIXED_SYSTEM_SOCKET = '/run/dbus/system_bus_socket'
# What sudo, pkexec and doas leave in the environment of what they start.
PRIVILEGE_TOOL_VARIABLES = ('SUDO_UID', 'SUDO_GID', 'SUDO_USER', 'SUDO_COMMAND', 'PKEXEC_UID',
                            'DOAS_USER')


def plain_environment(**extra):
    """The test's environment without the marks of a privilege tool (the suite
    itself may run under sudo), plus `extra`."""
    env = {k: v for k, v in os.environ.items() if k not in PRIVILEGE_TOOL_VARIABLES}
    env.update(extra)
    return env


class StandIns(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        stage = Stage()
        cls.addClassCleanup(stage.stop)
        cls.paths = stage.paths
        cls.desktop = Desktop(display=False)
        cls.addClassCleanup(cls.desktop.stop)

    def setUp(self):
        self.desktop.set_active_profile('balanced')
        self.desktop.set_on_battery(True)
        self.desktop.set_battery_percentage(50.0)
        root = self.paths['KESTRINE_E2E_ROOT']
        shutil.rmtree(root, ignore_errors=True)
        os.makedirs(root)

    def pmset(self, *args, env=None, prefix=()):
        return subprocess.run([*prefix, self.paths['KESTRINE_PMSET'], *args], capture_output=True,
                              text=True, timeout=20, env=env or plain_environment(),
                              stdin=subprocess.DEVNULL)

    def test_battery_report_reads_upower_and_skips_the_mouse(self):
        self.desktop.battery().Set(UPOWER_DEVICE, 'TimeToEmpty', dbus.Int64(2 * 3600 + 5 * 60),
                                   dbus_interface=PROPS)
        self.desktop.set_battery_percentage(56.6)
        result = self.pmset('-g', 'batt')
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(result.stdout,
                         "Now drawing from 'Battery Power'\n"
                         " -InternalBattery-0 (id=1)\t57%; discharging; 2:05 remaining present: true\n")
        self.desktop.set_on_battery(False)
        result = self.pmset('-g', 'batt')
        self.assertTrue(result.stdout.startswith("Now drawing from 'AC Power'\n"), result.stdout)

    def test_custom_report_follows_the_active_profile(self):
        for profile, mode in (('power-saver', 1), ('balanced', 0), ('performance', 2)):
            self.desktop.set_active_profile(profile)
            result = self.pmset('-g', 'custom')
            self.assertEqual(result.returncode, 0, result.stderr)
            line = f' lowpowermode         {mode}\n'
            self.assertEqual(result.stdout, 'Battery Power:\n' + line + 'AC Power:\n' + line)

    def test_switch_sets_the_profile(self):
        for mode, profile in (('1', 'power-saver'), ('2', 'performance'), ('0', 'balanced')):
            result = self.pmset('-b', 'lowpowermode', mode)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(self.desktop.active_profile(), profile)

    def test_refusals_change_nothing(self):
        for args in ([], ['-g'], ['-g', 'ps'], ['-b', 'lowpowermode', '3'],
                     ['-b', 'lowpowermode', '1', '2'], ['-c', 'lowpowermode', '1']):
            result = self.pmset(*args)
            self.assertNotEqual(result.returncode, 0, args)
            self.assertEqual(result.stdout, '', args)
            self.assertIn('pmset:', result.stderr, args)
        self.assertEqual(self.desktop.active_profile(), 'balanced')

    def test_unreachable_daemons_fail_with_a_message(self):
        env = plain_environment(DBUS_SYSTEM_BUS_ADDRESS='unix:path=/nonexistent/kestrine-bus')
        for args in (['-g', 'batt'], ['-g', 'custom'], ['-b', 'lowpowermode', '1']):
            result = self.pmset(*args, env=env)
            self.assertNotEqual(result.returncode, 0, args)
            self.assertEqual(result.stdout, '', args)
            self.assertNotEqual(result.stderr, '', args)

    def test_started_through_a_privilege_tool_only_the_switch_is_accepted(self):
        for marker in PRIVILEGE_TOOL_VARIABLES:
            env = plain_environment(**{marker: '1000'})
            for args in (['-g', 'batt'], ['-g', 'custom'], ['-b', 'lowpowermode', '7'], [],
                         ['-b', 'lowpowermode', '1', '-g', 'batt']):
                result = self.pmset(*args, env=env)
                self.assertEqual(result.returncode, 1, (marker, args))
                self.assertEqual(result.stdout, '', (marker, args))
                self.assertIn('pmset:', result.stderr)
        self.assertEqual(self.desktop.active_profile(), 'balanced')

    def test_runs_as_root_shed_the_environment_before_glib_reads_it(self):
        # GDBus prints its address lookup when G_DBUS_DEBUG reaches it.
        debug = {'G_DBUS_DEBUG': 'all'}
        as_user = ()
        if os.geteuid() == 0:
            as_user = ('setpriv', f'--reuid={UNPRIVILEGED_UID}', f'--regid={UNPRIVILEGED_UID}',
                       '--clear-groups')
        shown = self.pmset('-g', 'custom', env=plain_environment(**debug), prefix=as_user)
        self.assertIn('GDBus-debug', shown.stdout + shown.stderr, 'the probe does not work')
        runs = [plain_environment(SUDO_UID='1000', **debug)]
        if os.geteuid() == 0:
            runs.append(plain_environment(**debug))  # root by its own right
        for env in runs:
            result = self.pmset('-b', 'lowpowermode', '1', env=env)
            self.assertNotIn('GDBus-debug', result.stdout + result.stderr)

    def namespace_prefix(self):
        """A command prefix that runs the rest with this test's system bus at the
        well-known socket, in a private mount namespace; None where that is not
        possible (not root, or no namespaces in this container)."""
        if os.geteuid() != 0:
            return None
        unshare = ['unshare', '--mount', '--propagation', 'private']
        script = ('mount -t tmpfs tmpfs /run && mkdir /run/dbus && '
                  'ln -s "$0/system_bus_socket" /run/dbus/system_bus_socket && exec "$@"')
        prefix = [*unshare, 'sh', '-c', script, self.desktop.system_socket_dir]
        probe = subprocess.run([*prefix, 'test', '-S', FIXED_SYSTEM_SOCKET],
                               capture_output=True, text=True, stdin=subprocess.DEVNULL)
        return prefix if probe.returncode == 0 else None

    def test_started_through_sudo_only_the_well_known_system_bus_is_asked(self):
        env = plain_environment(SUDO_UID='1000',
                                DBUS_SYSTEM_BUS_ADDRESS='unix:path=/nonexistent/kestrine-bus')
        prefix = self.namespace_prefix()
        if prefix is not None:
            # The environment's address leads nowhere; the well-known socket to the mock.
            result = self.pmset('-b', 'lowpowermode', '1', env=env, prefix=prefix)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertEqual(self.desktop.active_profile(), 'power-saver')
            return
        if os.path.exists(FIXED_SYSTEM_SOCKET):
            self.skipTest('no mount namespace as root, and a real system bus that the privileged '
                          'run would change')
        # The mocked daemon on the overridden bus is not asked; the well-known
        # socket is absent here, so the run fails.
        env['DBUS_SYSTEM_BUS_ADDRESS'] = os.environ['DBUS_SYSTEM_BUS_ADDRESS']
        result = self.pmset('-b', 'lowpowermode', '1', env=env)
        self.assertEqual(result.returncode, 2, result.stderr)
        self.assertEqual(self.desktop.active_profile(), 'balanced')

    def osascript(self, script):
        return subprocess.run([self.paths['KESTRINE_E2E_OSASCRIPT'], '-e', script],
                              capture_output=True, text=True, timeout=20)

    def pkexec_calls(self):
        try:
            with open(os.path.join(self.paths['KESTRINE_E2E_ROOT'], 'calls.log')) as f:
                return [line for line in f if line.startswith('pkexec ')]
        except FileNotFoundError:
            return []

    def test_osascript_runs_the_switch_script_with_the_stand_in(self):
        result = self.osascript('do shell script "pmset -b lowpowermode 1" with administrator '
                                'privileges with prompt "Kestrine needs your password to change '
                                'Low Power Mode."')
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.desktop.active_profile(), 'power-saver')
        self.assertEqual(len(self.pkexec_calls()), 1)

    def test_osascript_status_follows_the_command_and_the_dialog(self):
        script = 'do shell script "{}" with administrator privileges with prompt "p"'
        self.assertEqual(self.osascript(script.format('true')).returncode, 0)
        self.assertNotEqual(self.osascript(script.format('exit 3')).returncode, 0)
        open(os.path.join(self.paths['KESTRINE_E2E_ROOT'], 'pkexec-cancel'), 'w').close()
        result = self.osascript(script.format('true'))
        self.assertNotEqual(result.returncode, 0)
        self.assertIn('osascript:', result.stderr)

    def test_osascript_refuses_other_scripts_without_asking(self):
        for argv in (['-e', 'do shell script "true"'],
                     ['-e', 'display dialog "hi"'],
                     ['-e', 'do shell script "true" with administrator privileges with prompt "p" extra'],
                     ['do shell script "true" with administrator privileges with prompt "p"'],
                     []):
            result = subprocess.run([self.paths['KESTRINE_E2E_OSASCRIPT'], *argv],
                                    capture_output=True, text=True, timeout=20)
            self.assertNotEqual(result.returncode, 0, argv)
            self.assertIn('osascript:', result.stderr, argv)
        self.assertEqual(self.pkexec_calls(), [])


if __name__ == '__main__':
    unittest.main()

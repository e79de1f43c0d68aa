"""A headless desktop for Kestrine's end-to-end tests.

Xvfb, a private session bus with a StatusNotifierWatcher and a notification
server, and a private "system" bus with UPower and power-profiles-daemon, all
from python3-dbusmock. The application under test gets a temporary home
through the password database (nss_wrapper), since it reads no HOME variable.

The system bus also has a polkit authority (all actions refused until a test
allows them), and power-profiles-daemon asks it before it switches
(ppd_polkit.py). RealDaemonsDesktop has the real UPower and
power-profiles-daemon instead. The application under test is KESTRINE_E2E_APP.

Every helper process dies with the test process (a parent-death signal, and
a handler that stops everything on SIGTERM or when the watchdog fires).
"""

import ctypes
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import dbus
import dbusmock
import gi
from dbus.mainloop.glib import DBusGMainLoop
from dbusmock import DBusTestCase

gi.require_version('UMockdev', '1.0')
from gi.repository import GLib, UMockdev  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
MOCK = dbusmock.MOCK_IFACE
PROPS = dbus.PROPERTIES_IFACE
SNI = 'org.kde.StatusNotifierItem'
DBUSMENU = 'com.canonical.dbusmenu'
UPOWER_DEVICE = 'org.freedesktop.UPower.Device'
PPD = 'net.hadess.PowerProfiles'
PPD_PATH = '/net/hadess/PowerProfiles'
BATTERY_PATH = '/org/freedesktop/UPower/devices/battery_BAT0'
NSS_WRAPPER = '/usr/lib/x86_64-linux-gnu/libnss_wrapper.so'
WATCHDOG_SECONDS = 140  # below CTest's timeout, so that the clean-up still runs
PR_SET_PDEATHSIG = 1

_live = []  # every started Desktop, stopped on SIGTERM or by the watchdog


def _die_with_parent():
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def _stop_everything(signum, _frame):
    sys.stderr.write(f'harness: signal {signum}, stopping every helper process\n')
    for thing in reversed(_live):
        try:
            thing.stop()
        except Exception as error:  # keep stopping the others
            sys.stderr.write(f'harness: {error}\n')
    os._exit(128 + signum)


signal.signal(signal.SIGTERM, _stop_everything)
signal.signal(signal.SIGALRM, _stop_everything)
signal.alarm(WATCHDOG_SECONDS)


def wait_for(predicate, timeout, what, interval=0.1):
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = predicate()
        except (dbus.exceptions.DBusException, IndexError, KeyError):
            value = None  # not there yet
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f'timed out after {timeout} s waiting for {what}')
        time.sleep(interval)


class Desktop:
    """Starts the display, the buses and the mocked services; stop() ends them."""

    def __init__(self):
        self.tmp = tempfile.mkdtemp(prefix='kestrine-e2e-', dir='/tmp')
        os.chmod(self.tmp, 0o755)
        self.processes = []
        self.buses = []
        _live.append(self)
        self.saved_env = {k: os.environ.get(k) for k in
                          ('DISPLAY', 'DBUS_SESSION_BUS_ADDRESS', 'DBUS_SYSTEM_BUS_ADDRESS')}
        self.log = open(os.path.join(self.tmp, 'mocks.log'), 'w')
        try:
            self._start_display()
            self._start_buses()
            self._start_services()
        except BaseException:
            self.stop()
            raise

    # ---- set-up -------------------------------------------------------
    def _start_display(self):
        read_end, write_end = os.pipe()
        xvfb = subprocess.Popen(['Xvfb', '-displayfd', str(write_end), '-screen', '0',
                                 '1024x768x24', '-nolisten', 'tcp', '-ac'],
                                pass_fds=(write_end,), stdin=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, preexec_fn=_die_with_parent)
        os.close(write_end)
        self.processes.append(xvfb)
        number = b''
        while not number.endswith(b'\n'):
            chunk = os.read(read_end, 16)
            if not chunk:
                raise AssertionError('Xvfb did not start')
            number += chunk
        os.close(read_end)
        os.environ['DISPLAY'] = ':' + number.decode().strip()

    def _start_bus(self):
        """A private bus that anyone may use, ended with the test process."""
        bus = subprocess.Popen(['dbus-daemon', '--nofork', '--print-address=1',
                                '--config-file=' + os.path.join(HERE, 'bus.conf')],
                               stdout=subprocess.PIPE, stdin=subprocess.DEVNULL, text=True,
                               preexec_fn=_die_with_parent)
        self.buses.append(bus)
        address = bus.stdout.readline().strip()
        if not address:
            raise AssertionError('dbus-daemon did not start')
        return address

    def _start_buses(self):
        os.environ['DBUS_SESSION_BUS_ADDRESS'] = self._start_bus()
        os.environ['DBUS_SYSTEM_BUS_ADDRESS'] = self._start_bus()
        self.session = DBusTestCase.get_dbus(False)
        self.system = DBusTestCase.get_dbus(True)

    def _start_services(self):
        self._start_system_services()
        self._start_session_services()

    def _start_system_services(self):
        proc, self.upower = DBusTestCase.spawn_server_template(
            'upower', {'OnBattery': True}, stdout=self.log)
        self.processes.append(proc)
        self.upower.AddDischargingBattery('battery_BAT0', 'Mock Battery', 50.0, 3600,
                                          dbus_interface=MOCK)
        proc, self.polkit = DBusTestCase.spawn_server_template('polkitd', {}, stdout=self.log)
        self.processes.append(proc)
        self.start_power_profiles()

    def _start_session_services(self):
        proc, self.notifications = DBusTestCase.spawn_server_template(
            'notification_daemon', {}, stdout=self.log)
        self.processes.append(proc)
        self.notifications_process = proc  # SIGSTOP makes a server that never answers
        # The tray host's half that applications talk to.
        proc = DBusTestCase.spawn_server('org.kde.StatusNotifierWatcher', '/StatusNotifierWatcher',
                                         'org.kde.StatusNotifierWatcher', stdout=self.log)
        self.processes.append(proc)
        self.watcher = self.session.get_object('org.kde.StatusNotifierWatcher',
                                               '/StatusNotifierWatcher')
        self.watcher.AddMethods('org.kde.StatusNotifierWatcher', [
            ('RegisterStatusNotifierItem', 's', '', ''),
            ('RegisterStatusNotifierHost', 's', '', ''),
        ], dbus_interface=MOCK)
        self.watcher.AddProperties('org.kde.StatusNotifierWatcher', {
            'RegisteredStatusNotifierItems': dbus.Array([], signature='s'),
            'IsStatusNotifierHostRegistered': True,
            'ProtocolVersion': dbus.Int32(0),
        }, dbus_interface=MOCK)

    def start_power_profiles(self, hung=False):
        self.ppd_process, self.ppd = DBusTestCase.spawn_server_template(
            os.path.join(HERE, 'ppd_polkit.py'), {'hung': hung}, stdout=self.log)
        self.processes.append(self.ppd_process)

    def stop_power_profiles(self):
        self.ppd_process.terminate()
        self.ppd_process.wait(5)
        wait_for(lambda: not self.system.name_has_owner(PPD), 5, 'the daemon to leave the bus')

    def stop(self):
        # The buses last: the mocked services end with them.
        for proc in reversed(self.processes + self.buses):
            if proc.poll() is None:
                proc.terminate()
                try:
                    proc.wait(5)
                except subprocess.TimeoutExpired:
                    proc.kill()
                    proc.wait()
            if proc.stdout:
                proc.stdout.close()
        self.processes = []
        self.buses = []
        for key, value in self.saved_env.items():
            if value is None:
                os.environ.pop(key, None)
            else:
                os.environ[key] = value
        self.log.close()
        shutil.rmtree(self.tmp, ignore_errors=True)
        if self in _live:
            _live.remove(self)

    # ---- the mocked machine ---------------------------------------------
    def set_battery_percentage(self, percentage):
        self.system.get_object('org.freedesktop.UPower', BATTERY_PATH).Set(
            UPOWER_DEVICE, 'Percentage', dbus.Double(percentage), dbus_interface=PROPS)

    def active_profile(self):
        return str(self.ppd.Get(PPD, 'ActiveProfile', dbus_interface=PROPS))

    def set_active_profile(self, profile):
        """As the user would from the desktop's own power menu: through Set."""
        self.ppd.Set(PPD, 'ActiveProfile', profile, dbus_interface=PROPS)

    def allow_switching(self, allowed):
        """What the user answers in polkit's dialog from now on."""
        self.polkit.AllowUnknown(allowed, dbus_interface=MOCK)

    def notifications_sent(self):
        """(summary, body, hints) of every Notify call so far."""
        calls = self.notifications.GetMethodCalls('Notify', dbus_interface=MOCK)
        return [(str(args[3]), str(args[4]), dict(args[6])) for _, args in calls]

    def registered_items(self):
        calls = self.watcher.GetMethodCalls('RegisterStatusNotifierItem', dbus_interface=MOCK)
        return [str(args[0]) for _, args in calls]

    # ---- the tray host ----------------------------------------------------
    def stop_watcher(self):
        """Ends the scripted StatusNotifierWatcher: a desktop without a tray host."""
        for proc in self.processes:
            if 'org.kde.StatusNotifierWatcher' in proc.args and proc.poll() is None:
                proc.terminate()
                proc.wait(5)
        wait_for(lambda: not self.session.name_has_owner('org.kde.StatusNotifierWatcher'), 5,
                 'the watcher to leave the bus')

    def start_panel(self):
        """A real Xfce panel with its tray (its own watcher and host), on the
        session bus with the settings daemon it reads its layout from."""
        config = os.path.join(self.tmp, 'xdg-config')
        channel = os.path.join(config, 'xfce4', 'xfconf', 'xfce-perchannel-xml')
        os.makedirs(channel, exist_ok=True)
        shutil.copy(os.path.join(HERE, 'xfce4-panel.xml'), channel)
        env = dict(os.environ, XDG_CONFIG_HOME=config, NO_AT_BRIDGE='1',
                   XDG_CACHE_HOME=os.path.join(self.tmp, 'xdg-cache'))
        for argv in (['/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd'], ['xfce4-panel']):
            self.processes.append(subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL,
                                                   stdout=self.log, stderr=self.log,
                                                   preexec_fn=_die_with_parent))
        wait_for(lambda: self.session.name_has_owner('org.kde.StatusNotifierWatcher'), 30,
                 'the panel\'s watcher')
        return self.session.get_object('org.kde.StatusNotifierWatcher', '/StatusNotifierWatcher')

    # ---- X windows ------------------------------------------------------
    def window(self, title, timeout=15):
        """The id of the visible window titled exactly `title`."""
        pattern = '^' + re.escape(title) + '$'

        def find():
            result = subprocess.run(['xdotool', 'search', '--onlyvisible', '--name', pattern],
                                    capture_output=True, text=True)
            ids = result.stdout.split()
            return ids[0] if ids else None
        return wait_for(find, timeout, f'a window titled {title!r}')

    def press_return(self, window):
        subprocess.run(['xdotool', 'windowfocus', '--sync', window, 'key', 'Return'],
                       check=True, timeout=10)

    def window_closes(self, window, timeout=10):
        def gone():
            result = subprocess.run(['xdotool', 'getwindowname', window],
                                    capture_output=True, text=True)
            visible = subprocess.run(['xdotool', 'search', '--onlyvisible', '--name', '.'],
                                     capture_output=True, text=True).stdout.split()
            return result.returncode != 0 or window not in visible
        wait_for(gone, timeout, f'window {window} to close')


class App:
    """The tray application under test, run as the caller with `home` as its home."""

    def __init__(self, desktop, home, args=(), runtime=None, language=None):
        """`args` follow the program name; `runtime` shares another App's runtime folder;
        `language` is the LANGUAGE the user chose (English by default)."""
        self.desktop = desktop
        if not os.path.exists(NSS_WRAPPER):
            # Without it the app would keep its files in the caller's real home.
            raise AssertionError(f'{NSS_WRAPPER} is missing (package libnss-wrapper)')
        uid = os.geteuid()
        name = 'root' if uid == 0 else 'kestrel'
        if runtime is None:
            runtime = tempfile.mkdtemp(prefix='run-', dir=desktop.tmp)
            os.chmod(runtime, 0o700)
        passwd = os.path.join(desktop.tmp, f'passwd-{uid}')
        group = os.path.join(desktop.tmp, f'group-{uid}')
        with open(passwd, 'w') as f:
            f.write(f'{name}:x:{uid}:{uid}:Kestrine test user:{home}:/bin/sh\n')
        with open(group, 'w') as f:
            f.write(f'{name}:x:{uid}:\n')
        env = {
            'PATH': '/usr/sbin:/usr/bin:/sbin:/bin',
            'LANG': 'C.UTF-8',
            'DISPLAY': os.environ['DISPLAY'],
            'DBUS_SESSION_BUS_ADDRESS': os.environ['DBUS_SESSION_BUS_ADDRESS'],
            'DBUS_SYSTEM_BUS_ADDRESS': os.environ['DBUS_SYSTEM_BUS_ADDRESS'],
            'XDG_RUNTIME_DIR': runtime,
            'LD_PRELOAD': NSS_WRAPPER,
            'NSS_WRAPPER_PASSWD': passwd,
            'NSS_WRAPPER_GROUP': group,
            'NO_AT_BRIDGE': '1',
            'GSETTINGS_BACKEND': 'memory',
            'GDK_BACKEND': 'x11',
        }
        if language:
            env['LANGUAGE'] = language
        self.env = env
        argv = [os.environ['KESTRINE_E2E_APP'], *args]
        self.output_path = os.path.join(desktop.tmp, f'app-{uid}-{time.monotonic_ns()}.log')
        self.output = open(self.output_path, 'w')
        self.started = time.monotonic()
        self.process = subprocess.Popen(argv, env=env, cwd=desktop.tmp, stdin=subprocess.DEVNULL,
                                        stdout=self.output, stderr=subprocess.STDOUT,
                                        preexec_fn=_die_with_parent)
        self.runtime = runtime
        self._name = None

    def stop(self):
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.output.close()

    def log(self):
        with open(self.output_path) as f:
            return f.read()

    # ---- the tray item over D-Bus ---------------------------------------
    def bus_name(self, timeout=15):
        """The app's unique name on the session bus, once its tray item is registered."""
        if self._name:
            return self._name
        bus = self.desktop.session
        dbus_obj = bus.get_object('org.freedesktop.DBus', '/org/freedesktop/DBus')

        def find():
            if not self.desktop.registered_items():
                return None
            for name in dbus_obj.ListNames(dbus_interface='org.freedesktop.DBus'):
                if not name.startswith(':'):
                    continue
                try:
                    pid = dbus_obj.GetConnectionUnixProcessID(
                        name, dbus_interface='org.freedesktop.DBus')
                except dbus.exceptions.DBusException:
                    continue
                if pid == self.process.pid:
                    return str(name)
            return None
        self._name = wait_for(find, timeout, 'the tray item to register')
        return self._name

    def item(self):
        name = self.bus_name()
        path = self.desktop.registered_items()[-1]
        if not path.startswith('/'):
            path = '/StatusNotifierItem'
        return self.desktop.session.get_object(name, path)

    def item_property(self, name):
        return self.item().Get(SNI, name, dbus_interface=PROPS)

    def label(self):
        return str(self.item_property('XAyatanaLabel'))

    def menu_object(self):
        return self.desktop.session.get_object(self.bus_name(), self.item_property('Menu'))

    def menu(self):
        """The menu as nested dicts: id, label, enabled, separator, children."""
        _, layout = self.menu_object().GetLayout(0, -1, dbus.Array([], signature='s'),
                                                 dbus_interface=DBUSMENU)

        def convert(node):
            item_id, props, children = node
            return {
                'id': int(item_id),
                'label': str(props.get('label', '')),
                'enabled': bool(props.get('enabled', True)),
                'visible': bool(props.get('visible', True)),
                'separator': str(props.get('type', '')) == 'separator',
                'shortcut': [[str(k) for k in s] for s in props.get('shortcut', [])],
                'toggle': (str(props.get('toggle-type', '')), int(props.get('toggle-state', -1))),
                'children': [convert(child) for child in children],
            }
        return convert(layout)

    def visible_entries(self, node=None):
        """The visible top-level entries as labels, '---' for separators."""
        node = node or self.menu()
        return ['---' if c['separator'] else c['label']
                for c in node['children'] if c['visible']]

    def find_item(self, label, node=None):
        node = node or self.menu()
        for child in node['children']:
            if child['label'] == label and child['visible']:
                return child
            found = self.find_item(label, child) if child['children'] else None
            if found:
                return found
        return None

    def click(self, label):
        item = self.find_item(label)
        if item is None:
            raise AssertionError(f'no menu item {label!r} in {self.menu()}')
        self.menu_object().Event(item['id'], 'clicked', dbus.String('', variant_level=1),
                                 dbus.UInt32(0), dbus_interface=DBUSMENU)


class LowBatteryFirstStart:
    """Mixin for a unittest.TestCase: a desktop on battery at 15 %, polkit
    answering ALLOW_SWITCHING, and the app started for the first time in a new
    home; everything is stopped after the test and the app's output printed."""

    ALLOW_SWITCHING = True
    DESKTOP = Desktop

    def setUp(self):
        self.desktop = self.DESKTOP()
        self.addCleanup(self.desktop.stop)
        self.desktop.allow_switching(self.ALLOW_SWITCHING)
        self.desktop.set_battery_percentage(15.0)
        self.home = tempfile.mkdtemp(prefix='home-', dir=self.desktop.tmp)
        self.prepare_desktop()
        self.app = App(self.desktop, self.home)
        self.addCleanup(lambda: print('--- application output ---\n' + self.app.log()))
        self.addCleanup(self.app.stop)

    def prepare_desktop(self):
        """What a test changes on the desktop before the app starts."""


class RealDaemonsDesktop(Desktop):
    """The same desktop with the real upowerd and power-profiles-daemon, each
    over a umockdev /sys of its own: an unplugged AC adapter, the batteries given
    as (name, percentage, present), an ACPI platform profile. They may run as
    root, so they only start under umockdev-wrapper with UMOCKDEV_DIR naming a
    test folder, which also takes the state files they keep in /var/lib."""

    ENERGY_FULL = 60000000  # µWh

    def __init__(self, batteries=(('BAT0', 50.0, True),)):
        self.battery_specs = batteries
        super().__init__()

    def _start_system_services(self):
        with open('/proc/self/maps') as maps:
            preloaded = 'libumockdev-preload' in maps.read()
        self.testbed = UMockdev.Testbed.new()
        self.root = self.testbed.get_root_dir()
        if not preloaded or GLib.getenv('UMOCKDEV_DIR') != self.root:
            raise AssertionError('refusing to start the real daemons outside umockdev-wrapper')
        self.testbed.add_device('power_supply', 'AC', None, ['type', 'Mains', 'online', '0'], [])
        self.devices = {name: self.testbed.add_device('power_supply', name, None, [
            'type', 'Battery', 'present', str(int(present)), 'status', 'Discharging',
            'energy_full', str(self.ENERGY_FULL), 'energy_full_design', str(self.ENERGY_FULL),
            'energy_now', str(int(self.ENERGY_FULL * percentage / 100)), 'voltage_now', '12000000',
        ], []) for name, percentage, present in self.battery_specs}
        # The preload names its uevent sockets after descriptor numbers, so two
        # daemons on one testbed would take each other's events.
        self.ppd_root = tempfile.mkdtemp(prefix='ppd-sys-', dir=self.tmp)
        acpi = os.path.join(self.ppd_root, 'sys/firmware/acpi')
        os.makedirs(acpi)
        for name, text in (('platform_profile', 'balanced'),
                           ('platform_profile_choices', 'low-power balanced performance')):
            with open(os.path.join(acpi, name), 'w') as f:
                f.write(text + '\n')
        conf = os.path.join(self.root, 'UPower.conf')
        with open(conf, 'w') as f:  # no critical action at any level used here
            f.write('[UPower]\nUsePercentageForPolicy=true\nPercentageLow=3\n'
                    'PercentageCritical=2\nPercentageAction=1\nCriticalPowerAction=PowerOff\n')
        proc, self.polkit = DBusTestCase.spawn_server_template('polkitd', {}, stdout=self.log)
        self.processes.append(proc)
        self.processes.append(self._daemon('upowerd', 'org.freedesktop.UPower', self.root, {
            'UPOWER_CONF_FILE_NAME': conf,
            'UPOWER_HISTORY_DIR': self.root + '/'}))
        self.start_power_profiles()

    def _daemon(self, name, bus_name, umockdev_dir, more_env=()):
        """Starts /usr/libexec/`name`; returns once it owns its bus name."""
        if not os.path.isdir(os.path.join(umockdev_dir, 'sys')) or umockdev_dir in ('', '/'):
            raise AssertionError(f'refusing to start {name}: no test /sys in {umockdev_dir!r}')
        env = {'PATH': '/usr/sbin:/usr/bin:/sbin:/bin', 'G_MESSAGES_DEBUG': 'all',
               'DBUS_SYSTEM_BUS_ADDRESS': os.environ['DBUS_SYSTEM_BUS_ADDRESS'],
               'UMOCKDEV_DIR': umockdev_dir, **dict(more_env)}
        proc = subprocess.Popen(['umockdev-wrapper', '/usr/libexec/' + name, '-v'], env=env,
                                stdin=subprocess.DEVNULL, stdout=self.log,
                                stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
        wait_for(lambda: proc.poll() is not None or self.system.name_has_owner(bus_name), 10,
                 f'{name} to own {bus_name}')
        if proc.poll() is not None:
            raise AssertionError(f'{name} ended with {proc.returncode}; see {self.log.name}')
        return proc

    def start_power_profiles(self):
        self.ppd_process = self._daemon('power-profiles-daemon', PPD, self.ppd_root)
        self.processes.append(self.ppd_process)
        self.ppd = self.system.get_object(PPD, PPD_PATH)

    def stop(self):
        super().stop()
        self.testbed = None  # which removes its folder

    def set_battery_percentage(self, percentage, name='BAT0'):
        """A new charge and the kernel's change event; returns once UPower has it."""
        self.testbed.set_attribute(self.devices[name], 'energy_now',
                                   str(int(self.ENERGY_FULL * percentage / 100)))
        self.testbed.uevent(self.devices[name], 'change')
        battery = self.system.get_object('org.freedesktop.UPower',
                                         '/org/freedesktop/UPower/devices/battery_' + name)
        wait_for(lambda: round(battery.Get(UPOWER_DEVICE, 'Percentage', dbus_interface=PROPS))
                 == round(percentage), 5, f'UPower to read {percentage} %')


class ProfileHolder:
    """Another app's hold, on a connection of its own that hears it released."""

    def __init__(self, profile):
        self.bus = dbus.bus.BusConnection(os.environ['DBUS_SYSTEM_BUS_ADDRESS'],
                                          mainloop=DBusGMainLoop())
        self.released = []
        self.bus.add_signal_receiver(self.released.append, 'ProfileReleased', PPD)
        self.daemon = self.bus.get_object(PPD, PPD_PATH)
        self.cookie = self.daemon.HoldProfile(profile, 'compiling', 'org.example.Builder',
                                              dbus_interface=PPD)

    def was_released(self):
        while GLib.MainContext.default().iteration(False):
            pass
        return self.cookie in self.released

    def release(self):
        self.daemon.ReleaseProfile(self.cookie, dbus_interface=PPD)

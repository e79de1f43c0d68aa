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
# The machine's multiarch library folder (x86_64-linux-gnu, aarch64-linux-gnu...).
LIBDIR = '/usr/lib/' + subprocess.run(['dpkg-architecture', '-qDEB_HOST_MULTIARCH'],
                                      check=True, capture_output=True, text=True).stdout.strip()
NSS_WRAPPER = os.path.join(LIBDIR, 'libnss_wrapper.so')
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

    def _start_bus(self, config=os.path.join(HERE, 'bus.conf')):
        """A private bus that anyone may use, ended with the test process."""
        bus = subprocess.Popen(['dbus-daemon', '--nofork', '--print-address=1',
                                '--config-file=' + config],
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
        for argv in ([os.path.join(LIBDIR, 'xfce4/xfconf/xfconfd')], ['xfce4-panel']):
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


# ---- real desktop shells as tray hosts ------------------------------------
APP_ICON = os.path.join(HERE, '..', '..', '..', '..', 'packaging', 'icons', 'kestrine.svg')
WATCHER = 'org.kde.StatusNotifierWatcher'
SHELL_START_SECONDS = 90  # software rendering on a busy machine


class HostDesktop(Desktop):
    """The desktop with a real shell for tray host and notification server
    (started by a subclass), Kestrine's icon installed in a folder on
    XDG_DATA_DIRS as the package installs it, the shell's own settings in the
    test folder, and the session bus watched for notifications and menu calls.
    PANEL is the strip (x, y, width, height) where the shell shows tray items."""

    SERVICES = ()  # the session services the shell has the bus start on demand
    PANEL = (0, 0, 1024, 32)
    ENV = {}
    forwarded_to = None  # where the notification server hands Notify calls on

    def _start_buses(self):
        data = os.path.join(self.tmp, 'share')
        icons = os.path.join(data, 'icons', 'hicolor', 'scalable', 'apps')
        os.makedirs(icons)
        shutil.copy(APP_ICON, icons)
        services = os.path.join(self.tmp, 'services')
        os.makedirs(services)
        for name in self.SERVICES:
            shutil.copy(f'/usr/share/dbus-1/services/{name}.service', services)
        config = os.path.join(self.tmp, 'session.conf')
        with open(config, 'w') as f:
            f.write(f'<busconfig><include>{HERE}/bus.conf</include>'
                    f'<servicedir>{services}</servicedir></busconfig>\n')
        # The shell and whatever the bus starts for it read these.
        env = dict(self.ENV, XDG_DATA_DIRS=data + ':' + os.environ.get(
            'XDG_DATA_DIRS', '/usr/local/share:/usr/share'),
            XDG_CONFIG_HOME=os.path.join(self.tmp, 'xdg-config'),
            XDG_DATA_HOME=os.path.join(self.tmp, 'xdg-data'),
            XDG_CACHE_HOME=os.path.join(self.tmp, 'xdg-cache'),
            XDG_RUNTIME_DIR=tempfile.mkdtemp(prefix='run-', dir=self.tmp),
            LIBGL_ALWAYS_SOFTWARE='1', NO_AT_BRIDGE='1')
        for key, value in env.items():
            self.saved_env.setdefault(key, os.environ.get(key))
            os.environ[key] = value
        os.environ['DBUS_SESSION_BUS_ADDRESS'] = self._start_bus(config)
        os.environ['DBUS_SYSTEM_BUS_ADDRESS'] = self._start_bus()
        self.session = DBusTestCase.get_dbus(False)
        self.system = DBusTestCase.get_dbus(True)

    def _start_session_services(self):
        self.monitor_path = os.path.join(self.tmp, 'monitor.log')
        monitor = open(self.monitor_path, 'w')
        self.processes.append(subprocess.Popen(
            ['stdbuf', '-oL', 'dbus-monitor', '--session',
             "type='method_call',interface='org.freedesktop.Notifications',member='Notify'",
             f"type='method_call',interface='{DBUSMENU}'"],
            stdout=monitor, stderr=self.log, stdin=subprocess.DEVNULL,
            preexec_fn=_die_with_parent))
        monitor.close()
        wait_for(lambda: os.path.getsize(self.monitor_path), 10, 'dbus-monitor')
        self.start_shell()

    def start_shell(self):
        raise NotImplementedError

    def spawn(self, argv):
        proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=self.log,
                                stderr=subprocess.STDOUT, preexec_fn=_die_with_parent)
        self.processes.append(proc)
        return proc

    def wait_for_name(self, name, what):
        wait_for(lambda: self.session.name_has_owner(name), SHELL_START_SECONDS, what)

    def wait_for_tray(self):
        wait_for(lambda: self.session.get_object(WATCHER, '/StatusNotifierWatcher').Get(
            WATCHER, 'IsStatusNotifierHostRegistered', dbus_interface=PROPS),
            SHELL_START_SECONDS, 'the tray')

    # ---- what the shell saw ---------------------------------------------
    def _calls(self, member, not_to=None):
        with open(self.monitor_path) as f:
            text = f.read()
        calls = [call.split('\n', 1) for call in text.split('\nmethod call ')[1:]]
        return [call[1] for call in calls if len(call) == 2 and call[0].endswith(
            f'member={member}') and f'destination={not_to} ' not in call[0]]

    def notifications_sent(self):
        """(summary, body, {}) of every Notify call so far."""
        sent = []
        for call in self._calls('Notify', self.forwarded_to):
            # The arguments, one a line at three spaces; a string may span lines.
            fields = re.findall(r'^   string "(.*?)"(?=\n   \S|\n*$)', call, re.S | re.M)
            sent.append((fields[2], fields[3], {}))
        return sent

    def menu_calls(self):
        """How many dbusmenu calls the shell has made: it asks when it opens the menu."""
        return sum(len(self._calls(member))
                   for member in ('AboutToShow', 'AboutToShowGroup', 'GetLayout'))

    def watcher_items(self):
        return [str(i) for i in self.session.get_object(WATCHER, '/StatusNotifierWatcher').Get(
            WATCHER, 'RegisteredStatusNotifierItems', dbus_interface=PROPS)]

    def registered_items(self):
        """The object paths of the items the shell's watcher knows."""
        return ['/' + item.split('/', 1)[1] for item in self.watcher_items()]

    # ---- the screen -----------------------------------------------------
    def screenshot(self, path, region=None):
        """The screen, or the region (x, y, width, height) of it, as a PNG."""
        crop = ['-crop', '{2}x{3}+{0}+{1}'.format(*region)] if region else []
        subprocess.run(['import', '-window', 'root', *crop, path], check=True, timeout=20)

    def pixels(self, region):
        """The region's pixels as rows of (r, g, b)."""
        ppm = subprocess.run(['import', '-window', 'root', '-crop',
                              '{2}x{3}+{0}+{1}'.format(*region), '-depth', '8', 'ppm:-'],
                             capture_output=True, check=True, timeout=20).stdout
        header = ppm.split(b'\n', 3)
        width, height = map(int, header[1].split())
        data = header[3]
        return [[tuple(data[(y * width + x) * 3:(y * width + x) * 3 + 3]) for x in range(width)]
                for y in range(height)]

    def click(self, x, y, button=1):
        subprocess.run(['xdotool', 'mousemove', '--sync', str(x), str(y), 'click', str(button)],
                       check=True, timeout=10)

    def key(self, name):
        subprocess.run(['xdotool', 'key', name], check=True, timeout=10)


class GnomeShellDesktop(HostDesktop):
    """GNOME Shell as the X11 compositor, with or without the extension that
    makes it a StatusNotifier host; its notification server runs under gjs."""

    SERVICES = ('org.gnome.Shell.Notifications',)
    ENV = {'GSETTINGS_BACKEND': 'keyfile', 'XDG_SESSION_TYPE': 'x11',
           'XDG_CURRENT_DESKTOP': 'GNOME'}
    EXTENSION = 'ubuntu-appindicators@ubuntu.com'

    def __init__(self, extension=True):
        self.extension = extension
        super().__init__()

    def start_shell(self):
        settings = os.path.join(os.environ['XDG_CONFIG_HOME'], 'glib-2.0', 'settings')
        os.makedirs(settings)
        enabled = f"['{self.EXTENSION}']" if self.extension else '@as []'
        with open(os.path.join(settings, 'keyfile'), 'w') as f:
            f.write(f'[org/gnome/shell]\nenabled-extensions={enabled}\n'
                    'disable-user-extensions=false\nwelcome-dialog-last-shown-version=\'999\'\n')
        self.spawn(['gnome-shell', '--x11', '--replace', '--sm-disable'])
        self.wait_for_name('org.gnome.Shell', 'GNOME Shell')
        # Its notification server hands each notification on to the shell.
        self.forwarded_to = self.session.get_name_owner('org.gnome.Shell')
        if self.extension:
            self.wait_for_tray()
        shell = self.session.get_object('org.gnome.Shell', '/org/gnome/Shell')
        # It starts in the overview, which hides the top bar's items, and
        # closes it at Escape.
        def overview():
            return shell.Get('org.gnome.Shell', 'OverviewActive', dbus_interface=PROPS)

        def overview_closed():
            if overview():
                self.key('Escape')
                time.sleep(0.5)
            return not overview()
        wait_for(overview, SHELL_START_SECONDS, 'the start-up overview')
        wait_for(overview_closed, 20, 'the overview to close')
        if os.geteuid() == 0:
            # The shell greets root with a banner of its own; let it go by so
            # that it hides none of the app's.
            def banner():
                r, g, b = self.pixels((512, 60, 1, 1))[0][0]
                return abs(r - b) < 20 and abs(g - b) < 20
            wait_for(banner, 20, 'the shell\'s banner for root')

            def gone():
                # A banner waits for the user's next move before it times out.
                subprocess.run(['xdotool', 'mousemove_relative', '--', '1', '1'], timeout=10)
                return not banner()
            wait_for(gone, 30, 'the shell\'s banner for root to go', interval=0.5)


class PlasmaDesktop(HostDesktop):
    """KDE Plasma's shell under its window manager; its system tray is the
    host, its own notification server shows the notifications, and kded's
    module is the StatusNotifier watcher, loaded as a full session would."""

    SERVICES = ('org.kde.kded5', 'org.kde.ActivityManager', 'org.kde.kglobalaccel')
    ENV = {'XDG_SESSION_TYPE': 'x11', 'XDG_CURRENT_DESKTOP': 'KDE', 'KDE_FULL_SESSION': 'true',
           'KDE_SESSION_VERSION': '5', 'QT_QPA_PLATFORM': 'xcb', 'QT_QUICK_BACKEND': 'software'}
    # The default layout's panel along the bottom, its right half: the system
    # tray, not the task manager's launchers with icons of their own.
    PANEL = (512, 768 - 44, 512, 44)

    def start_shell(self):
        if not any(os.path.isdir(os.path.join(folder, 'plasma/shells/org.kde.plasma.desktop'))
                   for folder in os.environ['XDG_DATA_DIRS'].split(':')):
            raise AssertionError('Plasma\'s desktop shell is missing (package plasma-desktop)')
        self.spawn(['kwin_x11', '--replace'])
        self.wait_for_name('org.kde.KWin', 'the window manager')
        self.spawn(['plasmashell', '--no-respawn'])
        self.wait_for_name('org.freedesktop.Notifications', 'the shell\'s notification server')
        kded = self.session.get_object('org.kde.kded5', '/kded')
        wait_for(lambda: kded.loadModule('statusnotifierwatcher', dbus_interface='org.kde.kded5'),
                 SHELL_START_SECONDS, 'kded\'s watcher module')
        self.wait_for_tray()


class XfceDesktop(HostDesktop):
    """Xfce's panel with its tray, and the scripted notification server."""

    def start_shell(self):
        proc, self.notifications = DBusTestCase.spawn_server_template(
            'notification_daemon', {}, stdout=self.log)
        self.processes.append(proc)
        self.start_panel()
        self.wait_for_tray()

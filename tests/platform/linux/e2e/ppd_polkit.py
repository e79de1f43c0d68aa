'''power-profiles-daemon as Debian 12's (0.12) behaves, for what the real
daemon cannot be made to do (see ppd_hung.py): the standard mock, where

- a Set of ActiveProfile asks polkit for net.hadess.PowerProfiles.switch-profile
  without user interaction (flags 0), so a refusal is AccessDenied at once;
- an unknown profile name is refused;
- HoldProfile switches to the held profile, and a Set releases every hold,
  each holder told with ProfileReleased; releasing it again is refused.
'''

import dbus
from dbusmock.mockobject import DBusMockObject
from dbusmock.templates import power_profiles_daemon as template
from dbusmock.templates.power_profiles_daemon import BUS_NAME, MAIN_IFACE, MAIN_OBJ, SYSTEM_BUS  # noqa: F401

_plain_set = DBusMockObject.Set
SWITCH_ACTION = 'net.hadess.PowerProfiles.switch-profile'


def hold_profile(self, profile, reason, application_id):
    cookie = template.hold_profile(self, profile, reason, application_id)
    _plain_set(self, MAIN_IFACE, 'ActiveProfile', profile)
    return cookie


def release_profile(self, cookie):
    if cookie not in self.holds:
        raise dbus.exceptions.DBusException(f'No hold with cookie {cookie}',
                                            name='org.freedesktop.DBus.Error.InvalidArgs')
    template.release_profile(self, cookie)


def load(mock, parameters):
    template.load(mock, parameters)
    mock.hold_profile = hold_profile
    mock.release_profile = release_profile


@dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='ssv', out_signature='',
                     sender_keyword='sender')
def Set(self, interface_name, property_name, value, sender=None):
    if interface_name == MAIN_IFACE and property_name == 'ActiveProfile':
        authority = dbus.SystemBus().get_object('org.freedesktop.PolicyKit1',
                                                '/org/freedesktop/PolicyKit1/Authority')
        subject = ('system-bus-name', {'name': dbus.String(sender, variant_level=1)})
        allowed, _, _ = authority.CheckAuthorization(
            subject, SWITCH_ACTION, dbus.Dictionary({}, signature='ss'), dbus.UInt32(0), '',
            dbus_interface='org.freedesktop.PolicyKit1.Authority')
        self.log(f'switch to {value}: allowed={bool(allowed)}')
        if not allowed:
            raise dbus.exceptions.DBusException(
                f'Not Authorized: {SWITCH_ACTION}', name='org.freedesktop.DBus.Error.AccessDenied')
        if value not in [p['Profile'] for p in self.props[MAIN_IFACE]['Profiles']]:
            raise dbus.exceptions.DBusException(f"Invalid profile name '{value}'",
                                                name='org.freedesktop.DBus.Error.Failed')
        for cookie in list(self.holds):
            template.release_profile(self, cookie)
            self.EmitSignal(MAIN_IFACE, 'ProfileReleased', 'u', [dbus.UInt32(cookie)])
    _plain_set(self, interface_name, property_name, value)

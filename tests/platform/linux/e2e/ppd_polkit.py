'''power-profiles-daemon for what the real one cannot be made to do, answering
as Debian 12's (0.12) does: a Set of ActiveProfile asks polkit for the switch
action without user interaction (flags 0) and refuses unknown names, and a
Set that changes the profile releases every hold with ProfileReleased.
With the parameter `hung` (or after SetHung(true)), a Set of ActiveProfile
never answers; readings still do.'''

import dbus
from dbusmock.mockobject import DBusMockObject
from dbusmock.templates import power_profiles_daemon as template
from dbusmock.templates.power_profiles_daemon import BUS_NAME, MAIN_IFACE, MAIN_OBJ, SYSTEM_BUS  # noqa: F401

_plain_set = DBusMockObject.Set
SWITCH_ACTION = 'net.hadess.PowerProfiles.switch-profile'


def load(mock, parameters):
    template.load(mock, parameters)
    mock.hung = parameters.get('hung', False)
    mock.AddMethod('org.kestrine.Test', 'SetHung', 'b', '', 'self.hung = bool(args[0])')


@dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='ssv', out_signature='',
                     sender_keyword='sender', async_callbacks=('answer', 'fail'))
def Set(self, interface_name, property_name, value, sender=None, answer=None, fail=None):
    if interface_name == MAIN_IFACE and property_name == 'ActiveProfile':
        if self.hung:
            return  # no answer, ever
        authority = dbus.SystemBus().get_object('org.freedesktop.PolicyKit1',
                                                '/org/freedesktop/PolicyKit1/Authority')
        subject = ('system-bus-name', {'name': dbus.String(sender, variant_level=1)})
        allowed, _, _ = authority.CheckAuthorization(
            subject, SWITCH_ACTION, dbus.Dictionary({}, signature='ss'), dbus.UInt32(0), '',
            dbus_interface='org.freedesktop.PolicyKit1.Authority')
        self.log(f'switch to {value}: allowed={bool(allowed)}')
        if not allowed:
            return fail(dbus.exceptions.DBusException(
                f'Not Authorized: {SWITCH_ACTION}', name='org.freedesktop.DBus.Error.AccessDenied'))
        if value not in [p['Profile'] for p in self.props[MAIN_IFACE]['Profiles']]:
            return fail(dbus.exceptions.DBusException(f"Invalid profile name '{value}'",
                                                      name='org.freedesktop.DBus.Error.Failed'))
        if value != self.props[MAIN_IFACE]['ActiveProfile']:  # else the daemon does nothing
            for cookie in list(self.holds):
                template.release_profile(self, cookie)
                self.EmitSignal(MAIN_IFACE, 'ProfileReleased', 'u', [dbus.UInt32(cookie)])
    _plain_set(self, interface_name, property_name, value)
    answer()

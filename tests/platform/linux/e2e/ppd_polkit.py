'''power-profiles-daemon as the e2e tests need it: the standard mock, whose
ActiveProfile may be set only when the mocked polkit allows it.

The mocked session is one where polkit must ask the user, so a Set that does
not let polkit ask is refused outright; otherwise the polkit mock's answer
stands for what the user did in the dialog.
'''

import dbus
from dbusmock.mockobject import DBusMockObject
from dbusmock.templates.power_profiles_daemon import BUS_NAME, MAIN_IFACE, MAIN_OBJ, SYSTEM_BUS, load  # noqa: F401

_plain_set = DBusMockObject.Set
SWITCH_ACTION = 'org.freedesktop.UPower.PowerProfiles.switch-profile'


@dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='ssv', out_signature='',
                     sender_keyword='sender', message_keyword='message')
def Set(self, interface_name, property_name, value, sender=None, message=None):
    if interface_name == MAIN_IFACE and property_name == 'ActiveProfile':
        interactive = message.get_allow_interactive_authorization()
        allowed = False
        if interactive:
            authority = dbus.SystemBus().get_object('org.freedesktop.PolicyKit1',
                                                    '/org/freedesktop/PolicyKit1/Authority')
            subject = ('system-bus-name', {'name': dbus.String(sender, variant_level=1)})
            allowed, _, _ = authority.CheckAuthorization(
                subject, SWITCH_ACTION, dbus.Dictionary({}, signature='ss'), dbus.UInt32(1), '',
                dbus_interface='org.freedesktop.PolicyKit1.Authority')
        self.log(f'switch to {value}: interactive={bool(interactive)} allowed={bool(allowed)}')
        if not allowed:
            raise dbus.exceptions.DBusException(
                'Not authorized', name='org.freedesktop.DBus.Error.AccessDenied')
    _plain_set(self, interface_name, property_name, value)

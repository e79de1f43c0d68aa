'''ppd_polkit.py whose Set of ActiveProfile never answers while `hung` (at
first, and again after SetHung(true)); readings still answer.'''

import os
import sys

import dbus

sys.path.insert(0, os.path.dirname(__file__))
import ppd_polkit  # noqa: E402
from ppd_polkit import BUS_NAME, MAIN_IFACE, MAIN_OBJ, SYSTEM_BUS  # noqa: F401,E402


def load(mock, parameters):
    ppd_polkit.load(mock, parameters)
    mock.hung = True
    mock.AddMethod('org.kestrine.Test', 'SetHung', 'b', '', 'self.hung = bool(args[0])')


@dbus.service.method(dbus.PROPERTIES_IFACE, in_signature='ssv', out_signature='',
                     sender_keyword='sender', async_callbacks=('answer', 'fail'))
def Set(self, interface, name, value, sender=None, answer=None, fail=None):
    if self.hung and name == 'ActiveProfile':
        return  # no answer, ever
    try:
        ppd_polkit.Set(self, interface, name, value, sender=sender)
    except dbus.exceptions.DBusException as error:
        return fail(error)
    answer()

"""The API methods the sandbox answers. Each module in this package registers its methods with
@api_method("SMS.name"); a handler takes a Call and returns the result text."""

import importlib
import pkgutil

_handlers = {}


def api_method(name):
    def register(handler):
        if name in _handlers:
            raise ValueError("API method registered twice: " + name)
        _handlers[name] = handler
        return handler
    return register


def find(name):
    return _handlers.get(name)


def load_all():
    for module in pkgutil.iter_modules(__path__):
        importlib.import_module(__name__ + "." + module.name)


class Misbehave(Exception):
    """Raised by a handler to answer with a misbehaviour plan line (see misbehaviour.py)."""

    def __init__(self, plan):
        super().__init__(plan)
        self.plan = plan


class Call:
    """One request document, taken apart."""

    def __init__(self, peer, store, fields, params):
        self.peer = peer              # the caller's address as the sandbox sees it
        self.store = store            # store.Store, for modules that keep state
        self.fields = fields          # envelope children by name: sms-id, access-token, ...
        self.params = params          # [(name, text)] in document order

    @property
    def sms_id(self):
        return self.fields.get("sms-id", "")

    @property
    def access_token(self):
        return self.fields.get("access-token", "")

    @property
    def method(self):
        return self.fields.get("method", "")

    def param(self, name, default=""):
        for key, value in self.params:
            if key == name:
                return value
        return default

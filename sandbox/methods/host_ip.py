"""SMS.host_ip: the caller's public address as the service sees it, as the bare text."""

from . import api_method


@api_method("SMS.host_ip")
def host_ip(call):
    return call.peer

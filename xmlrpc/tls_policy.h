// Whether this deployment asked to accept any server certificate.
#pragma once

// true when NORVOSMS_INSECURE_TLS is "1": HTTPS requests then ignore an unknown authority
// (where the caller asks for that), a wrong date and a wrong host name, as the client
// always did before certificates were checked. Read on every call.
bool InsecureTlsRequested();

#include "xmlrpc/tls_policy.h"

#include <cstdlib>
#include <cstring>

bool InsecureTlsRequested() {
  const char* value = std::getenv("NORVOSMS_INSECURE_TLS");
  return value && std::strcmp(value, "1") == 0;
}

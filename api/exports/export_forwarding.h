// The pattern of every forwarding export: the missing-client value without a client, the
// operation's result otherwise, and the failure value if anything throws.
#pragma once

#include "api/call_service.h"
#include "api/client_instance.h"

template <class Operation>
const char* ForwardText(Operation operation) {
  if (!g_pApiClient) return nullptr;
  try {
    return operation(*g_pApiClient);
  } catch (...) {
    return kCallFailed;
  }
}

// failed: the operation's own failure value (-1 for counts, 0 for InsertPhoneList).
template <class Operation>
int ForwardNumber(int failed, Operation operation) {
  if (!g_pApiClient) return 0;
  try {
    return operation(*g_pApiClient);
  } catch (...) {
    return failed;
  }
}

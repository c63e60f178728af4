// The process's one client and its lifecycle.
#pragma once

#include <string>

#include "api/api_client.h"

// Null when there is none. Read without a lock: creating and destroying the client must not
// overlap any other export.
extern ApiClient* g_pApiClient;

// InitDLL: a client with identity. A client that exists is ended first, as FreeDll would.
void CreateClient(const std::string& userId, const std::string& apiKey);
// InitHostIP: a client without identity, likewise replacing one that exists.
void CreateClientWithoutIdentity();
// FreeDll: ends sending, destroys the client; nothing when there is none.
void DestroyClient();

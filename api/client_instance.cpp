#include "api/client_instance.h"

ApiClient* g_pApiClient = nullptr;

void DestroyClient() {
  ApiClient* client = g_pApiClient;
  if (!client) return;
  g_pApiClient = nullptr;
  delete client;  // the destructor ends sending and deletes the lock
}

void CreateClientWithoutIdentity() {
  DestroyClient();
  g_pApiClient = new ApiClient();
}

void CreateClient(const std::string& userId, const std::string& apiKey) {
  DestroyClient();
  auto* client = new ApiClient();
  client->SetIdentity(userId, apiKey);
  g_pApiClient = client;
}

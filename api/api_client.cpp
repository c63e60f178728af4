#include "api/api_client.h"

#include "api/access_token.h"

ApiClient::ApiClient() : m_hNotifyWnd(0), m_nTotal(0), m_nDone(0), m_nQueued(0) {
  InitializeCriticalSection(&m_csQueue);
}

ApiClient::~ApiClient() {
  EndSending();
  DeleteCriticalSection(&m_csQueue);
}

void ApiClient::SetIdentity(const std::string& userId, const std::string& apiKey) {
  m_sSmsId = userId;
  m_sAccessToken = MakeAccessToken(apiKey);
}

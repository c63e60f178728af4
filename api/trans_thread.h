// The sending worker: takes messages from its client's queue and sends them.
#pragma once

#include "api/thread_base.h"

class ApiClient;

class CTransThread : public CThread {
 public:
  explicit CTransThread(ApiClient* pClient) : m_pClient(pClient) {}
  ~CTransThread() override;

 protected:
  // Sends the next queued message; with none, sleeps until one is queued or a stop is asked.
  void Run() override;
  void OnStopRequested() override;

 private:
  ApiClient* m_pClient;  // not owned
};

// NorvoSMS library (libNorvoSMS.so): the public interface.
//
// One client object per process. Create it with InitDLL (user ID and API key, for full use)
// or InitHostIP (only for HostIPSMS), and destroy it with FreeDll. Without a client every
// export returns at once: null text, 0, false or nothing, and sends nothing.
//
// Text results are NUL-terminated 8-bit text in the process's ANSI code page. On success they
// point into the client's one result buffer, which the next text-returning call (on any
// thread) or FreeDll overwrites: copy the text before the next call. A failed call returns
// the constant text "error" and writes the reason to standard output without a line end.
//
// String parameters are std::string objects passed by value. The endpoint is taken from the
// environment variable NORVOSMS_API_URL (the whole URL, e.g. https://host:port/api_app);
// NORVOSMS_CA_FILE names extra trusted certificate authorities (PEM), and
// NORVOSMS_INSECURE_TLS=1 accepts any server certificate.
//
// InitDLL, InitHostIP and FreeDll must not run while another export runs on another thread.
#pragma once

#include <windows.h>

#include <string>

extern "C" {

// Creates the client with identity; a client that exists is ended first.
void WINAPI InitDLL(std::string userId, std::string apiKey);
// Creates a client without identity, enough for HostIPSMS; a client that exists is ended first.
void WINAPI InitHostIP(void);
// The caller's public IP address as the service sees it, or "error"; null without a client.
const char* WINAPI HostIPSMS(void);
// Ends sending (queued messages are discarded, workers stopped) and destroys the client.
void FreeDll(void);

}

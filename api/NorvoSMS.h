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

// ---- Sending ----
// Sending is asynchronous: SendSMS and SendLMS queue one message each, announcing the batch
// total with every call; once the batch is complete up to three workers send it. Each outcome
// reaches hWnd as a WM_COPYDATA message (sent synchronously, so the window's thread must keep
// dispatching messages) whose 90-byte block holds one text: the sequence number ("0", "1",
// ...) when accepted, the number followed by "/800" for the code "800", "fail" when refused,
// "error" when the call failed (not numbered, not counted: no "end" follows), and "end" once
// every message of the batch has been answered. The reservation gets ":00" appended.
void WINAPI SendSMS(HWND hWnd, std::string phone, std::string callback, std::string message, std::string reserve,
                    std::string refKey, int total, std::string usears);
void WINAPI SendLMS(HWND hWnd, std::string phone, std::string callback, std::string subject, std::string message,
                    std::string reserve, std::string refKey, int total, std::string usears);
// Creates the three workers, not started. Call once (again only after DestroyThread).
void WINAPI CreateThreadDll(void);
// Starts the workers; a running worker stays as it is.
void WINAPI StartSMS(void);
// Stops the workers and waits for them, dispatching this thread's messages meanwhile; queued
// messages stay for StartSMS.
void WINAPI StopSMS(void);
// Discards queued messages, stops and deletes the workers and resets the batch counters.
void WINAPI DestroyThread(void);
// True when no worker thread runs (also for an empty pool); false without a client. A started
// pool keeps running after "end" until StopSMS or DestroyThread.
bool ThreadIsFinished(void);

// ---- Login ----
// Sends user ID and API key (with the token InitDLL made, the IP and the adapter address) and
// returns the service's smsResult text; empty after the codes "E001"/"E006" or without one.
const char* WINAPI CheckLogin(std::string userId, std::string apiKey, std::string ipAddress,
                              std::string adapterAddress);

// ---- Phone authentication ----
// Each returns the service's smsResult text (empty after "E001"/"E006" or without one).
const char* PhoneAuth(std::string phoneNumber, std::string adapterAddress);
const char* ReSendAuthNum(std::string phoneNumber, std::string adapterAddress);
const char* AuthNumCheck(std::string adapterAddress, std::string authNumber);

// ---- Account ----
// The account's name; empty after "E001"/"E006" or without one.
const char* GetSmsUserName(void);
// The answer's whole smsResult element as XML text (it begins with CR LF and "<smsResult>");
// "error" when the answer holds none (also after "E001"/"E006").
const char* GetUserPhoneNum(void);
// The quantities: -1 when the call failed, 0 after "E001"/"E006" or without the field.
int GetSmsCount(void);
int WINAPI GetArsCount(void);

// ---- Address book and history ----
// Each text result is the answer's smsResult element as XML text, beginning with CR LF and
// "<smsResult>" (for GetStatusByRef_All its entries element, "<entries>"). When the answer
// holds no such element (also after "E001"/"E006") the result is "error", never older text.
const char* PhoneBookGroupList(void);
const char* PhoneBookList(std::string groupName);
const char* InsertGroup(std::string groupName);
// 1 when the answer held smsResult (its text is kept in the result buffer), 0 otherwise.
int InsertPhoneList(std::string groupName, std::string name, std::string phone, std::string tel, std::string email);
const char* GetARSGroupList(void);
const char* RecentSendList(void);
const char* GetStatusByRef_All(std::string refKey);
}

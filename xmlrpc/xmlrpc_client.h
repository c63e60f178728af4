// One XML-RPC endpoint over HTTP or HTTPS, one call at a time, on WinInet.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <string>

#include "xmlrpc/xmlrpc_value.h"

#ifdef _WIN32
class WindowsCallLimits;
#endif

// lastError hands out at most this many characters of the stored text.
constexpr std::size_t kXmlRpcMaxErrorText = 1254;
// Size of each code-page work buffer; a longer call text gets larger buffers.
constexpr std::size_t kXmlRpcConversionBuffer = 512000;

class XmlRpcClient {
 public:
  // Parses the URL and opens the WinInet handles; a failure only leaves an error text.
  explicit XmlRpcClient(const char* uri);
  ~XmlRpcClient();
  XmlRpcClient(const XmlRpcClient&) = delete;
  XmlRpcClient& operator=(const XmlRpcClient&) = delete;

  // Accept server certificates from an unknown authority on later requests.
  void setIgnoreUnknownAuthority(bool value);
  // Posts one call; true exactly when no error text is left. `result` gets the response's
  // first parameter, or the fault value.
  bool execute(const char* method, const XmlRpcValue& params, XmlRpcValue& result);
  // The last failure, cut to kXmlRpcMaxErrorText characters; empty after a good call.
  std::string lastError();

  // What the URL gave, for tests and diagnostics.
  int urlProtocol() const { return protocol; }
  int urlPort() const { return port; }
  const std::string& urlObjectPath() const { return objectPath; }

 private:
  void parseUrl(const char* uri);
  void connect(const std::string& host);
  void describeError(const char* operation);
  bool sendAndRead(HINTERNET request, const std::string& body, std::string& received);
  void decode(const std::string& received, XmlRpcValue& result);
#ifdef _WIN32
  void refuseOversizedAnswer(std::string& received);
#endif

  int protocol;  // 1 http, 2 https, 0 rejected
  bool ignoreUnknownAuthority;
  HINTERNET internetHandle;
  HINTERNET connectionHandle;
  std::string objectPath;
  int port;
  std::string errorText;
#ifdef _WIN32
  WindowsCallLimits* windowsLimits = nullptr;  // set during one execute
#endif
};

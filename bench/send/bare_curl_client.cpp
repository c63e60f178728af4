#include "bare_curl_client.h"
#include "notification_floor.h"

#include <curl/curl.h>
#include <openssl/evp.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "cli/notification_window.h"

namespace {

// The document the library sends for one message, in the XML-RPC call that carries it.
std::string CallBody(const std::string& token, int index) {
  char phone[16];
  std::snprintf(phone, sizeof phone, "010%08d", index);
  std::string document =
      "\r\n<request>\r\n\t<sms-id>demo</sms-id>\r\n\t<access-token>" + token +
      "</access-token>\r\n\t<response-format>xml</response-format>\r\n\t<method>SMS.send</method>\r\n\t<params>"
      "\r\n\t\t<call_type>p</call_type>\r\n\t\t<phone>" +
      phone +
      "</phone>\r\n\t\t<callback>0212345678</callback>\r\n\t\t<message>benchmark message</message>"
      "\r\n\t\t<subject/>\r\n\t\t<ref_key>bench</ref_key>\r\n\t\t<reserve>:00</reserve>\r\n\t\t<send_type>sms"
      "</send_type>\r\n\t\t<msg_type>1</msg_type>\r\n\t\t<usears>N</usears>\r\n\t</params>\r\n</request>";
  std::string escaped;
  for (char c : document) {
    if (c == '<')
      escaped += "&lt;";
    else if (c == '>')
      escaped += "&gt;";
    else if (c == '&')
      escaped += "&amp;";
    else
      escaped += c;
  }
  return "<?xml version=\"1.0\"?>\r\n<methodCall><methodName>norvosms</methodName>\r\n<params><param><value><string>" +
         escaped + "</string></value></param></params></methodCall>\r\n";
}

std::string Token() {
  const std::string salt = "0123ABCD";
  const std::string input = salt + "demo-key";
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(input.data(), input.size(), digest, &length, EVP_md5(), nullptr);
  std::string token = salt;
  char hex[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(hex, sizeof hex, "%02x", digest[i]);
    token += hex;
  }
  return token;
}

size_t Keep(char* data, size_t size, size_t count, void* out) {
  static_cast<std::string*>(out)->append(data, size * count);
  return size * count;
}

}  // namespace

BareCurlRun RunBareCurlClient(const std::string& url, const std::string& caFile, int count,
                              NotificationWindow* window) {
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const std::string token = Token();
  std::atomic<int> next{0};
  std::atomic<int> left{3};
  std::atomic<bool> failed{false};
  if (window) window->Take();
  const HWND target = window ? window->Handle() : HWND{};
  auto worker = [&] {
    CURL* curl = curl_easy_init();
    if (!curl) {
      failed = true;
      return;
    }
    curl_slist* headers = curl_slist_append(nullptr, "Content-Type: text/xml");
    headers = curl_slist_append(headers, "Expect:");  // no wait for a 100 Continue
    // The sandbox answers in HTTP/1.0, after which libcurl asks in 1.0 too: kept only when asked.
    headers = curl_slist_append(headers, "Connection: Keep-Alive");
    std::string answer;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Keep);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    std::string body;
    for (int i; (i = next++) < count;) {
      body = CallBody(token, i);
      answer.clear();
      curl_easy_setopt(curl, CURLOPT_POSTFIELDS, body.c_str());
      curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()));
      long status = 0;
      if (curl_easy_perform(curl) != CURLE_OK || curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK ||
          status != 200 || answer.find("0000") == std::string::npos) {
        failed = true;
      }
      if (target) NotifyCaller(target, std::to_string(i));
    }
    curl_easy_cleanup(curl);
    curl_slist_free_all(headers);
  };
  auto notifyingWorker = [&] {
    worker();
    if (--left == 0 && target) NotifyCaller(target, "end");
  };
  BareCurlRun run;
  static_cast<MeasuredRun&>(run) = Measure([&] {
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) threads.emplace_back(notifyingWorker);
    if (window) PumpBlockingUntilEnd(*window);
    for (auto& thread : threads) thread.join();
  });
  run.ok = !failed;
  return run;
}

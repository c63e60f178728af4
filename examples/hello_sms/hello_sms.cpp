// hello_sms.cpp: log in and read the account's SMS quantity.
#include <NorvoSMS.h>
#include <cstdio>

int main() {
  InitDLL("demo", "demo-key");
  const char* login = CheckLogin("demo", "demo-key", "127.0.0.1", "02-00-00-00-00-01");
  std::printf("login: %s\n", login ? login : "(no client)");
  std::printf("SMS left: %d\n", GetSmsCount());
  FreeDll();
}

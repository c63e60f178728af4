#include "api/access_token.h"

#include <cstdlib>
#include <ctime>

#include "api/md5.h"

std::string MakeAccessToken(const std::string& apiKey) {
  static constexpr char kHexDigits[] = "0123456789ABCDEF";
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  std::string salt;
  for (int i = 0; i < 8; ++i) salt += kHexDigits[std::rand() % 16];
  return salt + Md5Hex(salt + apiKey);
}

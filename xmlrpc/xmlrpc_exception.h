// The one exception type of the XML-RPC layer: a message text and nothing else.
#pragma once

#include <string>
#include <utility>

class XmlRpcException {
 public:
  explicit XmlRpcException(std::string text) : message(std::move(text)) {}

  const std::string& getMessage() const noexcept { return message; }

  std::string message;
};

// Counts the notifications of one batch and says when every message is accounted for.
#pragma once

#include <string>

class SendProgress {
 public:
  explicit SendProgress(int total) : m_nTotal(total) {}

  // One notification text: a number ("0"), a number with "/800", "fail", "error" or "end".
  void Note(const std::string& text);

  bool Finished() const { return m_bEnd || Accounted() >= m_nTotal; }
  int Accounted() const { return m_nSent + m_n800 + m_nFail + m_nError; }
  int Total() const { return m_nTotal; }
  // "sent 3, 800 1, fail 0, error 0 of 10"
  std::string Line() const;

  int sent() const { return m_nSent; }
  int with800() const { return m_n800; }
  int failed() const { return m_nFail; }
  int errors() const { return m_nError; }
  int unknown() const { return m_nUnknown; }
  bool endSeen() const { return m_bEnd; }

 private:
  int m_nTotal;
  int m_nSent = 0;
  int m_n800 = 0;
  int m_nFail = 0;
  int m_nError = 0;
  int m_nUnknown = 0;
  bool m_bEnd = false;
};

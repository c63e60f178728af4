// What a batch is made of, checked before anything is queued: the recipients file and the
// message fields. Every fault carries its line number; one fault refuses the whole batch.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

constexpr std::size_t kMaxRecipients = 100000;
constexpr std::size_t kMaxLineBytes = 4096;
constexpr std::size_t kMinPhoneDigits = 8;
constexpr std::size_t kMaxPhoneDigits = 15;
constexpr std::size_t kMaxRefKeyBytes = 64;
constexpr std::size_t kMaxMessageBytes = 2000;  // in the ANSI code page, as sent
constexpr std::size_t kMaxSubjectBytes = 120;
// More faults than this are counted, not listed.
constexpr std::size_t kMaxFaultsListed = 20;

struct InputFault {
  std::size_t line = 0;  // 0: the command line
  std::string what;
};

struct RecipientLine {
  std::size_t line = 0;  // in the file; 1 for --to
  std::string phone;
  std::string refKey;  // empty: one is derived from the batch
};

// Digits with single dashes between them, kMinPhoneDigits..kMaxPhoneDigits digits.
bool IsPhoneNumber(const std::string& text);
// "YYYY-MM-DD HH:MM", a date that exists and a time of day.
bool IsReservation(const std::string& text);
bool IsUtf8(const std::string& text);
// UTF-8 text in the process's ANSI code page; false (nothing replaced) when the text is not
// UTF-8 or the code page cannot hold every character.
bool ToAnsi(const std::string& utf8, std::string& ansi);

// Reads "PHONE [REF_KEY]" lines ('#' starts a comment, blank lines are skipped, a UTF-8
// byte-order mark is skipped) without ever holding more than one bounded line. Faults of the
// content are collected; false when the file cannot be read or a line is too long.
bool ReadRecipientFile(const std::string& path, std::vector<RecipientLine>& recipients,
                       std::vector<InputFault>& faults);
// The same from an open stream; the caller checks it for read errors.
bool ReadRecipients(std::FILE* from, std::vector<RecipientLine>& recipients, std::vector<InputFault>& faults);

// The message fields as given (UTF-8); on success they are replaced by their ANSI form.
struct MessageFields {
  std::string callback;
  std::string subject;
  std::string message;
  std::string reserve;
};
void CheckMessageFields(MessageFields& fields, std::vector<InputFault>& faults);
// Each recipient's phone and reference key; reference keys are converted to ANSI in place.
void CheckRecipients(std::vector<RecipientLine>& recipients, std::vector<InputFault>& faults);

// "FILE:LINE: what" lines (or "what" for the command line), at most kMaxFaultsListed.
std::string DescribeFaults(const std::string& file, const std::vector<InputFault>& faults);

// The sending exports for wire cases: one message as a batch of one, the notifications read back.
#pragma once

#include <string>
#include <vector>

// SendSMS (phone callback message reserve ref_key usears) or SendLMS (phone callback subject
// message reserve ref_key usears) with total 1 to a window of this thread; pumps until the
// batch is answered ("end"), an "error" came, or 3 seconds pass. Returns the notifications in
// sorted order, joined by blanks (empty when none came).
std::string SendOneAndCollect(bool lms, const std::vector<std::string>& args);

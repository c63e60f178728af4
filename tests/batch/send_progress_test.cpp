#include "batch/send_progress.h"

#include <gtest/gtest.h>

namespace {

TEST(SendProgress, CountsEachKindAndFinishesWhenAllAreAccounted) {
  SendProgress progress(4);
  for (const char* note : {"0", "1/800", "fail", "error"}) {
    EXPECT_FALSE(progress.Finished());
    progress.Note(note);
  }
  EXPECT_TRUE(progress.Finished());
  EXPECT_FALSE(progress.endSeen());
  EXPECT_EQ(progress.Line(), "sent 1, 800 1, fail 1, error 1 of 4");
}

TEST(SendProgress, EndFinishesEvenBeforeTheLastNumber) {
  SendProgress progress(2);
  progress.Note("0");
  progress.Note("end");
  EXPECT_TRUE(progress.Finished());
  EXPECT_EQ(progress.Accounted(), 1);
}

TEST(SendProgress, TextsTheLibraryNeverSendsAreNotCounted) {
  SendProgress progress(1);
  for (const char* note : {"", "/800", "12a", "x/800", "-1"}) progress.Note(note);
  EXPECT_EQ(progress.Accounted(), 0);
  EXPECT_EQ(progress.unknown(), 5);
  EXPECT_FALSE(progress.Finished());
}

}  // namespace

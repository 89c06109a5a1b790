// The main of every test program: GoogleTest with the user's data folder guarded.
#include <gtest/gtest.h>

#include "support/user_data_sentinel.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::AddGlobalTestEnvironment(new testsupport::UserDataSentinel());  // owned by GoogleTest
  return RUN_ALL_TESTS();
}

// The Windows test program's entry: COM and OLE for the UI thread, then the
// tests.
#include <windows.h>

#include <gtest/gtest.h>
#include <ole2.h>

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (FAILED(OleInitialize(nullptr))) return 2;
  int result = RUN_ALL_TESTS();
  OleUninitialize();
  return result;
}
